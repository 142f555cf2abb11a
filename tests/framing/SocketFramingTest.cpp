// The response reader over the socket link: a peer that closes in the
// middle of a response or right after one, and a ring that fills up while a
// response is in it.
#include <gtest/gtest.h>

#include <future>

#include "link/DeviceLink.h"
#include "link/KytoSocket.h"
#include "protocol/KytoProtocol.h"
#include "protocol/ResultCodes.h"
#include "tests/link/LanIni.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using loopback::Bytes;
using Clock = std::chrono::steady_clock;

const Bytes kGetVersion = {0xFE, 0x00, 0x00, 0x00};

Bytes Response(std::uint32_t length, std::uint8_t fill) {
    // Sized once and filled in place: growing a six-byte vector trips a
    // false -Warray-bounds of GCC 12 at -O3.
    Bytes r(6 + length, fill);
    r[0] = 0xFE;
    r[1] = 0x00;
    for (int i = 0; i < 4; ++i)
        r[2 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    return r;
}

// The protocol over a socket link to a module played by the test (the
// settings alone describe it: no discovery).
class SocketFraming : public ::testing::Test {
protected:
    void SetUp() override {
        WriteLanIni({{"DISCOVERYADDRESS", ""},
                     {"TCPIP", "127.0.0.1"},
                     {"PORTNUMBER", std::to_string(listener_.Port())},
                     {"SOCKETMODE", "1"}});
        auto accepted = std::async(std::launch::async, [&] { return listener_.Accept(); });
        ASSERT_TRUE(link_.OpenLink("LAN", 921600)) << link_.LastOpenError();
        module_ = accepted.get();
        ASSERT_TRUE(module_.Valid());
    }
    void TearDown() override { link_.CloseLink(); }

    // Sends Get Version and reads the answer with a generous limit.
    int Exchange(int& capacity, std::uint8_t* payload, Clock::duration& took) {
        const auto start = Clock::now();
        EXPECT_EQ(protocol_.SendFrame(kGetVersion.data(), 4, "Get Version"), kResultOk);
        std::uint8_t code = 0x77;
        const int r = protocol_.ReadResponse("Get Version", 5000, capacity, code, payload);
        took = Clock::now() - start;
        return r;
    }

    TempDir dir_;
    loopback::Listener listener_;
    CDeviceLink link_;
    CKytoProtocol protocol_{&link_};
    loopback::Fd module_;
};

TEST_F(SocketFraming, APeerThatClosesMidResponseFailsAtOnceAndLaterCommandsHaveNoLink) {
    auto module = std::async(std::launch::async, [&] {
        const Bytes command = loopback::Receive(module_.Get(), 4);
        const Bytes answer = Response(19, 0x41);
        loopback::SendAll(module_.Get(), Bytes(answer.begin(), answer.begin() + 12));
        std::this_thread::sleep_for(20ms);
        module_.Reset();
        return command;
    });
    std::uint8_t payload[64];
    int capacity = sizeof payload;
    Clock::duration took{};
    EXPECT_EQ(Exchange(capacity, payload, took), kResultTimeout);
    EXPECT_LT(took, 1s) << "waited out the limit instead of noticing the close";
    EXPECT_EQ(module.get(), kGetVersion);

    // A later command does not go out: there is no link.
    EXPECT_EQ(protocol_.SendFrame(kGetVersion.data(), 4, "Get Version"), kResultNoLink);
    const auto start = Clock::now();
    std::uint8_t code = 0x77;
    int none = 0;
    EXPECT_EQ(protocol_.ReadResponse("Get Version", 5000, none, code, nullptr), kResultTimeout);
    EXPECT_LT(Clock::now() - start, 100ms) << "a reader on a closed link waits for nothing";
    EXPECT_EQ(code, 0x77);

    // Opening again works.
    auto accepted = std::async(std::launch::async, [&] { return listener_.Accept(); });
    ASSERT_TRUE(link_.OpenLink("LAN", 921600));
    module_ = accepted.get();
    auto again = std::async(std::launch::async, [&] {
        loopback::Receive(module_.Get(), 4);
        loopback::SendAll(module_.Get(), Response(3, 0x42));
    });
    capacity = sizeof payload;
    EXPECT_EQ(Exchange(capacity, payload, took), kResultOk);
    EXPECT_EQ(capacity, 3);
    again.get();
}

TEST_F(SocketFraming, AnAnswerFollowedByACloseIsStillRead) {
    ASSERT_TRUE(loopback::SendAll(module_.Get(), Response(19, 0x43)));
    module_.Reset();
    link_.WaitAvailable(1000, 2000);  // until the close has been seen
    ASSERT_TRUE(link_.PeerClosed());
    // The answer came before the close: a reader that starts late gets it.
    std::uint8_t payload[64];
    int capacity = sizeof payload;
    std::uint8_t code = 0x77;
    EXPECT_EQ(protocol_.ReadResponse("Get Version", 5000, capacity, code, payload), kResultOk);
    EXPECT_EQ(capacity, 19);
    EXPECT_EQ(payload[18], 0x43);
}

TEST_F(SocketFraming, AFullRingNeverYieldsACorruptedAnswer) {
    // A complete answer followed by more than the ring holds, all before the
    // reader looks: the answer is the oldest data and stays whole.
    const Bytes answer = Response(1000, 0x44);
    Bytes flood = answer;
    flood.resize(KYTO_SOCKET_RING_SIZE + 100000, 0xEE);
    ASSERT_TRUE(loopback::SendAll(module_.Get(), flood));
    for (int i = 0; i < 20 && sock_overflowed() == 0; ++i) {
        link_.WaitAvailable(KYTO_SOCKET_RING_SIZE + 1, 1000);
    }
    ASSERT_EQ(sock_overflowed(), 1);
    std::vector<std::uint8_t> payload(2000);
    int capacity = static_cast<int>(payload.size());
    std::uint8_t code = 0x77;
    EXPECT_EQ(protocol_.ReadResponse("Execute", 5000, capacity, code, payload.data()), kResultOk);
    ASSERT_EQ(capacity, 1000);
    EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 1000),
              Bytes(answer.begin() + 6, answer.end()));
}

TEST_F(SocketFraming, AnAnswerLargerThanTheRingFailsWhenTheRingIsFull) {
    // It can never complete: the reader gives up as soon as the ring is
    // full instead of waiting out the limit.
    const Bytes big = Response(4000000, 0x45);
    auto sender =
        std::async(std::launch::async, [&] { return loopback::SendAll(module_.Get(), big); });
    std::vector<std::uint8_t> payload(4000000);
    int capacity = static_cast<int>(payload.size());
    std::uint8_t code = 0x77;
    const auto start = Clock::now();
    EXPECT_EQ(protocol_.ReadResponse("Execute", 20000, capacity, code, payload.data()),
              kResultTimeout);
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_TRUE(sender.get());
}

}  // namespace
