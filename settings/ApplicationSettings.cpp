#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {

constexpr const char* kApplication = "Application";
constexpr const char* kActiveFunction = "ActiveFunction";

int ReadAppInt(const char* section, const char* key, int def) {
    int value = def;
    ReadIniInt(section, key, def, kApplicationIni, value);
    return value;
}

Shortcut ReadShortcutKey(const char* key, const char* def) {
    std::string text;
    ReadIniString(kApplication, key, def, kApplicationIni, text);
    return ParseShortcut(text);
}

// One row per stabilisation key: name, default and where it lives.
struct QuellKey {
    const char* name;
    int QuellSettings::*field;
    bool pageEdited;
};
constexpr QuellKey kQuellKeys[] = {
    {"QuellRetryCount", &QuellSettings::retryCount, true},
    {"QuellPosSteadiness", &QuellSettings::posSteadiness, false},
    {"QuellSizeSteadiness", &QuellSettings::sizeSteadiness, false},
    {"QuellPeFrame", &QuellSettings::peFrame, true},
    {"QuellPeThreshold", &QuellSettings::peThreshold, true},
    {"QuellPeAngleUDMin", &QuellSettings::peAngleUDMin, true},
    {"QuellPeAngleUDMax", &QuellSettings::peAngleUDMax, true},
    {"QuellPeAngleLRMin", &QuellSettings::peAngleLRMin, true},
    {"QuellPeAngleLRMax", &QuellSettings::peAngleLRMax, true},
    {"QuellFrFrame", &QuellSettings::frFrame, true},
    {"QuellFrRatio", &QuellSettings::frRatio, true},
    {"QuellFrThreshold", &QuellSettings::frThreshold, true},
    {"QuellFrAngleUDMin", &QuellSettings::frAngleUDMin, true},
    {"QuellFrAngleUDMax", &QuellSettings::frAngleUDMax, true},
    {"QuellFrAngleLRMin", &QuellSettings::frAngleLRMin, true},
    {"QuellFrAngleLRMax", &QuellSettings::frAngleLRMax, true},
};

}  // namespace

void ReadComSettings(std::string& portName, int& baudRate) {
    ReadIniString(kApplication, "COMPortName", "", kApplicationIni, portName);
    baudRate = ReadAppInt(kApplication, "BaudRate", 921600);
}

void WriteComSettings(const std::string& portName, int baudRate) {
    WriteIniString(kApplication, "COMPortName", kApplicationIni, portName);
    WriteIniInt(kApplication, "BaudRate", kApplicationIni, baudRate);
}

int ReadAutoConnect() {
    return ReadAppInt(kApplication, "AutoConnect", 0);
}

void WriteAutoConnect(int value) {
    WriteIniInt(kApplication, "AutoConnect", kApplicationIni, value);
}

int ReadOutputLogFlag() {
    return ReadAppInt(kApplication, "OutputLogFlag", 0);
}

void WriteOutputLogFlag(int value) {
    WriteIniInt(kApplication, "OutputLogFlag", kApplicationIni, value);
}

std::string ReadPrevSelectFile() {
    std::string path;
    ReadIniString(kApplication, "PrevSelectFile", "./KytoAlbum.kyl", kApplicationIni, path);
    return path;
}

void WritePrevSelectFile(const std::string& path) {
    WriteIniString(kApplication, "PrevSelectFile", kApplicationIni, path);
}

int ReadLimitLogBlock() {
    return ReadAppInt(kApplication, "LimitLogBlock", 150);
}

SocketSettings ReadSocketSettings() {
    SocketSettings socket;  // member initialisers hold the defaults
    ReadIniString(kApplication, "TCPIP", "", kApplicationIni, socket.address);
    socket.port = ReadAppInt(kApplication, "PORTNUMBER", socket.port);
    socket.mode = ReadAppInt(kApplication, "SOCKETMODE", socket.mode);
    const std::string discoveryDefault = socket.discoveryAddress;
    ReadIniString(kApplication, "DISCOVERYADDRESS", discoveryDefault, kApplicationIni,
                  socket.discoveryAddress);
    socket.discoveryPort = ReadAppInt(kApplication, "DISCOVERYPORT", socket.discoveryPort);
    const std::string tagDefault = socket.configTag;
    ReadIniString(kApplication, "CONFIGTAG", tagDefault, kApplicationIni, socket.configTag);
    return socket;
}

Shortcut ReadFullScreenShortcut() {
    return ReadShortcutKey("ShotcutKey_FullScreen", "F");
}

Shortcut ReadPictureShortcut() {
    return ReadShortcutKey("ShotcutKey_Picture", "P");
}

Shortcut ReadVideoShortcut() {
    return ReadShortcutKey("ShotcutKey_Video", "V");
}

QuellSettings ReadQuellSettings() {
    QuellSettings settings;  // member initialisers hold the defaults
    for (const QuellKey& key : kQuellKeys) {
        settings.*key.field = ReadAppInt(kApplication, key.name, settings.*key.field);
    }
    return settings;
}

void WriteQuellSettings(const QuellSettings& settings) {
    for (const QuellKey& key : kQuellKeys) {
        if (key.pageEdited) {
            WriteIniInt(kApplication, key.name, kApplicationIni, settings.*key.field);
        }
    }
}

void ReadFunctionFlags(std::uint8_t flags[kFunctionCount]) {
    FunctionBitsToFlags(ReadAppInt(kActiveFunction, "Function", 0), flags);
}

void WriteFunctionFlags(const std::uint8_t flags[kFunctionCount]) {
    WriteIniInt(kActiveFunction, "Function", kApplicationIni, FunctionFlagsToBits(flags));
}

int ReadExecuteImage() {
    return ReadAppInt(kActiveFunction, "ExecuteImage", 1);
}

void WriteExecuteImage(int imageType) {
    WriteIniInt(kActiveFunction, "ExecuteImage", kApplicationIni, imageType);
}

int ReadQuellFlag() {
    return ReadAppInt(kActiveFunction, "QuellFlag", 1);
}

void WriteQuellFlag(bool on) {
    WriteIniInt(kActiveFunction, "QuellFlag", kApplicationIni, on ? 1 : 0);
}

int ReadSettingTime() {
    return ReadAppInt("Retry", "SettingTime", 10);
}
