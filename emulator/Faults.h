#pragma once

#include <cstdint>
#include <vector>

#include "emulator/Random.h"

// Faults a real line or a struggling module shows, injected on purpose so the
// application's recovery paths can be exercised.
namespace kyto::emu {

struct FaultOptions {
    int delayMs = 0;             // extra processing time per Execute frame
    double dropRate = 0;         // fraction of response bytes lost
    double garbleRate = 0;       // fraction of response bytes changed
    double truncateRate = 0;     // fraction of responses cut short
    long long silentAfter = -1;  // answer this many frames, then nothing at all (-1 off)
    long long vanishAfter = -1;  // answer this many frames, then close the port and exit (-1 off)
    // Over TCP: answer this many frames, send half of the next answer and
    // close the connection (once; the next host is served as usual). -1 off.
    long long hangupAfter = -1;
};

class CFaultInjector {
public:
    CFaultInjector(const FaultOptions& options, std::uint64_t seed);

    // The response frame as it leaves the module.
    std::vector<std::uint8_t> Apply(std::vector<std::uint8_t> frame);

private:
    FaultOptions options_;
    CRandom random_;
};

}  // namespace kyto::emu
