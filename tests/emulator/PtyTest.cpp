// kyto-emu as a program: its port, line rate, timing, faults and flash file,
// seen from a raw host on the pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "RawHost.h"
#include "emulator/Module.h"
#include "emulator/harness/EmuProcess.h"
#include "tests/support/TempDir.h"

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

const Bytes kGetVersion = {0xFE, 0x00, 0x00, 0x00};
const Bytes kGetDeviceId = {0xFE, 0xFF, 0x00, 0x00};
Bytes Baud(int index) {
    return {0xFE, 0x0E, 0x01, 0x00, static_cast<std::uint8_t>(index)};
}
Bytes Execute(unsigned flags, int image) {
    return {0xFE,
            0x03,
            0x03,
            0x00,
            static_cast<std::uint8_t>(flags),
            static_cast<std::uint8_t>(flags >> 8),
            static_cast<std::uint8_t>(image)};
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Starts the emulator and connects like the application: 9600, baud switch,
// reopen at the new rate.
void Connect(RawHost& host, const CEmuProcess& emu, int index, speed_t speed) {
    ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
    host.Write(Baud(index));
    host.Close();
    ASSERT_TRUE(host.Open(emu.PortPath(), speed));
}

}  // namespace

TEST(EmulatorPort, ConnectWithBaudSwitchAndReopenKeepsBeingServed) {
    CEmuProcess emu({"--device-id", "77"});
    ASSERT_TRUE(emu.Start()) << emu.Error();
    RawHost host;
    ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
    RawHost::Reply r = host.Exchange(kGetVersion);
    ASSERT_TRUE(r.complete) << "the line starts at 9600";
    EXPECT_EQ(std::string(r.payload.begin(), r.payload.begin() + 8), "KYTO-EMU");

    const struct {
        int index;
        speed_t speed;
    } rates[] = {{5, B921600}, {2, B115200}, {4, B460800}, {0, B9600}};
    for (const auto& rate : rates) {
        // The connect sequence, done twice at each rate: the module follows
        // the switch and serves the reopened port; the second time it is
        // already at the rate, so the switch sent at 9600 is lost harmlessly.
        for (int round = 0; round < 2; ++round) {
            Connect(host, emu, rate.index, rate.speed);
            r = host.Exchange(kGetDeviceId);
            ASSERT_TRUE(r.complete) << "rate index " << rate.index << " round " << round;
            EXPECT_EQ(r.payload, (Bytes{77, 0, 0, 0}));
            host.Close();
            ASSERT_TRUE(host.Open(emu.PortPath(), rate.speed));
            EXPECT_TRUE(host.Exchange(kGetVersion).complete);
        }
        // Back to 9600 for the next connect, as Disconnect does.
        host.Write(Baud(0));
        host.Close();
    }
    EXPECT_EQ(emu.Stop(), 0) << "SIGTERM is a clean exit";
}

TEST(EmulatorPort, MismatchedRateLosesTheCommandsAndRecovers) {
    CEmuProcess emu;
    ASSERT_TRUE(emu.Start()) << emu.Error();
    RawHost host;
    ASSERT_TRUE(host.Open(emu.PortPath(), B115200));
    for (int i = 0; i < 3; ++i) {
        const RawHost::Reply r = host.Exchange(kGetVersion, 400);
        EXPECT_TRUE(r.bytes.empty()) << "nothing comes back at the wrong rate";
    }
    // Half a frame at the wrong rate, then the right rate: the module is not wedged.
    host.Write({0xFE, 0x05, 0x08});
    ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
    EXPECT_TRUE(host.Exchange(kGetVersion).complete);

    // The module switched to 921600, the host stays at 9600: silence again.
    host.Write(Baud(5));
    ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
    EXPECT_TRUE(host.Exchange(kGetVersion, 400).bytes.empty());
    ASSERT_TRUE(host.Open(emu.PortPath(), B921600));
    EXPECT_TRUE(host.Exchange(kGetVersion).complete);
}

