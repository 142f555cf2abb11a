// The socket side of libkytolink.so against a peer on 127.0.0.1: both ways
// of opening, the ring (across its end, full), a peer that closes, the UDP
// exchange with replies of every size, and the loopback guard.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstring>
#include <future>

#include "link/KytoSocket.h"
#include "link/NetGuard.h"
#include "tests/link/LoopbackPeer.h"

namespace {

using namespace std::chrono_literals;
using loopback::Bytes;
using Clock = std::chrono::steady_clock;

constexpr int kRing = KYTO_SOCKET_RING_SIZE;

Bytes Pattern(std::size_t size, std::size_t seed = 0) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i + seed) * 7 + (i + seed) / 251);
    }
    return bytes;
}

Bytes ReadRing(int count) {
    Bytes out(static_cast<std::size_t>(count));
    out.resize(static_cast<std::size_t>(sock_read(out.data(), count)));
    return out;
}

// Opens the link as a client of a listener on 127.0.0.1 and hands back the
// peer's end.
loopback::Fd OpenAsClient(loopback::Listener& listener) {
    const std::uint32_t address = htonl(INADDR_LOOPBACK);
    auto opened =
        std::async(std::launch::async, [&] { return SocketOpen(0, 0, &address, listener.Port()); });
    loopback::Fd peer = listener.Accept();
    EXPECT_EQ(opened.get(), 1) << sock_last_error();
    return peer;
}

class SocketLink : public ::testing::Test {
protected:
    void TearDown() override {
        SocketClose();
        sock_set_open_limit(10000);
    }
};

TEST_F(SocketLink, ClientExchangesBytesAndReadsAcrossTheEndOfTheRing) {
    loopback::Listener listener;
    loopback::Fd peer = OpenAsClient(listener);
    ASSERT_TRUE(peer.Valid());
    EXPECT_EQ(sock_is_connected(), 1);

    const Bytes command = Pattern(3000);  // three pieces of at most 1024 bytes
    EXPECT_EQ(SocketWrite(command.data(), static_cast<unsigned>(command.size())), 3000);
    EXPECT_EQ(loopback::Receive(peer.Get(), 3000), command);

    // Bring the positions close to the end of the ring, then read a block
    // that wraps around it.
    const Bytes lead = Pattern(kRing - 10, 1);
    ASSERT_TRUE(loopback::SendAll(peer.Get(), lead));
    ASSERT_EQ(sock_wait_available(kRing - 10, 5000), kRing - 10);
    EXPECT_EQ(ReadRing(kRing), lead);
    EXPECT_EQ(sock_length(), 0);
    const Bytes across = Pattern(25, 2);
    ASSERT_TRUE(loopback::SendAll(peer.Get(), across));
    ASSERT_EQ(sock_wait_available(25, 5000), 25);
    EXPECT_EQ(ReadRing(10), Bytes(across.begin(), across.begin() + 10));
    EXPECT_EQ(ReadRing(100), Bytes(across.begin() + 10, across.end())) << "only what is there";
    EXPECT_EQ(sock_overflowed(), 0);

    // SocketRead takes what the socket holds, past the ring.
    const Bytes direct = {1, 2, 3};
    ASSERT_TRUE(loopback::SendAll(peer.Get(), direct));
    ASSERT_EQ(sock_wait_available(3, 5000), 3);  // the thread got there first
    unsigned char buffer[8];
    EXPECT_EQ(SocketRead(buffer, sizeof buffer), 0);

    EXPECT_EQ(SocketClose(), 0);
    EXPECT_EQ(SocketClose(), -1) << "nothing open any more";
    EXPECT_EQ(sock_is_connected(), 0);
}

TEST_F(SocketLink, AFullRingKeepsTheOldestBytesAndDropsTheRestUntilCleared) {
    loopback::Listener listener;
    loopback::Fd peer = OpenAsClient(listener);
    ASSERT_TRUE(peer.Valid());
    const Bytes flood = Pattern(kRing + 4096, 3);
    auto sent =
        std::async(std::launch::async, [&] { return loopback::SendAll(peer.Get(), flood); });
    ASSERT_TRUE(sent.get());
    ASSERT_EQ(sock_wait_available(kRing, 5000), kRing);
    // The overflow wakes waiters that want more than can ever come.
    const auto start = Clock::now();
    sock_wait_available(kRing + 1, 5000);
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(sock_overflowed(), 1);

    // Later bytes are not spliced onto the stored ones, even once there is
    // room again.
    const Bytes head = ReadRing(100);
    EXPECT_EQ(head, Bytes(flood.begin(), flood.begin() + 100));
    ASSERT_TRUE(loopback::SendAll(peer.Get(), Pattern(50, 9)));
    const Bytes rest = ReadRing(kRing);
    EXPECT_EQ(rest, Bytes(flood.begin() + 100, flood.begin() + kRing));

    sock_clear();
    EXPECT_EQ(sock_overflowed(), 0);
    const Bytes fresh = Pattern(64, 11);
    ASSERT_TRUE(loopback::SendAll(peer.Get(), fresh));
    ASSERT_EQ(sock_wait_available(64, 5000), 64);
    EXPECT_EQ(ReadRing(64), fresh);
}

