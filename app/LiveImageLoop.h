#pragma once

// The live image of the Album tab: preview images (no detection, 160 x 120,
// the small-image time limit) one after another, run as a job on the device
// worker until it is asked to stop. Each image goes to the sink as a packet
// of kind kLiveImage; a failed exchange is reported the same way and the
// loop carries on, except when the link is gone.

#include <functional>

#include "app/DeviceWorker.h"
#include "app/FramePacket.h"

struct LiveImageEnd {
    enum Reason {
        kStopped,   // a stop was requested (or the job cancelled)
        kNoLink,    // the device manager has no link
        kPortLost,  // the serial port vanished
    };
    Reason reason = kStopped;
    int images = 0;   // successful images
    int failure = 0;  // result code of the last failed exchange, 0 none
};

class CLiveImageLoop {
public:
    explicit CLiveImageLoop(IFrameSink& sink) : sink_(sink) {}
    CLiveImageLoop(const CLiveImageLoop&) = delete;
    CLiveImageLoop& operator=(const CLiveImageLoop&) = delete;

    JobId Start(CDeviceWorker& worker, Poster poster,
                std::function<void(JobResult<LiveImageEnd>)> done);
    LiveImageEnd Run(CJobContext& job);

private:
    IFrameSink& sink_;
    CImageData image_;  // worker only
};
