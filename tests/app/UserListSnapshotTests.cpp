#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "album/AlbumMngr.h"
#include "album/PictureFile.h"
#include "app/UserListSnapshot.h"
#include "base/ImageData.h"

namespace {

std::vector<int> Ids(const UserListSnapshot& snapshot) {
    std::vector<int> ids;
    for (const auto& row : snapshot.rows) {
        ids.push_back(row.id);
    }
    return ids;
}

class UserList : public ::testing::Test {
protected:
    void SetUp() override {
        album_.OpenFolder("./KYTO-EMU/1");
        for (int id : {1, 4, 7}) {
            ASSERT_EQ(album_.AddNewUser("user" + std::to_string(id), id), id);
        }
        CImageData picture;
        InitBlankPicture(picture);
        ASSERT_EQ(album_.Store().AddData(4, 0, picture), 0);
        ASSERT_EQ(album_.Store().AddData(4, 1, picture), 0);
        ASSERT_EQ(album_.Store().AddData(7, 0, picture), 0);
    }

    TempDir dir_;
    CAlbumMngr album_;
};

}  // namespace

// The rows are what the list shows after a move: the album's order wins,
// users it does not name yet (registered since) follow, and neither a
// deleted user nor a doubled ID in the order comes back as a row.
TEST_F(UserList, RowsFollowTheAlbumOrderWithoutStaleOrDoubledIds) {
    album_.SetUserOrder({7, 1, 4});
    EXPECT_EQ(Ids(TakeUserListSnapshot(album_)), (std::vector<int>{7, 1, 4}));

    ASSERT_EQ(album_.RenameUser(7, "renamed"), 0);  // move, then rename
    UserListSnapshot renamed = TakeUserListSnapshot(album_);
    EXPECT_EQ(Ids(renamed), (std::vector<int>{7, 1, 4}));
    EXPECT_EQ(renamed.rows[0].name, "renamed");

    ASSERT_EQ(album_.AddNewUser("late", 9), 9);
    ASSERT_EQ(album_.Store().DeleteUser(1), 0);
    album_.SetUserOrder({4, 1, 4, 7});
    UserListSnapshot after = TakeUserListSnapshot(album_);
    EXPECT_EQ(Ids(after), (std::vector<int>{4, 7, 9}));
    EXPECT_EQ(after.totalData, 3);
    ASSERT_NE(after.Find(4), nullptr);
    EXPECT_EQ(after.Find(4)->dataCount, 2);
    EXPECT_EQ(after.Find(1), nullptr);
}

// A reader keeps the snapshot it took while the owner goes on changing the
// album: its rows stay as they were, and the next snapshot is told apart by
// its generation.
TEST_F(UserList, PublishedSnapshotStaysWholeWhileTheAlbumChanges) {
    CUserListPublisher publisher;
    EXPECT_EQ(publisher.Get()->generation, 0u);
    EXPECT_TRUE(publisher.Get()->rows.empty());

    publisher.Refresh(album_);
    const auto held = publisher.Get();
    ASSERT_EQ(held->rows.size(), 3u);

    ASSERT_EQ(album_.Store().DeleteAllUsers(), 0);
    publisher.Refresh(album_);
    EXPECT_EQ(Ids(*held), (std::vector<int>{1, 4, 7}));
    EXPECT_EQ(held->totalData, 3);
    EXPECT_TRUE(publisher.Get()->rows.empty());
    EXPECT_GT(publisher.Get()->generation, held->generation);
}
