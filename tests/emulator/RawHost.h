#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// A minimal host for the emulator's pseudo-terminal: opens the port raw at a
// rate, writes command bytes and reads one response frame, nothing more, so
// the tests see exactly what travels on the line.
class RawHost {
public:
    struct Reply {
        std::vector<std::uint8_t> bytes;  // everything read
        bool complete = false;            // a whole frame (header + announced payload)
        std::uint8_t code = 0xFF;
        std::vector<std::uint8_t> payload;
    };

    ~RawHost() { Close(); }

    bool Open(const std::string& path, speed_t speed) {
        Close();
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            return false;
        }
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
        tcflush(fd_, TCIOFLUSH);
        // Like a host's wait for a quiet line, this also lets the module
        // notice the new line settings before the first byte.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return true;
    }
    // Like closing a real port, lets what was written leave first (a pty
    // would let the next open's flush destroy unread bytes).
    void Close() {
        if (fd_ >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            close(fd_);
            fd_ = -1;
        }
    }
    bool IsOpen() const { return fd_ >= 0; }

    void Write(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{fd_, POLLOUT, 0};
                poll(&p, 1, 100);
            }
        }
    }

    // Reads until a whole frame arrived or timeoutMs passed without completing it.
    Reply Read(int timeoutMs) {
        Reply r;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::uint8_t buffer[65536];
        for (;;) {
            if (r.bytes.size() >= 6) {
                const std::size_t length = r.bytes[2] | (r.bytes[3] << 8) | (r.bytes[4] << 16) |
                                           (static_cast<std::size_t>(r.bytes[5]) << 24);
                if (r.bytes[0] == 0xFE && r.bytes.size() >= 6 + length) {
                    r.complete = true;
                    r.code = r.bytes[1];
                    r.payload.assign(r.bytes.begin() + 6,
                                     r.bytes.begin() + 6 + static_cast<long>(length));
                    return r;
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return r;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                r.bytes.insert(r.bytes.end(), buffer, buffer + n);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                return r;  // hung up
            }
        }
    }

    Reply Exchange(const std::vector<std::uint8_t>& command, int timeoutMs = 3000) {
        Write(command);
        return Read(timeoutMs);
    }

private:
    int fd_ = -1;
};
