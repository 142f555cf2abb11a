#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "TestFiles.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace {

auto Fields(const SocketSettings& s) {
    return std::make_tuple(s.address, s.port, s.mode, s.discoveryAddress, s.discoveryPort,
                           s.configTag);
}

TEST(Settings, MissingApplicationIniGivesDefaults) {
    TempDir dir;
    std::string port = "stale";
    int baud = 0;
    ReadComSettings(port, baud);
    EXPECT_EQ(port, "");
    EXPECT_EQ(baud, 921600);
    EXPECT_EQ(ReadAutoConnect(), 0);
    EXPECT_EQ(ReadPrevSelectFile(), "./KytoAlbum.kyl");
    EXPECT_EQ(ReadLimitLogBlock(), 150);
    EXPECT_EQ(ReadExecuteImage(), 1);
    EXPECT_EQ(ReadQuellFlag(), 1);
    EXPECT_EQ(ReadSettingTime(), 10);
    EXPECT_EQ(ReadCameraAngle("./KYTO-EMU/1"), 0);
    EXPECT_EQ(ReadRegistCount("./KYTO-EMU/1"), 0);
    EXPECT_EQ(Fields(ReadSocketSettings()),
              std::make_tuple("", 0, 0, "255.255.255.255", 1500, "123456"));

    const QuellSettings q = ReadQuellSettings();
    EXPECT_EQ(q.retryCount, 2);
    EXPECT_EQ(q.posSteadiness, 30);
    EXPECT_EQ(q.peThreshold, 300);
    EXPECT_EQ(q.peAngleUDMin, -15);
    EXPECT_EQ(q.frRatio, 60);
    EXPECT_EQ(q.frAngleLRMin, -20);

    const RgbColour female = ReadFemaleColour();
    EXPECT_EQ(female.red, 123);
    EXPECT_EQ(female.green, 86);
    EXPECT_EQ(female.blue, 99);
    int width = 1;
    int height = 1;
    ReadFontSize(width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, -16);
}

TEST(Settings, AccessorsUseTheirFileSectionAndKey) {
    TempDir dir;
    WriteComSettings("/dev/ttyACM0", 115200);
    WriteQuellFlag(false);
    EXPECT_EQ(GetFile("Application.ini"),
              "[Application]\nCOMPortName=/dev/ttyACM0\nBaudRate=115200\n"
              "[ActiveFunction]\nQuellFlag=0\n");

    PutFile("Debug.ini", "[quell]\nmaleg=7\n[Log]\nMaxFileNum=12\n");
    EXPECT_EQ(ReadMaleColour().green, 7);
    EXPECT_EQ(ReadMaleColour().blue, 128);
    EXPECT_EQ(ReadLogMaxFileNum(), 12);

    // An empty discovery address is kept (it turns discovery off).
    PutFile("Application.ini",
            "[application]\ntcpip=10.0.0.5\nPortNumber=5000\nSOCKETMODE=1\nDISCOVERYADDRESS=\n"
            "DiscoveryPort=1600\nCONFIGTAG=000042\n");
    EXPECT_EQ(Fields(ReadSocketSettings()),
              std::make_tuple("10.0.0.5", 5000, 1, "", 1600, "000042"));

    QuellSettings q;
    q.frThreshold = 999;
    q.posSteadiness = 1;  // never written: no page edits it
    WriteQuellSettings(q);
    EXPECT_EQ(ReadQuellSettings().frThreshold, 999);
    EXPECT_EQ(ReadQuellSettings().posSteadiness, 30);
}

