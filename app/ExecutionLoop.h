#pragma once

// The execution loop: detection frames one after another, run as a job on
// the device worker. Each frame reads the user's choices, sends Execute with
// an adaptive time limit, hands the decoded and stabilised frame to a sink as
// a packet, and recovers from failed frames by resynchronising the line, up
// to the retry limit ("SettingTime" of Application.ini). The job's completion
// says how the run ended; it is the worker's answer to a stop request.
//
//   CExecutionLoop loop(choices, sink);
//   JobId run = loop.Start(worker, CExecutionLoop::kContinuous, windowPoster,
//                          [this](JobResult<ExecutionEnd> end) { ... });
//   ...
//   worker.RequestStop(run);  // the completion follows after the current frame

#include <cstdint>
#include <functional>

#include "app/DeviceWorker.h"
#include "app/ExecutionChoices.h"
#include "app/FramePacket.h"

struct ExecutionEnd {
    enum Reason {
        kStopped,     // a stop was requested (or the job cancelled)
        kSingleShot,  // single shot: its successful frame is done
        kGaveUp,      // the retries were used up: `failure` is the last result code
        kPortLost,    // the serial port vanished: no retries, the window offers to reconnect
    };
    Reason reason = kStopped;
    int failure = 0;
    // The last non-zero response code a successful exchange returned in this
    // run (the window's "device error" box), -1 when none.
    int deviceErrorCode = -1;
    int frames = 0;  // successful frames of the run
};

class CExecutionLoop {
public:
    enum Mode : int { kSingleShot = 0, kContinuous = 1 };
    static constexpr std::uint8_t kResyncResponseCode = 0x7F;

    // Both must outlive every run. The sink is called on the worker.
    CExecutionLoop(const CChoicesSnapshot& choices, IFrameSink& sink);
    CExecutionLoop(const CExecutionLoop&) = delete;
    CExecutionLoop& operator=(const CExecutionLoop&) = delete;

    // Posts a run on the worker; `done` gets its end through `poster`.
    JobId Start(CDeviceWorker& worker, Mode mode, Poster poster,
                std::function<void(JobResult<ExecutionEnd>)> done);

    // The run itself (on the worker, inside a job): returns when a stop is
    // requested, a single shot has its frame, the retries are used up or
    // the port vanished. The stabilisation run ends with it.
    ExecutionEnd Run(CJobContext& job, Mode mode);

private:
    // One frame; true when the run goes on.
    bool RunFrame(CJobContext& job, Mode mode, ExecutionEnd& end);
    void Report(FramePacket&& packet);

    const CChoicesSnapshot& choices_;
    IFrameSink& sink_;

    // Worker only, between the frames of a run.
    int nextTimeLimit_ = 0;
    int retryCount_ = 0;
    std::uint64_t sequence_ = 0;
    CImageData image_;
};
