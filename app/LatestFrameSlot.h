#pragma once

// The hand-over of frames from the device worker to a painter that may be
// slower than the module: the slot keeps only the newest packet, so a busy
// window thread skips frames instead of queueing them, and it wakes the
// consumer once per fresh frame rather than once per frame.

#include <cstdint>
#include <functional>
#include <mutex>

#include "app/FramePacket.h"

class CLatestFrameSlot : public IFrameSink {
public:
    // notify: called on the publishing thread when the slot turns from taken
    // to fresh (the window posts itself an event there). It is not called
    // again until the consumer has taken a packet.
    explicit CLatestFrameSlot(std::function<void()> notify = {});

    void SetNotify(std::function<void()> notify);

    // Producer side: replaces any packet not yet taken (counted as dropped).
    void Publish(FramePacketPtr packet);
    void OnFrame(const FramePacketPtr& packet) override { Publish(packet); }

    // Consumer side: the newest packet, or null when nothing fresh arrived
    // since the last Take. Re-arms the notification.
    FramePacketPtr Take();

    std::uint64_t Published() const;
    std::uint64_t Dropped() const;

private:
    mutable std::mutex mutex_;
    std::function<void()> notify_;
    FramePacketPtr fresh_;
    bool notified_ = false;  // a notification is out and nobody has taken since
    std::uint64_t published_ = 0;
    std::uint64_t dropped_ = 0;
};
