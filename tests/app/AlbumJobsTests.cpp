// The album jobs on the device worker against a scripted module: the module
// first, the store only after its confirmation, the user list published
// after each job, and a cancel in the middle of a transfer that leaves store,
// files and module as they were.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "album/AlbumMngr.h"
#include "album/FakeAlbumDevice.h"
#include "album/PictureFile.h"
#include "app/AlbumJobs.h"
#include "app/AppCore.h"
#include "base/ImageData.h"
#include "protocol/ResultCodes.h"

namespace {

constexpr const char* kFolder = "./KYTO-EMU/1";

// A module whose album transfers hold until the test lets them go, so that a
// cancel lands in the middle of one. The released transfer reports what the
// device manager would: cancelled when the worker cancelled it.
class HoldingDevice : public FakeAlbumDevice {
public:
    explicit HoldingDevice(CDeviceMngr& manager) : manager_(manager) {}

    int SaveAlbum(AlbumImage& image, std::uint8_t& status) override {
        return Hold() ? kResultCancelled : FakeAlbumDevice::SaveAlbum(image, status);
    }
    int LoadAlbum(const AlbumImage& image, std::uint8_t& status) override {
        return Hold() ? kResultCancelled : FakeAlbumDevice::LoadAlbum(image, status);
    }

    bool hold = false;
    std::promise<void> entered;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;

private:
    bool Hold() {
        if (!hold) {
            return false;
        }
        entered.set_value();
        std::unique_lock<std::mutex> lock(mutex);
        released.wait(lock, [this] { return release; });
        return manager_.IsCancelled();
    }
    CDeviceMngr& manager_;
};

// One module for every job; the jobs get a thin handle on it.
class Handle : public IAlbumDevice {
public:
    explicit Handle(IAlbumDevice& d) : d_(d) {}
    int GetVersion(std::uint8_t& s) override { return d_.GetVersion(s); }
    int SaveAlbum(AlbumImage& i, std::uint8_t& s) override { return d_.SaveAlbum(i, s); }
    int LoadAlbum(const AlbumImage& i, std::uint8_t& s) override { return d_.LoadAlbum(i, s); }
    int WriteAlbumToFlash(std::uint8_t& s) override { return d_.WriteAlbumToFlash(s); }
    int ReformatAlbum(std::uint8_t& s) override { return d_.ReformatAlbum(s); }
    int GetRegisteredData(int id, std::uint16_t& m, std::uint8_t& s) override {
        return d_.GetRegisteredData(id, m, s);
    }
    int Register(int id, int n, int c, CImageData& p, std::uint8_t& s) override {
        return d_.Register(id, n, c, p, s);
    }
    int DeleteData(int id, int n, int c, std::uint8_t& s) override {
        return d_.DeleteData(id, n, c, s);
    }
    int DeleteUser(int id, int c, std::uint8_t& s) override { return d_.DeleteUser(id, c, s); }
    int DeleteAll(int c, std::uint8_t& s) override { return d_.DeleteAll(c, s); }
    int GetAlbumType(int& t, std::uint8_t& s) override { return d_.GetAlbumType(t, s); }
    int SetAlbumType(int t, std::uint8_t& s) override { return d_.SetAlbumType(t, s); }
    int SaveAlbumMs() override { return d_.SaveAlbumMs(); }
    int LoadAlbumMs() override { return d_.LoadAlbumMs(); }

private:
    IAlbumDevice& d_;
};

class AlbumJobsTest : public ::testing::Test {
protected:
    AlbumJobsTest()
        : module_(core_.Device()),
          worker_(core_),
          jobs_(worker_, album_, [this](CAppCore&) { return std::make_unique<Handle>(module_); }) {
        album_.OpenFolder(kFolder);
        for (int id : {2, 5, 9}) {
            album_.AddNewUser("user" + std::to_string(id), id);
        }
        CImageData picture;
        InitBlankPicture(picture);
        album_.Store().AddData(5, 0, picture);
        album_.Store().AddData(5, 1, picture);
        module_.module.attribute = 1;
        module_.module.data.assign(64, 0x5A);
        jobs_.RefreshUsers();
        worker_.Start();
    }
    ~AlbumJobsTest() override { worker_.Quit(); }

    // Posts through `post` and waits for the completion (run on the worker).
    template <class Post>
    JobResult<AlbumJobResult> Wait(Post post) {
        auto promise = std::make_shared<std::promise<JobResult<AlbumJobResult>>>();
        auto future = promise->get_future();
        post(InlinePoster(), [promise](JobResult<AlbumJobResult> r) { promise->set_value(r); });
        return future.get();
    }

