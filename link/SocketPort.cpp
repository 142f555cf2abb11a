// Flat entry points of the socket link (see KytoSocket.h): opening as client
// or server within the open limit, closing, the ring accessors and sending.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>
#include <thread>

#include "link/KytoSocket.h"
#include "link/NetGuard.h"
#include "link/SocketState.h"

namespace kyto::link {

SocketState& Socket() {
    static SocketState* state = new SocketState();
    return *state;
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kChunk = 1024;
// The adapter is given at least this long between the starts of two pieces.
constexpr auto kChunkSpacing = std::chrono::milliseconds(1);
// A send that makes no progress for this long is abandoned; the missing
// response then shows up as a time-out at the reader.
constexpr int kStallMs = 1000;
// Pause between two connection attempts while the peer refuses.
constexpr auto kRetryPause = std::chrono::milliseconds(50);

// Whole milliseconds until deadline, rounded up; 0 once it has passed.
int MillisUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

int Fail(SocketState& s, int error) {
    std::lock_guard<std::mutex> guard(s.lock);
    s.lastError = error;
    return 0;
}

// Stops the receive thread, waits until no caller uses the socket any more
// and closes it. Waiters are woken first, so none sleeps through a close.
int CloseLocked(SocketState& s) {
    int stopFd = -1;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.running = false;
        s.peerOpen = false;
        stopFd = s.stopFd;
    }
    s.changed.notify_all();
    if (stopFd >= 0) {
        const std::uint64_t one = 1;
        // Cannot fail on a fresh eventfd that is never drained.
        (void)!write(stopFd, &one, sizeof one);
    }
    if (s.thread.joinable()) {
        s.thread.join();
    }
    std::unique_lock<std::mutex> guard(s.lock);
    s.writersDone.wait(guard, [&] { return s.users == 0; });
    int result = -1;
    if (s.fd >= 0) {
        result = close(s.fd) == 0 ? 0 : errno;
        s.fd = -1;
    }
    if (s.stopFd >= 0) {
        close(s.stopFd);
        s.stopFd = -1;
    }
    return result;
}

// Takes a connected socket: the ring starts empty and the receive thread runs.
int StartLocked(SocketState& s, int fd) {
    const int stopFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stopFd < 0) {
        const int error = errno;
        close(fd);
        return Fail(s, error);
    }
    // Commands are small: send each at once instead of waiting for more.
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.ring) {
            s.ring.emplace(KYTO_SOCKET_RING_SIZE);
        }
        s.ring->Clear();
        s.fd = fd;
        s.stopFd = stopFd;
        s.running = true;
        s.peerOpen = true;
        s.lastError = 0;
    }
    try {
        s.thread = std::thread(SocketReceiveLoop, std::ref(s), fd, stopFd);
    } catch (const std::system_error& e) {
        CloseLocked(s);
        return Fail(s, e.code().value());
    }
    return 1;
}

int OpenLimit(SocketState& s) {
    std::lock_guard<std::mutex> guard(s.lock);
    return s.openLimitMs;
}

int InterruptFdLocked(SocketState& s) {
    if (s.interruptFd < 0) {
        s.interruptFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    return s.interruptFd;
}

void DrainInterruptFd(int fd) {
    std::uint64_t count = 0;
    while (fd >= 0 && read(fd, &count, sizeof count) == sizeof count) {
    }
}

// An open starts uninterrupted (an interrupt that arrives during it ends
// it); returns the descriptor that tells of such an interrupt.
int BeginOpen(SocketState& s) {
    std::lock_guard<std::mutex> guard(s.lock);
    s.interrupted = false;
    const int fd = InterruptFdLocked(s);
    DrainInterruptFd(fd);
    return fd;
}

// poll() on fd for events and on the interrupt descriptor: > 0 ready,
// 0 timed out, -1 failed (errno), kInterrupted when interrupted.
constexpr int kInterrupted = -2;
int PollOr(int fd, short events, int interruptFd, int timeoutMs) {
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {interruptFd, POLLIN, 0}};
        const int ready = poll(fds, 2, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready > 0 && fds[1].revents != 0) {
            return kInterrupted;
        }
        return ready;
    }
}

