#pragma once

// One Execute exchange through the device manager, decoded into a frame
// result and image: what tests below the application layer need of a frame
// (no stabilisation, no remembered choices, no settings written; that is the
// application's detection pipeline).

#include <cstdint>

#include "base/ImageData.h"
#include "protocol/DeviceMngr.h"
#include "protocol/RawDetectResult.h"
#include "protocol/ResultRecords.h"

inline DeviceReply ExecuteOnce(CDeviceMngr& device, const std::uint8_t functionFlags[11],
                               int imageType, int timeLimitMs, CImageData& image,
                               CFrameResult& result) {
    RawDetectResult raw;
    if (imageType == kImageQvga || imageType == kImageSmall) {
        image.Init(imageType == kImageQvga ? 320 : 160, imageType == kImageQvga ? 240 : 120,
                   kFormatGrey8, true);
        raw.AttachImage(image);
    }
    const DeviceReply reply =
        device.Execute(imageType, BuildExecutionFlags(functionFlags, false), timeLimitMs, raw);
    if (reply.Ok()) {
        ToFrameResult(raw, result);
        image.SetImageSize(raw.imageWidth, raw.imageHeight);
    }
    return reply;
}
