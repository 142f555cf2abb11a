// The newest-frame hand-over between the device worker and a painter.
#include "app/LatestFrameSlot.h"

CLatestFrameSlot::CLatestFrameSlot(std::function<void()> notify) : notify_(std::move(notify)) {}

void CLatestFrameSlot::SetNotify(std::function<void()> notify) {
    std::lock_guard<std::mutex> lock(mutex_);
    notify_ = std::move(notify);
}

void CLatestFrameSlot::Publish(FramePacketPtr packet) {
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (fresh_) {
            ++dropped_;
        }
        fresh_ = std::move(packet);
        ++published_;
        if (!notified_) {
            notified_ = true;
            notify = notify_;
        }
    }
    // Outside the lock: the consumer may take the packet before this returns.
    if (notify) {
        notify();
    }
}

FramePacketPtr CLatestFrameSlot::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    notified_ = false;
    return std::move(fresh_);
}

std::uint64_t CLatestFrameSlot::Published() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return published_;
}

std::uint64_t CLatestFrameSlot::Dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}