TEST(EmulatorPort, BytesCrossThePortUnchanged) {
    // The program's answers equal the module's own for the same seed: the
    // pty passes every byte value, images and pictures included.
    CEmuProcess emu({"--seed", "9", "--people", "1", "--no-line-timing"});
    ASSERT_TRUE(emu.Start()) << emu.Error();
    kyto::emu::ModuleConfig config;
    config.seed = 9;
    config.people = 1;
    kyto::emu::CModule reference(config);
    auto expect = [&](const Bytes& frame) {
        kyto::emu::CommandFrame f;
        f.code = frame[1];
        f.payload.assign(frame.begin() + 4, frame.end());
        return reference.Handle(f);
    };
    RawHost host;
    ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
    const Bytes commands[] = {Execute(0x07FF, 1),
                              {0xFE, 0x10, 0x03, 0x00, 0x0A, 0x00, 0x02},
                              Execute(0x07FF, 2),
                              {0xFE, 0x20, 0x00, 0x00},
                              {0xFE, 0x77, 0x00, 0x00}};
    for (const Bytes& c : commands) {
        const RawHost::Reply r = host.Exchange(c);
        const kyto::emu::Response want = expect(c);
        ASSERT_TRUE(r.complete) << std::hex << int(c[1]);
        EXPECT_EQ(r.code, want.code);
        EXPECT_EQ(r.payload, want.payload) << std::hex << int(c[1]);
    }
}

TEST(EmulatorPort, ResponsesTakeTheirWireTime) {
    CEmuProcess emu;
    ASSERT_TRUE(emu.Start()) << emu.Error();
    RawHost host;
    Connect(host, emu, 5, B921600);
    // 19,200 image bytes + header: at least (6 + 4 + 4 + 19200) * 10 / 921600 s.
    const auto start = Clock::now();
    const RawHost::Reply r = host.Exchange(Execute(0, 2));
    ASSERT_TRUE(r.complete);
    EXPECT_GE(Seconds(Clock::now() - start), r.bytes.size() * 10.0 / 921600 * 0.98);

    // At 9600 even a version answer (25 bytes) takes 26 ms.
    host.Write(Baud(0));
    ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
    const auto start2 = Clock::now();
    ASSERT_TRUE(host.Exchange(kGetVersion).complete);
    EXPECT_GE(Seconds(Clock::now() - start2), 25 * 10.0 / 9600 * 0.98);
}

TEST(EmulatorPort, AbandonedFrameAndResyncZerosDoNotWedgeTheModule) {
    CEmuProcess emu({"--no-line-timing"});
    ASSERT_TRUE(emu.Start()) << emu.Error();
    RawHost host;
    ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
    host.Write({0xFE, 0x07, 0x0C, 0x00, 1, 2, 3});  // Set Size Range, cut short
    EXPECT_TRUE(host.Read(400).bytes.empty());      // then a pause abandons it
    host.Write({0x00, 0x00, 0x00, 0x00});           // the host's resync bytes
    EXPECT_TRUE(host.Exchange(kGetVersion).complete);
}

