// Result blocks of every frame into the daily result log and the debug logs.
#include "app/FrameLogger.h"

#include <chrono>

int CFrameLogger::SetFileOutput(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!on) {
        dailyLog_.Close();
        fileOutput_ = false;
        return 0;
    }
    if (!dailyLog_.IsOpen() && dailyLog_.Open() < 0) {
        fileOutput_ = false;
        return -1;
    }
    fileOutput_ = true;
    if (!pendingHeader_.empty()) {
        if (dailyLog_.WriteBlock(pendingHeader_, true, 0) != 0) {
            writeFailed_ = true;
        }
        pendingHeader_.clear();
    }
    return 0;
}

bool CFrameLogger::FileOutput() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fileOutput_;
}

void CFrameLogger::SetDebugLog(CDebugLogFileOpe* debugLog) {
    std::lock_guard<std::mutex> lock(mutex_);
    debugLog_ = debugLog;
}

void CFrameLogger::SetUserNames(std::vector<UserName> names) {
    std::lock_guard<std::mutex> lock(mutex_);
    names_ = std::move(names);
}

void CFrameLogger::AddVersionHeader(const std::string& header) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fileOutput_) {
        if (dailyLog_.WriteBlock(header, true, 0) != 0) {
            writeFailed_ = true;
        }
    } else {
        pendingHeader_ = header;
    }
    LogBlock(debugLog_, header, 0);
}

void CFrameLogger::LogText(const std::string& text, int returnCode) {
    std::lock_guard<std::mutex> lock(mutex_);
    LogBlock(debugLog_, text, returnCode);
}

std::string CFrameLogger::BlockOf(const FramePacket& packet, const std::vector<UserName>& names) {
    FrameTextInput text;
    std::copy(packet.functionFlags, packet.functionFlags + 11, text.functionFlags);
    text.stabilisation = packet.stabilisation;
    text.status = packet.status;
    text.returnCode = packet.responseCode;
    text.verifyUserId = packet.verifyUserId;
    text.responseTimeMs = packet.responseTimeMs;
    return BuildFrameBlock(text, packet.result, names);
}

void CFrameLogger::OnFrame(const FramePacketPtr& packet) {
    if (!packet || packet->kind == FrameKind::kLiveImage) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const bool debugOn = debugLog_ && debugLog_->Enabled();
    if (!fileOutput_ && !debugOn) {
        return;
    }
    const std::string block = BlockOf(*packet, names_);
    if (fileOutput_ &&
        dailyLog_.WriteBlock(block, false,
                             std::chrono::system_clock::to_time_t(packet->wallTime)) != 0) {
        writeFailed_ = true;
    }
    LogBlock(debugLog_, block, packet->responseCode);
}

bool CFrameLogger::TakeWriteFailure() {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool failed = writeFailed_;
    writeFailed_ = false;
    return failed;
}
