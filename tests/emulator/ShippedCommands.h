#pragma once

// The command list of a model in the shipped CmdInfo, for the tests that
// drive the application's device manager against kyto-emu.

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

// The command list of a model in the shipped CmdInfo, read by the rules of
// that file: ";" comments, blocks split by empty lines, hexadecimal codes
// with leading "0" and "x" removed.
inline std::vector<int> ShippedCommands(const std::string& model) {
    std::ifstream in(TempDir::ShippedFile("CmdInfo"));
    std::vector<std::vector<std::string>> blocks(1);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            if (!blocks.back().empty()) {
                blocks.emplace_back();
            }
        } else if (line[0] != ';') {
            blocks.back().push_back(line);
        }
    }
    for (const auto& b : blocks) {
        if (!b.empty() && b[0] == model) {
            std::vector<int> codes;
            for (std::size_t i = 1; i < b.size(); ++i) {
                const std::size_t start = b[i].find_first_not_of("0x");
                codes.push_back(
                    start == std::string::npos ? 0 : std::stoi(b[i].substr(start), nullptr, 16));
            }
            return codes;
        }
    }
    return {};
}
