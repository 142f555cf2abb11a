#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ResponseFrame.h"

// A fake module behind a pseudo-terminal. It cuts what the link transmits
// into request frames (FE code len16 payload; Load Album by its 32-bit
// length; four zero bytes as the resynchronisation marker) and answers each
// one, except the baud switch, with the next queued answer (none when the
// queue is empty). The line speed the link had set is noted per request.
//
// The link claims the terminal exclusively (TIOCEXCL) and does not give the
// claim back when it closes. A real port is released on its last close; a
// pseudo-terminal lives on while its master is open, so the link could not
// reopen it (Connect opens twice). The module therefore watches the
// terminal's opens and clears the claim once the link has made it.
class ScriptedModule {
public:
    using Frame = std::vector<std::uint8_t>;

    ScriptedModule() {
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0 || pipe(stop_) != 0) {
            throw std::runtime_error("openpty failed");
        }
        path_ = ttyname(slave_);
        opens_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (opens_ < 0 || inotify_add_watch(opens_, path_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
            throw std::runtime_error("inotify failed");
        }
        reader_ = std::thread([this] { Loop(); });
    }
    ~ScriptedModule() {
        (void)!write(stop_[1], "x", 1);
        reader_.join();
        close(master_);
        close(slave_);
        close(opens_);
        close(stop_[0]);
        close(stop_[1]);
    }
    ScriptedModule(const ScriptedModule&) = delete;
    ScriptedModule& operator=(const ScriptedModule&) = delete;

    const std::string& Path() const { return path_; }

    void Answer(Frame bytes) {
        std::lock_guard<std::mutex> guard(lock_);
        answers_.push_back(std::move(bytes));
    }
    // Requests seen so far, and the line speed at each.
    std::vector<Frame> Requests() {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_;
    }
    std::vector<speed_t> Speeds() {
        std::lock_guard<std::mutex> guard(lock_);
        return speeds_;
    }
    bool WaitRequests(std::size_t count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock_);
        return seen_.wait_for(guard, limit, [&] { return requests_.size() >= count; });
    }
    void Forget() {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.clear();
        speeds_.clear();
        pending_.clear();
    }
    // The terminal side's current output speed, read through the master.
    speed_t Speed() const {
        termios tio{};
        tcgetattr(master_, &tio);
        return cfgetospeed(&tio);
    }
    void Send(const Frame& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                throw std::runtime_error("write to pseudo-terminal failed");
            }
            done += static_cast<std::size_t>(n);
        }
    }

private:
    // Length of the complete frame at the start of pending_, 0 if incomplete.
    std::size_t FrameLength() const {
        const Frame& p = pending_;
        if (p.size() < 4) {
            return 0;
        }
        if (p[0] == 0x00) {
            return 4;  // resynchronisation marker 00 00 00 00
        }
        std::size_t length = 4 + (p[2] | (p[3] << 8));
        if (p[1] == 0x21) {
            if (p.size() < 8) {
                return 0;
            }
            length =
                8 + (p[4] | (p[5] << 8) | (p[6] << 16) | (static_cast<std::size_t>(p[7]) << 24));
        }
        return p.size() >= length ? length : 0;
    }

    void Take(const std::uint8_t* bytes, std::size_t n) {
        std::vector<Frame> replies;
        {
            std::lock_guard<std::mutex> guard(lock_);
            pending_.insert(pending_.end(), bytes, bytes + n);
            while (!pending_.empty() && pending_[0] != 0xFE && pending_[0] != 0x00) {
                pending_.erase(pending_.begin());
            }
            while (std::size_t length = FrameLength()) {
                Frame frame(pending_.begin(), pending_.begin() + static_cast<long>(length));
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(length));
                const bool baudSwitch = frame[0] == 0xFE && frame[1] == 0x0E;
                requests_.push_back(std::move(frame));
                speeds_.push_back(Speed());
                if (!baudSwitch && !answers_.empty()) {
                    replies.push_back(std::move(answers_.front()));
                    answers_.pop_front();
                }
            }
        }
        seen_.notify_all();
        for (const Frame& reply : replies) {
            Send(reply);
        }
    }

    // Reads whatever the master holds without waiting.
    bool DrainMaster() {
        std::uint8_t buffer[65536];
        bool any = false;
        for (;;) {
            pollfd fd = {master_, POLLIN, 0};
            if (poll(&fd, 1, 0) <= 0 || !(fd.revents & POLLIN)) {
                return any;
            }
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) {
                return any;
            }
            Take(buffer, static_cast<std::size_t>(n));
            any = true;
        }
    }

    // The terminal was opened or closed: take what the link sent before, then,
    // after an open, release the link's claim once it has made it, so that it
    // can open the terminal again after closing.
    void OnOpenOrClose() {
        DrainMaster();
        char events[4096];
        bool opened = false;
        ssize_t n;
        while ((n = read(opens_, events, sizeof events)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                opened = opened || (event->mask & IN_OPEN);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        for (int i = 0; opened && i < 500; ++i) {
            int held = 0;
            if (ioctl(slave_, TIOCGEXCL, &held) == 0 && held != 0) {
                ioctl(slave_, TIOCNXCL);
                return;
            }
            pollfd fds[2] = {{stop_[0], POLLIN, 0}, {master_, POLLIN, 0}};
            if (poll(fds, 2, 1) > 0) {
                if (fds[0].revents != 0) {
                    return;
                }
                DrainMaster();
            }
        }
    }

    void Loop() {
        for (;;) {
            pollfd fds[3] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}, {opens_, POLLIN, 0}};
            if (poll(fds, 3, -1) < 0) {
                continue;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if (fds[2].revents != 0) {
                OnOpenOrClose();
                continue;
            }
            DrainMaster();
        }
    }

    int master_ = -1;
    int slave_ = -1;  // held so the terminal never hangs up between the link's opens
    int opens_ = -1;  // inotify: opens of the terminal
    int stop_[2] = {-1, -1};
    std::string path_;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable seen_;
    std::deque<Frame> answers_;
    std::vector<Frame> requests_;
    std::vector<speed_t> speeds_;
    Frame pending_;
};
