#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "app/AppCore.h"
#include "app/DeviceWorker.h"
#include "app/ExecutionLoop.h"
#include "app/FrameLogger.h"
#include "app/LatestFrameSlot.h"
#include "app/LiveImageLoop.h"
#include "emulator/harness/EmuProcess.h"
#include "protocol/KytoProtocol.h"
#include "protocol/ResultCodes.h"
#include "settings/Settings.h"

namespace {

// Every command frame the device manager sends.
class SentFrames : public IFrameObserver {
public:
    void OnFrame(int direction, const std::string& command, int length,
                 const std::uint8_t* bytes) override {
        if (direction != 1) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back({command, std::vector<std::uint8_t>(bytes, bytes + length)});
    }
    // Execution flags of every Execute request.
    std::vector<int> ExecuteFlags() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<int> flags;
        for (const auto& [command, bytes] : frames_) {
            if (command == "Execute" && bytes.size() >= 6) {
                flags.push_back(bytes[4] | bytes[5] << 8);
            }
        }
        return flags;
    }
    int Count(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (const auto& frame : frames_) {
            n += frame.first == name;
        }
        return n;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> frames_;
};

struct Report {
    int status;
    int responseCode;
    int responseMs;
    int timeLimit;  // the limit the frame was run with
    CFrameResult result;
};

// Collects the loop's packets on the worker; stops the run after
// `stopAfter` successful frames.
class Sink : public IFrameSink {
public:
    CDeviceWorker* worker = nullptr;
    int stopAfter = 0;
    std::vector<Report> reports;
    int successes = 0;
    void OnFrame(const FramePacketPtr& p) override {
        reports.push_back(
            {p->status, p->responseCode, p->responseTimeMs, p->timeLimitMs, p->result});
        successes += p->status == 0;
        if (stopAfter > 0 && successes >= stopAfter) {
            worker->RequestStopCurrent();
        }
    }
};

class LoopTest : public ::testing::Test {
protected:
    void Connect(std::vector<std::string> emuOptions) {
        dir_.CopyShipped("CmdInfo");
        dir_.CopyShipped("DefSettings.dat");
        dir_.CopyShipped("FullImageInfo.dat");
        dir_.CopyShipped("ExecTimeOut.ini");
        dir_.CopyShipped("ImgTimeout.ini");
        dir_.CopyShipped("CmdTimeout.ini");
        emuOptions.insert(emuOptions.begin(), {"--no-line-timing", "--seed", "5"});
        emu_ = std::make_unique<CEmuProcess>(emuOptions);
        ASSERT_TRUE(emu_->Start()) << emu_->Error();
        core_ = std::make_unique<CAppCore>();
        core_->LoadSettings();
        core_->SetConnectDelays(0, 0);
        ASSERT_EQ(core_->ConnectDevice(emu_->PortPath(), 9600), 0);
        ASSERT_EQ(core_->ApplyStoredDeviceSettings(), 0);
        core_->Device().SetFrameObserver(&sent_);
        worker_ = std::make_unique<CDeviceWorker>(*core_);
        worker_->Start();
        loop_ = std::make_unique<CExecutionLoop>(choices_, sink_);
        sink_.worker = worker_.get();
    }

