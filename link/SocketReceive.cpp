// The receive thread of the socket link. It sleeps in poll() on the socket
// and the stop descriptor, so an idle connection costs nothing, moves what
// arrives into the ring under the lock and wakes the waiters. A peer that
// closes the connection (or resets it) is noticed here: the waiters are woken
// at once instead of waiting out their time limits, and the thread idles
// until the socket is closed.
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>

#include "link/SocketState.h"

namespace kyto::link {
namespace {

// A 76,800-byte camera image arrives in a couple of reads.
constexpr int kReadSize = 65536;
// Reads per wake-up before the stop descriptor is looked at again, so that a
// peer that never stops sending cannot keep the thread from closing.
constexpr int kReadsPerWake = 16;

enum class Drained { kMore, kEmpty, kGone };

// Reads what the socket holds into the ring (bytes that find it overflowed
// are read and dropped, so the socket never stays readable and poll() never
// spins).
Drained Drain(SocketState& s, int fd, std::uint8_t* scratch) {
    for (int i = 0; i < kReadsPerWake; ++i) {
        ssize_t n;
        int error;
        {
            // Read under the lock (the socket never blocks), so that a clear
            // falls wholly before or after a read: what sock_clear drained
            // and dropped cannot reappear, and what arrives after it is kept.
            std::lock_guard<std::mutex> guard(s.lock);
            n = recv(fd, scratch, kReadSize, MSG_DONTWAIT);
            error = errno;
            if (n > 0) {
                s.ring->Append(scratch, static_cast<int>(n));
            }
        }
        if (n == 0) {
            return Drained::kGone;
        }
        if (n < 0) {
            if (error == EINTR) {
                continue;
            }
            return error == EAGAIN || error == EWOULDBLOCK ? Drained::kEmpty : Drained::kGone;
        }
        s.changed.notify_all();
    }
    return Drained::kMore;
}

}  // namespace

void SocketReceiveLoop(SocketState& s, int fd, int stopFd) {
    const auto scratch = std::make_unique<std::uint8_t[]>(kReadSize);
    bool peerOpen = true;
    for (;;) {
        // A closed connection is left out of the poll set: it would report
        // readable for ever and make the loop spin.
        pollfd fds[2] = {{stopFd, POLLIN, 0}, {peerOpen ? fd : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            continue;  // EINTR; nothing else can fail with valid descriptors
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (peerOpen && fds[1].revents != 0 && Drain(s, fd, scratch.get()) == Drained::kGone) {
            peerOpen = false;
            {
                std::lock_guard<std::mutex> guard(s.lock);
                s.peerOpen = false;
            }
            s.changed.notify_all();
        }
    }
}

}  // namespace kyto::link
