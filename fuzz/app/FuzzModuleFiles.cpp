// Feeds arbitrary bytes, read through the same text reader the application
// uses, to the parsers of DefSettings.dat, FullImageInfo.dat and CmdInfo.
#include <cstdint>
#include <string>
#include <vector>

#include "app/ModuleFiles.h"
#include "base/TextLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> lines;
    DecodeTextLines(data, size, lines);

    DefaultSettings defaults;
    ParseDefaultSettings(lines, defaults);
    for (const ResolutionList& list : ParseResolutionLists(lines)) {
        for (const Resolution& r : list.resolutions) {
            if (r.code < 0 || r.code > 3) {
                __builtin_trap();
            }
        }
    }
    ParseCommandLists(lines);
    return 0;
}