TEST_F(SocketLink, APeerThatClosesWakesTheWaiterAndOpeningAgainWorks) {
    loopback::Listener listener;
    loopback::Fd peer = OpenAsClient(listener);
    ASSERT_TRUE(peer.Valid());
    ASSERT_TRUE(loopback::SendAll(peer.Get(), {0xFE, 0x00, 0x10}));  // a response cut short
    ASSERT_EQ(sock_wait_available(3, 5000), 3);

    auto waiter = std::async(std::launch::async, [] {
        const auto start = Clock::now();
        const int count = sock_wait_available(22, -1);  // would wait for ever
        return std::make_pair(count, Clock::now() - start);
    });
    std::this_thread::sleep_for(50ms);  // let it block first
    peer.Reset();
    ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready) << "the close was not noticed";
    const auto [count, waited] = waiter.get();
    EXPECT_EQ(count, KYTO_WAIT_CLOSED);
    EXPECT_EQ(sock_length(), 3) << "what arrived before the close stays readable";
    EXPECT_EQ(sock_wait_available(3, -1), 3) << "enough is enough, closed or not";
    EXPECT_EQ(sock_is_connected(), 0);
    const Bytes late = {1, 2, 3, 4};
    EXPECT_EQ(SocketWrite(late.data(), 4), 0) << "nobody to send to";

    loopback::Fd again = OpenAsClient(listener);
    ASSERT_TRUE(again.Valid());
    EXPECT_EQ(sock_is_connected(), 1);
    EXPECT_EQ(sock_length(), 0) << "a new connection starts with an empty ring";
    EXPECT_EQ(SocketWrite(late.data(), 4), 4);
    EXPECT_EQ(loopback::Receive(again.Get(), 4), late);
}

TEST_F(SocketLink, ServerTakesThePeerThatConnectsAndGivesUpAtTheLimit) {
    const int port = loopback::FreeTcpPort();
    auto opened = std::async(std::launch::async, [&] { return ServerOpen(0, port); });
    loopback::Fd peer = loopback::ConnectWhenListening(port);
    ASSERT_TRUE(peer.Valid());
    ASSERT_EQ(opened.get(), 1) << sock_last_error();
    ASSERT_TRUE(loopback::SendAll(peer.Get(), {9, 8, 7}));
    ASSERT_EQ(sock_wait_available(3, 5000), 3);
    EXPECT_EQ(ReadRing(3), (Bytes{9, 8, 7}));
    const Bytes answer = {1, 2};
    EXPECT_EQ(SocketWrite(answer.data(), 2), 2);
    EXPECT_EQ(loopback::Receive(peer.Get(), 2), answer);

    // Nobody connects, nobody listens: each open ends at the limit.
    sock_set_open_limit(150);
    struct Case {
        const char* what;
        std::function<int()> open;
        int error;
    };
    const std::uint32_t loop = htonl(INADDR_LOOPBACK);
    const int closedPort = loopback::FreeTcpPort();
    const Case cases[] = {
        {"server without a peer", [&] { return ServerOpen(0, closedPort); }, ETIMEDOUT},
        {"client refused", [&] { return SocketOpen(0, 0, &loop, closedPort); }, ECONNREFUSED},
        {"port 0", [&] { return SocketOpen(0, 0, &loop, 0); }, EINVAL},
        {"server on port 0", [&] { return ServerOpen(0, 0); }, EINVAL},
    };
    for (const Case& c : cases) {
        const auto start = Clock::now();
        EXPECT_EQ(c.open(), 0) << c.what;
        EXPECT_EQ(sock_last_error(), c.error) << c.what;
        EXPECT_LT(Clock::now() - start, 2s) << c.what;
        EXPECT_EQ(sock_is_connected(), 0) << c.what << ": the old connection was closed";
    }
}

