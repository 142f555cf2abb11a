#pragma once

#include <ctime>
#include <string>

#include "logging/LogFileBase.h"

// The daily result log "./Log/YYYYMMDD.log": UTF-8, a new file starts with
// the byte-order mark. The file is chosen when it is opened and kept past
// midnight until it is closed.
class CLogFileOpe : public CLogFileBase {
public:
    CLogFileOpe() = default;
    ~CLogFileOpe() override = default;

    // 1 when the day's file existed (now open for appending, or already
    // open), 0 when it was created, -1 when it could not be opened.
    int Open() override;
    int Write(std::time_t time, const std::string& text) override;
    // Writes the block, preceded by a "YYYY/MM/DD hh:mm:ss" line unless
    // withoutTimeStamp; 0, or -1 when the file is not open.
    int WriteBlock(const std::string& text, bool withoutTimeStamp, std::time_t time);

    std::time_t OpenTime() const { return openTime_; }

private:
    std::time_t openTime_ = 0;
};
