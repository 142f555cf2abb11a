#pragma once

// A poster for tests: completions wait in a queue until the test thread runs
// them, as a window's posted events wait for its event loop.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "app/DeviceWorker.h"

class CompletionQueue {
public:
    Poster MakePoster() {
        return [this](std::function<void()> completion) {
            // Notified under the lock: the test thread may run the completion
            // and end the test (destroying the queue) as soon as it is in.
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(std::move(completion));
            changed_.notify_all();
        };
    }

    // Runs the completions that are waiting, on the calling thread; waits up
    // to timeoutMs for the first one. The number run.
    int RunPending(int timeoutMs = 10000) {
        std::deque<std::function<void()>> ready;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return !queue_.empty(); });
            ready.swap(queue_);
        }
        for (auto& completion : ready) {
            completion();
        }
        return static_cast<int>(ready.size());
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
};
