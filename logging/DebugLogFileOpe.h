#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "logging/ErrLogOpe.h"
#include "logging/LogFileBase.h"

// The debug log: every result block, in files "./Log/YYYYMMDDhhmmss.log"
// named after the time of their first block's predecessor, rotated after
// MaxBlockNum blocks and pruned to MaxFileNum files (section "Log" of
// "./Debug.ini"; 0 switches either off). It is enabled only when
// "./Debug.ini" exists, and then also keeps the error log open.
class CDebugLogFileOpe : public CLogFileBase {
public:
    CDebugLogFileOpe();
    ~CDebugLogFileOpe() override;

    int Open() override;
    void Close() override;
    int Write(std::time_t time, const std::string& text) override;
    void MakePath() override;

    bool Enabled() const { return enabled_; }
    CErrLogOpe& ErrorLog() { return errorLog_; }
    const std::vector<std::string>& FileList() const { return fileList_; }
    int BlockLimit() const { return blockLimit_; }
    int FileLimit() const { return fileLimit_; }

private:
    int OpenNext();
    void Prune();

    int blockCount_ = 0;
    int blockLimit_ = 0;
    int fileLimit_ = 0;
    std::vector<std::string> fileList_;
    std::time_t time_ = 0;
    bool enabled_ = false;
    CErrLogOpe errorLog_;
};

// Hands one result block to the debug log: when it is enabled, the block
// goes to the error log first if the return code is not 0, then to the
// debug log. A null log does nothing.
void LogBlock(CDebugLogFileOpe* debugLog, const std::string& text, int returnCode);
