#pragma once

#include <ctime>
#include <string>

#include "logging/LogFileBase.h"

// "./Log/Kyto_Error.log": the blocks of frames whose module return code was
// not 0, appended with a date line each; no rotation, no size limit.
class CErrLogOpe : public CLogFileBase {
public:
    inline static const char* const kFileName = "Kyto_Error.log";

    CErrLogOpe() { mode_ = "ab"; }
    ~CErrLogOpe() override = default;

    int Write(std::time_t time, const std::string& text) override;
    void MakePath() override;
};
