#include <gtest/gtest.h>

#include <filesystem>

#include "AlbumTestUtil.h"
#include "FakeAlbumDevice.h"
#include "album/AlbumFile.h"
#include "album/AlbumSync.h"
#include "album/PictureFile.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kFolder = "./KYTO-EMU/7";

AlbumImage Image(std::uint8_t fill, std::size_t size = 64) {
    AlbumImage image;
    image.attribute = 1;
    image.data.assign(size, fill);
    return image;
}

AlbumImage LocalImage() {
    AlbumImage image;
    ReadAlbumImageFile(kLocalAlbumFile, image);
    return image;
}

class Sync : public ::testing::Test {
protected:
    void SetUp() override {
        album_.OpenFolder(kFolder);
        WriteAlbumImageFile(kDefaultAlbumFile, Image(0));
    }
    void AddUserWithData(int id, std::vector<int> numbers) {
        ASSERT_EQ(album_.AddNewUser("u" + std::to_string(id), id), id);
        for (int n : numbers) {
            CImageData picture;
            InitBlankPicture(picture);
            ASSERT_EQ(album_.Store().AddData(id, n, picture), 0);
        }
    }
    TempDir dir_;
    CAlbumMngr album_;
    FakeAlbumDevice device_;
    CAlbumSync sync_{device_, album_};
    ScriptedQuestions questions_;
    std::uint8_t status_ = 0;
};

}  // namespace

TEST_F(Sync, CheckComparesWithTheLocalImageAndKeepsTheModulesCopy) {
    device_.module = Image(0);
    EXPECT_EQ(sync_.CheckAlbum(status_), 0);  // equal to the shipped default
    device_.module = Image(5);
    EXPECT_EQ(sync_.CheckAlbum(status_), 1);
    AlbumImage kept;
    ASSERT_EQ(ReadAlbumImageFile(kDeviceAlbumFile, kept), 0);
    EXPECT_EQ(kept, Image(5));
    device_.module.attribute = 0;  // same data, other attribute: different
    EXPECT_EQ(sync_.CheckAlbum(status_), 1);

    device_.answers["GetVersion"] = {-20, 0};
    EXPECT_EQ(sync_.CheckAlbum(status_), -20);
    EXPECT_EQ(status_, kNoAnswerStatus);
    device_.answers["GetVersion"] = {0, 0};
    fs::remove(kDefaultAlbumFile);
    EXPECT_EQ(sync_.CheckAlbum(status_), -1);
}

TEST_F(Sync, FailedCommitRestoresTheBackup) {
    WriteAlbumImageFile(kLocalAlbumFile, Image(1));
    album_.SetRegistCount(4);
    album_.Backup();
    album_.SetRegistCount(5);
    device_.module = Image(2);
    device_.answers["WriteFlash"] = {0, 0x05};
    EXPECT_EQ(sync_.CommitOrRestore(questions_, status_), 0);
    EXPECT_EQ(status_, 0x05);
    EXPECT_EQ(questions_.failedStatus, 0x05);
    EXPECT_EQ(LocalImage(), Image(1));
    EXPECT_EQ(ReadRegistCount(kFolder), 4);

    device_.answers["WriteFlash"] = {0, 0};
    EXPECT_EQ(sync_.CommitOrRestore(questions_, status_), 0);
    EXPECT_EQ(LocalImage(), Image(2));
    EXPECT_TRUE(device_.Called("WriteFlash"));
}

TEST_F(Sync, RegistrationChangesTheStoreOnlyWhenTheModuleAgrees) {
    AddUserWithData(3, {0, 1});
    device_.answers["Register"] = {0, 2};  // two faces
    EXPECT_EQ(sync_.RegisterData(3, status_), 0);
    EXPECT_EQ(status_, 2);
    EXPECT_EQ(album_.TotalDataCount(), 2);
    device_.answers["Register"] = {-20, 0};
    EXPECT_EQ(sync_.RegisterData(3, status_), -20);
    EXPECT_EQ(album_.TotalDataCount(), 2);

    device_.answers["Register"] = {0, 0};
    EXPECT_EQ(sync_.RegisterData(3, status_), 0);
    EXPECT_TRUE(device_.Called("Register 3 2"));
    CImageData picture;
    ASSERT_EQ(album_.Store().ReadPicture(kFolder, 3, 2, picture), 0);
    EXPECT_EQ(picture.Pixels()[100], 0x77);
    EXPECT_EQ(sync_.RegisterData(99, status_), -1);  // unknown user: nothing sent
    EXPECT_FALSE(device_.Called("Register 99 0"));

    PictureList list;
    ASSERT_EQ(sync_.BuildPictureList(3, list), 0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.items[2].dataNumber, 2);
    EXPECT_EQ(list.items[2].picture.Format(), kFormatRgb24);
    EXPECT_EQ(list.items[2].picture.Pixels()[0], 0x77);
    EXPECT_EQ(sync_.BuildPictureList(99, list), -1);
}

