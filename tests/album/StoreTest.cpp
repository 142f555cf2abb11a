#include <gtest/gtest.h>

#include <filesystem>

#include "AlbumTestUtil.h"
#include "album/AlbumMngr.h"
#include "album/PictureFile.h"
#include "album/RegUserInfoMngr.h"
#include "album/UserName.h"
#include "base/ImageData.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kFolder = "./KYTO-EMU/12345";

CImageData Picture(std::uint8_t fill) {
    CImageData picture;
    InitBlankPicture(picture);
    for (std::size_t i = 0; i < picture.Size(); ++i) {
        picture.Pixels()[i] = static_cast<std::uint8_t>(fill + i);
    }
    return picture;
}

fs::path StorePath(const std::string& rest) {
    return fs::path(kFolder) / "RegistData" / rest;
}

// Writes a user's files by hand, the way another copy of the application
// would have left them.
void WriteUserFiles(int id, const std::string& name, const std::vector<int>& numbers) {
    char dir[8];
    std::snprintf(dir, sizeof dir, "%03d", id);
    std::string line3;
    for (int n : numbers) {
        line3 += std::to_string(n) + ",";
    }
    if (!line3.empty()) {
        line3.pop_back();
    }
    WriteAll(StorePath(std::string(dir) + "/UserInfo.dat"),
             AsciiTextFile({std::to_string(id), name, line3}));
    for (int n : numbers) {
        char file[16];
        std::snprintf(file, sizeof file, "%02d.dat", n);
        WriteAll(StorePath(std::string(dir) + "/" + file),
                 AsciiTextFile({std::to_string(n), "2024/01/02", "64", "64"}));
    }
}

}  // namespace

// Fixture files written by hand load, and rewriting them gives the very same
// bytes: the text format (mark, UTF-16LE, CR LF on every line) is exact.
TEST(StoreFiles, HandBuiltFilesLoadAndRewriteIdentically) {
    TempDir dir;
    const Bytes userList = AsciiTextFile({"007", "042", "123"});
    WriteAll(StorePath("User.dat"), userList);
    // Name with a non-ASCII letter: Z o e-diaeresis, then an empty third line.
    const Bytes info7{0xFF, 0xFE, '7', 0,    0x0D, 0,    0x0A, 0,    'Z', 0,    'o',
                      0,    0xEB, 0,   0x0D, 0,    0x0A, 0,    0x0D, 0,   0x0A, 0};
    WriteAll(StorePath("007/UserInfo.dat"), info7);
    WriteUserFiles(42, "Ann", {0, 1, 3});
    WriteUserFiles(123, "Bob", {5});

    CRegUserInfoMngr store;
    ASSERT_EQ(store.Load(kFolder), 0);
    const auto users = store.ListUsers();
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0].id, 7);
    EXPECT_EQ(users[0].name, "Zo\xC3\xAB");
    EXPECT_EQ(users[0].dataCount, 0);
    EXPECT_EQ(users[1].dataCount, 3);
    EXPECT_EQ(store.TotalDataCount(), 4);

    const Bytes info42 = ReadAll(StorePath("042/UserInfo.dat"));
    ASSERT_EQ(store.Rename(7, "Zo\xC3\xAB"), 0);
    ASSERT_EQ(store.Rename(42, "Ann"), 0);
    EXPECT_EQ(ReadAll(StorePath("007/UserInfo.dat")), info7);
    EXPECT_EQ(ReadAll(StorePath("042/UserInfo.dat")), info42);
    // Deleting and re-adding user 123 rewrites User.dat with the same lines.
    ASSERT_EQ(store.DeleteUser(123), 0);
    ASSERT_EQ(store.AddUser(123, "Bob"), 0);
    EXPECT_EQ(ReadAll(StorePath("User.dat")), userList);
    EXPECT_TRUE(fs::exists(StorePath("007")));
    EXPECT_TRUE(fs::exists(StorePath("123/UserInfo.dat")));
}

