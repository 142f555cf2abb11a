#pragma once

// The far side of the socket link in tests: a TCP listener, a TCP connector
// and a UDP endpoint, all on 127.0.0.1, with bounded waits.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace loopback {

using Bytes = std::vector<std::uint8_t>;

inline sockaddr_in Address(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

inline int BoundPort(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

// A socket of this type bound to 127.0.0.1 on a free port.
inline int BindFree(int type) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Address(0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        throw std::runtime_error("cannot bind on 127.0.0.1");
    }
    return fd;
}

// A TCP port nobody listens on right now (for a program that will listen).
inline int FreeTcpPort() {
    const int fd = BindFree(SOCK_STREAM);
    const int port = BoundPort(fd);
    close(fd);
    return port;
}

inline bool Readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept {
        Reset(other.fd_);
        other.fd_ = -1;
        return *this;
    }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    int fd_;
};

class Listener {
public:
    Listener() : fd_(BindFree(SOCK_STREAM)) { listen(fd_.Get(), 1); }
    int Port() const { return BoundPort(fd_.Get()); }
    Fd Accept(int timeoutMs = 5000) {
        if (!Readable(fd_.Get(), timeoutMs)) {
            return Fd();
        }
        return Fd(accept4(fd_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    }

private:
    Fd fd_;
};

// Connects to a program that is about to listen on port, retrying while it
// refuses, for at most timeoutMs.
inline Fd ConnectWhenListening(int port, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const sockaddr_in a = Address(port);
    while (std::chrono::steady_clock::now() < end) {
        Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) {
            return fd;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Fd();
}

inline bool SendAll(int fd, const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Exactly count bytes, or fewer when the time runs out or the peer closes.
inline Bytes Receive(int fd, std::size_t count, int timeoutMs = 5000) {
    Bytes got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint8_t buffer[65536];
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Readable(fd, static_cast<int>(left.count()))) {
            break;
        }
        const ssize_t n = recv(fd, buffer, std::min(sizeof buffer, count - got.size()), 0);
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

// A UDP endpoint: what an adapter sees of the discovery and configuration.
class Udp {
public:
    Udp() : fd_(BindFree(SOCK_DGRAM)) {}
    int Port() const { return BoundPort(fd_.Get()); }
    // The next datagram and its sender, or nullopt after timeoutMs.
    std::optional<Bytes> Receive(int timeoutMs = 5000) {
        if (!Readable(fd_.Get(), timeoutMs)) {
            return std::nullopt;
        }
        std::uint8_t buffer[2048];
        socklen_t length = sizeof from_;
        const ssize_t n = recvfrom(fd_.Get(), buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&from_), &length);
        if (n < 0) {
            return std::nullopt;
        }
        return Bytes(buffer, buffer + n);
    }
    // Answers the sender of the last datagram received.
    void Answer(const Bytes& bytes) {
        sendto(fd_.Get(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&from_),
               sizeof from_);
    }

private:
    Fd fd_;
    sockaddr_in from_{};
};

}  // namespace loopback
