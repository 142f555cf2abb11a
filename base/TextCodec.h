#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Text inside the application is UTF-8; UTF-16 appears only where a file
// format asks for it.

// UTF-8 to UTF-16. Bytes that are not valid UTF-8 are taken as Latin-1.
std::u16string Utf8ToUtf16(const std::string& text);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// Decodes 8-bit text: valid UTF-8 sequences are kept, every other byte is
// read as the Latin-1 character of the same value. The result is valid UTF-8.
std::string Utf8OrLatin1ToUtf8(const char* data, std::size_t size);
inline std::string Utf8OrLatin1ToUtf8(const std::string& text) {
    return Utf8OrLatin1ToUtf8(text.data(), text.size());
}

// Decodes raw UTF-16 bytes in the given byte order; an odd last byte is ignored.
std::string Utf16BytesToUtf8(const std::uint8_t* data, std::size_t size, bool bigEndian);

// How a text file was written, decided in this order of precedence.
enum class TextForm {
    kUtf16LeMark,  // starts with FF FE
    kUtf16BeMark,  // starts with FE FF
    kUtf16Be,      // no mark, some big-endian unit is CR, LF, space, tab or U+3000
    kUtf16Le,      // no mark, the same test with little-endian units
    kEightBit,     // anything else: UTF-8, invalid bytes as Latin-1
};
TextForm DetectTextForm(const std::uint8_t* data, std::size_t size);

// Decodes a whole text file to UTF-8 by the form DetectTextForm finds. Byte
// order marks (also a UTF-8 one in front of 8-bit text) are dropped.
std::string DecodeTextFile(const std::uint8_t* data, std::size_t size);

// Appends the UTF-8 encoding of a code point (surrogates and values beyond
// U+10FFFF become U+FFFD).
void AppendUtf8(std::string& out, char32_t codePoint);
