#include "link/MemoryTransport.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

CMemoryTransport::CMemoryTransport(std::size_t capacity) : capacity_(capacity) {}

void CMemoryTransport::Feed(const std::uint8_t* data, std::size_t length) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        const std::size_t room = capacity_ - std::min(capacity_, received_.size());
        received_.insert(received_.end(), data, data + std::min(room, length));
    }
    arrived_.notify_all();
}

std::vector<std::uint8_t> CMemoryTransport::TakeWritten() {
    std::lock_guard<std::mutex> guard(lock_);
    return std::exchange(written_, {});
}

void CMemoryTransport::SetOnWrite(std::function<void(const std::uint8_t*, int)> onWrite) {
    std::lock_guard<std::mutex> guard(lock_);
    onWrite_ = std::move(onWrite);
}

int CMemoryTransport::Available() {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(received_.size() - readIndex_);
}

int CMemoryTransport::Read(std::uint8_t* buffer, int length) {
    std::lock_guard<std::mutex> guard(lock_);
    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max(length, 0)), received_.size() - readIndex_);
    if (count > 0) {
        std::memcpy(buffer, received_.data() + readIndex_, count);
        readIndex_ += count;
    }
    return static_cast<int>(count);
}

void CMemoryTransport::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    received_.clear();
    readIndex_ = 0;
}

int CMemoryTransport::Write(const std::uint8_t* data, int length) {
    std::function<void(const std::uint8_t*, int)> onWrite;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (interrupted_ || closed_) {
            return length;
        }
        written_.insert(written_.end(), data, data + std::max(length, 0));
        onWrite = onWrite_;
    }
    if (onWrite) {
        onWrite(data, length);
    }
    return length;
}

int CMemoryTransport::WaitAvailable(int needed, int timeoutMs) {
    std::unique_lock<std::mutex> guard(lock_);
    const auto enough = [&] {
        return received_.size() - readIndex_ >= static_cast<std::size_t>(std::max(needed, 0));
    };
    const auto done = [&] { return interrupted_ || closed_ || enough(); };
    if (timeoutMs < 0) {
        arrived_.wait(guard, done);
    } else if (timeoutMs > 0) {
        arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), done);
    }
    if (interrupted_) {
        return kWaitInterrupted;
    }
    if (closed_ && !enough()) {
        return kWaitClosed;
    }
    return static_cast<int>(received_.size() - readIndex_);
}

void CMemoryTransport::Interrupt() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        interrupted_ = true;
    }
    arrived_.notify_all();
}

void CMemoryTransport::ResumeAfterInterrupt() {
    std::lock_guard<std::mutex> guard(lock_);
    interrupted_ = false;
}

void CMemoryTransport::Close() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        closed_ = true;
    }
    arrived_.notify_all();
}

void CMemoryTransport::Reopen() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = false;
}
