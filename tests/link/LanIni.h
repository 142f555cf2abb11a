#pragma once

// Writes ./Application.ini with the socket link's keys for a test: the
// discovery goes to 127.0.0.1 (an unused port unless one is given), never to
// the broadcast default.

#include <fstream>
#include <string>
#include <utility>
#include <vector>

inline void WriteLanIni(std::vector<std::pair<std::string, std::string>> keys) {
    bool hasDiscovery = false;
    for (const auto& [key, value] : keys) {
        hasDiscovery = hasDiscovery || key == "DISCOVERYADDRESS";
    }
    if (!hasDiscovery) {
        keys.emplace_back("DISCOVERYADDRESS", "127.0.0.1");
    }
    std::ofstream out("Application.ini", std::ios::trunc);
    out << "[Application]\n";
    for (const auto& [key, value] : keys) {
        out << key << "=" << value << "\n";
    }
}
