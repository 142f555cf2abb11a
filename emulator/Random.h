#pragma once

#include <cstdint>
#include <initializer_list>

// Deterministic randomness. The scene draws its noise from a hash of
// (seed, frame, person, quantity) instead of a running generator, so a value
// never depends on which functions an earlier frame asked for: the same seed
// and the same frame number always show the same picture and the same values.
namespace kyto::emu {

inline std::uint64_t Mix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline std::uint64_t HashOf(std::initializer_list<std::uint64_t> parts) {
    std::uint64_t h = 0x243F6A8885A308D3ull;
    for (std::uint64_t p : parts) {
        h = Mix64(h ^ p);
    }
    return h;
}

// Uniform in [0, 1).
inline double UnitOf(std::uint64_t h) {
    return static_cast<double>(h >> 11) * 0x1.0p-53;
}

// Uniform in [-1, 1).
inline double SignedUnitOf(std::uint64_t h) {
    return UnitOf(h) * 2.0 - 1.0;
}

// A running generator for the fault injector, whose decisions follow the
// order of the bytes sent.
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        state_ += 0x9E3779B97F4A7C15ull;
        return Mix64(state_);
    }
    double Unit() { return UnitOf(Next()); }
    // Uniform integer in [0, n); n > 0.
    std::uint64_t Below(std::uint64_t n) { return Next() % n; }

private:
    std::uint64_t state_;
};

}  // namespace kyto::emu
