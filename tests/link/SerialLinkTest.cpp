// The serial link against a fake module on a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <numeric>

#include "link/DeviceLink.h"
#include "link/KytoLink.h"
#include "tests/link/PtyModule.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    return bytes;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(SerialLink, TransmitsExactBytesAndRecordsTheSend) {
    PtyModule module;
    CDeviceLink link;
    ASSERT_TRUE(link.OpenLink(module.Path(), 921600)) << link.LastOpenError();
    EXPECT_EQ(link.LinkMode(), -1);
    EXPECT_EQ(link.Baud(), 921600);

    const Bytes data = Pattern(200);  // several 63-byte chunks
    EXPECT_EQ(link.Write(data.data(), 200), 200);
    ASSERT_EQ(module.WaitReceived(200, 5s), 200u);
    EXPECT_EQ(module.Received(), data);
    EXPECT_EQ(link.SendInfo(),
              "com_send : [0x00, 0x07, 0x0e, 0x15], dwTotal = 200, dwlErr = 0, dwRes = 0, "
              "loopcnt = 0");

    // Fewer than four bytes leave no send line.
    module.ForgetReceived();
    const Bytes small = {0xFE, 0x00, 0x00};
    EXPECT_EQ(link.Write(small.data(), 3), 3);
    ASSERT_EQ(module.WaitReceived(3, 5s), 3u);
    EXPECT_EQ(module.Received(), small);
    EXPECT_EQ(link.SendInfo(), "");
}

TEST(SerialLink, SendsLeaveOnTheHundredMillisecondGrid) {
    PtyModule module;
    CDeviceLink link;
    ASSERT_TRUE(link.OpenLink(module.Path(), 115200));
    const Bytes first = {0xFE, 0x00, 0x00, 0x00};
    const Bytes second = {0xFE, 0x01, 0x01, 0x00, 0x01};
    link.Write(first.data(), 4);
    std::this_thread::sleep_for(30ms);
    link.Write(second.data(), 5);
    ASSERT_EQ(module.WaitReceived(9, 5s), 9u);

    const auto chunks = module.Chunks();
    ASSERT_GE(chunks.size(), 2u);
    // Measured where the bytes arrive: the second command leaves one grid
    // step after the first although it was requested 30 ms later.
    const auto gap = std::chrono::duration<double, std::milli>(chunks.back().at - chunks[0].at);
    EXPECT_GE(gap.count(), 85.0);
    EXPECT_LE(gap.count(), 130.0);
}

TEST(SerialLink, ReceivesIntoTheBufferAndRecordsTheRead) {
    PtyModule module;
    CDeviceLink link;
    ASSERT_TRUE(link.OpenLink(module.Path(), 921600));
    module.Send({0xFE, 0x00, 0x04, 0x00, 0x00, 0x00, 1, 2, 3, 4});
    ASSERT_EQ(link.WaitAvailable(10, 5000), 10);
    EXPECT_EQ(link.RecvInfo().rfind("com_recv : m_acRcvBuf = [0xfe, 0x00, 0x04, 0x00, 0x00, 0x00], "
                                    "m_ptrReceive = 10, ierr = 0, dwlErr = 0, dwRes = ",
                                    0),
              0u)
        << link.RecvInfo();

    std::uint8_t out[16] = {};
    EXPECT_EQ(link.Read(out, 4), 4);
    EXPECT_EQ(link.Available(), 6);
    EXPECT_EQ(link.Read(out, 16), 6);  // only what is there
    EXPECT_EQ(out[5], 4);
    EXPECT_EQ(link.Available(), 0);
    EXPECT_EQ(link.WaitAvailable(1, 0), 0);

    module.Send({9, 9});
    ASSERT_EQ(link.WaitAvailable(2, 5000), 2);
    link.Clear();
    EXPECT_EQ(link.Available(), 0);
    EXPECT_EQ(link.RecvInfo(), "");
}

TEST(SerialLink, DropsBytesBeyondTheBufferAndRecoversAfterAClear) {
    PtyModule module;
    CDeviceLink link;
    ASSERT_TRUE(link.OpenLink(module.Path(), 921600));
    const Bytes flood = Pattern(CDeviceLink::kReceiveBufferSize + 100000);
    std::thread sender([&] { module.Send(flood); });
    sender.join();  // returns once the link has drained the terminal
    // The terminal may still hold the tail; the count never passes the buffer.
    ASSERT_EQ(link.WaitAvailable(CDeviceLink::kReceiveBufferSize, 20000),
              CDeviceLink::kReceiveBufferSize);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(link.Available(), CDeviceLink::kReceiveBufferSize);
    Bytes got(CDeviceLink::kReceiveBufferSize);
    EXPECT_EQ(link.Read(got.data(), static_cast<int>(got.size())), CDeviceLink::kReceiveBufferSize);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), flood.begin()));
    EXPECT_NE(link.RecvInfo().find("ierr = 1,"), std::string::npos) << link.RecvInfo();

    link.Clear();
    module.Send({1, 2, 3});
    ASSERT_EQ(link.WaitAvailable(3, 5000), 3);
    std::uint8_t out[3] = {};
    link.Read(out, 3);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{1, 2, 3}));
}