    std::vector<int> Rows(const UserListSnapshot& users) {
        std::vector<int> ids;
        for (const UserListRow& row : users.rows) {
            ids.push_back(row.id);
        }
        return ids;
    }

    TempDir dir_;
    CAppCore core_;
    CAlbumMngr album_;
    HoldingDevice module_;
    CDeviceWorker worker_;
    CAlbumJobs jobs_;
};

}  // namespace

// A registration goes to the module first; only its confirmation puts the
// picture into the store, and the commit to flash follows. A refusal (two
// faces) adds nothing and commits nothing.
TEST_F(AlbumJobsTest, RegistrationStoresOnlyWhatTheModuleConfirmedAndCommits) {
    JobResult<AlbumJobResult> ok =
        Wait([&](Poster p, AlbumDone d) { return jobs_.Register(5, p, d); });
    ASSERT_EQ(ok.end, JobEnd::kFinished);
    EXPECT_TRUE(ok.value.Ok());
    EXPECT_EQ(ok.value.commitResult, 0);
    EXPECT_EQ(ok.value.commitStatus, 0);
    ASSERT_TRUE(ok.value.pictures.has_value());
    EXPECT_EQ(ok.value.pictures->Count(), 3);
    EXPECT_EQ(ok.value.pictures->items[2].dataNumber, 2);
    ASSERT_NE(ok.value.users->Find(5), nullptr);
    EXPECT_EQ(ok.value.users->Find(5)->dataCount, 3);
    EXPECT_TRUE(module_.Called("Register 5 2"));
    EXPECT_TRUE(module_.Called("WriteFlash"));
    EXPECT_TRUE(std::filesystem::exists(kLocalAlbumFile));

    module_.calls.clear();
    module_.answers["Register"] = {0, 2};
    JobResult<AlbumJobResult> refused =
        Wait([&](Poster p, AlbumDone d) { return jobs_.Register(2, p, d); });
    EXPECT_EQ(refused.value.result, 0);
    EXPECT_EQ(refused.value.status, 2);
    EXPECT_FALSE(refused.value.pictures.has_value());
    EXPECT_EQ(refused.value.users->Find(2)->dataCount, 0);
    EXPECT_EQ(album_.Store().TotalDataCount(), 3);
    EXPECT_FALSE(module_.Called("WriteFlash"));
}

// The flash write after a registration fails: the job says so, and the last
// good local album (the backup) is put back.
TEST_F(AlbumJobsTest, FailedCommitAfterRegistrationRestoresTheBackup) {
    WriteAlbumImageFile(kLocalAlbumFile, module_.module);
    album_.Backup();
    module_.module.data.assign(64, 0x11);
    module_.answers["WriteFlash"] = {0, 0x47};
    JobResult<AlbumJobResult> r =
        Wait([&](Poster p, AlbumDone d) { return jobs_.Register(9, p, d); });
    EXPECT_TRUE(r.value.Ok());
    EXPECT_EQ(r.value.commitStatus, 0x47);
    AlbumImage local;
    ASSERT_EQ(ReadAlbumImageFile(kLocalAlbumFile, local), 0);
    EXPECT_EQ(local.data, std::vector<std::uint8_t>(64, 0x5A));
}

// Several users at once: the one the module refuses stays, the others go;
// the list published afterwards shows exactly that.
TEST_F(AlbumJobsTest, DeletingSeveralUsersCountsEachAndKeepsTheRefusedOne) {
    module_.answers["DeleteUser"] = {0, 3};
    JobResult<AlbumJobResult> r = Wait([&](Poster p, AlbumDone d) {
        return jobs_.DeleteUsers({5, 9, 2}, p, d);
    });
    EXPECT_EQ(r.value.asked, 3);
    EXPECT_EQ(r.value.deleted, 2);
    EXPECT_EQ(r.value.status, 3);
    // User 5 has data, so the module is asked (and refuses); 9 and 2 have
    // none and go from the store alone.
    EXPECT_TRUE(module_.Called("DeleteUser 5"));
    EXPECT_EQ(Rows(*r.value.users), (std::vector<int>{5}));
    EXPECT_EQ(Rows(*jobs_.Users()), (std::vector<int>{5}));
}

