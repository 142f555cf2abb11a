#include "link/PortScan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace kyto::link {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The numeric port type of serial-core UARTs; 0 is "unknown", i.e. no chip.
int PortType(const std::filesystem::path& entry) {
    std::ifstream in(entry / "type");
    int type = 0;
    if (!(in >> type)) {
        return -1;
    }
    return type;
}

bool IsHardwarePort(const std::filesystem::path& entry, const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::exists(entry / "device", ec)) {
        return false;
    }
    if (StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM")) {
        return true;
    }
    // Anything else with a device must be a UART that reports a real chip.
    return PortType(entry) > 0;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) {
                ++ei;
            }
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) {
                ++ej;
            }
            // Compare the digit runs by value: strip leading zeros, then
            // the longer run is larger, else compare digit by digit.
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0') {
                ++si;
            }
            while (sj + 1 < ej && b[sj] == '0') {
                ++sj;
            }
            if (ei - si != ej - sj) {
                return ei - si < ej - sj;
            }
            const int cmp = a.compare(si, ei - si, b, sj, ej - sj);
            if (cmp != 0) {
                return cmp < 0;
            }
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> ScanSerialDevices(const std::string& sysClassTty,
                                           const std::string& devDir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(sysClassTty, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!StartsWith(name, "tty") || name.size() <= 3) {
            continue;
        }
        if (IsHardwarePort(it->path(), name)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const auto& name : names) {
        paths.push_back(devDir + "/" + name);
    }
    return paths;
}

}  // namespace kyto::link
