#pragma once

#include <array>
#include <cstdint>

#include "base/ByteOrder.h"
#include "protocol/RawDetectResult.h"

// Little helpers to build raw records as the decoder leaves them.
inline std::array<std::uint8_t, 8> Rec8(int a, int b, int c, int d) {
    std::array<std::uint8_t, 8> r{};
    const int v[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        StoreLe16(r.data() + 2 * i, v[i]);
    }
    return r;
}

inline std::array<std::uint8_t, 3> Rec3(int value, int confidence) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(confidence & 0xFF),
            static_cast<std::uint8_t>((confidence >> 8) & 0xFF)};
}

inline std::array<std::uint8_t, 4> Rec4(int a, int b) {
    return {static_cast<std::uint8_t>(a & 0xFF), static_cast<std::uint8_t>((a >> 8) & 0xFF),
            static_cast<std::uint8_t>(b & 0xFF), static_cast<std::uint8_t>((b >> 8) & 0xFF)};
}

inline int Le16At(const std::uint8_t* p) {
    return LoadLeI16(p);
}

// Tracking-ID arrays with guard slots behind the 35 the adapter may use.
struct IdArrays {
    int bodies[36];
    int faces[36];
    IdArrays() {
        for (int i = 0; i < 36; ++i) {
            bodies[i] = faces[i] = -1;
        }
        bodies[35] = faces[35] = 4242;
    }
};

// Function flags in the order body, hand, face, direction, age, gender, gaze,
// blink, expression, recognition, verify.
struct Flags {
    std::uint8_t f[11] = {};
    Flags& On(int index) {
        f[index] = 1;
        return *this;
    }
};
