#include "logging/LogFileBase.h"

#include <sys/file.h>

namespace {

// Length of the well-formed UTF-8 sequence starting at p, or 0.
std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t left) {
    const unsigned char c = p[0];
    std::size_t n = 0;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
    } else {
        return 0;
    }
    if (left < n) {
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong three-byte forms, surrogates and code points above U+10FFFF.
    if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] > 0x9F) || (c == 0xF0 && p[1] < 0x90) ||
        (c == 0xF4 && p[1] > 0x8F)) {
        return 0;
    }
    return n;
}

}  // namespace

std::vector<std::string> SplitLogLines(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
}

std::string TrimTrailingWhiteSpace(const std::string& line) {
    std::size_t end = line.size();
    while (end > 0) {
        const char c = line[end - 1];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\v' && c != '\f') {
            break;
        }
        --end;
    }
    return line.substr(0, end);
}

std::string FormatLocalTime(std::time_t time, const char* format) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[128];
    const std::size_t n = std::strftime(text, sizeof text, format, &local);
    return std::string(text, n);
}

CLogFileBase::~CLogFileBase() {
    CLogFileBase::Close();
}

int CLogFileBase::Open() {
    MakePath();
    std::FILE* file = std::fopen(path_.c_str(), mode_.c_str());
    if (!file) {
        return -1;
    }
    // Other programs may read the file; a second writer is kept out.
    if (flock(fileno(file), LOCK_EX | LOCK_NB) != 0) {
        std::fclose(file);
        return -1;
    }
    if (file_) {
        std::fclose(file_);
    }
    file_ = file;
    return 0;
}

void CLogFileBase::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

int CLogFileBase::Write(std::time_t, const std::string&) {
    return -1;
}

void CLogFileBase::WriteString(const std::string& text) {
    if (!file_) {
        return;
    }
    buffer_.clear();
    buffer_.reserve(text.size() + text.size() / 16 + 8);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = Utf8SequenceLength(bytes + i, text.size() - i);
        if (n == 0) {
            buffer_.push_back('?');
            ++i;
            continue;
        }
        if (bytes[i] == '\n') {
            buffer_.push_back('\r');
        }
        buffer_.insert(buffer_.end(), text.begin() + static_cast<std::ptrdiff_t>(i),
                       text.begin() + static_cast<std::ptrdiff_t>(i + n));
        i += n;
    }
    if (!buffer_.empty()) {
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    }
    std::fflush(file_);
}

void CLogFileBase::WriteTrimmedLines(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (const std::string& piece : SplitLogLines(text)) {
        out += TrimTrailingWhiteSpace(piece);
        out += '\n';
    }
    WriteString(out);
}