    ExecutionEnd RunFrames(int successes) {
        sink_.stopAfter = successes;
        sink_.successes = 0;
        std::promise<JobResult<ExecutionEnd>> ended;
        auto future = ended.get_future();
        loop_->Start(*worker_,
                     successes == 1 ? CExecutionLoop::kSingleShot : CExecutionLoop::kContinuous,
                     InlinePoster(), [&](JobResult<ExecutionEnd> end) { ended.set_value(end); });
        EXPECT_EQ(future.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        return future.get().value;
    }

    void TearDown() override {
        if (worker_) {
            worker_->Quit();
        }
        if (core_) {
            core_->Device().SetFrameObserver(nullptr);
            core_->Disconnect();
        }
    }

    TempDir dir_;
    std::unique_ptr<CEmuProcess> emu_;
    std::unique_ptr<CAppCore> core_;
    std::unique_ptr<CDeviceWorker> worker_;
    SentFrames sent_;
    CChoicesSnapshot choices_;
    Sink sink_;
    std::unique_ptr<CExecutionLoop> loop_;
};

}  // namespace

TEST_F(LoopTest, FaceOffSendsNoEstimationAndVerifyWithoutUserSendsNoVerify) {
    Connect({});
    ExecutionChoices all;
    std::fill(all.functionFlags, all.functionFlags + 11, 1);
    all.functionFlags[kFuncFace] = 0;
    all.imageType = kImageNone;
    choices_.Set(all);
    EXPECT_EQ(RunFrames(1).reason, ExecutionEnd::kSingleShot);
    ASSERT_EQ(sent_.ExecuteFlags(), (std::vector<int>{0x0003}));  // body and hand only
    ASSERT_EQ(sink_.reports.size(), 1u);
    EXPECT_FALSE(worker_->IsBusy());  // single shot: idle after one frame

    // Verify on, no user selected: no verify bit, no Set Verify User ID, and
    // every face says "no user selected".
    const std::uint8_t faceVerify[11] = {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
    choices_.SetFunctionFlags(faceVerify);
    choices_.SetVerifyUserId(-1);
    RunFrames(2);
    EXPECT_EQ(sent_.ExecuteFlags(), (std::vector<int>{0x0003, 0x0004, 0x0004}));
    EXPECT_EQ(sent_.Count("Set Verify User ID"), 0);
    int faces = 0;
    for (std::size_t i = 1; i < sink_.reports.size(); ++i) {
        for (const FaceResult& face : sink_.reports[i].result.faces) {
            ++faces;
            EXPECT_EQ(face.verify.result, kVerifyNoVerdict);
            EXPECT_EQ(face.verify.score, -1);
        }
    }
    EXPECT_GT(faces, 0);
    // With a user: sent once, kept in the device settings.
    choices_.SetVerifyUserId(4);
    RunFrames(2);
    EXPECT_EQ(sent_.Count("Set Verify User ID"), 1);
    EXPECT_EQ(sent_.ExecuteFlags().back(), 0x0404);
    EXPECT_EQ(ReadVerifyUserId(core_->deviceFolder), 4);
    // The choices were saved as the stored defaults.
    std::uint8_t stored[11];
    ReadFunctionFlags(stored);
    EXPECT_EQ(stored[kFuncVerify], 1);
    EXPECT_EQ(ReadExecuteImage(), kImageNone);
}

TEST_F(LoopTest, AdaptiveTimeLimitIsTwiceTheResponseTimeAndAtLeastOneSecond) {
    struct Case {
        int delayMs;
        int minLimit;
        int maxLimit;
    } cases[] = {{300, 1000, 1000}, {800, 1600, 2400}};
    for (const Case& c : cases) {
        Connect({"--delay-ms", std::to_string(c.delayMs)});
        choices_.SetFunction(kFuncFace, true);
        choices_.SetImageType(kImageNone);
        RunFrames(3);
        ASSERT_EQ(sink_.reports.size(), 3u);
        EXPECT_EQ(sink_.reports[0].timeLimit, 0);  // first frame: the table limit
        for (int i = 1; i < 3; ++i) {
            const Report& previous = sink_.reports[static_cast<std::size_t>(i - 1)];
            const Report& r = sink_.reports[static_cast<std::size_t>(i)];
            EXPECT_GE(previous.responseMs, c.delayMs);
            EXPECT_GE(r.timeLimit, c.minLimit) << c.delayMs;
            EXPECT_LE(r.timeLimit, c.maxLimit) << c.delayMs;
            if (c.minLimit > 1000) {
                EXPECT_NEAR(r.timeLimit, 2 * previous.responseMs, 2);
            }
        }
        // A change of the choices goes back to the table limit for one frame.
        choices_.SetImageType(kImageSmall);
        sink_.reports.clear();
        RunFrames(2);
        EXPECT_EQ(sink_.reports[0].timeLimit, 0);
        TearDown();
        loop_.reset();
        worker_.reset();
        core_.reset();
        sink_.reports.clear();
        emu_->Stop();
    }
}

// The window's road: packets into the latest-frame slot for the painter and
// through the logger into the daily result log. A painter that is busy for
// the whole run sees only the newest frame; the log has every one.
TEST_F(LoopTest, ASlowPainterDropsFramesWhileTheDailyLogKeepsEveryOne) {
    Connect({});
    choices_.SetFunction(kFuncFace, true);
    choices_.SetImageType(kImageSmall);
    CLatestFrameSlot slot;
    CFrameLogger logger;
    ASSERT_EQ(logger.SetFileOutput(true), 0);
    // Both sinks, in the order the window chains them: log, then slot.
    struct Chain : IFrameSink {
        std::vector<IFrameSink*> sinks;
        void OnFrame(const FramePacketPtr& p) override {
            for (IFrameSink* s : sinks) {
                s->OnFrame(p);
            }
        }
    } chain;
    chain.sinks = {&logger, &slot, &sink_};
    CExecutionLoop loop(choices_, chain);
    sink_.stopAfter = 5;
    std::promise<JobResult<ExecutionEnd>> ended;
    loop.Start(*worker_, CExecutionLoop::kContinuous, InlinePoster(),
               [&](JobResult<ExecutionEnd> end) { ended.set_value(end); });
    const JobResult<ExecutionEnd> end = ended.get_future().get();
    EXPECT_EQ(end.end, JobEnd::kFinished);
    EXPECT_EQ(end.value.reason, ExecutionEnd::kStopped);
    EXPECT_EQ(end.value.frames, 5);
    logger.SetFileOutput(false);

    FramePacketPtr newest = slot.Take();
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->sequence, sink_.reports.size());
    EXPECT_EQ(slot.Dropped(), sink_.reports.size() - 1);
    EXPECT_EQ(newest->image.Width(), 160);
    EXPECT_TRUE(newest->Succeeded());
    EXPECT_LE(newest->started, newest->finished);

    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator("Log")) {
        std::ifstream in(entry.path(), std::ios::binary);
        log.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::size_t blocks = 0;
    for (std::size_t at = log.find("\r\nExecute "); at != std::string::npos;
         at = log.find("\r\nExecute ", at + 1)) {
        ++blocks;
    }
    EXPECT_EQ(blocks, sink_.reports.size());
}

TEST_F(LoopTest, LiveImagesUntilStoppedThenTheAnswer) {
    Connect({});
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<FramePacketPtr> images;
    struct Collect : IFrameSink {
        std::function<void(const FramePacketPtr&)> take;
        void OnFrame(const FramePacketPtr& p) override { take(p); }
    } collect;
    collect.take = [&](const FramePacketPtr& p) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            images.push_back(p);
        }
        changed.notify_all();
    };
    CLiveImageLoop live(collect);
    std::promise<JobResult<LiveImageEnd>> ended;
    const JobId id = live.Start(*worker_, InlinePoster(),
                                [&](JobResult<LiveImageEnd> end) { ended.set_value(end); });
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::seconds(30), [&] { return images.size() >= 3; }));
    }
    EXPECT_TRUE(worker_->RequestStop(id));
    const JobResult<LiveImageEnd> end = ended.get_future().get();
    EXPECT_EQ(end.value.reason, LiveImageEnd::kStopped);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(end.value.images, static_cast<int>(images.size()));
    for (const FramePacketPtr& p : images) {
        EXPECT_EQ(p->kind, FrameKind::kLiveImage);
        EXPECT_TRUE(p->Succeeded());
        EXPECT_EQ(p->image.Width(), 160);
        EXPECT_EQ(p->image.Height(), 120);
    }
    // The image in flight when the stop came is not handed on.
    EXPECT_GE(sent_.Count("Execute"), static_cast<int>(images.size()));
    EXPECT_LE(sent_.Count("Execute"), static_cast<int>(images.size()) + 1);
    // Preview frames change none of the remembered detection choices.
    EXPECT_EQ(core_->Detection().LastImageType(), -1);
}

