// The execution loop's frames, retries and resynchronisation.
#include "app/ExecutionLoop.h"

#include <chrono>

#include "app/AppCore.h"
#include "protocol/ResultCodes.h"
#include "settings/Settings.h"

namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since, Clock::time_point until) {
    return static_cast<int>(std::chrono::duration<double, std::milli>(until - since).count());
}

bool HasImage(int imageType) {
    return imageType == kImageQvga || imageType == kImageSmall;
}

}  // namespace

CExecutionLoop::CExecutionLoop(const CChoicesSnapshot& choices, IFrameSink& sink)
    : choices_(choices), sink_(sink) {}

JobId CExecutionLoop::Start(CDeviceWorker& worker, Mode mode, Poster poster,
                            std::function<void(JobResult<ExecutionEnd>)> done) {
    return worker.Post(
        mode == kSingleShot ? "Execute once" : "Execute continuously",
        [this, mode](CJobContext& job) { return Run(job, mode); }, std::move(poster),
        std::move(done));
}

ExecutionEnd CExecutionLoop::Run(CJobContext& job, Mode mode) {
    ExecutionEnd end;
    image_.Init(320, 240, kFormatGrey8, true);
    sequence_ = 0;
    while (!job.StopRequested() && RunFrame(job, mode, end)) {
    }
    // Every run starts stabilisation and the adaptive limit afresh, also
    // after giving up.
    job.Core().Detection().EndStabilisation();
    retryCount_ = 0;
    nextTimeLimit_ = 0;
    return end;
}

void CExecutionLoop::Report(FramePacket&& packet) {
    packet.sequence = ++sequence_;
    sink_.OnFrame(std::make_shared<const FramePacket>(std::move(packet)));
}

bool CExecutionLoop::RunFrame(CJobContext& job, Mode mode, ExecutionEnd& end) {
    CAppCore& core = job.Core();
    CDeviceMngr& device = core.Device();

    const ExecutionChoices choices = choices_.Current();
    FramePacket packet;
    std::uint8_t* flags = packet.functionFlags;
    for (int i = 0; i < 11; ++i) {
        flags[i] = choices.functionFlags[i] ? 1 : 0;
    }
    if (!flags[kFuncFace]) {
        // The face estimations need the face: off whatever their buttons say.
        for (int i = kFuncDirection; i <= kFuncVerify; ++i) {
            flags[i] = 0;
        }
    }
    packet.stabilisation = choices.stabilisation;
    packet.displayImage = choices.displayImage;
    packet.verifyUserId = choices.verifyUserId;

    packet.started = Clock::now();
    bool verifyNotSelected = false;
    int status = 0;
    std::uint8_t responseCode = 0;
    if (flags[kFuncVerify]) {
        if (choices.verifyUserId == -1) {
            verifyNotSelected = true;
        } else if (choices.verifyUserId != device.LastVerifyUserId()) {
            const DeviceReply reply = device.SetVerifyUserId(choices.verifyUserId);
            responseCode = reply.status;
            if (reply.Ok()) {
                core.verifyUserId = choices.verifyUserId;
                if (!core.deviceFolder.empty()) {
                    WriteVerifyUserId(core.deviceFolder, choices.verifyUserId);
                }
            } else {
                status = -1;
            }
        }
    }
    packet.timeLimitMs = nextTimeLimit_;
    if (status == 0) {
        const DeviceReply reply = core.Detection().ExecuteFrame(
            device, flags, nextTimeLimit_, choices.imageType, choices.stabilisation,
            verifyNotSelected, image_, packet.result);
        status = reply.result;
        responseCode = reply.status;
    }
    packet.finished = Clock::now();
    packet.wallTime = std::chrono::system_clock::now();

    const double elapsedMs =
        std::chrono::duration<double, std::milli>(packet.finished - packet.started).count();
    packet.responseTimeMs = static_cast<int>(elapsedMs);
    nextTimeLimit_ = static_cast<int>(2.0 * elapsedMs);
    if (nextTimeLimit_ != 0 && nextTimeLimit_ < 1000) {
        nextTimeLimit_ = 1000;
    }
    packet.status = status;
    packet.responseCode = responseCode;
    if (HasImage(choices.imageType)) {
        packet.image = image_;
    }

    // A cancelled exchange is no fault to retry: the owner stopped the module.
    if (job.StopRequested() || status == kResultCancelled) {
        return false;  // stopped: this frame is not reported
    }

    if (status != 0) {
        if (job.PortLost()) {
            // Retrying a device that is gone only delays the news.
            Report(std::move(packet));
            end.reason = ExecutionEnd::kPortLost;
            end.failure = status;
            return false;
        }
        // A negative limit counts as 0: give up at the first failure.
        if (retryCount_ >= ReadSettingTime()) {
            end.reason = ExecutionEnd::kGaveUp;
            end.failure = status;
            return false;
        }
        ++retryCount_;
        FramePacket resync;
        resync.kind = FrameKind::kResync;
        std::copy(flags, flags + 11, resync.functionFlags);
        resync.stabilisation = packet.stabilisation;
        resync.displayImage = packet.displayImage;
        resync.verifyUserId = packet.verifyUserId;
        resync.image = packet.image;
        Report(std::move(packet));

        resync.started = Clock::now();
        resync.timeLimitMs = nextTimeLimit_;
        resync.status = device.Resync(HasImage(choices.imageType) ? choices.imageType : kImageNone,
                                      nextTimeLimit_, resync.result);
        resync.finished = Clock::now();
        resync.wallTime = std::chrono::system_clock::now();
        resync.responseCode = kResyncResponseCode;
        resync.responseTimeMs = ElapsedMs(resync.started, resync.finished);
        Report(std::move(resync));
        nextTimeLimit_ = 0;
        return true;
    }

    retryCount_ = 0;
    ++end.frames;
    if (responseCode != 0) {
        end.deviceErrorCode = responseCode;
    }
    Report(std::move(packet));
    if (mode == kSingleShot) {
        end.reason = ExecutionEnd::kSingleShot;
        return false;
    }
    return true;
}
