#pragma once

// The socket link's receive ring: a fixed buffer with read and write
// positions that wrap at its end. It exists so that a connection that is
// never cleared (the protocol clears before each command, outside callers
// may not) can go on receiving in bounded memory.
//
// When a byte finds the ring full, it and every byte after it are dropped
// until the next Clear(): storing later bytes after a gap would splice two
// parts of the stream into what looks like one response. Not thread-safe;
// the owner guards it with its lock.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace kyto::link {

class CByteRing {
public:
    explicit CByteRing(int capacity)
        : capacity_(capacity), bytes_(std::make_unique<std::uint8_t[]>(capacity)) {}

    int Capacity() const { return capacity_; }
    int Count() const { return count_; }
    bool Overflowed() const { return overflowed_; }

    // Stores the bytes that fit, unless the ring already overflowed; returns
    // how many were stored.
    int Append(const std::uint8_t* data, int length) {
        if (overflowed_ || length <= 0) {
            return 0;
        }
        const int stored = std::min(length, capacity_ - count_);
        if (stored < length) {
            overflowed_ = true;
        }
        const int first = std::min(stored, capacity_ - write_);
        std::memcpy(bytes_.get() + write_, data, static_cast<std::size_t>(first));
        std::memcpy(bytes_.get(), data + first, static_cast<std::size_t>(stored - first));
        write_ = (write_ + stored) % capacity_;
        count_ += stored;
        return stored;
    }

    // Copies min(length, Count()) bytes out in order; returns how many.
    int Read(std::uint8_t* out, int length) {
        const int taken = std::max(0, std::min(length, count_));
        const int first = std::min(taken, capacity_ - read_);
        std::memcpy(out, bytes_.get() + read_, static_cast<std::size_t>(first));
        std::memcpy(out + first, bytes_.get(), static_cast<std::size_t>(taken - first));
        read_ = (read_ + taken) % capacity_;
        count_ -= taken;
        return taken;
    }

    void Clear() {
        read_ = 0;
        write_ = 0;
        count_ = 0;
        overflowed_ = false;
    }

private:
    const int capacity_;
    std::unique_ptr<std::uint8_t[]> bytes_;
    int read_ = 0;
    int write_ = 0;
    int count_ = 0;
    bool overflowed_ = false;
};

}  // namespace kyto::link
