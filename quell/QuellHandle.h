#pragma once

#include <array>
#include <mutex>

#include "quell/FaceSettle.h"
#include "quell/Quell.h"
#include "quell/TrackSet.h"

namespace quell {

// Everything one handle owns. Callers lock mutex around every use.
class CQuellHandle {
public:
    explicit CQuellHandle(int functionMask) : mask_(functionMask) {}

    std::mutex mutex;

    void Clear();
    void SetFrame(const QuellFrameInput& frame);
    int Execute();
    int Faces(int* count, void* area) const;
    int Bodies(int* count, void* area) const;

    int SetRetryCount(int frames);
    int SetSteadiness(int position, int size);
    int SetThreshold(SettleRule& rule, int threshold);
    int SetAngle(SettleRule& rule, int pitchMin, int pitchMax, int yawMin, int yawMax);
    int SetFrameCount(SettleRule& rule, int frames);
    int SetRatio(SettleRule& rule, int ratio);

    SettleRule pe{};
    SettleRule fr{.frames = 5};

private:
    void ExecuteBodies();
    void ExecuteFaces();

    int mask_;
    CTrackSet bodies_;
    CTrackSet faces_;
    std::array<CFaceSettle, kMaxTracks> settle_{};

    QuellFrameInput frame_{};
    bool framePending_ = false;

    std::array<QuellBodyResult, QUELL_MAX_ENTRIES> bodyResults_{};
    int bodyResultCount_ = 0;
    std::array<QuellFaceResult, QUELL_MAX_ENTRIES> faceResults_{};
    int faceResultCount_ = 0;
};

}  // namespace quell
