// Feeds arbitrary bytes, read through the same text reader the application
// uses, to the parsers of DefSettings.dat, FullImageInfo.dat and CmdInfo.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ModuleFiles.h"
#include "settings/FileOperate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/fuzz_module_files." + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return 0;
    }
    if (size > 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);
    std::vector<std::string> lines;
    CFileOperate::ReadTextLines(path, lines);

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
