#include "base/TextCodec.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the valid UTF-8 sequence at data[i] and its code point, or 0 when
// the byte there does not start a valid sequence (overlong forms, surrogates
// and values beyond U+10FFFF are invalid).
std::size_t DecodeUtf8At(const unsigned char* data, std::size_t size, std::size_t i, char32_t& cp) {
    const unsigned char b0 = data[i];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (size - i < len) {
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char b = data[i + k];
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

bool IsSeparatorUnit(char16_t unit) {
    return unit == u'\r' || unit == u'\n' || unit == u' ' || unit == u'\t' || unit == 0x3000;
}

bool HasSeparatorUnit(const std::uint8_t* data, std::size_t size, bool bigEndian) {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = bigEndian ? static_cast<char16_t>((data[i] << 8) | data[i + 1])
                                        : static_cast<char16_t>((data[i + 1] << 8) | data[i]);
        if (IsSeparatorUnit(unit)) {
            return true;
        }
    }
    return false;
}

template <typename UnitAt>
std::string Utf16UnitsToUtf8(std::size_t count, UnitAt unitAt) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            const char16_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, u);
    }
    return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = kReplacement;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string Utf8OrLatin1ToUtf8(const char* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size;) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8At(bytes, size, i, cp);
        if (len == 0) {
            AppendUtf8(out, bytes[i]);  // Latin-1: byte value = code point
            ++i;
        } else {
            out.append(data + i, len);
            i += len;
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        std::size_t len = DecodeUtf8At(bytes, text.size(), i, cp);
        if (len == 0) {
            cp = bytes[i];
            len = 1;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    return Utf16UnitsToUtf8(text.size(), [&](std::size_t i) { return text[i]; });
}

std::string Utf16BytesToUtf8(const std::uint8_t* data, std::size_t size, bool bigEndian) {
    return Utf16UnitsToUtf8(size / 2, [&](std::size_t i) {
        const std::uint8_t a = data[2 * i];
        const std::uint8_t b = data[2 * i + 1];
        return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    });
}

TextForm DetectTextForm(const std::uint8_t* data, std::size_t size) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        return TextForm::kUtf16LeMark;
    }
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
        return TextForm::kUtf16BeMark;
    }
    if (HasSeparatorUnit(data, size, true)) {
        return TextForm::kUtf16Be;
    }
    if (HasSeparatorUnit(data, size, false)) {
        return TextForm::kUtf16Le;
    }
    return TextForm::kEightBit;
}

std::string DecodeTextFile(const std::uint8_t* data, std::size_t size) {
    switch (DetectTextForm(data, size)) {
        case TextForm::kUtf16LeMark:
            return Utf16BytesToUtf8(data + 2, size - 2, false);
        case TextForm::kUtf16BeMark:
            return Utf16BytesToUtf8(data + 2, size - 2, true);
        case TextForm::kUtf16Be:
            return Utf16BytesToUtf8(data, size, true);
        case TextForm::kUtf16Le:
            return Utf16BytesToUtf8(data, size, false);
        case TextForm::kEightBit:
            break;
    }
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        data += 3;
        size -= 3;
    }
    return Utf8OrLatin1ToUtf8(reinterpret_cast<const char*>(data), size);
}