// One connection attempt that ends by the deadline: the connected socket, or
// -1 with the reason in error.
int ConnectOnce(const sockaddr_in& to, Clock::time_point deadline, int interruptFd, int& error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        return fd;
    }
    if (errno != EINPROGRESS) {
        error = errno;
        close(fd);
        return -1;
    }
    const int ready = PollOr(fd, POLLOUT, interruptFd, MillisUntil(deadline));
    int soError = ready == kInterrupted ? ECANCELED : ETIMEDOUT;
    if (ready > 0) {
        socklen_t length = sizeof soError;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
    }
    if (soError != 0) {
        error = soError;
        close(fd);
        return -1;
    }
    return fd;
}

// Waits for the first allowed peer on a listening socket until the deadline.
int AcceptOne(int listener, Clock::time_point deadline, int interruptFd, int& error) {
    for (;;) {
        const int ready = PollOr(listener, POLLIN, interruptFd, MillisUntil(deadline));
        if (ready <= 0) {
            error = ready == 0 ? ETIMEDOUT : ready == kInterrupted ? ECANCELED : errno;
            return -1;
        }
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            if (DestinationAllowed(peer.sin_addr.s_addr)) {
                return fd;
            }
            close(fd);
        } else if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
            error = errno;
            return -1;
        }
    }
}

bool ValidPort(int port) {
    return port >= 1 && port <= 65535;
}

// The descriptors a call that uses the socket outside the lock polls on.
struct InUse {
    int fd = -1;
    int stopFd = -1;
    int interruptFd = -1;
};

// Marks the start of such a call; false when none is open, its peer has gone
// (a send would still succeed once) or the link is interrupted.
bool EnterUse(SocketState& s, InUse& use) {
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.fd < 0 || !s.running || !s.peerOpen || s.interrupted) {
        return false;
    }
    use = {s.fd, s.stopFd, InterruptFdLocked(s)};
    ++s.users;
    return true;
}

bool Interrupted(SocketState& s) {
    std::lock_guard<std::mutex> guard(s.lock);
    return s.interrupted;
}

void LeaveUse(SocketState& s, bool peerGone) {
    {
        std::lock_guard<std::mutex> guard(s.lock);
        --s.users;
        if (peerGone) {
            s.peerOpen = false;
        }
    }
    s.writersDone.notify_all();
    if (peerGone) {
        s.changed.notify_all();
    }
}

}  // namespace
}  // namespace kyto::link

using kyto::link::Socket;
using kyto::link::SocketState;

extern "C" {

int SocketOpen(int, int, const uint32_t* address, int port) {
    using namespace kyto::link;
    SocketState& s = Socket();
    std::lock_guard<std::mutex> life(s.lifecycle);
    CloseLocked(s);
    const int interruptFd = BeginOpen(s);
    if (address == nullptr || !ValidPort(port)) {
        return Fail(s, EINVAL);
    }
    if (!DestinationAllowed(*address)) {
        return Fail(s, EPERM);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = *address;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(OpenLimit(s));
    int error = ETIMEDOUT;
    for (;;) {
        const int fd = ConnectOnce(to, deadline, interruptFd, error);
        if (fd >= 0) {
            return StartLocked(s, fd);
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline || error == ECANCELED) {
            break;
        }
        // The pause between two attempts, unless an interrupt ends it.
        const Clock::time_point next = std::min(now + kRetryPause, deadline);
        if (PollOr(-1, 0, interruptFd, MillisUntil(next)) == kInterrupted) {
            error = ECANCELED;
            break;
        }
    }
    return Fail(s, error);
}

int ServerOpen(int, int port) {
    using namespace kyto::link;
    SocketState& s = Socket();
    std::lock_guard<std::mutex> life(s.lifecycle);
    CloseLocked(s);
    const int interruptFd = BeginOpen(s);
    if (!ValidPort(port)) {
        return Fail(s, EINVAL);
    }
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        return Fail(s, errno);
    }
    // A port just released by the previous connection must be usable again.
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    local.sin_addr.s_addr = htonl(LoopbackOnly() ? INADDR_LOOPBACK : INADDR_ANY);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        listen(listener, 1) != 0) {
        const int error = errno;
        close(listener);
        return Fail(s, error);
    }
    int error = 0;
    const int fd = AcceptOne(listener, Clock::now() + std::chrono::milliseconds(OpenLimit(s)),
                             interruptFd, error);
    close(listener);
    if (fd < 0) {
        return Fail(s, error);
    }
    return StartLocked(s, fd);
}

