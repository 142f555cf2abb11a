#include "logging/DebugLogFileOpe.h"

#include <algorithm>
#include <filesystem>

#include "settings/IniFile.h"

namespace {

constexpr const char* kDebugIniPath = "./Debug.ini";

// Debug log names are 14 digits, optionally followed by "_NN" when several
// files start within the same second. Daily result logs (8 digits) share the
// folder but are the user's results and are never pruned here.
bool IsDebugLogName(const std::string& name) {
    if (name.size() < 18 || name.compare(name.size() - 4, 4, ".log") != 0) {
        return false;
    }
    const std::string stem = name.substr(0, name.size() - 4);
    for (std::size_t i = 0; i < 14; ++i) {
        if (stem[i] < '0' || stem[i] > '9') {
            return false;
        }
    }
    if (stem.size() == 14) {
        return true;
    }
    if (stem[14] != '_' || stem.size() == 15) {
        return false;
    }
    return std::all_of(stem.begin() + 15, stem.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

CDebugLogFileOpe::CDebugLogFileOpe() {
    mode_ = "wb";
    if (Exists(kDebugIniPath)) {
        enabled_ = true;
        Open();
        errorLog_.Open();
    }
}

CDebugLogFileOpe::~CDebugLogFileOpe() {
    CDebugLogFileOpe::Close();
    errorLog_.Close();
}

void CDebugLogFileOpe::Close() {
    CLogFileBase::Close();
}

void CDebugLogFileOpe::MakePath() {
    // Two files started within one second would get the same name and the
    // second would wipe the first; a suffix keeps both. "_" sorts after ".",
    // so the later file also sorts after the earlier one by name.
    const std::string base = std::string(kLogFolder) + "/" + FormatLocalTime(time_, "%Y%m%d%H%M%S");
    std::string path = base + ".log";
    for (int n = 1; Exists(path); ++n) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%02d", n);
        path = base + suffix + ".log";
    }
    path_ = path;
}

int CDebugLogFileOpe::Open() {
    EnsureDirectory(kLogFolder);
    ReadIniInt("Log", "MaxBlockNum", 0, kDebugIniPath, blockLimit_);
    ReadIniInt("Log", "MaxFileNum", 0, kDebugIniPath, fileLimit_);

    fileList_.clear();
    std::vector<std::string> names;
    ListFiles(std::string(kLogFolder) + "/*.log", names);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name != CErrLogOpe::kFileName && IsDebugLogName(name)) {
            fileList_.push_back(std::string(kLogFolder) + "/" + name);
        }
    }
    time_ = std::time(nullptr);
    blockCount_ = 0;
    Close();
    return OpenNext();
}

int CDebugLogFileOpe::OpenNext() {
    if (CLogFileBase::Open() != 0) {
        return -1;
    }
    if (fileLimit_ > 0) {
        fileList_.push_back(path_);
        Prune();
    }
    return 0;
}

void CDebugLogFileOpe::Prune() {
    while (fileList_.size() > static_cast<std::size_t>(fileLimit_)) {
        std::error_code ec;
        std::filesystem::remove(fileList_.front(), ec);
        fileList_.erase(fileList_.begin());
    }
}

int CDebugLogFileOpe::Write(std::time_t time, const std::string& text) {
    if (!IsOpen()) {
        return -1;
    }
    time_ = time;
    WriteTrimmedLines(text);
    ++blockCount_;
    if (blockLimit_ > 0 && blockCount_ >= blockLimit_) {
        blockCount_ = 0;
        Close();
        OpenNext();
    }
    return 0;
}

void LogBlock(CDebugLogFileOpe* debugLog, const std::string& text, int returnCode) {
    if (!debugLog || !debugLog->Enabled()) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    if (returnCode != 0) {
        debugLog->ErrorLog().Write(now, text);
    }
    debugLog->Write(now, text);
}
