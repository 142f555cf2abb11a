#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Little-endian field access for the module side of the wire. Kept apart from
// the application's protocol code on purpose: the emulator must not share a
// misunderstanding with the host it is testing.
namespace kyto::emu {

inline void PutU8(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}
inline void PutU16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}
inline void PutI16(std::vector<std::uint8_t>& out, int value) {
    PutU16(out,
           static_cast<unsigned>(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))));
}
inline void PutI8(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(value)));
}
inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
    }
}

inline unsigned GetU16(const std::uint8_t* p) {
    return static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8);
}
inline int GetI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(GetU16(p)));
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void SetU32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace kyto::emu