TEST_F(SocketLink, AnInterruptEndsWaitsSendsAndOpensAtOnce) {
    loopback::Listener listener;
    loopback::Fd peer = OpenAsClient(listener);
    ASSERT_TRUE(peer.Valid());
    auto waiter = std::async(std::launch::async, [] { return sock_wait_available(1, -1); });
    std::this_thread::sleep_for(20ms);  // let it block first
    const auto start = Clock::now();
    sock_interrupt();
    ASSERT_EQ(waiter.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(waiter.get(), KYTO_WAIT_INTERRUPTED);
    EXPECT_LT(Clock::now() - start, 50ms);
    // Sticky: nothing waits or goes out until resumed.
    EXPECT_EQ(sock_wait_available(1, 5000), KYTO_WAIT_INTERRUPTED);
    const Bytes command = {1, 2, 3, 4};
    EXPECT_EQ(SocketWrite(command.data(), 4), 0);
    sock_resume();
    EXPECT_EQ(SocketWrite(command.data(), 4), 4);
    EXPECT_EQ(loopback::Receive(peer.Get(), 4), command);

    // An open waiting for its peer (10 s) ends as soon as it is interrupted.
    auto opening =
        std::async(std::launch::async, [] { return ServerOpen(0, loopback::FreeTcpPort()); });
    std::this_thread::sleep_for(50ms);
    const auto interruptedAt = Clock::now();
    sock_interrupt();
    ASSERT_EQ(opening.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(opening.get(), 0);
    EXPECT_EQ(sock_last_error(), ECANCELED);
    EXPECT_LT(Clock::now() - interruptedAt, 100ms);
    sock_resume();
}

TEST_F(SocketLink, AnIdleConnectionCostsNoCpu) {
    loopback::Listener listener;
    loopback::Fd peer = OpenAsClient(listener);
    ASSERT_TRUE(peer.Valid());
    rusage before{};
    rusage after{};
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(300ms);
    getrusage(RUSAGE_SELF, &after);
    const auto us = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000L + r.ru_utime.tv_usec +
               r.ru_stime.tv_usec;
    };
    EXPECT_LT(us(after) - us(before), 30000) << "the receive thread spins";
}

// One UDP exchange against a responder that answers with `reply` (or not at
// all); the reply area is surrounded by guard bytes that must stay intact.
struct UdpCase {
    const char* what;
    std::optional<Bytes> reply;
    int expected;
};

TEST(SocketDatagram, RepliesOfAnySizeStayInsideTheReplyArea) {
    const UdpCase cases[] = {
        {"nobody answers", std::nullopt, 0},
        {"a full reply", Pattern(35), 35},
        {"a longer datagram is cut", Pattern(200), 35},
        {"a fragment", Pattern(7), 7},
        {"an empty datagram", Bytes{}, 0},
    };
    for (const UdpCase& c : cases) {
        loopback::Udp adapter;
        const Bytes request = Pattern(40, 5);
        auto answering = std::async(std::launch::async, [&] {
            const auto got = adapter.Receive();
            if (got && c.reply) {
                adapter.Answer(*c.reply);
            }
            return got;
        });
        std::uint8_t area[35 + 16];
        std::memset(area, 0xCC, sizeof area);
        const auto start = Clock::now();
        const int got =
            sock_getActive("127.0.0.1", adapter.Port(), request.data(), 40, area + 8, 35);
        const auto waited = Clock::now() - start;
        EXPECT_EQ(got, c.expected) << c.what;
        EXPECT_EQ(answering.get(), request) << c.what;
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(area[i], 0xCC) << c.what;
            EXPECT_EQ(area[8 + 35 + i], 0xCC) << c.what;
        }
        if (c.reply) {
            const std::size_t n = std::min<std::size_t>(c.reply->size(), 35);
            EXPECT_EQ(Bytes(area + 8, area + 8 + n), Bytes(c.reply->begin(), c.reply->begin() + n))
                << c.what;
            EXPECT_EQ(Bytes(area + 8 + n, area + 8 + 35), Bytes(35 - n, 0)) << c.what;
        }
        if (c.expected < 35) {
            EXPECT_GE(waited, 100ms) << c.what << ": the wait is 100 ms";
        }
        EXPECT_LT(waited, 1s) << c.what;
    }
    // Without a reply area, nothing is waited for.
    loopback::Udp adapter;
    const Bytes configuration = Pattern(40, 6);
    const auto start = Clock::now();
    EXPECT_EQ(sock_getActive("127.0.0.1", adapter.Port(), configuration.data(), 40, nullptr, 0), 0);
    EXPECT_LT(Clock::now() - start, 50ms);
    EXPECT_EQ(adapter.Receive(), configuration);
    EXPECT_EQ(
        sock_getActive("not an address", adapter.Port(), configuration.data(), 40, nullptr, 0), 0);
}

TEST(SocketGuard, TestsRunWithTrafficKeptOnLoopback) {
    ASSERT_TRUE(kyto::link::LoopbackOnly()) << "KYTO_LOOPBACK_ONLY is not set for the tests";
    const char* allowed[] = {"127.0.0.1", "127.255.0.9"};
    const char* refused[] = {"255.255.255.255", "10.0.0.1", "192.168.1.20", "8.8.8.8", "0.0.0.0"};
    for (const char* text : allowed) {
        in_addr a{};
        inet_pton(AF_INET, text, &a);
        EXPECT_TRUE(kyto::link::DestinationAllowed(a.s_addr)) << text;
    }
    for (const char* text : refused) {
        in_addr a{};
        inet_pton(AF_INET, text, &a);
        EXPECT_FALSE(kyto::link::DestinationAllowed(a.s_addr)) << text;
    }
}

}  // namespace
