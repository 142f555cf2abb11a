#include "logging/LogFileOpe.h"

#include <filesystem>

int CLogFileOpe::Open() {
    EnsureDirectory(kLogFolder);
    openTime_ = std::time(nullptr);
    const std::string path =
        std::string(kLogFolder) + "/" + FormatLocalTime(openTime_, "%Y%m%d") + ".log";
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        if (IsOpen() && path == path_) {
            return 1;
        }
        path_ = path;
        mode_ = "ab";
        return CLogFileBase::Open() == 0 ? 1 : -1;
    }
    path_ = path;
    mode_ = "wb";
    if (CLogFileBase::Open() != 0) {
        return -1;
    }
    static const char kBom[] = {'\xEF', '\xBB', '\xBF'};
    std::fwrite(kBom, 1, sizeof kBom, file_);
    std::fflush(file_);
    return 0;
}

int CLogFileOpe::Write(std::time_t, const std::string&) {
    return -1;
}

int CLogFileOpe::WriteBlock(const std::string& text, bool withoutTimeStamp, std::time_t time) {
    if (!IsOpen()) {
        return -1;
    }
    std::string out;
    if (!withoutTimeStamp) {
        out = FormatLocalTime(time, "%Y/%m/%d %H:%M:%S") + "\n";
    }
    for (const std::string& piece : SplitLogLines(text)) {
        out += TrimTrailingWhiteSpace(piece);
        out += '\n';
    }
    WriteString(out);
    return 0;
}
