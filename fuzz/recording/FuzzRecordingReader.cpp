// The application's recording reader fed arbitrary bytes. A file it accepts
// must come back unchanged in its frames when written out again and re-read
// (times to the microsecond the writer keeps), so reader and writer agree.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/ExchangeRecording.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Recording recording;
    std::string error;
    if (!ParseRecording(text, recording, error)) {
        if (error.empty() || !recording.frames.empty()) {
            std::abort();
        }
        return 0;
    }
    std::string again = RecordingHeaderLine();
    int rate = -1;
    for (const RecordedFrame& frame : recording.frames) {
        if (frame.bytes.empty() || frame.lineRate < 0 || !(frame.timeMs >= 0)) {
            std::abort();
        }
        if (frame.lineRate != rate) {
            again += RecordingRateLine(frame.lineRate);
            rate = frame.lineRate;
        }
        again += RecordingFrameLine(frame);
    }
    Recording reread;
    if (!ParseRecording(again, reread, error) || reread.frames.size() != recording.frames.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < reread.frames.size(); ++i) {
        const RecordedFrame& a = recording.frames[i];
        const RecordedFrame& b = reread.frames[i];
        if (a.bytes != b.bytes || a.direction != b.direction || a.lineRate != b.lineRate ||
            std::fabs(a.timeMs - b.timeMs) > 0.0005 + 1e-12 * a.timeMs) {
            std::abort();
        }
    }
    return 0;
}
