// The receive thread of the serial port. It sleeps in poll() on the port and a
// wake-up descriptor, so an idle link costs nothing, and it alone touches the
// port: it drains input into the linear buffer and performs every send, paced
// to the 100 ms grid after the previous one, in chunks of at most 63 bytes.
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "link/SerialState.h"

namespace kyto::link {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

constexpr int kChunk = 63;
constexpr Millis kSendGrid{100};
// A chunk that makes no progress for this long is abandoned; the missing
// response then shows up as a time-out at the reader.
constexpr int kStallMs = 1000;
// Reads per wake-up before the loop looks at send requests again, so a
// device that never stops talking cannot starve the sender.
constexpr int kReadsPerDrain = 16;
constexpr int kReadSize = 65536;

// Line error bits of the receive info line: buffer full, overrun, parity,
// framing, break.
constexpr int kErrBufferFull = 0x01;
constexpr int kErrOverrun = 0x02;
constexpr int kErrParity = 0x04;
constexpr int kErrFrame = 0x08;
constexpr int kErrBreak = 0x10;

struct LineErrors {
    serial_icounter_struct last{};
    bool known = false;
    bool unsupported = false;

    // Errors the driver counted since the last call; 0 where it keeps no
    // counters (pseudo-terminals, some USB adapters). A driver that has no
    // counters is not asked again: the read path runs for every few hundred
    // bytes.
    int Poll(int fd) {
        if (unsupported) {
            return 0;
        }
        serial_icounter_struct now{};
        if (ioctl(fd, TIOCGICOUNT, &now) != 0) {
            unsupported = errno == ENOTTY || errno == EINVAL;
            return 0;
        }
        int mask = 0;
        if (known) {
            if (now.overrun != last.overrun || now.buf_overrun != last.buf_overrun) {
                mask |= kErrOverrun;
            }
            mask |= now.parity != last.parity ? kErrParity : 0;
            mask |= now.frame != last.frame ? kErrFrame : 0;
            mask |= now.brk != last.brk ? kErrBreak : 0;
        }
        last = now;
        known = true;
        return mask;
    }
};

void DrainWakeFd(int wakeFd) {
    std::uint64_t count = 0;
    while (read(wakeFd, &count, sizeof count) == sizeof count) {
    }
}

// The next moment a send may start: the whole milliseconds since the last
// send must be a multiple of 100, so a request within the first millisecond
// after a grid point goes at once and any other waits for the next one.
Clock::time_point NextSendTime(Clock::time_point lastSend, Clock::time_point now) {
    const auto elapsed = std::chrono::duration_cast<Millis>(now - lastSend);
    if (elapsed.count() % kSendGrid.count() == 0) {
        return now;
    }
    return lastSend + kSendGrid * (elapsed / kSendGrid + 1);
}

class Receiver {
public:
    Receiver(SerialState& state, int fd, int wakeFd) : s_(state), fd_(fd), wakeFd_(wakeFd) {}

    void Run();

private:
    bool Drain(int pollResult);
    void Transmit();
    void AbandonSend();
    void FinishSend(int total, int length, const std::uint8_t* data, int retries, int pollResult);
    bool Running() {
        std::lock_guard<std::mutex> guard(s_.lock);
        return s_.running;
    }
    // Waiters for data must not wait for a port that is gone.
    void Vanished() {
        present_ = false;
        {
            std::lock_guard<std::mutex> guard(s_.lock);
            s_.present = false;
        }
        s_.dataArrived.notify_all();
    }
    bool Interrupted() const { return s_.interrupted.load(std::memory_order_relaxed); }

    SerialState& s_;
    const int fd_;
    const int wakeFd_;
    bool present_ = true;
    int lastErrno_ = 0;
    LineErrors lineErrors_;
    std::uint8_t scratch_[4096];
};

// Reads what the port holds into the buffer. Bytes beyond the buffer are read
// and dropped, so the port never stays readable and poll() never spins.
// Returns false when the port has gone away (unplugged, hung up).
bool Receiver::Drain(int pollResult) {
    for (int i = 0; i < kReadsPerDrain; ++i) {
        bool arrived = false;
        bool emptied = false;
        {
            std::lock_guard<std::mutex> guard(s_.lock);
            const int room = kReceiveBufferSize - s_.writeIndex;
            const std::size_t asked =
                room > 0 ? static_cast<std::size_t>(std::min(room, kReadSize)) : sizeof scratch_;
            const ssize_t n =
                read(fd_, room > 0 ? s_.buffer.get() + s_.writeIndex : scratch_, asked);
            if (n == 0) {
                return false;
            }
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (errno == EAGAIN) {
                    return true;
                }
                lastErrno_ = errno;
                return false;
            }
            // Less than asked for: the port held no more just now, and the
            // next poll() says when there is (one read fewer per wake-up).
            emptied = static_cast<std::size_t>(n) < asked;
            const int lineErrors = lineErrors_.Poll(fd_) | (room > 0 ? 0 : kErrBufferFull);
            if (room > 0) {
                s_.writeIndex += static_cast<int>(n);
                arrived = s_.writeIndex - s_.readIndex >= s_.wakeAt;
            }
            const std::uint8_t* b = s_.buffer.get();
            std::snprintf(s_.recvInfo, sizeof s_.recvInfo,
                          "com_recv : m_acRcvBuf = [0x%02x, 0x%02x, 0x%02x, 0x%02x, 0x%02x, "
                          "0x%02x], m_ptrReceive = %d, ierr = %d, dwlErr = %d, dwRes = %d",
                          b[0], b[1], b[2], b[3], b[4], b[5], s_.writeIndex, lineErrors, lastErrno_,
                          pollResult);
        }
        if (arrived) {
            s_.dataArrived.notify_all();
        }
        if (emptied) {
            break;
        }
    }
    return true;
}

