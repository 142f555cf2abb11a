// Sending what the settings dialog changed, against a module scripted on a
// pseudo-terminal: only changed groups travel, the final Get Version tells
// whether the module still answers, and after a refusal the core and
// Settings.ini hold exactly the groups sent before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ScriptedCore.h"
#include "protocol/CommandTable.h"

namespace {

std::vector<std::uint8_t> VersionAnswer() {
    std::vector<std::uint8_t> payload(19, 0);
    const char model[] = "KYTO-EMU";
    std::copy(model, model + 8, payload.begin());
    payload[12] = 1;
    return Response(0, payload);
}

DeviceSettings Stored() {
    DeviceSettings s;
    const int thresholds[5] = {500, 500, 500, 500, 500};
    std::copy(thresholds, thresholds + 5, s.thresholds);
    s.ranges[0] = {40, 8192};
    s.ranges[1] = {40, 8192};
    s.ranges[2] = {64, 8192};
    s.yawCode = 0;
    s.rollCode = 0;
    return s;
}

// A core connected to the scripted module, holding Stored(), angle 0 and
// resolution 1.
struct Connected : ScriptedCore {
    Connected() {
        core.current = Stored();
        core.cameraAngle = 0;
        core.cameraResolution = 1;
    }
};

TEST(ApplyChangedSettings, OnlyChangedGroupsTravelBeforeTheFinalGetVersion) {
    struct Case {
        const char* name;
        void (*change)(int& angle, DeviceSettings& s, int& resolution);
        std::vector<int> codes;
    };
    const Case cases[] = {
        {"nothing changed", [](int&, DeviceSettings&, int&) {}, {kCmdGetVersion}},
        {"roll code only",
         [](int&, DeviceSettings& s, int&) { s.rollCode = 1; },
         {kCmdSetFaceAngle, kCmdGetVersion}},
        {"angle and resolution",
         [](int& a, DeviceSettings&, int& r) {
             a = 2;
             r = 2;
         },
         {kCmdSetCameraAngle, kCmdSetCameraResolution, kCmdGetVersion}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Connected m;
        int angle = 0;
        DeviceSettings wanted = Stored();
        int resolution = 1;
        c.change(angle, wanted, resolution);
        for (std::size_t i = 1; i < c.codes.size(); ++i) {
            m.module.Answer(Response(0));
        }
        m.module.Answer(VersionAnswer());

        EXPECT_EQ(m.core.ApplyChangedSettings(angle, wanted, resolution), 0);
        EXPECT_EQ(m.Codes(), c.codes);
        EXPECT_EQ(m.core.current.rollCode, wanted.rollCode);
        EXPECT_EQ(m.core.cameraAngle, angle);
        EXPECT_EQ(m.core.cameraResolution, resolution);
    }
}

TEST(ApplyChangedSettings, ARefusalKeepsExactlyTheGroupsBeforeIt) {
    // Everything changed; the module answers each command in turn with the
    // given response codes (thresholds take two frames).
    struct Case {
        const char* name;
        std::vector<std::uint8_t> status;
        bool thresholdsKept;
        bool rangesKept;
        bool facesKept;
    };
    const Case cases[] = {
        {"thresholds refused", {0, 2}, false, false, false},
        {"face angles refused", {0, 0, 0, 0, 1}, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Connected m;
        DeviceSettings wanted = Stored();
        wanted.thresholds[0] = 700;
        wanted.ranges[2] = {80, 4000};
        wanted.yawCode = 2;
        for (std::uint8_t status : c.status) {
            m.module.Answer(Response(status));
        }

        EXPECT_EQ(m.core.ApplyChangedSettings(3, wanted, 2), -1);

        // The angle was accepted first; nothing after the refusal was sent.
        EXPECT_EQ(m.core.cameraAngle, 3);
        EXPECT_EQ(ReadCameraAngle(m.core.deviceFolder), 3);
        EXPECT_EQ(m.core.current.thresholds[0] == 700, c.thresholdsKept);
        EXPECT_EQ(m.core.current.ranges[2].min == 80, c.rangesKept);
        EXPECT_EQ(m.core.current.yawCode == 2, c.facesKept);
        EXPECT_EQ(m.core.cameraResolution, 1);
        DeviceSettings written;
        ReadDeviceSettings(m.core.deviceFolder, written);
        EXPECT_EQ(written.thresholds[0] == 700, c.thresholdsKept);
        EXPECT_EQ(written.yawCode == 2, c.facesKept);
        const std::vector<int> codes = m.Codes();
        EXPECT_EQ(std::count(codes.begin(), codes.end(), int(kCmdSetCameraResolution)), 0);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), int(kCmdGetVersion)), 0);
    }
}

// A module that took everything but no longer answers Get Version: the
// apply fails (the title goes to "Not connected."), the values stay kept.
TEST(ApplyChangedSettings, ASilentModuleAtTheEndFails) {
    Connected m;
    m.core.Device().SetFixedTimeLimit(300);
    DeviceSettings wanted = Stored();
    wanted.rollCode = 1;
    m.module.Answer(Response(0));
    EXPECT_EQ(m.core.ApplyChangedSettings(0, wanted, 1), -1);
    EXPECT_EQ(m.core.current.rollCode, 1);
}

}  // namespace
