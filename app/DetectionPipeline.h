#pragma once

// The detection pipeline of one frame: the user's choices become an Execute
// request (with the table time limit after any change of them, saved as the
// stored defaults "Function", "ExecuteImage" and "QuellFlag"), the answer is
// decoded, passed through the stabiliser and turned into the frame result.
// The device manager only sends the command; the choices, their memory and
// the stabilisation run live here, on the thread that owns the module.

#include <cstdint>
#include <memory>

#include "base/ImageData.h"
#include "protocol/DeviceReply.h"
#include "protocol/RawDetectResult.h"
#include "protocol/ResultRecords.h"
#include "protocol/Stabiliser.h"

class CDeviceMngr;

class CDetectionPipeline {
public:
    CDetectionPipeline() = default;
    CDetectionPipeline(const CDetectionPipeline&) = delete;
    CDetectionPipeline& operator=(const CDetectionPipeline&) = delete;

    // One detection frame. Changes of the function flags, image type or
    // stabilisation flag against the previous frame are saved to
    // Application.ini and force the table time limit; a stabilisation change
    // ends the stabiliser. With verifyNotSelected the verify bit is left out
    // of the request and every face gets "no user selected". timeLimitMs 0 =
    // image + execution limit. Execute is tried first, ExecuteEx when Execute
    // is unsupported; when neither is, the result is 0 with an empty frame.
    DeviceReply ExecuteFrame(CDeviceMngr& device, const std::uint8_t functionFlags[11],
                             int timeLimitMs, int imageType, bool stabilisation,
                             bool verifyNotSelected, CImageData& image, CFrameResult& result);
    // Image only (160 x 120, no functions, no stabilisation) with the
    // small-image time limit; touches none of the remembered choices.
    DeviceReply ExecutePreview(CDeviceMngr& device, CImageData& image, CFrameResult& result);

    // The function flags the last frame requested (verify cleared when no
    // user was selected), its image type and stabilisation flag (-1 = none
    // yet).
    const std::uint8_t* LastFunctionFlags() const { return lastFlags_; }
    int LastImageType() const { return lastImageType_; }
    int LastStabilisation() const { return lastStabilisation_; }

    // Without a stabiliser frames pass through unchanged (tracking IDs -1).
    void SetStabiliser(std::unique_ptr<IStabiliser> stabiliser);
    void EndStabilisation();

private:
    DeviceReply Run(CDeviceMngr& device, const std::uint8_t functionFlags[11], int timeLimitMs,
                    int imageType, bool stabilisation, bool verifyNotSelected, CImageData& image,
                    CFrameResult& result);

    std::unique_ptr<IStabiliser> stabiliser_;
    RawDetectResult raw_;  // reused so that frames allocate nothing once warm
    std::uint8_t lastFlags_[11] = {};
    int lastImageType_ = -1;
    int lastStabilisation_ = -1;
    bool flagsKnown_ = false;
};
