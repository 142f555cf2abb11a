// Encoding and splitting of the line-oriented text files.
#include "base/TextLines.h"

#include "base/ByteOrder.h"
#include "base/TextCodec.h"

std::vector<std::uint8_t> EncodeUtf16Lines(const std::vector<std::string>& lines) {
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    for (const std::string& line : lines) {
        for (const char16_t unit : Utf8ToUtf16(line)) {
            AppendLe16(bytes, unit);
        }
        AppendLe16(bytes, u'\r');
        AppendLe16(bytes, u'\n');
    }
    return bytes;
}

void DecodeTextLines(const std::uint8_t* data, std::size_t size, std::vector<std::string>& lines) {
    const std::string text = DecodeTextFile(data, size);
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            break;
        }
        std::size_t end = lf;
        while (end > pos && text[end - 1] == '\r') {
            --end;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = lf + 1;
    }
    // Text after the last line feed is a line only when not empty, and keeps
    // a carriage return it may end with.
    if (pos < text.size()) {
        lines.push_back(text.substr(pos));
    }
}
