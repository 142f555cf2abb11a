#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// A fake module on the far side of a pseudo-terminal pair. The link opens
// Path(); the test reads what the link transmitted (with the time each chunk
// arrived) and writes the module's answers.
class PtyModule {
public:
    using Clock = std::chrono::steady_clock;

    struct Chunk {
        Clock::time_point at;
        std::vector<std::uint8_t> bytes;
    };

    PtyModule() {
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0 || pipe(stop_) != 0) {
            throw std::runtime_error("openpty failed");
        }
        path_ = ttyname(slave_);
        reader_ = std::thread([this] { ReadLoop(); });
    }
    ~PtyModule() {
        Stop();
        CloseMaster();
        if (slave_ >= 0) {
            close(slave_);
        }
        close(stop_[0]);
        close(stop_[1]);
    }
    PtyModule(const PtyModule&) = delete;
    PtyModule& operator=(const PtyModule&) = delete;

    const std::string& Path() const { return path_; }

    // Bytes the link transmitted so far.
    std::vector<std::uint8_t> Received() {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<std::uint8_t> all;
        for (const auto& chunk : chunks_) {
            all.insert(all.end(), chunk.bytes.begin(), chunk.bytes.end());
        }
        return all;
    }
    std::vector<Chunk> Chunks() {
        std::lock_guard<std::mutex> guard(lock_);
        return chunks_;
    }
    // Waits until at least count bytes arrived in total; returns the total.
    std::size_t WaitReceived(std::size_t count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock_);
        arrived_.wait_for(guard, limit, [&] { return total_ >= count; });
        return total_;
    }
    void ForgetReceived() {
        std::lock_guard<std::mutex> guard(lock_);
        chunks_.clear();
        total_ = 0;
    }

    void Send(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                throw std::runtime_error("write to pseudo-terminal failed");
            }
            done += static_cast<std::size_t>(n);
        }
    }

    // Stops reading: what the link transmits then stays in the terminal.
    void Stop() {
        if (reader_.joinable()) {
            (void)!write(stop_[1], "x", 1);
            reader_.join();
        }
    }
    // The device goes away, like a USB adapter being unplugged.
    void CloseMaster() {
        Stop();
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }
    // The test's own descriptor of the terminal side; closed so that only
    // the link holds it.
    void CloseSlave() {
        if (slave_ >= 0) {
            close(slave_);
            slave_ = -1;
        }
    }

private:
    void ReadLoop() {
        std::uint8_t buffer[65536];
        for (;;) {
            pollfd fds[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                continue;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if (fds[0].revents & POLLIN) {
                const ssize_t n = read(master_, buffer, sizeof buffer);
                if (n > 0) {
                    {
                        std::lock_guard<std::mutex> guard(lock_);
                        chunks_.push_back({Clock::now(), {buffer, buffer + n}});
                        total_ += static_cast<std::size_t>(n);
                    }
                    arrived_.notify_all();
                    continue;
                }
            }
            // No terminal side open at the moment: wait for the stop signal
            // instead of spinning on the hang-up.
            pollfd stop = {stop_[0], POLLIN, 0};
            poll(&stop, 1, 5);
            if (stop.revents != 0) {
                return;
            }
        }
    }

    int master_ = -1;
    int slave_ = -1;
    int stop_[2] = {-1, -1};
    std::string path_;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Chunk> chunks_;
    std::size_t total_ = 0;
};
