// One row per frame sent or received, and a writer of those rows as JSON lines.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/KytoProtocol.h"

// A frame as the inspector and the trace file show it.
struct FrameTraceRow {
    double timeMs = 0;  // since the trace started
    int direction = 0;  // 1 sent, -1 received
    std::string command;
    int length = 0;       // bytes of the frame as seen (header included)
    int resultCode = -1;  // response code of a received frame; -1 none (command or short frame)
    std::vector<std::uint8_t> bytes;
};

// The row for one reported frame (response code from the header's second byte).
FrameTraceRow MakeTraceRow(double timeMs, int direction, const std::string& command, int length,
                           const std::uint8_t* bytes);

// {"time_ms":…,"direction":"send"|"receive","command":…,"length":…,
//  "result_code":…|null,"bytes":"fe00…"} without a line end.
std::string TraceRowJson(const FrameTraceRow& row);

// Writes every frame it observes as one JSON line to a file it owns. The
// frames may come from any one thread at a time; each line is flushed, so a
// trace cut short by a crash keeps what was seen.
class CJsonLinesTrace : public IFrameObserver {
public:
    CJsonLinesTrace() = default;
    ~CJsonLinesTrace() override;
    CJsonLinesTrace(const CJsonLinesTrace&) = delete;
    CJsonLinesTrace& operator=(const CJsonLinesTrace&) = delete;

    // false with errno set when the file could not be made.
    bool Open(const std::string& path);
    // false when any write failed since Open (a full disc must not pass unnoticed).
    bool Close();
    void OnFrame(int direction, const std::string& command, int length,
                 const std::uint8_t* bytes) override;

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::chrono::steady_clock::time_point start_;
};
