// sock_getActive: the one UDP exchange with which the network adapter is
// discovered (a datagram and its reply) and configured (a datagram alone).
// The reply area is the caller's: nothing is ever written past replySize,
// however long or many the datagrams that come back.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/KytoSocket.h"
#include "link/NetGuard.h"

namespace {

constexpr auto kReplyWait = std::chrono::milliseconds(100);

class CUdpSocket {
public:
    CUdpSocket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}
    ~CUdpSocket() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    CUdpSocket(const CUdpSocket&) = delete;
    CUdpSocket& operator=(const CUdpSocket&) = delete;
    int Fd() const { return fd_; }

private:
    const int fd_;
};

// Collects replies until the area is full or the wait is over; a datagram
// longer than the room left is cut to it by recv().
int CollectReplies(int fd, unsigned char* reply, int replySize) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + kReplyWait;
    int got = 0;
    while (got < replySize) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready == 0) {
            break;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        const ssize_t n = recv(fd, reply + got, static_cast<std::size_t>(replySize - got), 0);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;  // counts as nothing received
            }
            break;
        }
        got += static_cast<int>(n);
    }
    return got;
}

}  // namespace

extern "C" int sock_getActive(const char* address, int port, const unsigned char* datagram,
                              int datagramLength, unsigned char* reply, int replySize) {
    in_addr to{};
    if (address == nullptr || datagram == nullptr || datagramLength <= 0 || port < 1 ||
        port > 65535 || inet_pton(AF_INET, address, &to) != 1) {
        return 0;
    }
    if (!kyto::link::DestinationAllowed(to.s_addr)) {
        errno = EPERM;
        return 0;
    }
    CUdpSocket udp;
    if (udp.Fd() < 0) {
        return 0;
    }
    int on = 1;
    setsockopt(udp.Fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(port));
    target.sin_addr = to;
    if (sendto(udp.Fd(), datagram, static_cast<std::size_t>(datagramLength), 0,
               reinterpret_cast<const sockaddr*>(&target),
               sizeof target) != static_cast<ssize_t>(datagramLength)) {
        return 0;
    }
    if (reply == nullptr || replySize <= 0) {
        return 0;
    }
    std::memset(reply, 0, static_cast<std::size_t>(replySize));
    return CollectReplies(udp.Fd(), reply, replySize);
}
