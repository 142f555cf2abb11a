// kyto-emu behind its network adapter: TCP in both directions and the UDP
// discovery answer, on the loopback interface only.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

TEST(EmulatorNetwork, ConnectsToAListeningHostAndAnswersDiscovery) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    socklen_t length = sizeof a;
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
    const int port = ntohs(a.sin_port);

    CEmuProcess emu(
        {"--tcp-connect", std::to_string(port), "--udp-discovery", "0", "--no-line-timing"});
    ASSERT_TRUE(emu.Start()) << emu.Error();
    const std::string udp = emu.ReadLine();
    ASSERT_FALSE(udp.empty());

    // Discovery: the 40-digit datagram gets the adapter's 35-byte answer.
    const int u = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in to = Loopback(PortOf(udp));
    std::string request;
    for (int i = 0; i < 4; ++i) {
        request += "0123456789";
    }
    ASSERT_EQ(sendto(u, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to),
              40);
    pollfd p{u, POLLIN, 0};
    ASSERT_GT(poll(&p, 1, 3000), 0);
    std::uint8_t reply[64];
    ASSERT_EQ(recv(u, reply, sizeof reply, 0), 35);
    EXPECT_EQ(std::string(reply, reply + 6), "KYEMU1");
    EXPECT_EQ((Bytes(reply + 7, reply + 11)), (Bytes{1, 0, 0, 127}))
        << "local address, last octet first";
    EXPECT_EQ(reply[11] | (reply[12] << 8), port) << "the application listens on the server port";
    EXPECT_EQ(reply[23] & 0x0F, 1) << "mode: the application listens";
    close(u);

    pollfd w{listener, POLLIN, 0};
    ASSERT_GT(poll(&w, 1, 5000), 0) << "the emulator did not connect";
    const int fd = accept(listener, nullptr, nullptr);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Exchange(fd, kGetVersion).size(), 25u);
    close(fd);
    close(listener);
}
