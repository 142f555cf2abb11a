// Sending the stored device settings after a connection, against a module
// scripted on a pseudo-terminal: which steps are kept when one is refused,
// and that a refusal reaches the caller as a failure.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "../protocol/ResponseFrame.h"
#include "../protocol/ScriptedModule.h"
#include "TempDir.h"
#include "app/AppCore.h"
#include "protocol/ResultCodes.h"

namespace {

using namespace std::chrono_literals;

const std::vector<int> kAllCommands = {0x00, 0x01, 0x03, 0x04, 0x05, 0x07, 0x09, 0x0B,
                                       0x0C, 0x0D, 0x10, 0x11, 0x12, 0x13, 0x15, 0x20,
                                       0x21, 0x22, 0x30, 0x40, 0x42, 0x44, 0x45, 0xFF};

DeviceSettings Wanted() {
    DeviceSettings s;
    const int thresholds[5] = {600, 610, 620, 630, 640};
    std::copy(thresholds, thresholds + 5, s.thresholds);
    s.ranges[0] = {40, 1000};
    s.ranges[1] = {40, 900};
    s.ranges[2] = {64, 800};
    s.yawCode = 1;
    s.rollCode = 2;
    return s;
}

TEST(ApplyDeviceSettings, ARefusedStepIsAFailureAndKeepsOnlyTheStepsBeforeIt) {
    // status: the module's response code to each command in turn (angle,
    // the four thresholds, the verify threshold, size ranges, face angles,
    // resolution, verify user).
    struct Case {
        const char* name;
        std::vector<std::uint8_t> status;
        bool ok;
        bool thresholdsKept;
        bool facesKept;
    };
    const Case cases[] = {
        {"all accepted", {0, 0, 0, 0, 0, 0, 0}, true, true, true},
        {"thresholds refused", {0, 2}, false, false, false},
        {"face angles refused", {0, 0, 0, 0, 1}, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        for (const char* name : {"CmdTimeout.ini", "ExecTimeOut.ini", "ImgTimeout.ini"}) {
            dir.CopyShipped(name);
        }
        ScriptedModule module;
        CAppCore core;
        ASSERT_EQ(core.Device().Connect(module.Path(), 921600), kResultOk);
        ASSERT_TRUE(module.WaitRequests(1, 5s));
        module.Forget();
        core.Device().SetSupportedCommands(kAllCommands);
        core.deviceFolder = (std::filesystem::current_path() / "dev").string();
        std::filesystem::create_directories(core.deviceFolder);
        for (std::uint8_t status : c.status) {
            module.Answer(Response(status));
        }

        const int result = core.ApplyDeviceSettings(2, Wanted(), 0, 7);

        EXPECT_EQ(result == 0, c.ok) << "result " << result;
        EXPECT_EQ(core.cameraAngle, 2);
        EXPECT_EQ(core.current.thresholds[0] == 600, c.thresholdsKept);
        EXPECT_EQ(core.current.yawCode == 1, c.facesKept);
        EXPECT_EQ(core.verifyUserId == 7, c.ok);
        core.Disconnect();
    }
}

}  // namespace
