// The recording of a module's exchanges: every frame both ways with its time
// and the line rate, in a small versioned text file that can be shared and
// that kyto-emu --replay plays back as a module.
//
// Format, version 1 (UTF-8 text, one item a line, LF line ends; CR LF is read
// too):
//
//   kyto-recording 1     the first line: the format and its version
//   # any text           a comment; empty lines (or spaces only) are ignored too
//   rate BAUD            the line rate of the frames that follow (before the
//                        first; 0 where the link has none, as in memory)
//   > TIME HEX           a frame the host sent
//   < TIME HEX           a frame the host received, as far as it read it
//
// TIME is milliseconds since the recording began (decimal, with a fraction or
// not, below 10^12: twelve digits before the point at most); HEX holds the frame's bytes (header
// included), two hex digits each. A received frame belongs to the sent frame before it; a command
// without an answer (the baud command, or a module that stayed silent) has none.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/KytoProtocol.h"

class CDeviceLink;

constexpr int kRecordingVersion = 1;
// Larger than any frame the link can hold (the 6 MiB receive buffer).
constexpr std::size_t kMaxRecordedFrameBytes = 8u << 20;
constexpr double kMaxRecordedTimeMs = 1e12;

struct RecordedFrame {
    double timeMs = 0;
    int direction = 0;  // 1 sent by the host, -1 received
    int lineRate = 0;   // baud
    std::vector<std::uint8_t> bytes;
};

struct Recording {
    int version = 0;
    std::vector<RecordedFrame> frames;
};

// Reads a recording from memory. false with "line N: why" in `error` for
// anything that is not a version-1 recording; `out` is then left empty.
bool ParseRecording(std::string_view text, Recording& out, std::string& error);

// The lines a writer puts out, each with its line end.
std::string RecordingHeaderLine();
std::string RecordingRateLine(int lineRate);
std::string RecordingFrameLine(const RecordedFrame& frame);

// A frame observer that writes every frame of a link to a recording, and
// passes each on to another observer. The file grows under a temporary name
// beside the target (".NAME.part", flushed after each frame, so a run that
// crashes leaves what it saw) and takes the target's place when it is
// closed, so nobody ever reads half a recording under its real name.
class CExchangeRecorder : public IFrameObserver {
public:
    explicit CExchangeRecorder(IFrameObserver* next = nullptr) : next_(next) {}
    ~CExchangeRecorder() override;
    CExchangeRecorder(const CExchangeRecorder&) = delete;
    CExchangeRecorder& operator=(const CExchangeRecorder&) = delete;

    void SetNext(IFrameObserver* next) { next_ = next; }
    // `link` tells the line rate of each frame. false with errno set when the
    // file could not be made.
    bool Open(const std::string& path, const CDeviceLink* link);
    // Puts the recording in place; false when any write, the flush or the
    // rename failed (the partial file then stays under its temporary name).
    bool Close();

    void OnWriteStart(const std::string& command) override;
    void OnFrame(int direction, const std::string& command, int length,
                 const std::uint8_t* bytes) override;

private:
    void Write(const std::string& text);

    IFrameObserver* next_;
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    const CDeviceLink* link_ = nullptr;
    std::string path_;
    std::string partPath_;
    int lastRate_ = -1;
    bool failed_ = false;
    std::chrono::steady_clock::time_point start_;
};
