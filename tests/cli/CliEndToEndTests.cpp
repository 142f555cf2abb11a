#include <gtest/gtest.h>

#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "KytoProcess.h"
#include "TempDir.h"
#include "emulator/harness/EmuProcess.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const std::string kSeparator(95, '-');

// A data folder with the shipped files, an emulator, and kyto pointed at both.
// 9600 baud keeps the line rate unchanged across the baud switch; the
// emulator without line timing answers at once anyway.
class CliTest : public ::testing::Test {
protected:
    void StartEmulator(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--no-line-timing", "--seed", "3", "--people", "3"});
        emu_ = std::make_unique<CEmuProcess>(options);
        ASSERT_TRUE(emu_->Start()) << emu_->Error();
    }

    std::vector<std::string> Args(std::vector<std::string> command) const {
        std::vector<std::string> args = {"--data-dir",     Data(),   "--port",
                                         emu_->PortPath(), "--baud", "9600"};
        args.insert(args.end(), command.begin(), command.end());
        return args;
    }

    std::string Data() const { return (dir_.Path() / "data").string(); }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::stringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            lines.push_back(line);
        }
        return lines;
    }

    static void WriteText(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    TempDir dir_;
    std::unique_ptr<CEmuProcess> emu_;
};

}  // namespace

TEST_F(CliTest, SingleShotWithEveryFunctionPrintsHeaderAndOneBlock) {
    StartEmulator();
    KytoProcess kyto(Args({"detect", "--functions", "all", "--frames", "1", "--image", "none",
                           "--stabilization", "off", "--verify-id", "-1"}));
    ASSERT_EQ(kyto.Run(), 0) << kyto.Err();
    const std::string out = kyto.Out();
    EXPECT_EQ(out.rfind(kSeparator + "\nKyto Demo\t" KYTO_VERSION "\nFirmware\t1.0.0.1\n" +
                            kSeparator + "\n",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find("\nExecute Body:On Hand:On Face:On Dir.:On Age:On Gender:On Gaze:On "
                       "Blink:On Expr.:On Recog.:On Vefiry:On\n        Stabilization:Off\n"
                       "Result  Response time:"),
              std::string::npos);
    EXPECT_NE(out.find("ms  Return code:00\n\t Body count:"), std::string::npos) << out;
    EXPECT_NE(out.find("\t Hand count:"), std::string::npos);
    EXPECT_NE(out.find("\t Face count:"), std::string::npos);
    // No user selected for verify: every face says so, nothing was sent for it.
    EXPECT_NE(out.find("\t    Verify      \tUser ID not selected.\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("\t      --\n\n"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 2), "\n\n");  // every block closes with an empty line
    // Exactly one frame block after the header.
    std::size_t blocks = 0;
    for (std::size_t at = out.find(kSeparator); at != std::string::npos;
         at = out.find(kSeparator, at + 1)) {
        ++blocks;
    }
    EXPECT_EQ(blocks, 2u);
}

TEST_F(CliTest, RecognitionLinesNameTheRegisteredUser) {
    StartEmulator({"--people", "1"});
    KytoProcess add(Args({"album", "add", "--id", "5", "Alice"}));
    ASSERT_EQ(add.Run(), 0) << add.Err();
    KytoProcess reg(Args({"album", "register", "5"}));
    ASSERT_EQ(reg.Run(), 0) << reg.Err();
    KytoProcess kyto(Args({"detect", "--functions", "face,recognition", "--frames", "1", "--image",
                           "none", "--stabilization", "off"}));
    ASSERT_EQ(kyto.Run(), 0) << kyto.Err();
    EXPECT_NE(kyto.Out().find("\t    Recognition \tAlice Confidence:"), std::string::npos)
        << kyto.Out();
}

TEST_F(CliTest, JsonFramesWithEveryFunctionAndAnImage) {
    StartEmulator();
    KytoProcess kyto(Args({"detect", "--functions", "all", "--frames", "3", "--image", "160x120",
                           "--output", "json", "--stabilization", "on"}));
    ASSERT_EQ(kyto.Run(), 0) << kyto.Err();
    const std::vector<std::string> lines = Lines(kyto.Out());
    ASSERT_EQ(lines.size(), 3u) << kyto.Out();
    int faces = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const json frame = json::parse(lines[i]);
        EXPECT_EQ(frame["frame"], i + 1);
        EXPECT_EQ(frame["status"], 0);
        EXPECT_EQ(frame["return_code"], 0);
        EXPECT_EQ(frame["functions"].size(), 11u);
        EXPECT_EQ(frame["stabilization"], true);
        EXPECT_EQ(frame["image"], (json{{"width", 160}, {"height", 120}}));
        EXPECT_EQ(frame["time"].get<std::string>().size(), 29u);  // 2024-03-05T07:08:09.123+01:00
        for (const json& face : frame["faces"]) {
            ++faces;
            for (const char* member :
                 {"x", "y", "size", "confidence", "tracking_id", "direction", "age", "gender",
                  "gaze", "blink", "expression", "recognition", "verify"}) {
                EXPECT_TRUE(face.contains(member)) << member;
            }
            EXPECT_EQ(face["verify"], (json{{"result", 2}, {"score", -1}}));
            EXPECT_EQ(face["expression"]["scores"].size(), 5u);
        }
        EXPECT_TRUE(frame["bodies"].is_array());
        EXPECT_TRUE(frame["hands"].is_array());
    }
    EXPECT_GT(faces, 0);
}

TEST_F(CliTest, NewModuleGetsDefaultSettingsOnceAndKeepsThemAfterwards) {
    StartEmulator();
    KytoProcess first(Args({"version"}));
    ASSERT_EQ(first.Run(), 0) << first.Err();
    EXPECT_EQ(first.Out(), "Model: KYTO-EMU\nFirmware: 1.0.0.1\nDevice ID: 1\n");

    const fs::path settings = fs::path(Data()) / "KYTO-EMU" / "1" / "Settings.ini";
    std::string text = KytoProcess::ReadFile(settings.string());
    for (const char* line : {"Body=500", "Verify=500", "CameraResolution=1", "YawAngle=0",
                             "RollAngle=0", "Face=4202496" /* 64 << 16 | 8192 */}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    // Changed by hand: the next connection uses it and leaves the file alone.
    const std::string edited = text.replace(text.find("Body=500"), 8, "Body=321");
    WriteText(settings, edited);
    KytoProcess second(Args({"version"}));
    ASSERT_EQ(second.Run(), 0) << second.Err();
    EXPECT_EQ(KytoProcess::ReadFile(settings.string()), edited);
    // The port and baud used were stored.
    const std::string app = KytoProcess::ReadFile(Data() + "/Application.ini");
    EXPECT_NE(app.find("COMPortName=" + emu_->PortPath()), std::string::npos) << app;
}

TEST_F(CliTest, GivesUpWithExitOneAfterTheRetryLimit) {
    struct Case {
        int settingTime;
        int failureBlocks;  // failures reported before giving up (each with its resync)
    } cases[] = {{0, 0}, {1, 1}};
    for (const Case& c : cases) {
        StartEmulator({"--silent-after", "3"});  // Connect and Get Version count as frames too
        WriteText(fs::path(Data()) / "Application.ini",
                  "[Retry]\nSettingTime=" + std::to_string(c.settingTime) + "\n");
        KytoProcess kyto(Args({"detect", "--functions", "face", "--image", "none", "--continuous",
                               "--stabilization", "off"}));
        ASSERT_EQ(kyto.Run(), 1) << kyto.Err();
        const std::string out = kyto.Out();
        EXPECT_NE(kyto.Err().find("gave up"), std::string::npos) << kyto.Err();
        std::size_t failures = 0;
        for (std::size_t at = out.find("Device is not responding."); at != std::string::npos;
             at = out.find("Device is not responding.", at + 1)) {
            ++failures;
        }
        std::size_t resyncs = 0;
        for (std::size_t at = out.find("Return code:7f"); at != std::string::npos;
             at = out.find("Return code:7f", at + 1)) {
            ++resyncs;
        }
        EXPECT_EQ(failures, 2u * c.failureBlocks) << out;  // the failure and its resync
        EXPECT_EQ(resyncs, static_cast<std::size_t>(c.failureBlocks)) << out;
        EXPECT_NE(out.find("Return code:00\n\t Face count:"), std::string::npos) << out;
        emu_->Stop();
    }
}

TEST_F(CliTest, ResynchronisesAndCarriesOnUnderLineFaults) {
    StartEmulator({"--drop-rate", "0.01", "--seed", "2"});
    KytoProcess kyto(Args({"detect", "--functions", "body,face", "--image", "none", "--frames", "6",
                           "--output", "json"}));
    ASSERT_EQ(kyto.Run(), 0) << kyto.Err();
    int successes = 0;
    int resyncs = 0;
    int lastFrame = 0;
    for (const std::string& line : Lines(kyto.Out())) {
        const json frame = json::parse(line);
        EXPECT_EQ(frame["frame"], ++lastFrame);
        if (frame["status"] == 0) {
            ++successes;
        } else if (frame["return_code"] == 0x7F) {
            ++resyncs;
            EXPECT_EQ(frame["status"], -20);
        }
    }
    EXPECT_EQ(successes, 6);
    EXPECT_GT(resyncs, 0) << kyto.Out();
}

TEST_F(CliTest, InterruptStopsDisconnectsAndExitsZero) {
    for (int sig : {SIGINT, SIGTERM}) {
        StartEmulator({"--verbose"});
        KytoProcess kyto(Args({"detect", "--functions", "face", "--continuous", "--log", "on"}));
        ASSERT_TRUE(kyto.Start());
        ASSERT_TRUE(kyto.WaitForOutput("Return code:00", 20000)) << kyto.Err();
        kyto.Signal(sig);
        EXPECT_EQ(kyto.Wait(), 0) << kyto.Err();
        // The daily result log starts with the mark and the header.
        std::vector<std::string> logs;
        for (const auto& entry : fs::directory_iterator(fs::path(Data()) / "Log")) {
            logs.push_back(entry.path().string());
        }
        ASSERT_EQ(logs.size(), 1u);
        const std::string log = KytoProcess::ReadFile(logs[0]);
        EXPECT_EQ(log.rfind("\xEF\xBB\xBF" + kSeparator + "\r\nKyto Demo\t", 0), 0u);
        fs::remove_all(fs::path(Data()) / "Log");
        emu_->Stop();
    }
}

TEST_F(CliTest, UsageAndConnectionErrors) {
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* message;
    } cases[] = {
        {{"--data-dir", Data(), "--port", "/dev/kyto-no-such-port", "version"},
         3,
         "does not exist"},
        {{"--data-dir", Data(), "--port", "/dev/null", "--baud", "9600", "version"}, 3, ""},
        {{"--data-dir", Data(), "--port", "x", "--baud", "1234", "version"}, 2, "baud"},
        {{"--data-dir", Data(), "detect", "--functions", "face,nose"}, 2, "nose"},
        {{"detect", "--frames", "2", "--continuous"}, 2, ""},
        {{"detect", "--image", "640x480"}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{}, 2, ""},
    };
    for (const Case& c : cases) {
        KytoProcess kyto(c.args);
        EXPECT_EQ(kyto.Run(), c.exit) << c.args.back() << "\n" << kyto.Err();
        EXPECT_NE(kyto.Err().find(c.message), std::string::npos) << kyto.Err();
        EXPECT_EQ(kyto.Out(), "");
    }
    KytoProcess ports({"ports"});
    EXPECT_EQ(ports.Run(), 0);
}

// `--port LAN`: the emulator behind its network adapter on 127.0.0.1, found
// by discovery and configured as the application does it.
TEST_F(CliTest, TheNetworkLinkWorksAsTheSerialOneDoes) {
    StartEmulator({"--tcp-listen", "0", "--udp-discovery", "0"});
    const std::string udp = emu_->ReadLine();
    ASSERT_FALSE(udp.empty());
    WriteText(fs::path(Data()) / "Application.ini",
              "[Application]\nDISCOVERYADDRESS=127.0.0.1\nDISCOVERYPORT=" +
                  udp.substr(udp.rfind(':') + 1) + "\n");

    KytoProcess ports({"--data-dir", Data(), "ports"});
    ASSERT_EQ(ports.Run(), 0) << ports.Err();
    EXPECT_EQ(Lines(ports.Out()).at(0), "LAN");

    KytoProcess kyto({"--data-dir", Data(), "--port", "lan", "--baud", "921600", "detect",
                      "--functions", "all", "--frames", "2", "--image", "320x240", "--output",
                      "json"});
    ASSERT_EQ(kyto.Run(), 0) << kyto.Err();
    EXPECT_NE(kyto.Err().find("over the network: connect to " + emu_->PortPath()),
              std::string::npos)
        << kyto.Err();
    const std::vector<std::string> lines = Lines(kyto.Out());
    ASSERT_EQ(lines.size(), 2u) << kyto.Out();
    for (const std::string& line : lines) {
        const json frame = json::parse(line);
        EXPECT_EQ(frame["status"], 0);
        EXPECT_EQ(frame["return_code"], 0);
    }

    // Nothing describes an adapter: the user is told what to set.
    WriteText(fs::path(Data()) / "Application.ini", "[Application]\nDISCOVERYADDRESS=\n");
    KytoProcess none({"--data-dir", Data(), "--port", "LAN", "version"});
    EXPECT_EQ(none.Run(), 3);
    EXPECT_NE(none.Err().find("no network adapter answered"), std::string::npos) << none.Err();
}

namespace {

// The registered-user folder of user `id` in the data folder, once kyto
// made it.
fs::path UserFolder(const std::string& data, int id) {
    char name[8];
    std::snprintf(name, sizeof name, "%03d", id);
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        if (entry.is_directory() && entry.path().filename() == name &&
            entry.path().parent_path().filename() == "RegistData") {
            return entry.path();
        }
    }
    return {};
}

}  // namespace

TEST_F(CliTest, AlbumFailuresAfterTheModuleAnsweredAreNoSuccess) {
    StartEmulator({"--people", "1"});
    KytoProcess add(Args({"album", "add", "--id", "5", "Alice"}));
    ASSERT_EQ(add.Run(), 0) << add.Err();
    const fs::path user = UserFolder(Data(), 5);
    ASSERT_FALSE(user.empty());

    // A directory where the picture of data number 0 goes: the module takes
    // the face, the store cannot keep it (root passes permission checks).
    fs::create_directories(user / "00");
    KytoProcess reg(Args({"album", "register", "5"}));
    EXPECT_EQ(reg.Run(), 1) << reg.Err();
    EXPECT_EQ(reg.Out().find("Registration successful."), std::string::npos) << reg.Out();
    EXPECT_NE(reg.Err().find("the module now holds a face datum the local store lacks"),
              std::string::npos)
        << reg.Err();

    // An album too large for the module's album area changes nothing.
    std::string huge(8 + 816033 + 8, '\0');
    const std::uint32_t n = 816033;
    for (int i = 0; i < 4; ++i) {
        huge[static_cast<std::size_t>(i)] = static_cast<char>((n >> (8 * i)) & 0xFF);
    }
    const fs::path file = dir_.Path() / "huge.kyl";
    WriteText(file, huge);
    KytoProcess load(Args({"album", "load", file.string()}));
    EXPECT_EQ(load.Run(), 1) << load.Err();
    EXPECT_EQ(load.Out().find("Album loaded."), std::string::npos);
    EXPECT_NE(load.Err().find("nothing was changed: its album is larger than the module's album "
                              "area"),
              std::string::npos)
        << load.Err();
    KytoProcess list(Args({"album", "list"}));
    ASSERT_EQ(list.Run(), 0) << list.Err();
    EXPECT_EQ(list.Out(), "5\tAlice\t0\n");
}
