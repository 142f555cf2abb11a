#pragma once

// One frame as the device worker hands it on: an owned, immutable packet that
// any thread may keep and read for as long as it holds the pointer. The
// execution loop makes one per report (a detection frame, or the
// resynchronisation that follows a failed one), the live-image loop one per
// preview image.

#include <chrono>
#include <cstdint>
#include <memory>

#include "base/ImageData.h"
#include "protocol/ResultRecords.h"

enum class FrameKind {
    kDetection,  // an Execute exchange of the execution loop
    kResync,     // the resynchronisation after a failed frame (response code 0x7F)
    kLiveImage,  // a preview image for the Album tab (no detection)
};

struct FramePacket {
    using SteadyTime = std::chrono::steady_clock::time_point;
    using WallTime = std::chrono::system_clock::time_point;

    FrameKind kind = FrameKind::kDetection;
    std::uint64_t sequence = 0;  // counts every packet of one loop run from 1

    // The camera image; Width() is 0 when the frame asked for none. For a
    // failed exchange it holds what the buffer held before (not drawn).
    CImageData image;
    std::uint8_t functionFlags[11] = {};  // as requested (body ... verify)
    bool stabilisation = false;
    bool displayImage = true;  // the image panel's "Display image" choice for this frame
    int verifyUserId = -1;     // the ID Verify compared against, -1 none

    int status = 0;                 // result code of the exchange (0 complete)
    std::uint8_t responseCode = 0;  // the module's response code (0x7F for kResync)
    CFrameResult result;

    int responseTimeMs = 0;  // the frame's response time, truncated (the resync's own duration)
    int timeLimitMs = 0;     // limit the exchange ran with; 0 = the table limit
    SteadyTime started;      // before the first exchange of the frame
    SteadyTime finished;     // after decoding and stabilisation
    WallTime wallTime;       // when it finished, for the logs

    // Complete with the module's verdict "success": the frame has results.
    bool Succeeded() const { return status == 0 && responseCode == 0; }
};

using FramePacketPtr = std::shared_ptr<const FramePacket>;

// Where packets go. Called on the device worker for every packet, in order;
// an implementation returns quickly (it never waits for a window).
class IFrameSink {
public:
    virtual ~IFrameSink() = default;
    virtual void OnFrame(const FramePacketPtr& packet) = 0;
};
