#include "settings/Settings.h"

std::string DeviceFilePath(const std::string& folder, const std::string& name) {
    return folder + "/" + name;
}

CRange CRange::FromPacked(std::int32_t packed) {
    // Arithmetic shift keeps the sign of the minimum; the maximum is the
    // unsigned lower half, so an unset (-1) value reads as -1 / 65535.
    return CRange(packed >> 16, packed & 0xFFFF);
}

std::int32_t CRange::ToPacked() const {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(min) << 16) |
                                     static_cast<std::uint32_t>(max));
}

int FunctionFlagsToBits(const std::uint8_t flags[kFunctionCount]) {
    int bits = 0;
    for (int i = 0; i < kFunctionCount; ++i) {
        if (flags[i] != 0) {
            bits |= 1 << i;
        }
    }
    return bits;
}

void FunctionBitsToFlags(int bits, std::uint8_t flags[kFunctionCount]) {
    for (int i = 0; i < kFunctionCount; ++i) {
        flags[i] = static_cast<std::uint8_t>((bits >> i) & 1);
    }
}

Shortcut ParseShortcut(const std::string& text) {
    Shortcut shortcut;
    for (const char c : text) {
        if (c == '^') {
            shortcut.ctrl = true;
        } else if (c == '_') {
            shortcut.shift = true;
        } else if (shortcut.key == 0 && c >= 'a' && c <= 'z') {
            shortcut.key = static_cast<char>(c - 'a' + 'A');
        } else if (shortcut.key == 0 && c >= 'A' && c <= 'Z') {
            shortcut.key = c;
        }
    }
    if (shortcut.key == 0) {
        return Shortcut{};  // no letter: no shortcut at all
    }
    return shortcut;
}