// A module whose port vanishes mid-run: no ten resyncs against nothing, the
// run ends as "port lost" and the window is told once.
TEST_F(LoopTest, AVanishedPortEndsTheRunAndIsReportedOnce) {
    Connect({"--vanish-after", "15"});  // the connection takes nine frames
    int lost = 0;
    worker_->SetPortLostListener(InlinePoster(), [&] { ++lost; });
    choices_.SetFunction(kFuncFace, true);
    choices_.SetImageType(kImageNone);
    std::promise<JobResult<ExecutionEnd>> ended;
    loop_->Start(*worker_, CExecutionLoop::kContinuous, InlinePoster(),
                 [&](JobResult<ExecutionEnd> end) { ended.set_value(end); });
    auto future = ended.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    const JobResult<ExecutionEnd> end = future.get();
    EXPECT_EQ(end.value.reason, ExecutionEnd::kPortLost);
    EXPECT_TRUE(end.portLost);
    EXPECT_NE(end.value.failure, 0);
    EXPECT_EQ(sent_.Count("Resync"), 0);
    // Further work hears the same news, but the listener only once.
    EXPECT_TRUE(worker_->Submit("next", [](CJobContext&) {}).get().portLost);
    EXPECT_EQ(lost, 1);
}

// Verify on without a selected user makes every frame save the function
// flags again (the request clears verify); the store sees the value is
// already there and leaves Application.ini alone.
TEST_F(LoopTest, VerifyWithoutAUserDoesNotRewriteTheSettingsEveryFrame) {
    Connect({});
    const std::uint8_t faceVerify[11] = {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
    choices_.SetFunctionFlags(faceVerify);
    choices_.SetImageType(kImageNone);
    choices_.SetVerifyUserId(-1);
    RunFrames(1);
    struct stat before {};
    ASSERT_EQ(stat("Application.ini", &before), 0);
    RunFrames(4);
    struct stat after {};
    ASSERT_EQ(stat("Application.ini", &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    std::uint8_t stored[11];
    ReadFunctionFlags(stored);
    EXPECT_EQ(std::memcmp(stored, faceVerify, 11), 0);
    EXPECT_EQ(sent_.ExecuteFlags().back(), 0x0004);  // still no verify in the request
}

// A module that falls silent: the exchange in flight waits for its limit
// (Save Album at 9600 baud: many minutes; a frame: seconds) unless the
// owner cancels it; the cancel ends it at once, and the next job runs
// normally.
TEST_F(LoopTest, CancelEndsAnExchangeWithASilentModule) {
    Connect({"--silent-after", "9"});  // silent from the first exchange after connecting
    std::promise<void> started;
    auto transfer = worker_->Submit("Save Album", [&](CJobContext& job) {
        started.set_value();
        std::vector<std::uint8_t> album;
        return job.Core().Device().SaveAlbum(album);
    });
    started.get_future().wait();
    EXPECT_TRUE(worker_->CancelCurrent());
    ASSERT_EQ(transfer.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const JobResult<DeviceReply> saved = transfer.get();
    EXPECT_EQ(saved.end, JobEnd::kCancelled);
    EXPECT_EQ(saved.value.result, kResultCancelled);
    EXPECT_FALSE(saved.portLost);

    // The loop on the same silent module: cancelled, it ends without the
    // retries and resyncs of a failed frame.
    choices_.SetFunction(kFuncFace, true);
    std::promise<JobResult<ExecutionEnd>> ended;
    loop_->Start(*worker_, CExecutionLoop::kContinuous, InlinePoster(),
                 [&](JobResult<ExecutionEnd> end) { ended.set_value(end); });
    while (worker_->CurrentJob() == 0) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(worker_->CancelCurrent());
    auto future = ended.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const JobResult<ExecutionEnd> end = future.get();
    EXPECT_EQ(end.end, JobEnd::kCancelled);
    EXPECT_EQ(end.value.reason, ExecutionEnd::kStopped);
    EXPECT_EQ(sent_.Count("Resync"), 0);
    EXPECT_TRUE(sink_.reports.empty());

    // The cancel does not outlive its job.
    EXPECT_FALSE(
        worker_->Submit("next", [](CJobContext& job) { return job.Core().Device().IsCancelled(); })
            .get()
            .value);
}