TEST_F(Sync, DeletionsFollowTheModule) {
    AddUserWithData(1, {0, 3, 5});
    AddUserWithData(2, {});
    device_.answers["DeleteData"] = {0, 1};
    EXPECT_EQ(sync_.DeleteDataEverywhere(1, 3, status_), 0);
    EXPECT_EQ(album_.TotalDataCount(), 3);
    device_.answers["DeleteData"] = {0, 0};
    EXPECT_EQ(sync_.DeleteDataEverywhere(1, 3, status_), 0);
    EXPECT_EQ(album_.TotalDataCount(), 2);
    EXPECT_EQ(sync_.DeleteDataEverywhere(1, -1, status_), 0);
    EXPECT_TRUE(device_.Called("DeleteUser 1"));
    EXPECT_EQ(album_.TotalDataCount(), 0);
    EXPECT_TRUE(album_.IsRegistered(1));

    // A user without data needs no command and counts as deleted.
    device_.calls.clear();
    EXPECT_EQ(sync_.DeleteUserEverywhere(2, status_), 0);
    EXPECT_EQ(status_, 0);
    EXPECT_TRUE(device_.calls.empty());
    EXPECT_FALSE(album_.IsRegistered(2));
    EXPECT_EQ(album_.RegistCount(), 2);
    EXPECT_EQ(sync_.DeleteUserEverywhere(1, status_), 0);  // the last one
    EXPECT_EQ(ReadRegistCount(kFolder), 0);
    EXPECT_EQ(sync_.DeleteUserEverywhere(1, status_), -1);
}

TEST_F(Sync, DeleteAllAndReformat) {
    AddUserWithData(1, {0});
    WriteAlbumImageFile(kLocalAlbumFile, Image(3));
    device_.answers["DeleteAll"] = {0, 4};
    EXPECT_EQ(sync_.DeleteAllEverywhere(status_), 0);
    EXPECT_TRUE(album_.IsRegistered(1));
    device_.answers["Reformat"] = {-20, 0};
    EXPECT_EQ(sync_.DeleteAllData(status_), -20);
    EXPECT_TRUE(album_.IsRegistered(1));
    // Reformat taken but reported as failed: the local data goes anyway.
    device_.answers["Reformat"] = {0, 4};
    EXPECT_EQ(sync_.DeleteAllData(status_), 0);
    EXPECT_EQ(status_, 4);
    EXPECT_TRUE(album_.Store().Empty());
    EXPECT_FALSE(album_.LocalAlbumExists());
    EXPECT_EQ(ReadRegistCount(kFolder), 0);
}

TEST_F(Sync, RebuildGivesDefaultNamesAndBlankPictures) {
    AddUserWithData(8, {0});
    device_.masks = {{1, 0b101}, {4, 0b10}, {999, 1}};
    EXPECT_EQ(sync_.RebuildFromDevice(status_), 0);
    const auto users = album_.Store().ListUsers();
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0].id, 1);
    EXPECT_EQ(users[0].name, "USER_0000");  // the lowest unused ID names it
    EXPECT_EQ(users[0].dataCount, 2);
    EXPECT_EQ(users[1].id, 4);
    EXPECT_EQ(users[1].name, "USER_0000");
    EXPECT_EQ(users[2].id, 999);
    EXPECT_EQ(ReadRegistCount(kFolder), 3);
    CRegUserInfoMngr reloaded;
    reloaded.Load(kFolder);
    EXPECT_EQ(reloaded.ListUsers().size(), 3u);

    device_.queued["GetRegisteredData"] = {{0, 0}, {0, 0}, {0, 3}};
    EXPECT_EQ(sync_.RebuildFromDevice(status_), -1);
}

TEST_F(Sync, StartupCheckTakesTheApplicationsAlbum) {
    WriteAlbumImageFile(kLocalAlbumFile, Image(1));
    device_.module = Image(2);
    questions_.preferApplication = true;
    EXPECT_EQ(sync_.StartupCheck(questions_), CheckOutcome::kPushedLocal);
    EXPECT_EQ(device_.module, Image(1));
    EXPECT_TRUE(device_.Called("WriteFlash"));
    EXPECT_TRUE(fs::exists(std::string(kDbBackFolder) + "/kylxx.kyb"));
}