TEST(SerialLink, CloseWakesAWriterWhoseSendCannotFinish) {
    PtyModule module;
    module.Stop();  // nobody reads: the terminal fills and the send stalls
    CDeviceLink link;
    ASSERT_TRUE(link.OpenLink(module.Path(), 921600));
    const Bytes big = Pattern(1 << 20);
    std::atomic<bool> returned{false};
    std::thread writer([&] {
        EXPECT_EQ(link.Write(big.data(), static_cast<int>(big.size())), 1 << 20);
        returned = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(returned.load());
    const auto closedAt = PtyModule::Clock::now();
    link.CloseLink();
    writer.join();
    // A send that makes no progress is abandoned after a second anyway; the
    // writer must have been released by the close well before that.
    EXPECT_LT(PtyModule::Clock::now() - closedAt, 700ms);
    EXPECT_EQ(com_close(), -1);  // nothing left open
}

TEST(SerialLink, VanishedPortIdlesUntilClosedAndAnotherOpenWorks) {
    CDeviceLink link;
    {
        PtyModule module;
        ASSERT_TRUE(link.OpenLink(module.Path(), 921600));
        EXPECT_TRUE(link.IsPresent());
        module.CloseSlave();
        module.CloseMaster();  // unplugged
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(link.IsPresent());

    const double before = CpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(CpuSeconds() - before, 0.25) << "the receive thread spins on a dead port";

    // Sends are abandoned at once and nothing arrives.
    const Bytes command = {0xFE, 0x00, 0x00, 0x00};
    EXPECT_EQ(link.Write(command.data(), 4), 4);
    EXPECT_NE(link.SendInfo().find("dwTotal = 0,"), std::string::npos) << link.SendInfo();
    EXPECT_EQ(link.WaitAvailable(1, 100), ILinkTransport::kWaitClosed);

    PtyModule replugged;
    ASSERT_TRUE(link.OpenLink(replugged.Path(), 921600));
    EXPECT_TRUE(link.IsPresent());
    link.Write(command.data(), 4);
    ASSERT_EQ(replugged.WaitReceived(4, 5s), 4u);
    replugged.Send({0xFE, 0, 0, 0, 0, 0});
    EXPECT_EQ(link.WaitAvailable(6, 5000), 6);
}

// The receive thread wakes waiters only once the smallest count one of them
// asked for is there: a waiter for one byte beside a waiter for a whole image
// must still wake at the first byte, and the big one once its block is in.
TEST(SerialLink, WaitersForDifferentCountsEachWakeWhenTheirCountArrives) {
    PtyModule module;
    CDeviceLink link;
    ASSERT_TRUE(link.OpenLink(module.Path(), 921600));
    constexpr int kBlock = 6000;
    std::atomic<int> bigGot{-1};
    std::thread big([&] { bigGot = link.WaitAvailable(kBlock, 20000); });
    std::thread sender([&] { module.Send(Pattern(100)); });
    const auto start = std::chrono::steady_clock::now();
    const int small = link.WaitAvailable(1, 10000);
    EXPECT_GE(small, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the one-byte waiter slept on";
    sender.join();
    EXPECT_EQ(bigGot.load(), -1) << "the block waiter woke before its block was there";
    for (int i = 0; i < 59; ++i) {
        module.Send(Pattern(100));
    }
    big.join();
    EXPECT_EQ(bigGot.load(), kBlock);
}

// A wait, even one without a limit, ends as soon as the link can no longer
// deliver: interrupted, closed, or its device gone. (Each wait here has a
// long limit only so that a missing wake-up fails instead of hanging.)
TEST(SerialLink, EveryWaiterWakesOnInterruptCloseAndVanishedPort) {
    constexpr int kLong = 20000;
    struct Case {
        const char* what;
        int expected;
        std::function<void(CDeviceLink&, PtyModule&)> end;
    } cases[] = {
        {"interrupt", ILinkTransport::kWaitInterrupted,
         [](CDeviceLink& link, PtyModule&) { link.Interrupt(); }},
        {"close", ILinkTransport::kWaitClosed,
         [](CDeviceLink& link, PtyModule&) { link.CloseLink(); }},
        {"vanished port", ILinkTransport::kWaitClosed,
         [](CDeviceLink&, PtyModule& module) {
             module.CloseSlave();
             module.CloseMaster();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PtyModule module;
        CDeviceLink link;
        ASSERT_TRUE(link.OpenLink(module.Path(), 921600));
        std::vector<std::thread> waiters;
        std::atomic<int> woken{0};
        for (int limit : {-1, kLong}) {
            waiters.emplace_back([&, limit] {
                EXPECT_EQ(link.WaitAvailable(1, limit == -1 ? kLong : limit), c.expected);
                ++woken;
            });
        }
        std::this_thread::sleep_for(50ms);  // let both block
        c.end(link, module);
        for (std::thread& t : waiters) {
            t.join();
        }
        EXPECT_EQ(woken.load(), 2);
        // Later waits do not block either.
        EXPECT_EQ(link.WaitAvailable(1, kLong), c.expected);
        link.ResumeAfterInterrupt();
        link.CloseLink();
    }
}

// An interrupt abandons a send that cannot go out (nobody reads) and keeps
// the link from sending until it is resumed; the link then works as before.
TEST(SerialLink, InterruptReleasesAStalledWriterUntilResumed) {
    PtyModule module;
    module.Stop();
    CDeviceLink link;
    ASSERT_TRUE(link.OpenLink(module.Path(), 921600));
    const Bytes big = Pattern(1 << 20);
    std::thread writer([&] { link.Write(big.data(), static_cast<int>(big.size())); });
    std::this_thread::sleep_for(200ms);
    link.Interrupt();
    writer.join();
    EXPECT_TRUE(link.IsInterrupted());

    PtyModule fresh;
    ASSERT_TRUE(link.OpenLink(fresh.Path(), 921600));
    EXPECT_EQ(link.WaitAvailable(1, 0), ILinkTransport::kWaitInterrupted)
        << "the link stays interrupted across a reopen";
    const Bytes command = {0xFE, 0x00, 0x00, 0x00};
    EXPECT_EQ(link.Write(command.data(), 4), 4);
    EXPECT_EQ(fresh.WaitReceived(1, 200ms), 0u) << "nothing is sent while interrupted";
    link.ResumeAfterInterrupt();
    link.Write(command.data(), 4);
    ASSERT_EQ(fresh.WaitReceived(4, 5s), 4u);
    fresh.Send({0xFE, 0, 0, 0, 0, 0});
    EXPECT_EQ(link.WaitAvailable(6, 5000), 6);
}

TEST(SerialLink, ClosingReleasesTheClaimSoTheSamePortReopens) {
    // The module side stays connected across the close, as it does when the
    // host switches the line rate.
    PtyModule module;
    CDeviceLink link;
    ASSERT_TRUE(link.OpenLink(module.Path(), 9600)) << link.LastOpenError();
    link.CloseLink();
    ASSERT_TRUE(link.OpenLink(module.Path(), 921600)) << link.LastOpenError();
    const Bytes command = {0xFE, 0x00, 0x00, 0x00};
    EXPECT_EQ(link.Write(command.data(), 4), 4);
    EXPECT_EQ(module.WaitReceived(4, 5s), 4u);
}

TEST(SerialLink, OpenFailuresSayWhy) {
    TempDir dir;
    std::ofstream("plain.txt") << "not a terminal";
    PtyModule module;
    const int busyFd = open(module.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(busyFd, 0);
    ASSERT_EQ(flock(busyFd, LOCK_EX | LOCK_NB), 0);  // another program holds it

    struct Case {
        std::string name;
        int baud;
        int error;
        const char* text;
    };
    const Case cases[] = {
        {"/dev/kyto-no-such-device", 921600, ENOENT, "missing device"},
        {"COM3", 921600, ENOENT, "missing device"},  // a name from another system
        {"", 921600, ENOENT, "missing device"},
        {(dir.Path() / "plain.txt").string(), 921600, ENOTTY, "not a serial device"},
        {module.Path(), 921600, EBUSY, "busy"},
    };
    CDeviceLink link;
    for (const auto& c : cases) {
        EXPECT_FALSE(link.OpenLink(c.name, c.baud)) << c.name;
        EXPECT_EQ(link.LastOpenError(), c.error) << c.name;
        EXPECT_EQ(CDeviceLink::DescribeOpenError(link.LastOpenError()), c.text) << c.name;
        EXPECT_FALSE(link.IsPresent()) << c.name;
    }
    close(busyFd);
    EXPECT_FALSE(link.OpenLink(module.Path(), 57600));
    EXPECT_EQ(link.LastOpenError(), EINVAL);
    ASSERT_TRUE(link.OpenLink(module.Path(), 9600));
    EXPECT_EQ(link.LastOpenError(), 0);

    link.CloseLink();
    EXPECT_EQ(com_close(), -1);
}

}  // namespace
