#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Byte-level helpers for building fixture files by hand, independent of the
// encoders under test.
using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::filesystem::path& path, const Bytes& bytes) {
    std::filesystem::create_directories(path.parent_path().empty() ? "." : path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// UTF-16LE text file with mark, each ASCII line ended by CR LF.
inline Bytes AsciiTextFile(const std::vector<std::string>& lines) {
    Bytes out{0xFF, 0xFE};
    for (const std::string& line : lines) {
        for (char c : line) {
            out.push_back(static_cast<std::uint8_t>(c));
            out.push_back(0);
        }
        out.insert(out.end(), {0x0D, 0x00, 0x0A, 0x00});
    }
    return out;
}

inline void PutI32(Bytes& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// UTF-16LE units into a zero-padded field of `units` code units.
inline void PutUnits(Bytes& out, const std::u16string& text, std::size_t units) {
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = i < text.size() ? text[i] : 0;
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
}
