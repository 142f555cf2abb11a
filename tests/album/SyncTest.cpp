#include <gtest/gtest.h>

#include <filesystem>

#include "AlbumTestUtil.h"
#include "FakeAlbumDevice.h"
#include "album/AlbumFile.h"
#include "album/AlbumSync.h"
#include "album/AlbumTransfer.h"
#include "album/PictureFile.h"
#include "base/AtomicFile.h"
#include "protocol/ResultCodes.h"
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
    std::vector<int> StoreIds() {
        std::vector<int> ids;
        for (const auto& user : album_.Store().ListUsers()) {
            ids.push_back(user.id);
        }
        return ids;
    }
    // Users 6 (one datum) and 9 (none), the local album image 1, counter 2.
    void PreviousState() {
        AddUserWithData(6, {0});
        AddUserWithData(9, {});
        WriteAlbumImageFile(kLocalAlbumFile, Image(1));
        album_.SetRegistCount(2);
    }
    // PreviousState is untouched, in memory and on disk.
    void ExpectPreviousState(const std::string& what) {
        EXPECT_EQ(StoreIds(), (std::vector<int>{6, 9})) << what;
        EXPECT_EQ(album_.TotalDataCount(), 1) << what;
        CAlbumMngr reloaded;
        reloaded.OpenFolder(kFolder);
        EXPECT_EQ(reloaded.Store().ListUsers().size(), 2u) << what;
        EXPECT_EQ(ReadRegistCount(kFolder), 2) << what;
        EXPECT_EQ(album_.RegistCount(), 2) << what;
        EXPECT_EQ(LocalImage(), Image(1)) << what;
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
    {
        // The module took the face, the disk would not: no success.
        ScopedWriteFault fault({"/003/", 0, false});
        EXPECT_EQ(sync_.RegisterData(3, status_), kResultRegisteredNotStored);
        EXPECT_EQ(status_, 0);
        EXPECT_TRUE(device_.Called("Register 3 3"));
    }
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

TEST_F(Sync, FailedStepsOfTheStartupCheckAreFailuresAndChangeNothing) {
    struct Case {
        const char* what;
        bool preferApplication;
        std::string saveFile;
        std::map<std::string, FakeAlbumDevice::Answer> answers;
        std::vector<FakeAlbumDevice::Answer> registered;  // queued answers
        const char* faultPath;
        CheckOutcome outcome;
        std::uint8_t status;
    };
    const std::vector<Case> cases = {
        {"module refuses our album",
         true,
         "",
         {{"LoadAlbum", {0, 3}}},
         {},
         nullptr,
         CheckOutcome::kPushFailed,
         3},
        {"our album times out",
         true,
         "",
         {{"LoadAlbum", {-20, 0}}},
         {},
         nullptr,
         CheckOutcome::kPushFailed,
         kNoAnswerStatus},
        {"flash write refused",
         true,
         "",
         {{"WriteFlash", {0, 5}}},
         {},
         nullptr,
         CheckOutcome::kPushFailed,
         5},
        {"export to the chosen file fails",
         false,
         "mine.kyl",
         {},
         {},
         "mine.kyl",
         CheckOutcome::kExportFailed,
         kNoAnswerStatus},
        {"module stops answering part-way",
         false,
         "",
         {},
         {{0, 0}, {0, 0}, {-20, 0}},
         nullptr,
         CheckOutcome::kRebuildFailed,
         0},
        {"module reports an error part-way",
         false,
         "",
         {},
         {{0, 0}, {0, 7}},
         nullptr,
         CheckOutcome::kRebuildFailed,
         7},
        {"rebuilt store cannot be written",
         false,
         "",
         {},
         {},
         ".import",
         CheckOutcome::kRebuildFailed,
         0},
    };
    PreviousState();
    for (const Case& c : cases) {
        fs::remove_all(kDbBackFolder);
        device_.module = Image(2);
        device_.masks = {{0, 1}, {3, 0b11}};
        device_.answers = c.answers;
        device_.queued["GetRegisteredData"] = c.registered;
        device_.calls.clear();
        questions_.preferApplication = c.preferApplication;
        questions_.saveFile = c.saveFile;
        std::uint8_t status = 0xEE;
        CheckOutcome outcome;
        if (c.faultPath) {
            ScopedWriteFault fault({c.faultPath, 0, false});
            outcome = sync_.StartupCheck(questions_, &status);
            EXPECT_GT(WriteFaultHits(), 0) << c.what;
        } else {
            outcome = sync_.StartupCheck(questions_, &status);
        }
        EXPECT_EQ(outcome, c.outcome) << c.what;
        EXPECT_FALSE(CheckSucceeded(outcome)) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_FALSE(fs::exists(kDbBackFolder)) << c.what;  // no backup of a failed check
        ExpectPreviousState(c.what);
        if (c.outcome == CheckOutcome::kExportFailed) {
            EXPECT_FALSE(device_.Called("GetRegisteredData")) << c.what;
            EXPECT_FALSE(fs::exists("mine.kyl")) << c.what;
        }
        if (c.outcome == CheckOutcome::kPushFailed && c.answers.count("LoadAlbum")) {
            EXPECT_FALSE(device_.Called("WriteFlash")) << c.what;
        }
    }
    // The same module answering throughout: the store follows it.
    device_.answers.clear();
    device_.queued.clear();
    questions_.preferApplication = false;
    questions_.saveFile = "";
    EXPECT_EQ(sync_.StartupCheck(questions_), CheckOutcome::kRebuiltFromDevice);
    EXPECT_EQ(StoreIds(), (std::vector<int>{0, 3}));
    EXPECT_EQ(ReadRegistCount(kFolder), 2);
    EXPECT_TRUE(fs::exists(kDbBackFolder));
}

TEST_F(Sync, RebuildReportsProgressAndStopsWithoutChanges) {
    PreviousState();
    device_.masks = {{5, 1}};
    int asked = 0;
    album_.SetStopCheck([&] { return device_.calls.size() >= 500 && ++asked > 0; });
    EXPECT_EQ(sync_.RebuildFromDevice(status_), kResultCancelled);
    EXPECT_EQ(device_.calls.size(), 500u);
    ExpectPreviousState("stopped rebuild");

    album_.SetStopCheck(nullptr);
    album_.StartStepPhase(1000);
    for (int i = 0; i < 250; ++i) {
        album_.AdvanceProgress();
    }
    EXPECT_DOUBLE_EQ(album_.AlbumProgress(), 25.0);
    EXPECT_EQ(sync_.RebuildFromDevice(status_), 0);
    EXPECT_EQ(album_.AlbumProgress(), 100.0);
    EXPECT_EQ(StoreIds(), (std::vector<int>{5}));
    EXPECT_FALSE(album_.LocalAlbumExists());
}

TEST_F(Sync, StoppedOrRefusedLoadsLeaveStoreAndModuleAsTheyWere) {
    // An album file of another user set.
    AddUserWithData(2, {0, 1});
    device_.module = Image(9, 100);
    ASSERT_EQ(sync_.SaveAlbumFile("other.kyl", status_), 0);
    AlbumFileData huge;
    huge.AddUser(1, "x");
    huge.image.data.assign(kAlbumAreaSize + 1, 1);
    WriteAll("huge.kyl", EncodeAlbumFile(huge, {}));
    album_.DeleteAllLocal();
    PreviousState();
    device_.module = Image(1);

    // Cancelled during the transfer (the device manager's cancel).
    device_.answers["LoadAlbum"] = {kResultCancelled, 0};
    EXPECT_EQ(sync_.LoadAlbumFile("other.kyl", status_), kResultCancelled);
    EXPECT_EQ(device_.module, Image(1));
    ExpectPreviousState("cancelled transfer");
    device_.answers.clear();

    // Stopped before the transfer: the module hears nothing.
    device_.calls.clear();
    album_.SetStopCheck([] { return true; });
    EXPECT_EQ(sync_.LoadAlbumFile("other.kyl", status_), kResultCancelled);
    album_.SetStopCheck(nullptr);
    EXPECT_FALSE(device_.Called("LoadAlbum"));
    ExpectPreviousState("stopped import");

    // Refused before anything: too large for the module, or a failed write.
    EXPECT_EQ(sync_.LoadAlbumFile("huge.kyl", status_), -1);
    EXPECT_EQ(album_.LastImportFailure(), ImportFailure::kAlbumTooLarge);
    {
        ScopedWriteFault fault({".import", 5000, false});
        EXPECT_EQ(sync_.LoadAlbumFile("other.kyl", status_), -1);
        EXPECT_EQ(album_.LastImportFailure(), ImportFailure::kWriteFailed);
    }
    EXPECT_FALSE(device_.Called("LoadAlbum"));
    ExpectPreviousState("refused file");

    EXPECT_EQ(sync_.LoadAlbumFile("other.kyl", status_), 0);
    EXPECT_EQ(device_.module, Image(9, 100));
    EXPECT_EQ(StoreIds(), (std::vector<int>{2}));
}