TEST(Settings, FunctionFlagsAsBits) {
    TempDir dir;
    std::uint8_t flags[kFunctionCount] = {};
    flags[0] = 1;   // body
    flags[2] = 1;   // face
    flags[10] = 5;  // verify; any non-zero value is on
    WriteFunctionFlags(flags);
    int stored = 0;
    ReadIniInt("ActiveFunction", "Function", 0, kApplicationIni, stored);
    EXPECT_EQ(stored, 1029);

    const struct {
        int bits;
        int expectedOn[kFunctionCount];
    } cases[] = {
        {1029, {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}},
        {4096, {0}},  // bit 12 only: nothing
        {2047 | 4096 | 8192, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {-1, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        WriteIniInt("ActiveFunction", "Function", kApplicationIni, c.bits);
        std::uint8_t read[kFunctionCount];
        ReadFunctionFlags(read);
        for (int i = 0; i < kFunctionCount; ++i) {
            EXPECT_EQ(read[i], c.expectedOn[i]) << "bits " << c.bits << " flag " << i;
        }
    }
}

TEST(Settings, PackedSizeRanges) {
    TempDir dir;
    const std::string folder = "./KYTO-EMU/3";
    std::filesystem::create_directories(folder);

    // Nothing stored: -1 unpacks to -1 / 65535.
    CRange ranges[3];
    ReadSizeRanges(folder, ranges);
    for (const CRange& r : ranges) {
        EXPECT_EQ(r.min, -1);
        EXPECT_EQ(r.max, 65535);
    }

    const CRange written[3] = {CRange(64, 8192), CRange(20, 20), CRange(8192, 8192)};
    WriteSizeRanges(folder, written);
    int stored = 0;
    ReadIniInt("SizeRange", "Body", 0, folder + "/Settings.ini", stored);
    EXPECT_EQ(stored, 64 * 65536 + 8192);
    ReadSizeRanges(folder, ranges);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ranges[i], written[i]) << i;
    }

    // The sign of the upper half belongs to the minimum.
    EXPECT_EQ(CRange::FromPacked(CRange(-2, 100).ToPacked()), CRange(-2, 100));
}

TEST(Settings, DeviceSettingsRoundTripInTheDeviceFolder) {
    TempDir dir;
    const std::string folder = "./KYTO-EMU/7";
    std::filesystem::create_directories(folder);
    DeviceSettings in;
    for (int i = 0; i < 5; ++i) {
        in.thresholds[i] = 100 * (i + 1);
    }
    in.thresholds[3] = -1;  // written as -1, reads back as -1 like a missing key
    in.ranges[0] = CRange(30, 8192);
    in.ranges[1] = CRange(40, 4096);
    in.ranges[2] = CRange(64, 2048);
    in.yawCode = 2;
    in.rollCode = 1;
    WriteDeviceSettings(folder, in);
    WriteCameraAngle(folder, 3);
    WriteVerifyUserId(folder, 17);
    WriteRegistCount(folder, 5);
    WriteRegistCountBack(folder, 4);

    DeviceSettings out;
    ReadDeviceSettings(folder, out);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(out.thresholds[i], in.thresholds[i]);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out.ranges[i], in.ranges[i]);
    }
    EXPECT_EQ(out.yawCode, 2);
    EXPECT_EQ(out.rollCode, 1);
    EXPECT_EQ(ReadCameraAngle(folder), 3);
    EXPECT_EQ(ReadVerifyUserId(folder), 17);
    EXPECT_EQ(ReadRegistCount(folder), 5);
    EXPECT_EQ(ReadRegistCountBack(folder), 4);
    EXPECT_TRUE(std::filesystem::exists(folder + "/Settings.ini"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/Device.ini"));
    EXPECT_FALSE(std::filesystem::exists("Application.ini"));
}

TEST(Settings, ShortcutGrammar) {
    const struct {
        const char* text;
        bool ctrl;
        bool shift;
        char key;
    } cases[] = {
        {"^_q", true, true, 'Q'},  {"^", false, false, 0},   {"", false, false, 0},
        {"1F", false, false, 'F'}, {"p", false, false, 'P'}, {"_^x9y", true, true, 'X'},
        {"a^", true, false, 'A'},  // a modifier counts wherever it stands
    };
    for (const auto& c : cases) {
        const Shortcut s = ParseShortcut(c.text);
        EXPECT_EQ(s.ctrl, c.ctrl) << c.text;
        EXPECT_EQ(s.shift, c.shift) << c.text;
        EXPECT_EQ(s.key, c.key) << c.text;
    }
    TempDir dir;
    EXPECT_EQ(ReadVideoShortcut().key, 'V');
    WriteIniString("Application", "ShotcutKey_Picture", kApplicationIni, "^_s");
    EXPECT_TRUE(ReadPictureShortcut().ctrl);
    EXPECT_EQ(ReadPictureShortcut().key, 'S');
}

}  // namespace
