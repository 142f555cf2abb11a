// Exit statuses of kyto when SIGINT or SIGTERM arrives: an operation cut
// short exits 128 + the signal and says on standard error what it left; a
// continuous detection stopped by the user is a normal end.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KytoProcess.h"
#include "TempDir.h"
#include "emulator/harness/EmuProcess.h"

namespace fs = std::filesystem;

namespace {

// A new module answers nine frames while kyto connects (version, device ID,
// image size and the six default settings); --silent-after 9 makes it fall
// silent right after the connection.
constexpr const char* kFramesOfAConnection = "9";

struct SignalCase {
    int signal;
    int exit;
    const char* name;
};
const SignalCase kSignals[] = {{SIGINT, 130, "SIGINT"}, {SIGTERM, 143, "SIGTERM"}};

class CliSignalTest : public ::testing::Test {
protected:
    void StartEmulator(std::vector<std::string> options) {
        options.insert(options.begin(), {"--no-line-timing", "--seed", "3"});
        emu_ = std::make_unique<CEmuProcess>(options);
        ASSERT_TRUE(emu_->Start()) << emu_->Error();
    }
    std::vector<std::string> Args(std::vector<std::string> command) const {
        std::vector<std::string> args = {"--data-dir", (dir_.Path() / "data").string(),
                                         "--port",     emu_->PortPath(),
                                         "--baud",     "9600"};
        args.insert(args.end(), command.begin(), command.end());
        return args;
    }

    TempDir dir_;
    std::unique_ptr<CEmuProcess> emu_;
};

}  // namespace

TEST_F(CliSignalTest, InterruptedWhileConnectingExitsWithTheSignalAndClosesThePort) {
    for (const SignalCase& c : kSignals) {
        StartEmulator({"--silent-after", "0"});
        KytoProcess kyto(Args({"version"}));
        ASSERT_TRUE(kyto.Start());
        ASSERT_TRUE(kyto.WaitForError("connecting to", 10000)) << kyto.Err();
        kyto.Signal(c.signal);
        EXPECT_EQ(kyto.Wait(), c.exit) << kyto.Err();
        EXPECT_NE(kyto.Err().find(std::string("interrupted by ") + c.name +
                                  ": connecting was interrupted"),
                  std::string::npos)
            << kyto.Err();
        EXPECT_EQ(kyto.Out(), "");
        emu_->Stop();
    }
}

TEST_F(CliSignalTest, DetectionCutShortExitsWithTheSignalContinuousEndsNormally) {
    struct Case {
        std::vector<std::string> run;
        bool continuous;
    } cases[] = {
        {{"--frames", "100000"}, false},
        {{"--continuous"}, true},
    };
    for (const Case& c : cases) {
        for (const SignalCase& s : kSignals) {
            StartEmulator({"--frame-ms", "1"});
            std::vector<std::string> command = {"detect", "--functions", "face", "--image", "none"};
            command.insert(command.end(), c.run.begin(), c.run.end());
            KytoProcess kyto(Args(command));
            ASSERT_TRUE(kyto.Start());
            ASSERT_TRUE(kyto.WaitForOutput("Return code:00", 20000)) << kyto.Err();
            kyto.Signal(s.signal);
            const int status = kyto.Wait();
            if (c.continuous) {
                EXPECT_EQ(status, 0) << kyto.Err();
                EXPECT_EQ(kyto.Err().find("interrupted"), std::string::npos) << kyto.Err();
            } else {
                EXPECT_EQ(status, s.exit) << kyto.Err();
                EXPECT_NE(kyto.Err().find(std::string("interrupted by ") + s.name +
                                          ": detection stopped after "),
                          std::string::npos)
                    << kyto.Err();
                EXPECT_NE(kyto.Err().find("of 100000 frame(s)"), std::string::npos) << kyto.Err();
            }
            emu_->Stop();
        }
    }
}

// An album command whose module falls silent after the connection: the
// interrupted command must not look like a success to a script.
TEST_F(CliSignalTest, InterruptedAlbumCommandIsNoSuccess) {
    for (const SignalCase& c : kSignals) {
        StartEmulator({"--silent-after", kFramesOfAConnection});
        const fs::path file = dir_.Path() / ("album-" + std::string(c.name) + ".kyl");
        KytoProcess kyto(Args({"album", "save", file.string()}));
        ASSERT_TRUE(kyto.Start());
        ASSERT_TRUE(kyto.WaitForError("connected to", 10000)) << kyto.Err();
        kyto.Signal(c.signal);
        EXPECT_EQ(kyto.Wait(), c.exit) << kyto.Err();
        EXPECT_NE(kyto.Err().find(std::string("interrupted by ") + c.name), std::string::npos)
            << kyto.Err();
        EXPECT_EQ(kyto.Out().find("Album saved."), std::string::npos);
        EXPECT_FALSE(fs::exists(file));
        emu_->Stop();
    }
}

// An album load cut short by a signal leaves the users and the module's
// album as they were. The file's album takes seconds to send (63-byte
// chunks every 100 ms), so the signal finds the load under way.
TEST_F(CliSignalTest, InterruptedAlbumLoadLeavesTheUsersAsTheyWere) {
    StartEmulator({});
    KytoProcess add(Args({"album", "add", "--id", "5", "Alice"}));
    ASSERT_EQ(add.Run(), 0) << add.Err();

    std::string file(16 + 20000 + 264, '\0');
    const auto put32 = [&file](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            file[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    };
    put32(0, 20000);
    put32(8 + 20000, 1);   // one user
    put32(12 + 20000, 1);  // registration counter
    put32(16 + 20000, 1);  // ID 1, no name, no data
    const fs::path path = dir_.Path() / "other.kyl";
    std::ofstream(path, std::ios::binary) << file;

    for (const SignalCase& c : kSignals) {
        KytoProcess load(Args({"album", "load", path.string()}));
        ASSERT_TRUE(load.Start());
        ASSERT_TRUE(load.WaitForError("connected to", 10000)) << load.Err();
        load.Signal(c.signal);
        EXPECT_EQ(load.Wait(), c.exit) << load.Err();
        EXPECT_NE(load.Err().find(std::string("interrupted by ") + c.name +
                                  ": the load was stopped before the module took the album"),
                  std::string::npos)
            << load.Err();
        EXPECT_EQ(load.Out().find("Album loaded."), std::string::npos);
    }
    KytoProcess list(Args({"album", "list"}));
    ASSERT_EQ(list.Run(), 0) << list.Err();
    EXPECT_EQ(list.Out(), "5\tAlice\t0\n");
}
