#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "ResponseFrame.h"
#include "link/MemoryTransport.h"

// A fake module on the in-memory transport: every frame the link writes is
// recorded and answered with the next queued answer (the baud switch is never
// answered), optionally after a delay.
class MemoryModule {
public:
    using Bytes = std::vector<std::uint8_t>;

    MemoryModule() {
        transport_.SetOnWrite(
            [this](const std::uint8_t* data, int length) { OnWrite(data, length); });
    }
    ~MemoryModule() {
        for (std::thread& t : late_) {
            t.join();
        }
    }

    CMemoryTransport* Transport() { return &transport_; }

    void Answer(Bytes bytes, int delayMs = 0) {
        std::lock_guard<std::mutex> guard(lock_);
        answers_.push_back({std::move(bytes), delayMs});
    }
    std::vector<Bytes> Frames() {
        std::lock_guard<std::mutex> guard(lock_);
        return frames_;
    }
    bool WaitFrames(std::size_t count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock_);
        return written_.wait_for(guard, limit, [&] { return frames_.size() >= count; });
    }
    void Forget() {
        std::lock_guard<std::mutex> guard(lock_);
        frames_.clear();
    }

private:
    struct Queued {
        Bytes bytes;
        int delayMs;
    };

    void OnWrite(const std::uint8_t* data, int length) {
        Queued answer;
        {
            std::lock_guard<std::mutex> guard(lock_);
            frames_.emplace_back(data, data + length);
            written_.notify_all();
            if ((length >= 2 && data[0] == 0xFE && data[1] == 0x0E) || answers_.empty()) {
                return;
            }
            answer = std::move(answers_.front());
            answers_.pop_front();
        }
        if (answer.delayMs == 0) {
            transport_.Feed(answer.bytes);
            return;
        }
        late_.emplace_back([this, answer] {
            std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
            transport_.Feed(answer.bytes);
        });
    }

    CMemoryTransport transport_;
    std::mutex lock_;
    std::condition_variable written_;
    std::deque<Queued> answers_;
    std::vector<Bytes> frames_;
    std::vector<std::thread> late_;
};
