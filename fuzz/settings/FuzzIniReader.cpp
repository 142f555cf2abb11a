// Arbitrary bytes as an INI file: reads must not fail, a write must read back,
// and it must not change any other key.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

#include "base/AtomicFile.h"
#include "settings/IniFile.h"

namespace {

// One fixed file per process, in memory when possible (fsync is then cheap),
// removed when the fuzzer exits.
std::string g_path;

void RemoveFuzzFile() {
    unlink(g_path.c_str());
}

const std::string& FuzzFile() {
    if (g_path.empty()) {
        g_path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                 "/fuzz_ini_reader." + std::to_string(getpid()) + ".ini";
        std::atexit(RemoveFuzzFile);
    }
    return g_path;
}

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

std::string Read(const char* section, const char* key) {
    std::string value;
    ReadIniString(section, key, "\x01missing", FuzzFile(), value);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& file = FuzzFile();
    if (WriteFileAtomically(file, data, size) != 0) {
        return 0;
    }
    std::string before[std::size(kProbes)];
    for (std::size_t i = 0; i < std::size(kProbes); ++i) {
        before[i] = Read(kProbes[i].section, kProbes[i].key);
        int number = 0;
        ReadIniInt(kProbes[i].section, kProbes[i].key, -1, file, number);
    }

    if (WriteIniString("application", "fuzzkey", file, "  written value ") != 0) {
        abort();
    }
    if (Read("Application", "FuzzKey") != "written value") {
        abort();
    }
    for (std::size_t i = 0; i < std::size(kProbes); ++i) {
        if (Read(kProbes[i].section, kProbes[i].key) != before[i]) {
            abort();
        }
    }
    return 0;
}