TEST(StoreFiles, AddedDataWritesPictureAndDescription) {
    TempDir dir;
    CRegUserInfoMngr store;
    store.Load(kFolder);
    ASSERT_EQ(store.AddUser(5, "Eve"), 0);
    const CImageData picture = Picture(9);
    ASSERT_EQ(store.AddDataWithDate(5, 3, "2024/05/06", picture), 0);

    const Bytes file = ReadAll(StorePath("005/03"));
    ASSERT_EQ(file.size(), 12u + 4096u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 12),
              (Bytes{64, 0, 0, 0, 64, 0, 0, 0, 0x44, 0, 0, 0x21}));
    EXPECT_EQ(file[12], 9);
    EXPECT_EQ(ReadAll(StorePath("005/03.dat")), AsciiTextFile({"3", "2024/05/06", "64", "64"}));
    EXPECT_EQ(ReadAll(StorePath("005/UserInfo.dat")), AsciiTextFile({"5", "Eve", "3"}));

    CImageData back;
    ASSERT_EQ(store.ReadPicture(kFolder, 5, 3, back), 0);
    EXPECT_EQ(back.Width(), 64);
    EXPECT_EQ(back.Format(), kFormatGrey8);
    EXPECT_EQ(Bytes(back.Pixels(), back.Pixels() + back.Size()),
              Bytes(file.begin() + 12, file.end()));

    // After a restart the date is gone from memory, but kept on disk.
    CRegUserInfoMngr reloaded;
    ASSERT_EQ(reloaded.Load(kFolder), 0);
    CUserInfo user;
    ASSERT_EQ(reloaded.GetUser(5, user), 0);
    ASSERT_EQ(user.data.size(), 1u);
    EXPECT_EQ(user.data[0].date, "");
    EXPECT_EQ(user.data[0].width, 64);
    EXPECT_TRUE(user.SlotUsed(3));
}

// A datum whose picture has no pixels still gets its description, so the
// user loads again after a restart (the picture itself reads as missing).
TEST(StoreFiles, PictureWithoutPixelsKeepsTheUserLoadable) {
    TempDir dir;
    CRegUserInfoMngr store;
    store.Load(kFolder);
    ASSERT_EQ(store.AddUser(4, "Empty"), 0);
    CImageData nothing;
    nothing.Init(0, 0, kFormatGrey8, false);
    ASSERT_EQ(store.AddDataWithDate(4, 2, "2024/01/01", nothing), 0);
    EXPECT_FALSE(fs::exists(StorePath("004/02")));
    CRegUserInfoMngr reloaded;
    reloaded.Load(kFolder);
    ASSERT_EQ(reloaded.ListUsers().size(), 1u);
    EXPECT_EQ(reloaded.ListUsers()[0].dataCount, 1);
    CImageData picture;
    EXPECT_EQ(reloaded.ReadPicture(kFolder, 4, 2, picture), -1);
}

TEST(StoreFiles, RefusedDataChangesNothing) {
    TempDir dir;
    CRegUserInfoMngr store;
    store.Load(kFolder);
    ASSERT_EQ(store.AddUser(1, "A"), 0);
    ASSERT_EQ(store.AddData(1, 0, Picture(0)), 0);
    for (int number : {-1, 0, 10, 1000}) {
        EXPECT_EQ(store.AddData(1, number, Picture(0)), -1) << number;
    }
    EXPECT_EQ(store.AddData(2, 0, Picture(0)), -1);
    EXPECT_EQ(store.TotalDataCount(), 1);
    for (int number = 1; number < 10; ++number) {
        ASSERT_EQ(store.AddData(1, number, Picture(0)), 0);
    }
    EXPECT_EQ(store.FreeDataSlot(1), -1);
    EXPECT_EQ(store.FreeDataSlot(2), -2);
    EXPECT_EQ(store.AddUser(1000, "X"), -1);
    EXPECT_EQ(store.AddUser(-1, "X"), -1);
    EXPECT_EQ(store.AddUser(1, "again"), -1);
}

