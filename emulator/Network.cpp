#include "emulator/Network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
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

std::array<std::uint8_t, kDiscoveryReplyBytes> DiscoveryReply(bool appListens, int serverPort,
                                                              int clientPort) {
    std::array<std::uint8_t, kDiscoveryReplyBytes> r{};
    std::memcpy(r.data(), kAdapterIdentity, sizeof kAdapterIdentity);
    const std::uint8_t reversed[4] = {1, 0, 0, 127};  // 127.0.0.1, last octet first
    std::memcpy(r.data() + 7, reversed, 4);
    r[11] = static_cast<std::uint8_t>(serverPort & 0xFF);
    r[12] = static_cast<std::uint8_t>((serverPort >> 8) & 0xFF);
    std::memcpy(r.data() + 13, reversed, 4);
    r[17] = static_cast<std::uint8_t>(clientPort & 0xFF);
    r[18] = static_cast<std::uint8_t>((clientPort >> 8) & 0xFF);
    r[23] = appListens ? 0x01 : 0x02;
    return r;
}

bool IsConfiguration(const std::uint8_t* data, std::size_t size, int& baud) {
    if (size != kDiscoveryBytes ||
        std::memcmp(data, kAdapterIdentity, sizeof kAdapterIdentity) != 0) {
        return false;
    }
    baud = data[29] | (data[30] << 8) | (data[31] << 16);
    return true;
}

}  // namespace kyto::emu
