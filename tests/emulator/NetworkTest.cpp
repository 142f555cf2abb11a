// kyto-emu behind its network adapter: TCP in both directions and the UDP
// discovery answer, on the loopback interface only.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "emulator/harness/EmuProcess.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

int PortOf(const std::string& address) {
    return std::stoi(address.substr(address.rfind(':') + 1));
}

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// One exchange on a connected socket: the whole response frame, or what came
// within the time.
Bytes Exchange(int fd, const Bytes& command, int timeoutMs = 3000) {
    EXPECT_EQ(send(fd, command.data(), command.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(command.size()));
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (got.size() >= 6 && got.size() >= 6u + (got[2] | (got[3] << 8) |
                                                   (static_cast<std::size_t>(got[4]) << 16))) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            std::uint8_t buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
    }
    return got;
}

const Bytes kGetVersion = {0xFE, 0x00, 0x00, 0x00};

}  // namespace

TEST(EmulatorNetwork, ServesTcpHostsOneAfterAnother) {
    CEmuProcess emu({"--tcp-listen", "0", "--no-line-timing"});
    ASSERT_TRUE(emu.Start()) << emu.Error();
    const int port = PortOf(emu.PortPath());
    for (int round = 0; round < 2; ++round) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in a = Loopback(port);
        ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
        const Bytes r = Exchange(fd, kGetVersion);
        ASSERT_EQ(r.size(), 25u) << "round " << round;
        EXPECT_EQ(std::string(r.begin() + 6, r.begin() + 14), "KYTO-EMU");
        close(fd);
    }
}

namespace {

// The configuration datagram a host must send to the adapter whose reply
// this is, written out by hand from the rules.
Bytes Configuration(const std::uint8_t* reply, const std::string& tag, int baud) {
    Bytes d(40, 0);
    std::copy(reply, reply + 6, d.begin());
    std::copy(tag.begin(), tag.end(), d.begin() + 6);
    std::copy(reply + 7, reply + 35, d.begin() + 12);
    const std::uint8_t* l = reply + 7;  // stored last octet first
    const std::uint8_t* m = reply + 13;
    const Bytes over = {l[3],
                        l[2],
                        l[1],
                        l[0],
                        reply[11],
                        reply[12],
                        m[3],
                        m[2],
                        m[1],
                        m[0],
                        reply[17],
                        reply[18],
                        l[1],
                        l[0],
                        l[3],
                        l[2],
                        static_cast<std::uint8_t>((reply[23] & 0x0F) == 1 ? 1 : 3),
                        static_cast<std::uint8_t>(baud),
                        static_cast<std::uint8_t>(baud >> 8),
                        static_cast<std::uint8_t>(baud >> 16),
                        3};
    std::copy(over.begin(), over.end(), d.begin() + 12);
    d[35] = 0x80;
    return d;
}

class Datagrams {
public:
    explicit Datagrams(int port) : fd_(socket(AF_INET, SOCK_DGRAM, 0)), to_(Loopback(port)) {}
    ~Datagrams() { close(fd_); }
    void Send(const Bytes& bytes) {
        ASSERT_EQ(sendto(fd_, bytes.data(), bytes.size(), 0,
                         reinterpret_cast<const sockaddr*>(&to_), sizeof to_),
                  static_cast<ssize_t>(bytes.size()));
    }
    // The adapter's reply to the discovery datagram.
    Bytes Discover() {
        std::string request;
        for (int i = 0; i < 4; ++i) {
            request += "0123456789";
        }
        Send(Bytes(request.begin(), request.end()));
        pollfd p{fd_, POLLIN, 0};
        EXPECT_GT(poll(&p, 1, 3000), 0);
        std::uint8_t reply[64];
        const ssize_t n = recv(fd_, reply, sizeof reply, 0);
        return Bytes(reply, reply + std::max<ssize_t>(n, 0));
    }

private:
    int fd_;
    sockaddr_in to_;
};

bool Accepts(int listener, int timeoutMs) {
    pollfd w{listener, POLLIN, 0};
    return poll(&w, 1, timeoutMs) > 0;
}

}  // namespace

TEST(EmulatorNetwork, ConnectsToAListeningHostOnceConfiguredByteForByte) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    socklen_t length = sizeof a;
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
    const int port = ntohs(a.sin_port);

    CEmuProcess emu({"--tcp-connect", std::to_string(port), "--udp-discovery", "0", "--mode-byte",
                     "0x21", "--config-tag", "777000", "--no-line-timing"});
    ASSERT_TRUE(emu.Start()) << emu.Error();
    const std::string udp = emu.ReadLine();
    ASSERT_FALSE(udp.empty());
    Datagrams adapter(PortOf(udp));

    // Discovery: the 40-digit datagram gets the adapter's 35-byte answer.
    const Bytes reply = adapter.Discover();
    ASSERT_EQ(reply.size(), 35u);
    EXPECT_EQ(std::string(reply.begin(), reply.begin() + 6), "KYEMU1");
    EXPECT_EQ((Bytes(reply.begin() + 7, reply.begin() + 11)), (Bytes{1, 0, 0, 127}))
        << "local address, last octet first";
    EXPECT_EQ(reply[11] | (reply[12] << 8), port) << "the application listens on the server port";
    EXPECT_EQ(reply[23], 0x21);

    // Not configured, or configured wrongly: the adapter stays away.
    EXPECT_FALSE(Accepts(listener, 300)) << "connected before being configured";
    const Bytes good = Configuration(reply.data(), "777000", 921600);
    for (std::size_t at : {6u, 13u, 24u, 28u, 32u, 35u, 38u}) {
        Bytes bad = good;
        bad[at] ^= 0x01;
        adapter.Send(bad);
    }
    adapter.Send(Configuration(reply.data(), "777000", 1234));  // no rate the module offers
    EXPECT_FALSE(Accepts(listener, 300)) << "a wrong configuration was taken";

    adapter.Send(good);
    ASSERT_TRUE(Accepts(listener, 5000)) << "the emulator did not connect";
    const int fd = accept(listener, nullptr, nullptr);
    ASSERT_GE(fd, 0);
    // The adapter runs at the configured 921600 baud, the module at 9600:
    // nothing gets through until the rates agree.
    EXPECT_EQ(Exchange(fd, kGetVersion, 300).size(), 0u);
    adapter.Send(Configuration(reply.data(), "777000", 9600));
    // The datagram takes its own path: a command may still overtake it.
    std::size_t answered = 0;
    for (int i = 0; i < 20 && answered == 0; ++i) {
        answered = Exchange(fd, kGetVersion, 200).size();
    }
    EXPECT_EQ(answered, 25u);
    close(fd);
    close(listener);
}
