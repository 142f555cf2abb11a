// Trace rows of the frame observer and their JSON-lines form.
#include "protocol/FrameTrace.h"

namespace {

void AppendJsonString(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace

FrameTraceRow MakeTraceRow(double timeMs, int direction, const std::string& command, int length,
                           const std::uint8_t* bytes) {
    FrameTraceRow row;
    row.timeMs = timeMs;
    row.direction = direction;
    row.command = command;
    row.length = length < 0 ? 0 : length;
    if (bytes != nullptr && row.length > 0) {
        row.bytes.assign(bytes, bytes + row.length);
    }
    if (direction < 0 && row.bytes.size() >= 2 && row.bytes[0] == CKytoProtocol::kSync) {
        row.resultCode = row.bytes[1];
    }
    return row;
}

std::string TraceRowJson(const FrameTraceRow& row) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(96 + row.command.size() + 2 * row.bytes.size());
    char number[48];
    std::snprintf(number, sizeof number, "%.3f", row.timeMs);
    out += "{\"time_ms\":";
    out += number;
    out += row.direction > 0 ? ",\"direction\":\"send\"" : ",\"direction\":\"receive\"";
    out += ",\"command\":";
    AppendJsonString(out, row.command);
    out += ",\"length\":" + std::to_string(row.length);
    out += ",\"result_code\":";
    out += row.resultCode < 0 ? std::string("null") : std::to_string(row.resultCode);
    out += ",\"bytes\":\"";
    for (const std::uint8_t b : row.bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    out += "\"}";
    return out;
}

CJsonLinesTrace::~CJsonLinesTrace() {
    (void)Close();
}

bool CJsonLinesTrace::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = std::fopen(path.c_str(), "w");
    failed_ = false;
    start_ = std::chrono::steady_clock::now();
    return file_ != nullptr;
}

bool CJsonLinesTrace::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ == nullptr) {
        return !failed_;
    }
    if (std::fclose(file_) != 0) {
        failed_ = true;
    }
    file_ = nullptr;
    return !failed_;
}

void CJsonLinesTrace::OnFrame(int direction, const std::string& command, int length,
                              const std::uint8_t* bytes) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ == nullptr) {
        return;
    }
    const double ms = std::chrono::duration<double, std::milli>(now - start_).count();
    std::string line = TraceRowJson(MakeTraceRow(ms, direction, command, length, bytes));
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0) {
        failed_ = true;
    }
}
