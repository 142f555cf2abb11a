// The live-image loop of the Album tab.
#include "app/LiveImageLoop.h"

#include <chrono>

#include "app/AppCore.h"
#include "protocol/ResultCodes.h"

JobId CLiveImageLoop::Start(CDeviceWorker& worker, Poster poster,
                            std::function<void(JobResult<LiveImageEnd>)> done) {
    return worker.Post(
        "Live image", [this](CJobContext& job) { return Run(job); }, std::move(poster),
        std::move(done));
}

LiveImageEnd CLiveImageLoop::Run(CJobContext& job) {
    using Clock = std::chrono::steady_clock;
    LiveImageEnd end;
    CAppCore& core = job.Core();
    std::uint64_t sequence = 0;
    while (!job.StopRequested()) {
        FramePacket packet;
        packet.kind = FrameKind::kLiveImage;
        packet.started = Clock::now();
        const DeviceReply reply =
            core.Detection().ExecutePreview(core.Device(), image_, packet.result);
        packet.status = reply.result;
        packet.responseCode = reply.status;
        packet.finished = Clock::now();
        packet.wallTime = std::chrono::system_clock::now();
        packet.responseTimeMs = static_cast<int>(
            std::chrono::duration<double, std::milli>(packet.finished - packet.started).count());
        if (job.StopRequested() || packet.status == kResultCancelled) {
            break;  // the answer to a stop comes without a further image
        }
        if (packet.status == kResultNoLink) {
            end.reason = LiveImageEnd::kNoLink;
            end.failure = packet.status;
            break;
        }
        if (packet.status != 0 && job.PortLost()) {
            end.reason = LiveImageEnd::kPortLost;
            end.failure = packet.status;
            break;
        }
        if (packet.Succeeded()) {
            ++end.images;
            packet.image = image_;
        } else {
            end.failure = packet.status;
        }
        packet.sequence = ++sequence;
        sink_.OnFrame(std::make_shared<const FramePacket>(std::move(packet)));
    }
    return end;
}