TEST_F(Sync, StartupCheckTakesTheModulesAlbumAfterSavingOurs) {
    AddUserWithData(6, {0});
    WriteAlbumImageFile(kLocalAlbumFile, Image(1));
    device_.module = Image(2);
    device_.masks = {{3, 1}};
    questions_.saveFile = "mine.kyl";
    EXPECT_EQ(sync_.StartupCheck(questions_), CheckOutcome::kRebuiltFromDevice);
    EXPECT_EQ(questions_.asked, (std::vector<std::string>{"prefer", "save"}));
    EXPECT_EQ(ReadPrevSelectFile(), "mine.kyl");
    // Our album went into the file before the store was rebuilt.
    AlbumFileData saved;
    const Bytes file = ReadAll("mine.kyl");
    ASSERT_EQ(ParseAlbumFile(file.data(), file.size(), saved), 0);
    ASSERT_EQ(saved.users.size(), 1u);
    EXPECT_EQ(saved.users[0].id, 6);
    EXPECT_EQ(saved.image, Image(1));
    EXPECT_EQ(LocalImage(), Image(2));
    ASSERT_EQ(album_.Store().ListUsers().size(), 1u);
    EXPECT_EQ(album_.Store().ListUsers()[0].id, 3);
}

TEST_F(Sync, StartupCheckRetriesOnFailure) {
    device_.module = Image(0);
    device_.queued["GetVersion"] = {{-20, 0}, {0, 9}};
    questions_.retries = 1;
    EXPECT_EQ(sync_.StartupCheck(questions_), CheckOutcome::kFailed);
    EXPECT_EQ(questions_.asked.size(), 2u);
    EXPECT_FALSE(fs::exists(kDbBackFolder));
    questions_.retries = 0;
    EXPECT_EQ(sync_.StartupCheck(questions_), CheckOutcome::kEqual);
    EXPECT_TRUE(fs::exists(kDbBackFolder));
}

TEST_F(Sync, ExitCheckAsksOnlyWhenTheAlbumsDiffer) {
    device_.module = Image(0);
    EXPECT_EQ(sync_.ExitCheck(questions_), 0);
    EXPECT_TRUE(questions_.asked.empty());
    EXPECT_FALSE(album_.LocalAlbumExists());
    EXPECT_TRUE(fs::exists(kDeviceAlbumFile));

    album_.Backup();
    device_.module = Image(4);
    questions_.confirm = false;
    EXPECT_EQ(sync_.ExitCheck(questions_), 1);
    EXPECT_FALSE(device_.Called("WriteFlash"));
    EXPECT_FALSE(fs::exists(kDbBackFolder));
    questions_.confirm = true;
    EXPECT_EQ(sync_.ExitCheck(questions_), 1);
    EXPECT_TRUE(device_.Called("WriteFlash"));
    EXPECT_EQ(LocalImage(), Image(4));
}

TEST_F(Sync, AlbumFilesCarryTheModulesAlbumBothWays) {
    AddUserWithData(2, {0, 1});
    device_.module = Image(9, 100);
    EXPECT_EQ(sync_.SaveAlbumFile("a.kyl", status_), 0);
    EXPECT_EQ(album_.AlbumProgress(), 100.0);
    EXPECT_EQ(fs::file_size("a.kyl"), 16u + 100 + 264 + 2 * 4144);

    device_.module = Image(1);
    album_.DeleteAllLocal();
    album_.SetRegistCount(0);
    EXPECT_EQ(sync_.LoadAlbumFile("a.kyl", status_), 0);
    EXPECT_EQ(device_.module, Image(9, 100));
    EXPECT_EQ(album_.TotalDataCount(), 2);
    EXPECT_EQ(album_.RegistCount(), 1);

    // A module that refuses the album leaves the imported store in place.
    device_.answers["LoadAlbum"] = {0, 3};
    EXPECT_EQ(sync_.LoadAlbumFile("a.kyl", status_), 0);
    EXPECT_EQ(status_, 3);
    EXPECT_EQ(album_.TotalDataCount(), 2);
    EXPECT_EQ(sync_.LoadAlbumFile("none.kyl", status_), -1);

    device_.answers["SaveAlbum"] = {-20, 0};
    EXPECT_EQ(sync_.SaveAlbumFile("b.kyl", status_), -20);
    EXPECT_FALSE(fs::exists("b.kyl"));
}

TEST_F(Sync, AlbumTypeFollowsTheModule) {
    device_.albumType = 1;
    int type = -1;
    EXPECT_EQ(sync_.GetAlbumType(type, status_), 0);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(album_.AlbumType(), 1);
    EXPECT_EQ(sync_.SetAlbumType(2, status_), 0);
    EXPECT_EQ(album_.AlbumType(), 2);
    device_.answers["SetAlbumType"] = {-20, 0};
    EXPECT_EQ(sync_.SetAlbumType(0, status_), -20);
    EXPECT_EQ(album_.AlbumType(), 2);
}
