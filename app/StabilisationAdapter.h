#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "protocol/Stabiliser.h"
#include "quell/Quell.h"

// The stabilisation library's entry points the adapter calls. The real
// library is the default; tests put a scripted one in its place.
struct QuellEntryPoints {
    int32_t (*createHandle)(int32_t functionMask);
    int32_t (*deleteHandle)(int32_t handle);
    int32_t (*clear)(int32_t handle);
    int32_t (*setFrameResult)(int32_t handle, const void* frameInput);
    int32_t (*execute)(int32_t handle);
    int32_t (*getFaces)(int32_t handle, int32_t* count, void* area);
    int32_t (*getBodies)(int32_t handle, int32_t* count, void* area);
    int32_t (*setTrRetryCount)(int32_t handle, int32_t retryCount);
    int32_t (*setTrSteadiness)(int32_t handle, int32_t position, int32_t size);
    int32_t (*setPeThreshold)(int32_t handle, int32_t threshold);
    int32_t (*setPeAngle)(int32_t handle, int32_t pitchMin, int32_t pitchMax, int32_t yawMin,
                          int32_t yawMax);
    int32_t (*setPeCompleteFrameCount)(int32_t handle, int32_t frameCount);
    int32_t (*setFrThreshold)(int32_t handle, int32_t threshold);
    int32_t (*setFrAngle)(int32_t handle, int32_t pitchMin, int32_t pitchMax, int32_t yawMin,
                          int32_t yawMax);
    int32_t (*setFrCompleteFrameCount)(int32_t handle, int32_t frameCount);
    int32_t (*setFrAccountRatio)(int32_t handle, int32_t ratio);
};

// The entry points of libquell.
const QuellEntryPoints& LibraryQuellEntryPoints();

// Library handle and result areas of one stabilisation run.
struct QuellHolder {
    int32_t handle = 0;
    std::array<QuellFaceResult, QUELL_MAX_ENTRIES> faceResults{};
    std::array<QuellBodyResult, QUELL_MAX_ENTRIES> bodyResults{};
};

// Runs every successful frame through the stabilisation library while
// stabilisation is on. The handle is made on the first frame of a run and
// configured from the stabilisation settings then, so settings changes take
// effect at the next run. The library's positions, sizes and tracking IDs go
// back into the raw lists; age, gender and recognition are marked in their
// confidence (score) field: +10,000 while being stabilised, +20,000 and the
// library's value once settled.
class CStabilisationAdapter : public IStabiliser {
public:
    explicit CStabilisationAdapter(const QuellEntryPoints& quell = LibraryQuellEntryPoints());
    ~CStabilisationAdapter() override;
    CStabilisationAdapter(const CStabilisationAdapter&) = delete;
    CStabilisationAdapter& operator=(const CStabilisationAdapter&) = delete;

    void StabiliseFrame(RawDetectResult& raw, const std::uint8_t functionFlags[11], int bodyIds[35],
                        int faceIds[35]) override;
    void EndStabilisation() override;

    // The current run's handle, 0 when no run is going on (or creation failed).
    int32_t Handle() const { return holder_ ? holder_->handle : 0; }
    bool Running() const { return holder_ != nullptr; }

private:
    void StartRun();
    void WriteBack(RawDetectResult& raw, int faceCount, int bodyCount, int bodyIds[35],
                   int faceIds[35]) const;

    const QuellEntryPoints& quell_;
    std::unique_ptr<QuellHolder> holder_;
    QuellFrameInput input_{};
};
