// One detection frame from the user's choices to the frame result.
#include "app/DetectionPipeline.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "link/DeviceLink.h"
#include "protocol/DeviceMngr.h"
#include "protocol/ResultCodes.h"
#include "settings/Settings.h"

DeviceReply CDetectionPipeline::Run(CDeviceMngr& device, const std::uint8_t functionFlags[11],
                                    int timeLimitMs, int imageType, bool stabilisation,
                                    bool verifyNotSelected, CImageData& image,
                                    CFrameResult& result) {
    if (imageType == kImageQvga) {
        image.Init(320, 240, kFormatGrey8, true);
    } else if (imageType == kImageSmall) {
        image.Init(160, 120, kFormatGrey8, true);
    }
    ExecutionParameters& params = device.Parameters();
    params.imageType = imageType;
    std::memcpy(params.functionFlags, functionFlags, 11);
    if (timeLimitMs == 0) {
        const long long sum = static_cast<long long>(device.LookupTimeLimit(kLimitImage)) +
                              device.LookupTimeLimit(kCmdExecute);
        timeLimitMs = static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
    }

    std::uint16_t flags = BuildExecutionFlags(functionFlags, stabilisation);
    if (verifyNotSelected) {
        flags = static_cast<std::uint16_t>(flags & ~kExecVerify);
    }
    raw_.Clear();
    raw_.imagePixels = nullptr;
    raw_.imageCapacity = 0;
    if (imageType == kImageQvga || imageType == kImageSmall) {
        raw_.AttachImage(image);
    }

    const DeviceReply reply = device.Execute(imageType, flags, timeLimitMs, raw_);
    if (reply.result == kResultUnsupported) {
        return DeviceReply::Success();  // the model cannot detect: an empty frame
    }
    if (!reply.Ok()) {
        // The logs show what the link sent and received around the failure.
        if (const CDeviceLink* link = device.Link()) {
            result.sendInfo = link->SendInfo();
            result.recvInfo = link->RecvInfo();
        }
        return reply;
    }

    int bodyIds[35];
    int faceIds[35];
    std::fill(bodyIds, bodyIds + 35, -1);
    std::fill(faceIds, faceIds + 35, -1);
    if (stabilisation && stabiliser_) {
        stabiliser_->StabiliseFrame(raw_, functionFlags, bodyIds, faceIds);
    }
    if (verifyNotSelected) {
        AppendVerifyFiller(raw_);
    }
    ToFrameResult(raw_, result);
    SortByTrackingId(result.bodies, bodyIds);
    SortByTrackingId(result.faces, faceIds);
    image.SetImageSize(raw_.imageWidth, raw_.imageHeight);
    return reply;
}

DeviceReply CDetectionPipeline::ExecuteFrame(CDeviceMngr& device,
                                             const std::uint8_t functionFlags[11], int timeLimitMs,
                                             int imageType, bool stabilisation,
                                             bool verifyNotSelected, CImageData& image,
                                             CFrameResult& result) {
    // Any change of the choices is saved and makes this frame use the table
    // limit, never an adaptive one measured under the old choices.
    if (!flagsKnown_ || std::memcmp(functionFlags, lastFlags_, 11) != 0) {
        WriteFunctionFlags(functionFlags);
        std::memcpy(lastFlags_, functionFlags, 11);
        flagsKnown_ = true;
        timeLimitMs = 0;
    }
    if (imageType != lastImageType_) {
        WriteExecuteImage(imageType);
        lastImageType_ = imageType;
        timeLimitMs = 0;
    }
    if ((stabilisation ? 1 : 0) != lastStabilisation_) {
        WriteQuellFlag(stabilisation);
        lastStabilisation_ = stabilisation ? 1 : 0;
        EndStabilisation();
        timeLimitMs = 0;
    }
    // The request uses the remembered flags; with no user to verify against
    // the verify bit is cleared there, so the next frame sees a change again
    // for as long as the user keeps verify on without a user (the settings
    // store then finds the value already stored and writes nothing).
    if (verifyNotSelected) {
        lastFlags_[kFuncVerify] = 0;
    }
    return Run(device, lastFlags_, timeLimitMs, imageType, stabilisation, verifyNotSelected, image,
               result);
}

DeviceReply CDetectionPipeline::ExecutePreview(CDeviceMngr& device, CImageData& image,
                                               CFrameResult& result) {
    const std::uint8_t none[11] = {};
    device.Parameters().imageType = kImageSmall;
    return Run(device, none, device.LookupTimeLimit(kLimitSmallImage), kImageSmall, false, false,
               image, result);
}

void CDetectionPipeline::SetStabiliser(std::unique_ptr<IStabiliser> stabiliser) {
    if (stabiliser_) {
        stabiliser_->EndStabilisation();
    }
    stabiliser_ = std::move(stabiliser);
}

void CDetectionPipeline::EndStabilisation() {
    if (stabiliser_) {
        stabiliser_->EndStabilisation();
    }
}
