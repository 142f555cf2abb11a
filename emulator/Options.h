#pragma once

#include <string>
#include <vector>

#include "emulator/Faults.h"
#include "emulator/LineServer.h"
#include "emulator/Module.h"

namespace kyto::emu {

struct EmulatorOptions {
    ModuleConfig module;
    LineOptions line;
    FaultOptions faults;
    std::string printEmptyAlbum;  // write an empty album block there and exit
    std::string replay;           // a recording to answer from instead of the module
    bool help = false;
    bool exitWithParent = false;  // end when the process that started it ends
};

// Parses the command line (without the program name). False with a message
// for the user on a bad option.
bool ParseOptions(const std::vector<std::string>& args, EmulatorOptions& options,
                  std::string& error);

const char* UsageText();

}  // namespace kyto::emu