// Moves reorder the published rows and the album file written next lists
// the users in that order; a load starts from the file's order again.
TEST_F(AlbumJobsTest, RowOrderReachesTheAlbumFileAndALoadTakesTheFilesOrder) {
    jobs_.SetRowOrder({9, 2, 5});
    EXPECT_EQ(Rows(*jobs_.Users()), (std::vector<int>{9, 2, 5}));
    ASSERT_EQ(jobs_.RenameUser(2, "renamed"), 0);
    EXPECT_EQ(Rows(*jobs_.Users()), (std::vector<int>{9, 2, 5}));
    EXPECT_EQ(jobs_.Users()->rows[1].name, "renamed");

    JobResult<AlbumJobResult> saved = Wait([&](Poster p, AlbumDone d) {
        return jobs_.SaveFile("./album.kyl", {5, 9, 2}, p, d);
    });
    ASSERT_TRUE(saved.value.Ok());
    JobResult<AlbumJobResult> loaded =
        Wait([&](Poster p, AlbumDone d) { return jobs_.LoadFile("./album.kyl", p, d); });
    ASSERT_TRUE(loaded.value.Ok());
    EXPECT_EQ(Rows(*loaded.value.users), (std::vector<int>{5, 9, 2}));
    EXPECT_EQ(loaded.value.users->Find(2)->name, "renamed");
    EXPECT_EQ(loaded.value.users->Find(5)->dataCount, 2);
}

// Cancel in the middle of the Save Album transfer: no file, nothing else
// written; in the middle of a load's Load Album: store and module as before.
TEST_F(AlbumJobsTest, CancelMidTransferLeavesStoreFilesAndModuleAsTheyWere) {
    JobResult<AlbumJobResult> first = Wait([&](Poster p, AlbumDone d) {
        return jobs_.SaveFile("./before.kyl", {2, 5, 9}, p, d);
    });
    ASSERT_TRUE(first.value.Ok());

    struct Case {
        const char* what;
        bool load;
    };
    for (const Case c : {Case{"save", false}, Case{"load", true}}) {
        module_.hold = true;
        module_.release = false;
        module_.entered = std::promise<void>();
        std::future<void> entered = module_.entered.get_future();
        const std::vector<std::uint8_t> moduleBefore = module_.module.data;
        if (c.load) {
            ASSERT_EQ(jobs_.RenameUser(9, "changed since"), 0);
        }
        auto promise = std::make_shared<std::promise<JobResult<AlbumJobResult>>>();
        auto future = promise->get_future();
        AlbumDone done = [promise](JobResult<AlbumJobResult> r) { promise->set_value(r); };
        const JobId id = c.load ? jobs_.LoadFile("./before.kyl", InlinePoster(), done)
                                : jobs_.SaveFile("./after.kyl", {2, 5, 9}, InlinePoster(), done);
        entered.wait();
        const double progress = jobs_.Progress();
        EXPECT_GE(progress, c.load ? 50.0 : 0.0) << c.what;
        EXPECT_LT(progress, c.load ? 100.0 : 50.0) << c.what;
        EXPECT_TRUE(jobs_.Cancel(id)) << c.what;
        {
            std::lock_guard<std::mutex> lock(module_.mutex);
            module_.release = true;
        }
        module_.released.notify_all();
        const JobResult<AlbumJobResult> r = future.get();
        module_.hold = false;
        EXPECT_EQ(r.end, JobEnd::kCancelled) << c.what;
        EXPECT_EQ(r.value.result, kResultCancelled) << c.what;
        EXPECT_FALSE(std::filesystem::exists("./after.kyl")) << c.what;
        EXPECT_EQ(module_.module.data, moduleBefore) << c.what;
        EXPECT_EQ(Rows(*r.value.users), (std::vector<int>{2, 5, 9})) << c.what;
        if (c.load) {
            EXPECT_EQ(r.value.users->Find(9)->name, "changed since");
        }
    }
}

// The bar's expected transfer time is the wire time of a whole album area:
// at 921600 baud one percent of the bar's transfer half is 177 ms.
TEST(AlbumWireTime, IsTheWholeAreaAtTenBitsAByte) {
    EXPECT_EQ(AlbumWireTimeMs(921600), 8855);
    EXPECT_EQ(AlbumWireTimeMs(9600), 850048);
    EXPECT_LT(AlbumWireTimeMs(921600) / 50, 250);
    EXPECT_EQ(AlbumWireTimeMs(0), 1);
}