void Receiver::FinishSend(int total, int length, const std::uint8_t* data, int retries,
                          int pollResult) {
    {
        std::lock_guard<std::mutex> guard(s_.lock);
        if (length >= 4) {
            std::snprintf(s_.sendInfo, sizeof s_.sendInfo,
                          "com_send : [0x%02x, 0x%02x, 0x%02x, 0x%02x], dwTotal = %d, dwlErr = "
                          "%d, dwRes = %d, loopcnt = %d",
                          data[0], data[1], data[2], data[3], total, lastErrno_, pollResult,
                          retries);
        }
        s_.pendingData = nullptr;
        s_.pendingLength = 0;
        s_.sendsDone = s_.sendsPosted;
    }
    s_.sendDone.notify_all();
}

// The caller of com_write is blocked until FinishSend, so the data stays valid
// while this runs outside the lock.
void Receiver::Transmit() {
    const std::uint8_t* data = nullptr;
    int length = 0;
    {
        std::lock_guard<std::mutex> guard(s_.lock);
        data = s_.pendingData;
        length = s_.pendingLength;
    }
    int total = 0;
    int retries = 0;
    int pollResult = 0;
    // An interrupt abandons the rest between two chunks: a long transfer
    // (an album at 9600 baud takes minutes) ends at once.
    while (present_ && total < length && !Interrupted()) {
        const ssize_t n =
            write(fd_, data + total, static_cast<std::size_t>(std::min(kChunk, length - total)));
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            lastErrno_ = errno;
            if (errno == EIO || errno == ENXIO || errno == ENODEV) {
                Vanished();
            }
            break;
        }
        // Output queue full: wait for room, keep receiving, listen for close.
        ++retries;
        pollfd fds[2] = {{fd_, POLLOUT | POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        pollResult = poll(fds, 2, kStallMs);
        if (pollResult == 0) {
            break;
        }
        if (pollResult < 0) {
            if (errno == EINTR) {
                continue;
            }
            lastErrno_ = errno;
            break;
        }
        if (fds[1].revents & POLLIN) {
            DrainWakeFd(wakeFd_);
            if (!Running() || Interrupted()) {
                break;
            }
        }
        if ((fds[0].revents & POLLIN) && !Drain(pollResult)) {
            Vanished();
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            Vanished();
        }
    }
    FinishSend(total, length, data, retries, pollResult);
}

void Receiver::Run() {
    Clock::time_point lastSend = Clock::now();
    // The grid point chosen for the pending send (valid while sendScheduled).
    Clock::time_point sendDue = lastSend;
    bool sendScheduled = false;
    for (;;) {
        bool sendWanted = false;
        {
            std::lock_guard<std::mutex> guard(s_.lock);
            if (!s_.running) {
                break;
            }
            sendWanted = s_.pendingLength > 0;
        }
        if (sendWanted && (!present_ || Interrupted())) {
            AbandonSend();
            sendScheduled = false;
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (sendWanted) {
            // Once a grid point is chosen it holds even when the thread wakes
            // a little late; otherwise a late wake-up would cost 100 ms more.
            if (!sendScheduled) {
                sendDue = NextSendTime(lastSend, now);
                sendScheduled = true;
            }
            if (now >= sendDue) {
                lastSend = now;
                sendScheduled = false;
                Transmit();
                continue;
            }
        }
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (sendWanted) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(sendDue - now);
            timeout.tv_sec = static_cast<time_t>(ns.count() / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns.count() % 1000000000);
            timeoutPtr = &timeout;
        }
        // A vanished port is left out of the poll set: it would report a
        // hang-up for ever and make the loop spin.
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {present_ ? fd_ : -1, POLLIN, 0}};
        const int result = ppoll(fds, 2, timeoutPtr, nullptr);
        if (result < 0) {
            if (errno != EINTR) {
                lastErrno_ = errno;
            }
            continue;
        }
        if (fds[0].revents & POLLIN) {
            DrainWakeFd(wakeFd_);
        }
        if (present_ && fds[1].revents != 0) {
            if (fds[1].revents & POLLIN) {
                if (!Drain(result)) {
                    Vanished();
                }
            } else {
                // POLLHUP, POLLERR or POLLNVAL without data.
                Vanished();
            }
        }
    }
    // Nobody may stay blocked in com_write once the thread is gone.
    AbandonSend();
}

// Releases the writer of a send that cannot go out (port vanished or being
// closed); the send line records that nothing was written.
void Receiver::AbandonSend() {
    const std::uint8_t* data = nullptr;
    int length = 0;
    {
        std::lock_guard<std::mutex> guard(s_.lock);
        if (s_.pendingLength <= 0) {
            return;
        }
        data = s_.pendingData;
        length = s_.pendingLength;
    }
    FinishSend(0, length, data, 0, 0);
}

}  // namespace

void WakeThread(int wakeFd) {
    const std::uint64_t one = 1;
    // The counter cannot overflow in practice; a failed write only means
    // that a wake-up is already pending.
    (void)!write(wakeFd, &one, sizeof one);
}

void ReceiveLoop(SerialState& state, int fd, int wakeFd) {
    Receiver(state, fd, wakeFd).Run();
}

}  // namespace kyto::link
