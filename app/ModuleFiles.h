#pragma once

#include <string>
#include <vector>

#include "settings/Settings.h"

// The module description files of the working folder: "DefSettings.dat"
// (default device settings for a module met for the first time),
// "FullImageInfo.dat" (camera resolutions per model) and "CmdInfo" (supported
// command codes per model). Lines starting with ";" are comments everywhere.

inline constexpr const char* kDefSettingsFile = "DefSettings.dat";
inline constexpr const char* kFullImageInfoFile = "FullImageInfo.dat";
inline constexpr const char* kCmdInfoFile = "CmdInfo";

struct Resolution {
    int width = 0;
    int height = 0;
    int code = 0;  // parameter of Set Camera Resolution
};

struct ResolutionList {
    std::string model;  // empty for the fallback entry 0
    std::vector<Resolution> resolutions;
};

struct CommandList {
    std::string model;
    std::vector<int> codes;
};

struct DefaultSettings {
    DeviceSettings settings;  // all -1 until a file was read
    int resolutionCode = 0;   // 0: ask the module for its image size
};

// A CmdInfo code: leading '0' and 'x' characters dropped, then hexadecimal
// digits up to the first other character (0 when there are none).
int ParseCommandCode(const std::string& text);
// Splits at every separator; empty fields are kept.
std::vector<std::string> SplitFields(const std::string& line, char separator);

// Parsers on the lines of a file (as ReadTextLines gives them).
// 0 and out replaced, or -1 and out untouched.
int ParseDefaultSettings(const std::vector<std::string>& lines, DefaultSettings& out);
// Entry 0 (no name, 640 x 480 code 0) followed by the accepted lines.
std::vector<ResolutionList> ParseResolutionLists(const std::vector<std::string>& lines);
std::vector<CommandList> ParseCommandLists(const std::vector<std::string>& lines);

// The fixed table of resolutions the module knows: code, or 0 when unknown.
int KnownResolutionCode(int width, int height);
