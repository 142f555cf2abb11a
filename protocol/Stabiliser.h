#pragma once

#include <cstdint>

#include "protocol/RawDetectResult.h"

// Tracks bodies and faces over frames. The device manager calls it between
// the two decoding stages of every successful frame while stabilisation is
// on; without an installed stabiliser frames pass through unchanged.
class IStabiliser {
public:
    virtual ~IStabiliser() = default;
    // Runs after decoding when stabilisation is on and the frame succeeded. Edits the raw
    // lists in place and fills the 35 tracking IDs per kind (preset to -1 by the caller).
    virtual void StabiliseFrame(RawDetectResult& raw, const std::uint8_t functionFlags[11],
                                int bodyIds[35], int faceIds[35]) = 0;
    virtual void EndStabilisation() = 0;
};
