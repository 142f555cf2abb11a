#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "app/AppCore.h"
#include "app/ExecutionLoop.h"
#include "emulator/harness/EmuProcess.h"
#include "protocol/KytoProtocol.h"
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

class Choices : public IExecutionChoices {
public:
    ExecutionChoices value;
    ExecutionChoices CurrentChoices() override { return value; }
};

struct Report {
    int status;
    int responseCode;
    int responseMs;
    int timeLimit;  // the limit the frame was run with
    CFrameResult result;
};

class Sink : public IFrameSink {
public:
    CExecutionLoop* loop = nullptr;
    int stopAfter = 0;  // successful frames
    std::vector<Report> reports;
    void ReportFrame(const CImageData&, const std::uint8_t*, bool, int status,
                     std::uint8_t responseCode, const CFrameResult& result, int,
                     int responseTimeMs) override {
        reports.push_back({status, responseCode, responseTimeMs, loop->FrameTimeLimit(), result});
        successes += status == 0;
        if (stopAfter > 0 && successes >= stopAfter) {
            loop->RequestStop();
        }
    }
    int successes = 0;
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
        loop_ = std::make_unique<CExecutionLoop>(core_->Device(), choices_, sink_);
        loop_->SetDeviceFolder(core_->deviceFolder);
        sink_.loop = loop_.get();
        loop_->Start();
    }

    void RunFrames(int successes) {
        sink_.stopAfter = successes;
        sink_.successes = 0;
        loop_->Run(successes == 1 ? CExecutionLoop::kSingleShot : CExecutionLoop::kContinuous);
        ASSERT_TRUE(loop_->WaitIdle(60000));
    }

    void TearDown() override {
        if (loop_) {
            loop_->Quit();
        }
        if (core_) {
            core_->Device().SetFrameObserver(nullptr);
            core_->Disconnect();
        }
    }

    TempDir dir_;
    std::unique_ptr<CEmuProcess> emu_;
    std::unique_ptr<CAppCore> core_;
    SentFrames sent_;
    Choices choices_;
    Sink sink_;
    std::unique_ptr<CExecutionLoop> loop_;
};

}  // namespace

TEST_F(LoopTest, FaceOffSendsNoEstimationAndVerifyWithoutUserSendsNoVerify) {
    Connect({});
    std::fill(choices_.value.functionFlags, choices_.value.functionFlags + 11, 1);
    choices_.value.functionFlags[kFuncFace] = 0;
    choices_.value.imageType = kImageNone;
    RunFrames(1);
    ASSERT_EQ(sent_.ExecuteFlags(), (std::vector<int>{0x0003}));  // body and hand only
    ASSERT_EQ(sink_.reports.size(), 1u);
    EXPECT_EQ(loop_->IsRunning(), false);  // single shot: idle after one frame

    // Verify on, no user selected: no verify bit, no Set Verify User ID, and
    // every face says "no user selected".
    std::fill(choices_.value.functionFlags, choices_.value.functionFlags + 11, 0);
    choices_.value.functionFlags[kFuncFace] = 1;
    choices_.value.functionFlags[kFuncVerify] = 1;
    loop_->SetVerifyUserId(-1);
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
    loop_->SetVerifyUserId(4);
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
        choices_.value.functionFlags[kFuncFace] = 1;
        choices_.value.imageType = kImageNone;
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
        choices_.value.imageType = kImageSmall;
        sink_.reports.clear();
        RunFrames(2);
        EXPECT_EQ(sink_.reports[0].timeLimit, 0);
        TearDown();
        loop_.reset();
        core_.reset();
        sink_ = Sink();
        emu_->Stop();
    }
}
