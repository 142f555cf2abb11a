#pragma once

// The result logs of every frame: the daily result log (when file output is
// on) and the debug and error logs (when debug logging is enabled). It runs
// as a frame sink on the device worker, so every frame is logged even when
// the window paints only the newest one (see CLatestFrameSlot); the result
// pane builds its own text for the screen and writes no file.
//
// Threads: OnFrame runs on the worker; the setters may be called from any
// thread (the window's). One lock guards the logs, so the window writes to
// the debug log only through LogText while frames run.

#include <mutex>
#include <string>
#include <vector>

#include "app/FramePacket.h"
#include "app/ResultText.h"
#include "logging/DebugLogFileOpe.h"
#include "logging/LogFileOpe.h"

class CFrameLogger : public IFrameSink {
public:
    CFrameLogger() = default;

    // Opens or closes the daily result log. 0, or -1 when it could not be
    // opened (file output then stays off).
    int SetFileOutput(bool on);
    bool FileOutput() const;
    // The debug log the blocks also go to (not owned; may be null).
    void SetDebugLog(CDebugLogFileOpe* debugLog);
    void SetUserNames(std::vector<UserName> names);

    // The version header shown after connecting: written to the debug log
    // now and to the daily result log now or, while file output is off, as
    // soon as it is switched on.
    void AddVersionHeader(const std::string& header);
    // Any other text for the debug log (and the error log when returnCode
    // is not 0).
    void LogText(const std::string& text, int returnCode);

    // Detection and resync packets are logged; live images are not.
    void OnFrame(const FramePacketPtr& packet) override;

    // The block of a packet, as the logs and the pane show it.
    static std::string BlockOf(const FramePacket& packet, const std::vector<UserName>& names);

    // A daily-log write failed since the last call (the command line exits 1).
    bool TakeWriteFailure();

private:
    mutable std::mutex mutex_;
    CLogFileOpe dailyLog_;
    bool fileOutput_ = false;
    std::string pendingHeader_;
    CDebugLogFileOpe* debugLog_ = nullptr;
    std::vector<UserName> names_;
    bool writeFailed_ = false;
};
