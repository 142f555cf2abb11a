// Arbitrary bytes as a text file: the decoded lines are valid UTF-8 without
// line feeds, only the last may end in a carriage return, and lines written by
// the text writer read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/TextCodec.h"
#include "base/TextLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> lines;
    DecodeTextLines(data, size, lines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (Utf8OrLatin1ToUtf8(line) != line || line.find('\n') != std::string::npos) {
            abort();
        }
        if (i + 1 < lines.size() && !line.empty() && line.back() == '\r') {
            abort();
        }
    }

    // The writer's format is read back exactly (a line ending in CR would lose
    // it to the CR LF that follows, so those are left out).
    std::vector<std::string> written;
    for (const std::string& line : lines) {
        if (line.empty() || line.back() != '\r') {
            written.push_back(line);
        }
    }
    const std::vector<std::uint8_t> bytes = EncodeUtf16Lines(written);
    std::vector<std::string> back;
    DecodeTextLines(bytes.data(), bytes.size(), back);
    if (back != written) {
        abort();
    }
    return 0;
}