// Lines that are not usable IDs are passed over; so are data numbers that
// would index past the ten slots, repeated ones, and users whose files are
// incomplete.
TEST(StoreLoad, SkipsWhatTheArraysCannotHold) {
    TempDir dir;
    WriteAll(StorePath("User.dat"),
             AsciiTextFile({"-5", "007", "7", "1000", "99999", " 12", "abc", "3", "4"}));
    WriteUserFiles(7, "Seven", {});
    // Data numbers 12 and a repeated 3 are ignored, 0 and 3 kept.
    WriteUserFiles(12, "Twelve", {0, 3});
    WriteAll(StorePath("012/UserInfo.dat"), AsciiTextFile({"12", "Twelve", "0,12,3,3,"}));
    WriteUserFiles(0, "Zero", {});
    WriteUserFiles(3, "Three", {1});
    fs::remove(StorePath("003/01.dat"));  // unreadable datum: user left out
    WriteAll(StorePath("004/UserInfo.dat"), AsciiTextFile({"4", "Four"}));  // two lines only

    CRegUserInfoMngr store;
    ASSERT_EQ(store.Load(kFolder), 0);
    std::vector<int> ids;
    for (const auto& user : store.ListUsers()) {
        ids.push_back(user.id);
    }
    EXPECT_EQ(ids, (std::vector<int>{7, 12, 0}));
    CUserInfo twelve;
    ASSERT_EQ(store.GetUser(12, twelve), 0);
    ASSERT_EQ(twelve.data.size(), 2u);
    EXPECT_EQ(twelve.data[0].dataNumber, 0);
    EXPECT_EQ(twelve.data[1].dataNumber, 3);
    EXPECT_TRUE(store.IsUsedId(0));
    EXPECT_FALSE(store.IsUsedId(3));
    // The left-out users' files stay on disk, and User.dat is not rewritten.
    EXPECT_TRUE(fs::exists(StorePath("003/UserInfo.dat")));
    EXPECT_EQ(ReadAll(StorePath("User.dat")),
              AsciiTextFile({"-5", "007", "7", "1000", "99999", " 12", "abc", "3", "4"}));
}

TEST(StoreLoad, MissingUserListMakesAnEmptyStore) {
    TempDir dir;
    CRegUserInfoMngr store;
    EXPECT_EQ(store.Load(kFolder), -1);
    EXPECT_TRUE(store.Empty());
}

TEST(StoreDelete, OneDatumLeavesTheOthers) {
    TempDir dir;
    CRegUserInfoMngr store;
    store.Load(kFolder);
    ASSERT_EQ(store.AddUser(8, "Dee"), 0);
    for (int n : {0, 3, 5}) {
        ASSERT_EQ(store.AddData(8, n, Picture(static_cast<std::uint8_t>(n))), 0);
    }
    ASSERT_EQ(store.DeleteData(8, 3), 0);
    EXPECT_EQ(ReadAll(StorePath("008/UserInfo.dat")), AsciiTextFile({"8", "Dee", "0,5"}));
    EXPECT_FALSE(fs::exists(StorePath("008/03")));
    EXPECT_FALSE(fs::exists(StorePath("008/03.dat")));
    for (const char* kept : {"008/00", "008/00.dat", "008/05", "008/05.dat"}) {
        EXPECT_TRUE(fs::exists(StorePath(kept))) << kept;
    }
    EXPECT_EQ(store.FreeDataSlot(8), 1);
}

TEST(StoreDelete, AllDataKeepsOnlyTheUserFile) {
    TempDir dir;
    CRegUserInfoMngr store;
    store.Load(kFolder);
    ASSERT_EQ(store.AddUser(8, "Dee"), 0);
    ASSERT_EQ(store.AddData(8, 0, Picture(1)), 0);
    ASSERT_EQ(store.AddData(8, 1, Picture(2)), 0);
    WriteAll(StorePath("008/userinfo.dat"), {1});
    fs::create_directories(StorePath("008/sub"));
    ASSERT_EQ(store.DeleteData(8, -1), 0);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(StorePath("008"))) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"UserInfo.dat", "sub"}));
    EXPECT_EQ(ReadAll(StorePath("008/UserInfo.dat")), AsciiTextFile({"8", "Dee", ""}));
    EXPECT_TRUE(store.IsUsedId(8));

    ASSERT_EQ(store.DeleteUser(8), 0);
    EXPECT_FALSE(fs::exists(StorePath("008")));
    EXPECT_FALSE(store.IsUsedId(8));
    EXPECT_EQ(ReadAll(StorePath("User.dat")), AsciiTextFile({}));
    EXPECT_EQ(store.DeleteUser(8), -1);
}

