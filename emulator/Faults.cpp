#include "emulator/Faults.h"

namespace kyto::emu {

CFaultInjector::CFaultInjector(const FaultOptions& options, std::uint64_t seed)
    : options_(options), random_(Mix64(seed ^ 0xFA017ull)) {}

std::vector<std::uint8_t> CFaultInjector::Apply(std::vector<std::uint8_t> frame) {
    if (options_.truncateRate > 0 && !frame.empty() && random_.Unit() < options_.truncateRate) {
        frame.resize(
            random_.Below(frame.size()));  // anything from nothing to all but the last byte
    }
    if (options_.garbleRate > 0) {
        for (std::uint8_t& b : frame) {
            if (random_.Unit() < options_.garbleRate) {
                b = static_cast<std::uint8_t>(b ^ (1 + random_.Below(255)));  // never unchanged
            }
        }
    }
    if (options_.dropRate > 0) {
        std::vector<std::uint8_t> kept;
        kept.reserve(frame.size());
        for (std::uint8_t b : frame) {
            if (random_.Unit() >= options_.dropRate) {
                kept.push_back(b);
            }
        }
        frame.swap(kept);
    }
    return frame;
}

}  // namespace kyto::emu
