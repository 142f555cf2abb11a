#pragma once

#include <cstdint>
#include <vector>

// A response frame: FE, code, 32-bit length, payload.
inline std::vector<std::uint8_t> Response(std::uint8_t code,
                                          const std::vector<std::uint8_t>& payload = {}) {
    std::vector<std::uint8_t> frame = {0xFE, code};
    const std::uint32_t n = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) {
        frame.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    }
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}