TEST(EmulatorFaults, EachOptionProducesItsFailure) {
    const Bytes frame = Execute(0x0005, 0);
    {
        SCOPED_TRACE("delay");
        CEmuProcess emu({"--delay-ms", "300", "--no-line-timing"});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        RawHost host;
        ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
        const auto start = Clock::now();
        EXPECT_TRUE(host.Exchange(frame).complete);
        EXPECT_GE(Seconds(Clock::now() - start), 0.29);
    }
    {
        SCOPED_TRACE("drop everything");
        CEmuProcess emu({"--drop-rate", "1", "--no-line-timing"});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        RawHost host;
        ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
        EXPECT_TRUE(host.Exchange(kGetVersion, 400).bytes.empty());
    }
    {
        SCOPED_TRACE("garble everything");
        CEmuProcess emu({"--garble-rate", "1", "--no-line-timing"});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        RawHost host;
        ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
        const RawHost::Reply r = host.Exchange(kGetVersion, 400);
        ASSERT_FALSE(r.bytes.empty());
        EXPECT_NE(r.bytes[0], 0xFE);
    }
    {
        SCOPED_TRACE("truncate");
        CEmuProcess emu({"--truncate-rate", "1", "--no-line-timing"});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        RawHost host;
        ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
        for (int i = 0; i < 5; ++i) {
            const RawHost::Reply r = host.Exchange(Execute(0x07FF, 2), 400);
            EXPECT_FALSE(r.complete);
            EXPECT_LT(r.bytes.size(), 19200u);
        }
    }
    {
        SCOPED_TRACE("silent");
        CEmuProcess emu({"--silent-after", "2", "--no-line-timing"});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        RawHost host;
        ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
        EXPECT_TRUE(host.Exchange(kGetVersion).complete);
        EXPECT_TRUE(host.Exchange(frame).complete);
        EXPECT_TRUE(host.Exchange(frame).complete);
        EXPECT_TRUE(host.Exchange(frame, 400).bytes.empty());
        EXPECT_TRUE(host.Exchange(kGetVersion, 400).bytes.empty()) << "silent for everything";
        EXPECT_TRUE(emu.Running());
    }
    {
        SCOPED_TRACE("vanish");
        TempDir dir;
        CEmuProcess emu(
            {"--vanish-after", "1", "--no-line-timing", "--link", (dir.Path() / "port").string()});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        RawHost host;
        ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
        EXPECT_TRUE(host.Exchange(frame).complete);
        const RawHost::Reply r = host.Exchange(frame, 2000);
        EXPECT_TRUE(r.bytes.empty());
        for (int i = 0; i < 100 && emu.Running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_FALSE(emu.Running());
        EXPECT_EQ(emu.ExitStatus(), 0);
        host.Close();
        EXPECT_FALSE(host.Open(emu.PortPath(), B9600)) << "the port is gone";
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.Path() / "port")));
    }
}

TEST(EmulatorProgram, StateFileLinkAndEmptyAlbum) {
    TempDir dir;
    const std::string state = (dir.Path() / "flash.kyb").string();
    const std::string link = (dir.Path() / "ttyKYTO").string();
    const Bytes presence = {0xFE, 0x15, 0x02, 0x00, 0x0C, 0x00};
    {
        CEmuProcess emu({"--state", state, "--people", "1", "--no-line-timing", "--link", link});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), emu.PortPath());
        RawHost host;
        ASSERT_TRUE(host.Open(link, B9600));
        ASSERT_EQ(host.Exchange({0xFE, 0x10, 0x03, 0x00, 0x0C, 0x00, 0x01}).code, 0);
        ASSERT_EQ(host.Exchange({0xFE, 0x22, 0x00, 0x00}).code, 0);
        EXPECT_EQ(emu.Stop(), 0);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    }
    {
        CEmuProcess emu({"--state", state, "--no-line-timing"});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        RawHost host;
        ASSERT_TRUE(host.Open(emu.PortPath(), B9600));
        EXPECT_EQ(host.Exchange(presence).payload, (Bytes{0x02, 0x00}))
            << "restored from the state file";
    }
    const std::string empty = (dir.Path() / "empty.bin").string();
    ASSERT_EQ(std::system((CEmuProcess::BinaryPath() + " --print-empty-album " + empty).c_str()),
              0);
    std::ifstream in(empty, std::ios::binary);
    const Bytes block((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(block.size(), 32u);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 4), "KEAL");

    // A bad option is refused before any port is made.
    CEmuProcess bad({"--drop-rate", "2"});
    EXPECT_FALSE(bad.Start());
    EXPECT_EQ(bad.ExitStatus(), 2);
}
