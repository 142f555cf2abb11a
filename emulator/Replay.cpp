// The emulator's reader of recordings and the module that plays them back.
#include "emulator/Replay.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace kyto::emu {
namespace {

int Nibble(char c) {
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

// Splits a line at single or repeated spaces.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') {
            ++i;
        }
        if (i > start) {
            fields.push_back(line.substr(start, i - start));
        }
    }
    return fields;
}

// Digits, with at most one point when `fraction`; at most 12 digits before
// the point (the format keeps times below 10^12 ms).
bool IsNumber(std::string_view text, bool fraction) {
    bool digits = false;
    bool point = false;
    int whole = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
            if (!point && fraction && ++whole > 12) {
                return false;
            }
        } else if (c == '.' && fraction && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// The recorder never writes a frame larger than the host's receive buffer.
constexpr std::size_t kMaxFrameBytes = 8u << 20;

bool Bytes(std::string_view hex, std::vector<std::uint8_t>& out) {
    if (hex.empty() || hex.size() % 2 != 0 || hex.size() / 2 > kMaxFrameBytes) {
        return false;
    }
    out.clear();
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = Nibble(hex[i]);
        const int low = Nibble(hex[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

std::string HexCode(std::uint8_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

}  // namespace

bool ParseReplay(std::string_view text, std::vector<ReplayExchange>& exchanges,
                 std::string& error) {
    exchanges.clear();
    std::vector<ReplayExchange> result;
    bool header = false;
    bool rate = false;
    bool lastWasCommand = false;  // the previous frame line was a command frame we keep
    int number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++number;
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const auto bad = [&](const char* why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        if (!header) {
            if (line != "kyto-recording 1") {
                return bad(
                    "not a version-1 recording (the first line must be \"kyto-recording 1\")");
            }
            header = true;
            continue;
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::vector<std::string_view> f = Fields(line);
        if (f.empty()) {
            continue;  // spaces only: as good as an empty line
        }
        if (f[0] == "rate") {
            if (f.size() != 2 || !IsNumber(f[1], false)) {
                return bad("a rate line holds one baud rate");
            }
            rate = true;
            continue;
        }
        if (f[0] != ">" && f[0] != "<") {
            return bad("unknown line (not rate, >, < or #)");
        }
        if (!rate) {
            return bad("a frame before the first rate line");
        }
        if (f.size() != 3 || !IsNumber(f[1], true)) {
            return bad("a frame line is: > or <, milliseconds, hex bytes");
        }
        std::vector<std::uint8_t> bytes;
        if (!Bytes(f[2], bytes)) {
            return bad("the frame is not a run of hex digit pairs");
        }
        if (f[0] == ">") {
            lastWasCommand = bytes.size() >= 4 && bytes[0] == kSync;
            if (lastWasCommand) {
                ReplayExchange x;
                x.code = bytes[1];
                x.command = std::move(bytes);
                result.push_back(std::move(x));
            }
        } else if (lastWasCommand && !result.back().answered) {
            result.back().answered = true;
            result.back().answer = std::move(bytes);
        }
        // Anything the host read after its resynchronisation, or a second
        // read for one command, answers nothing the module is asked.
    }
    if (!header) {
        error = "empty file: not a recording";
        return false;
    }
    exchanges = std::move(result);
    return true;
}

Response CReplay::Handle(const CommandFrame& command) {
    Response r;
    const std::size_t from = next_;
    for (std::size_t i = from; i < exchanges_.size(); ++i) {
        const ReplayExchange& x = exchanges_[i];
        if (x.code != command.code) {
            continue;
        }
        next_ = i + 1;
        note_ = "replay: command " + HexCode(command.code) + " as exchange " +
                std::to_string(i + 1) + " of " + std::to_string(exchanges_.size());
        if (i > from) {
            note_ += " (" + std::to_string(i - from) + " recorded command(s) skipped)";
        }
        if (!x.answered) {
            r.answer = false;
            note_ += ", recorded without an answer";
            return r;
        }
        r.raw = x.answer;
        r.code = x.answer.size() > 1 ? x.answer[1] : std::uint8_t{kOk};
        r.frame = command.code == kExecute || command.code == kExecuteEx;
        return r;
    }
    r.answer = false;
    note_ = "replay: the host sent command " + HexCode(command.code) +
            " but the recording holds no further command " + HexCode(command.code) + " (" +
            std::to_string(next_) + " of " + std::to_string(exchanges_.size()) +
            " exchanges played); not answered";
    std::fprintf(stderr, "kyto-emu: %s\n", note_.c_str());
    return r;
}

std::unique_ptr<CReplay> LoadReplay(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the recording";
        return nullptr;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read the recording";
        return nullptr;
    }
    std::vector<ReplayExchange> exchanges;
    if (!ParseReplay(text, exchanges, error)) {
        return nullptr;
    }
    return std::make_unique<CReplay>(std::move(exchanges));
}

}  // namespace kyto::emu
