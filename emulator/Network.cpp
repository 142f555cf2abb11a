#include "emulator/Network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kyto::emu {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int BoundPort(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

int Bound(int type, int port, int& boundPort, std::string& error) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in a = Loopback(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        error = "127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    boundPort = BoundPort(fd);
    return fd;
}

}  // namespace

int ListenTcp(int port, int& boundPort, std::string& error) {
    const int fd = Bound(SOCK_STREAM, port, boundPort, error);
    if (fd >= 0 && listen(fd, 1) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

namespace {
void NoDelay(int fd) {
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}
}  // namespace

int AcceptTcp(int listener) {
    const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
        NoDelay(fd);
    }
    return fd;
}

int ConnectTcp(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const sockaddr_in a = Loopback(port);
    // On the loopback interface a connect is answered at once.
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    NoDelay(fd);
    return fd;
}

int BindUdp(int port, int& boundPort, std::string& error) {
    return Bound(SOCK_DGRAM, port, boundPort, error);
}

bool IsDiscoveryRequest(const std::uint8_t* data, std::size_t size) {
    if (size != kDiscoveryBytes) {
        return false;
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != '0' + i % 10) {
            return false;
        }
    }
    return true;
}

std::uint8_t ModeByte(bool appListens) {
    return appListens ? 0x01 : 0x02;
}

Reply DiscoveryReply(std::uint8_t modeByte, int serverPort, int clientPort) {
    Reply r{};
    std::memcpy(r.data(), kAdapterIdentity, sizeof kAdapterIdentity);
    for (std::size_t i = 19; i < r.size(); ++i) {
        r[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    const std::uint8_t reversed[4] = {1, 0, 0, 127};  // 127.0.0.1, last octet first
    std::memcpy(r.data() + 7, reversed, 4);
    r[11] = static_cast<std::uint8_t>(serverPort & 0xFF);
    r[12] = static_cast<std::uint8_t>((serverPort >> 8) & 0xFF);
    std::memcpy(r.data() + 13, reversed, 4);
    r[17] = static_cast<std::uint8_t>(clientPort & 0xFF);
    r[18] = static_cast<std::uint8_t>((clientPort >> 8) & 0xFF);
    r[23] = modeByte;
    return r;
}

Configuration CheckConfiguration(const std::uint8_t* data, std::size_t size, const Reply& reply,
                                 const std::string& tag) {
    Configuration c;
    c.addressed = size >= sizeof kAdapterIdentity &&
                  std::memcmp(data, reply.data(), sizeof kAdapterIdentity) == 0;
    if (!c.addressed) {
        return c;
    }
    if (size != kConfigurationBytes) {
        c.problem = std::to_string(size) + " bytes instead of 40";
        return c;
    }
    // The datagram as the host must build it: identity, tag, reply bytes
    // 7..34 copied to 12..39, then the addresses (stored last octet first)
    // turned around, the ports, the mode, the rate and two constants.
    std::array<std::uint8_t, kConfigurationBytes> want{};
    std::memcpy(want.data(), reply.data(), 6);
    std::memcpy(want.data() + 6, tag.data(), std::min<std::size_t>(tag.size(), 6));
    std::memcpy(want.data() + 12, reply.data() + 7, 28);
    const std::uint8_t* local = reply.data() + 7;
    const std::uint8_t* module = reply.data() + 13;
    const std::uint8_t fixed[][2] = {
        {12, local[3]},
        {13, local[2]},
        {14, local[1]},
        {15, local[0]},
        {16, reply[11]},
        {17, reply[12]},
        {18, module[3]},
        {19, module[2]},
        {20, module[1]},
        {21, module[0]},
        {22, reply[17]},
        {23, reply[18]},
        {24, local[1]},
        {25, local[0]},
        {26, local[3]},
        {27, local[2]},
        {28, static_cast<std::uint8_t>((reply[23] & 0x0F) == 1 ? 1 : 3)},
        {32, 3},
        {35, 0x80}};
    for (const auto& f : fixed) {
        want[f[0]] = f[1];
    }
    c.baud = data[29] | (data[30] << 8) | (data[31] << 16);
    for (std::size_t i = 0; i < kConfigurationBytes; ++i) {
        if (i >= 29 && i <= 31) {
            continue;
        }
        if (data[i] != want[i]) {
            char text[64];
            std::snprintf(text, sizeof text, "byte %zu is 0x%02X, expected 0x%02X", i, data[i],
                          want[i]);
            c.problem = text;
            return c;
        }
    }
    c.valid = true;
    return c;
}

}  // namespace kyto::emu
