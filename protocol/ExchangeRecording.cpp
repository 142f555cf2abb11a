// Reading and writing recordings of the module's exchanges.
#include "protocol/ExchangeRecording.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "link/DeviceLink.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The next space-separated word of `rest`, consumed.
std::string_view Word(std::string_view& rest) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

bool ParseTime(std::string_view word, double& ms) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, ms, std::chars_format::fixed);
    return ec == std::errc() && ptr == end && ms >= 0 && ms < kMaxRecordedTimeMs;
}

bool ParseRate(std::string_view word, int& rate) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, rate);
    return ec == std::errc() && ptr == end && rate >= 0;
}

bool ParseHex(std::string_view word, std::vector<std::uint8_t>& bytes) {
    if (word.empty() || word.size() % 2 != 0 || word.size() / 2 > kMaxRecordedFrameBytes) {
        return false;
    }
    bytes.resize(word.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigit(word[2 * i]);
        const int low = HexDigit(word[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

}  // namespace

bool ParseRecording(std::string_view text, Recording& out, std::string& error) {
    out = Recording{};
    Recording r;
    int rate = -1;
    std::size_t lineNumber = 0;
    bool header = false;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        if (!header) {
            if (line != "kyto-recording 1") {
                return line.rfind("kyto-recording ", 0) == 0
                           ? fail("version not supported (this reader knows version 1)")
                           : fail("not a recording (it begins with \"kyto-recording 1\")");
            }
            header = true;
            r.version = kRecordingVersion;
            continue;
        }
        // Empty lines (or spaces only) and comments carry nothing.
        if (line.find_first_not_of(' ') == std::string_view::npos || line[0] == '#') {
            continue;
        }
        std::string_view rest = line;
        const std::string_view kind = Word(rest);
        if (kind == "rate") {
            if (!ParseRate(Word(rest), rate) || !Word(rest).empty()) {
                return fail("a rate line holds one baud rate");
            }
            continue;
        }
        if (kind != ">" && kind != "<") {
            return fail("unknown line (not rate, >, < or #)");
        }
        if (rate < 0) {
            return fail("a frame before the first rate line");
        }
        RecordedFrame frame;
        frame.direction = kind == ">" ? 1 : -1;
        frame.lineRate = rate;
        if (!ParseTime(Word(rest), frame.timeMs)) {
            return fail("the time is not a number of milliseconds");
        }
        if (!ParseHex(Word(rest), frame.bytes) || !Word(rest).empty()) {
            return fail("the frame is not a run of hex digit pairs");
        }
        r.frames.push_back(std::move(frame));
    }
    if (!header) {
        error = "empty file: not a recording";
        return false;
    }
    out = std::move(r);
    return true;
}

std::string RecordingHeaderLine() {
    return "kyto-recording " + std::to_string(kRecordingVersion) + "\n";
}

std::string RecordingRateLine(int lineRate) {
    return "rate " + std::to_string(lineRate) + "\n";
}

std::string RecordingFrameLine(const RecordedFrame& frame) {
    static const char kHex[] = "0123456789abcdef";
    char time[48];
    std::snprintf(time, sizeof time, "%.3f", frame.timeMs);
    std::string line;
    line.reserve(24 + 2 * frame.bytes.size());
    line += frame.direction > 0 ? "> " : "< ";
    line += time;
    line += ' ';
    for (const std::uint8_t b : frame.bytes) {
        line += kHex[b >> 4];
        line += kHex[b & 15];
    }
    line += '\n';
    return line;
}

CExchangeRecorder::~CExchangeRecorder() {
    (void)Close();
}

bool CExchangeRecorder::Open(const std::string& path, const CDeviceLink* link) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::filesystem::path target(path);
    path_ = path;
    partPath_ = (target.parent_path() / ("." + target.filename().string() + ".part")).string();
    file_ = std::fopen(partPath_.c_str(), "w");
    if (file_ == nullptr) {
        return false;
    }
    link_ = link;
    lastRate_ = -1;
    failed_ = false;
    start_ = std::chrono::steady_clock::now();
    Write(RecordingHeaderLine());
    return true;
}

bool CExchangeRecorder::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ == nullptr) {
        return !failed_;
    }
    if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) {
        failed_ = true;
    }
    if (std::fclose(file_) != 0) {
        failed_ = true;
    }
    file_ = nullptr;
    if (!failed_ && std::rename(partPath_.c_str(), path_.c_str()) != 0) {
        failed_ = true;
    }
    return !failed_;
}

void CExchangeRecorder::Write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        failed_ = true;
    }
}

void CExchangeRecorder::OnWriteStart(const std::string& command) {
    if (next_ != nullptr) {
        next_->OnWriteStart(command);
    }
}

void CExchangeRecorder::OnFrame(int direction, const std::string& command, int length,
                                const std::uint8_t* bytes) {
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_ != nullptr) {
            RecordedFrame frame;
            frame.timeMs = std::chrono::duration<double, std::milli>(now - start_).count();
            frame.direction = direction > 0 ? 1 : -1;
            frame.lineRate = link_ != nullptr ? std::max(link_->Baud(), 0) : 0;
            if (bytes != nullptr && length > 0) {
                frame.bytes.assign(bytes, bytes + length);
            }
            if (frame.lineRate != lastRate_) {
                Write(RecordingRateLine(frame.lineRate));
                lastRate_ = frame.lineRate;
            }
            // An empty frame (nothing read before a time-out is never
            // reported, so this is only a defensive case) has no line.
            if (!frame.bytes.empty()) {
                Write(RecordingFrameLine(frame));
            }
        }
    }
    if (next_ != nullptr) {
        next_->OnFrame(direction, command, length, bytes);
    }
}
