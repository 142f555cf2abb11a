// Arbitrary bytes as an INI file: reads must not fail, a write must read back,
// and it must not change any other key. All in memory: the bytes are parsed
// and rewritten by the same code the file functions use, without a file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

#include "settings/IniFile.h"

namespace {

struct Probe {
    const char* section;
    const char* key;
};
constexpr Probe kProbes[] = {
    {"Application", "BaudRate"},
    {"Application", "COMPortName"},
    {"S", "K"},
    {"s", "k2"},
    {"SizeRange", "Body"},
    {"", ""},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CIniText file(data, size);
    std::string before[std::size(kProbes)];
    for (std::size_t i = 0; i < std::size(kProbes); ++i) {
        before[i] = file.Read(kProbes[i].section, kProbes[i].key, "\x01missing");
        (void)ParseIniInt(before[i]);
    }

    if (!file.Set("application", "fuzzkey", "  written value ")) {
        abort();
    }
    const std::string text = file.Text();
    const CIniText written(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (written.Read("Application", "FuzzKey", "") != "written value") {
        abort();
    }
    for (std::size_t i = 0; i < std::size(kProbes); ++i) {
        if (written.Read(kProbes[i].section, kProbes[i].key, "\x01missing") != before[i]) {
            abort();
        }
    }
    return 0;
}