TEST(StorePicture, ShortOrOversizedFilesAreRejected) {
    TempDir dir;
    CImageData untouched = Picture(7);
    struct Case {
        const char* what;
        Bytes header;
        std::size_t pixels;
    };
    const std::vector<Case> cases = {
        {"no header", {64, 0, 0}, 0},
        {"one byte short", {64, 0, 0, 0, 64, 0, 0, 0, 0x44, 0, 0, 0x21}, 4095},
        {"huge width", {0xFF, 0xFF, 0xFF, 0x7F, 64, 0, 0, 0, 0x44, 0, 0, 0x21}, 4096},
        {"negative height", {64, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x44, 0, 0, 0x21}, 4096},
    };
    for (const Case& c : cases) {
        Bytes file = c.header;
        file.resize(c.header.size() + c.pixels, 1);
        WriteAll(StorePath("001/02"), file);
        CImageData picture = untouched;
        CRegUserInfoMngr store;
        EXPECT_EQ(store.ReadPicture(kFolder, 1, 2, picture), -1) << c.what;
        EXPECT_EQ(picture.Pixels()[0], untouched.Pixels()[0]) << c.what;
    }
}

TEST(StoreNames, LineBreaksAreRefusedEverywhere) {
    TempDir dir;
    CAlbumMngr album;
    album.OpenFolder(kFolder);
    EXPECT_EQ(album.AddNewUser("Ann\nLee", 1), -1);
    EXPECT_EQ(album.Store().AddUser(1, "Ann\rLee"), -1);
    EXPECT_FALSE(fs::exists(StorePath("001")));
    ASSERT_EQ(album.AddNewUser("Ann", 1), 1);
    EXPECT_EQ(album.RenameUser(1, "Ann\r\nLee"), -1);
    CRegUserInfoMngr reloaded;
    reloaded.Load(kFolder);
    ASSERT_EQ(reloaded.ListUsers().size(), 1u);
    EXPECT_EQ(reloaded.ListUsers()[0].name, "Ann");

    std::string name = "x\ny";
    EXPECT_EQ(PrepareUserName(name), NameCheck::kLineBreak);
    EXPECT_FALSE(NameCheckMessage(NameCheck::kLineBreak).empty());
}

// The album file's name field holds 128 UTF-16 code units; longer names are
// cut there, never between the two halves of a surrogate pair.
TEST(StoreNames, LongNamesAreCutAtWholeCharacters) {
    const std::string clef = "\xF0\x9D\x84\x9E";  // U+1D11E, two code units
    struct Case {
        std::string name;
        NameCheck check;
        std::size_t units;
    };
    const std::vector<Case> cases = {
        {std::string(128, 'a'), NameCheck::kOk, 128},
        {std::string(129, 'a'), NameCheck::kCut, 128},
        {std::string(127, 'a') + clef, NameCheck::kCut, 127},  // pair would straddle 128
        {std::string(126, 'a') + clef + "b", NameCheck::kCut, 128},
        {std::string(100, 'a') + std::string(40, '\xE9'), NameCheck::kCut, 128},  // stray bytes
    };
    for (const Case& c : cases) {
        std::string name = c.name;
        EXPECT_EQ(PrepareUserName(name), c.check);
        EXPECT_EQ(Utf16Units(name), c.units);
        EXPECT_EQ(c.name.compare(0, name.size(), name), 0);
    }
}

TEST(StoreUsers, ProposeAddAndNameRules) {
    TempDir dir;
    CAlbumMngr album;
    album.OpenFolder(kFolder);
    std::string name;
    EXPECT_EQ(album.ProposeNewUser(name), 0);
    EXPECT_EQ(name, "USER_0000");
    for (int id : {0, 1, 3}) {
        ASSERT_EQ(album.AddNewUser("u" + std::to_string(id), id), id);
    }
    EXPECT_EQ(album.ProposeNewUser(name), 2);
    EXPECT_EQ(name, "USER_0002");
    EXPECT_EQ(album.AddNewUser("dup", 3), -1);
    EXPECT_EQ(album.AddNewUser("big", 1000), -1);
    EXPECT_EQ(album.RegistCount(), 3);
    EXPECT_EQ(ReadRegistCount(kFolder), 3);

    ASSERT_EQ(album.RenameUser(3, "Ann"), 0);
    EXPECT_TRUE(album.IsNameFree("Ann", 3));
    EXPECT_FALSE(album.IsNameFree("Ann", -1));
    EXPECT_TRUE(album.IsNameFree("ann", -1));
    EXPECT_TRUE(album.IsRegistered(3));
    EXPECT_FALSE(album.IsRegistered(2));
}
