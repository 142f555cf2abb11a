#pragma once

// Little-endian field access for the device protocol and the binary album and
// picture files, which store every multi-byte value low byte first. One set
// for the whole application, so that a field is read the same way wherever it
// appears. (The emulator keeps a copy of its own on purpose: it shares no code
// with the application, so a misreading here is not mirrored there.)

#include <cstdint>
#include <vector>

inline std::uint16_t LoadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::int16_t LoadLeI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(LoadLe16(p));
}

inline std::uint32_t LoadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::int32_t LoadLeI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(LoadLe32(p));
}

// The store functions keep the low 16 or 32 bits of the value, so a signed
// value is stored in two's complement and a wider one wraps.
inline void StoreLe16(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

inline void StoreLe32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    p[2] = static_cast<std::uint8_t>((value >> 16) & 0xFF);
    p[3] = static_cast<std::uint8_t>((value >> 24) & 0xFF);
}

// Byte by byte: a range insert here makes GCC 12 at -O3 warn falsely of
// overflowing copies in callers that grow small vectors.
inline void AppendLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

inline void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
    }
}
