#include "logging/ErrLogOpe.h"

void CErrLogOpe::MakePath() {
    EnsureDirectory(kLogFolder);
    path_ = std::string(kLogFolder) + "/" + kFileName;
}

int CErrLogOpe::Write(std::time_t time, const std::string& text) {
    if (!IsOpen()) {
        return -1;
    }
    WriteString(FormatLocalTime(time, "%c") + "\n");
    WriteTrimmedLines(text);
    return 0;
}