int SocketWrite(const unsigned char* data, unsigned length) {
    using namespace kyto::link;
    SocketState& s = Socket();
    InUse use;
    if (data == nullptr || length == 0 || !EnterUse(s, use)) {
        return 0;
    }
    unsigned sent = 0;
    bool peerGone = false;
    Clock::time_point nextStart = Clock::now();
    while (sent < length && !Interrupted(s)) {
        // Pieces after the first keep their spacing; the last one is not
        // followed by a pause, so a short command costs no extra millisecond.
        std::this_thread::sleep_until(nextStart);
        const Clock::time_point start = Clock::now();
        const ssize_t n = send(use.fd, data + sent, std::min(kChunk, length - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<unsigned>(n);
            nextStart = start + kChunkSpacing;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The socket is full: wait for room, for a close to begin or for
            // an interrupt.
            pollfd fds[3] = {
                {use.fd, POLLOUT, 0}, {use.stopFd, POLLIN, 0}, {use.interruptFd, POLLIN, 0}};
            const int ready = poll(fds, 3, kStallMs);
            if ((ready < 0 && errno == EINTR) ||
                (ready > 0 && fds[1].revents == 0 && fds[2].revents == 0)) {
                continue;
            }
            break;
        }
        peerGone = true;  // EPIPE, ECONNRESET: the peer has closed
        break;
    }
    LeaveUse(s, peerGone);
    return static_cast<int>(sent);
}

int SocketRead(unsigned char* buffer, int length) {
    using namespace kyto::link;
    SocketState& s = Socket();
    InUse use;
    if (buffer == nullptr || length <= 0 || !EnterUse(s, use)) {
        return 0;
    }
    const ssize_t n = recv(use.fd, buffer, static_cast<std::size_t>(length), MSG_DONTWAIT);
    LeaveUse(s, false);
    return n > 0 ? static_cast<int>(n) : 0;
}

int SocketClose(void) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> life(s.lifecycle);
    return kyto::link::CloseLocked(s);
}

int sock_read(unsigned char* buffer, int length) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.ring || buffer == nullptr) {
        return 0;
    }
    return s.ring->Read(buffer, length);
}

int sock_length(void) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.ring ? s.ring->Count() : 0;
}

void sock_clear(void) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> guard(s.lock);
    // Like the serial line's flush: what the socket already holds is as old
    // as what the ring holds (a late answer to an abandoned command), and
    // must not be read as the answer to the next one.
    if (s.fd >= 0 && s.peerOpen) {
        std::uint8_t scratch[4096];
        while (recv(s.fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
        }
    }
    if (s.ring) {
        s.ring->Clear();
    }
}

int sock_wait_available(int needed, int timeout_ms) {
    SocketState& s = Socket();
    std::unique_lock<std::mutex> guard(s.lock);
    const auto count = [&] { return s.ring ? s.ring->Count() : 0; };
    const auto enough = [&] { return count() >= needed; };
    // Nothing more can come: closed, the peer gone, or the ring stopped
    // storing until the next clear.
    const auto ended = [&] { return !s.peerOpen || (s.ring && s.ring->Overflowed()); };
    // Every change of these is notified on `changed`.
    const auto done = [&] { return s.interrupted || enough() || ended(); };
    if (timeout_ms < 0) {
        s.changed.wait(guard, done);
    } else if (timeout_ms > 0) {
        s.changed.wait_for(guard, std::chrono::milliseconds(timeout_ms), done);
    }
    if (s.interrupted) {
        return KYTO_WAIT_INTERRUPTED;
    }
    if (!enough() && ended()) {
        return KYTO_WAIT_CLOSED;
    }
    return count();
}

void sock_interrupt(void) {
    SocketState& s = Socket();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.interrupted = true;
        const std::uint64_t one = 1;
        const int fd = kyto::link::InterruptFdLocked(s);
        if (fd >= 0) {
            // Cannot fail short of the counter's limit: it is drained on resume.
            (void)!write(fd, &one, sizeof one);
        }
    }
    s.changed.notify_all();
}

void sock_resume(void) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> guard(s.lock);
    s.interrupted = false;
    kyto::link::DrainInterruptFd(s.interruptFd);
}

int sock_is_connected(void) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.fd >= 0 && s.peerOpen ? 1 : 0;
}

int sock_overflowed(void) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.ring && s.ring->Overflowed() ? 1 : 0;
}

int sock_last_error(void) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.lastError;
}

int sock_set_open_limit(int ms) {
    SocketState& s = Socket();
    std::lock_guard<std::mutex> guard(s.lock);
    const int previous = s.openLimitMs;
    s.openLimitMs = std::max(1, ms);
    return previous;
}

}  // extern "C"
