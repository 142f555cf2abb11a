// Sending the stored device settings after a connection, against a module
// scripted on a pseudo-terminal: which steps are kept when one is refused,
// and that a refusal reaches the caller as a failure.
#include <gtest/gtest.h>

#include <vector>

#include "ScriptedCore.h"

namespace {

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
        ScriptedCore m;
        CAppCore& core = m.core;
        for (std::uint8_t status : c.status) {
            m.module.Answer(Response(status));
        }

        const int result = core.ApplyDeviceSettings(2, Wanted(), 0, 7);

        EXPECT_EQ(result == 0, c.ok) << "result " << result;
        EXPECT_EQ(core.cameraAngle, 2);
        EXPECT_EQ(core.current.thresholds[0] == 600, c.thresholdsKept);
        EXPECT_EQ(core.current.yawCode == 1, c.facesKept);
        EXPECT_EQ(core.verifyUserId == 7, c.ok);
    }
}

}  // namespace
