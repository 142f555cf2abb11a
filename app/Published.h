#pragma once

// A value that one thread publishes and any thread reads as an immutable
// snapshot: the writer replaces the whole value, readers keep the snapshot
// they took for as long as they need it, and nobody ever sees a value half
// written.

#include <memory>
#include <mutex>
#include <utility>

template <class T>
class CPublished {
public:
    CPublished() : value_(std::make_shared<const T>()) {}

    std::shared_ptr<const T> Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }

    void Publish(T value) {
        auto fresh = std::make_shared<const T>(std::move(value));
        std::lock_guard<std::mutex> lock(mutex_);
        value_.swap(fresh);
        // The old snapshot is released outside the lock (when `fresh` goes).
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const T> value_;
};
