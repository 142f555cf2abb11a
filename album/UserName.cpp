#include "album/UserName.h"

namespace {

// Length of the UTF-8 sequence starting at text[i] and the UTF-16 units it
// takes; a malformed sequence counts as one byte and one unit.
void NextChar(const std::string& text, std::size_t i, std::size_t& bytes, std::size_t& units) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t len = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
    } else if (lead >= 0xE0) {
        len = lead <= 0xEF ? 3 : 1;
    } else if (lead >= 0xC2) {
        len = 2;
    }
    if (len > 1) {
        if (i + len > text.size()) {
            len = 1;
        } else {
            for (std::size_t k = 1; k < len; ++k) {
                if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                    len = 1;
                    break;
                }
            }
        }
    }
    bytes = len;
    units = len == 4 ? 2 : 1;
}

}  // namespace

std::size_t Utf16Units(const std::string& utf8) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t bytes = 0;
        std::size_t units = 0;
        NextChar(utf8, i, bytes, units);
        total += units;
        i += bytes;
    }
    return total;
}

std::string CutToUtf16Units(const std::string& utf8, std::size_t maxUnits) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t bytes = 0;
        std::size_t units = 0;
        NextChar(utf8, i, bytes, units);
        if (used + units > maxUnits) {
            break;
        }
        used += units;
        i += bytes;
    }
    return utf8.substr(0, i);
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

std::string WithoutLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') {
            out.push_back(c);
        }
    }
    return out;
}

NameCheck PrepareUserName(std::string& name) {
    if (HasLineBreak(name)) {
        return NameCheck::kLineBreak;
    }
    if (Utf16Units(name) > kMaxNameUnits) {
        name = CutToUtf16Units(name, kMaxNameUnits);
        return NameCheck::kCut;
    }
    return NameCheck::kOk;
}

std::string NameCheckMessage(NameCheck check) {
    switch (check) {
        case NameCheck::kCut:
            return "The name is longer than 128 characters; it was shortened to the first 128.";
        case NameCheck::kLineBreak:
            return "A name must be a single line: line breaks are not allowed.";
        case NameCheck::kOk:
            break;
    }
    return "";
}
