// The latest-frame slot and the choices snapshot: the two hand-overs between
// the window thread and the device worker.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/ExecutionChoices.h"
#include "app/LatestFrameSlot.h"

namespace {

// A packet whose every field says `n`, so that a mix of two is visible.
FramePacketPtr Packet(std::uint64_t n) {
    auto p = std::make_shared<FramePacket>();
    p->sequence = n;
    p->status = static_cast<int>(n);
    p->responseTimeMs = static_cast<int>(n);
    p->image.Init(160, 120, kFormatGrey8, true);
    std::memset(p->image.Pixels(), static_cast<int>(n & 0xFF), p->image.Size());
    return p;
}

bool Consistent(const FramePacket& p) {
    const auto byte = static_cast<std::uint8_t>(p.sequence & 0xFF);
    if (p.status != static_cast<int>(p.sequence) ||
        p.responseTimeMs != static_cast<int>(p.sequence)) {
        return false;
    }
    for (std::size_t i = 0; i < p.image.Size(); ++i) {
        if (p.image.Pixels()[i] != byte) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(LatestFrameSlot, ASlowConsumerGetsTheNewestFrameAndOneWakeUp) {
    int notifications = 0;
    CLatestFrameSlot slot([&] { ++notifications; });
    for (std::uint64_t n = 1; n <= 3; ++n) {
        slot.Publish(Packet(n));
    }
    EXPECT_EQ(notifications, 1);
    FramePacketPtr taken = slot.Take();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->sequence, 3u);
    EXPECT_EQ(slot.Dropped(), 2u);
    EXPECT_FALSE(slot.Take());  // nothing fresh since

    slot.Publish(Packet(4));  // taken: the next frame wakes the consumer again
    EXPECT_EQ(notifications, 2);
    EXPECT_EQ(slot.Take()->sequence, 4u);
    EXPECT_EQ(slot.Published(), 4u);
    // The consumer keeps what it took for as long as it likes.
    EXPECT_TRUE(Consistent(*taken));
}

TEST(LatestFrameSlot, ConcurrentFramesArriveWholeInOrderAndTheLastIsNeverLost) {
    std::mutex mutex;
    std::condition_variable wake;
    bool fresh = false;
    CLatestFrameSlot slot([&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            fresh = true;
        }
        wake.notify_one();
    });
    constexpr std::uint64_t kFrames = 3000;
    std::thread producer([&] {
        for (std::uint64_t n = 1; n <= kFrames; ++n) {
            slot.Publish(Packet(n));
        }
    });
    std::uint64_t last = 0;
    std::uint64_t seen = 0;
    while (last < kFrames) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            ASSERT_TRUE(wake.wait_for(lock, std::chrono::seconds(20), [&] { return fresh; }));
            fresh = false;
        }
        if (FramePacketPtr p = slot.Take()) {
            ASSERT_TRUE(Consistent(*p)) << p->sequence;
            ASSERT_GT(p->sequence, last);
            last = p->sequence;
            ++seen;
        }
    }
    producer.join();
    EXPECT_EQ(seen + slot.Dropped(), kFrames);
}

TEST(ChoicesSnapshot, EveryReadIsOneWholeSetOfChoices) {
    auto choices = [](int k) {
        ExecutionChoices c;
        std::memset(c.functionFlags, k & 1, sizeof c.functionFlags);
        c.imageType = k & 1 ? 2 : 1;
        c.stabilisation = k & 1;
        c.displayImage = k & 1;
        c.verifyUserId = k & 1 ? 7 : -1;
        return c;
    };
    CChoicesSnapshot snapshot(choices(0));
    std::atomic<bool> done{false};
    std::thread window([&] {
        for (int k = 1; k < 20000; ++k) {
            snapshot.Set(choices(k));
        }
        done = true;
    });
    int reads = 0;
    int torn = 0;
    while (!done || reads == 0) {
        const ExecutionChoices c = snapshot.Current();
        const ExecutionChoices whole = choices(c.functionFlags[0]);
        torn += std::memcmp(c.functionFlags, whole.functionFlags, 11) != 0 ||
                c.imageType != whole.imageType || c.stabilisation != whole.stabilisation ||
                c.displayImage != whole.displayImage || c.verifyUserId != whole.verifyUserId;
        ++reads;
    }
    window.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    // A single-field change leaves the rest as they were.
    const ExecutionChoices before = snapshot.Current();
    const std::uint64_t version = snapshot.Version();
    snapshot.SetVerifyUserId(3);
    const ExecutionChoices after = snapshot.Current();
    EXPECT_EQ(after.verifyUserId, 3);
    EXPECT_EQ(after.imageType, before.imageType);
    EXPECT_EQ(std::memcmp(after.functionFlags, before.functionFlags, 11), 0);
    EXPECT_EQ(snapshot.Version(), version + 1);
}
