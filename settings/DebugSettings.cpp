#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {

int ReadDebugInt(const char* section, const char* key, int def) {
    int value = def;
    ReadIniInt(section, key, def, kDebugIni, value);
    return value;
}

// Reads "<prefix>R", "<prefix>G", "<prefix>B" of section "Quell".
RgbColour ReadLabelColour(const std::string& prefix, RgbColour def) {
    return RgbColour{ReadDebugInt("Quell", (prefix + "R").c_str(), def.red),
                     ReadDebugInt("Quell", (prefix + "G").c_str(), def.green),
                     ReadDebugInt("Quell", (prefix + "B").c_str(), def.blue)};
}

}  // namespace

RgbColour ReadAgeColour() {
    return ReadLabelColour("Age", {128, 102, 0});
}

RgbColour ReadMaleColour() {
    return ReadLabelColour("Male", {0, 128, 128});
}

RgbColour ReadFemaleColour() {
    return ReadLabelColour("Female", {123, 86, 99});
}

RgbColour ReadRecogColour() {
    return ReadLabelColour("Recog", {128, 102, 0});
}

RgbColour ReadBackColour() {
    return ReadLabelColour("Back", {0, 0, 0});
}

void ReadFontSize(int& width, int& height) {
    width = ReadDebugInt("FONT", "Width", 0);
    height = ReadDebugInt("FONT", "Height", -16);
}

int ReadAgeThreshold() {
    return ReadDebugInt("PeThreshold", "Age", 500);
}

int ReadGenderThreshold() {
    return ReadDebugInt("PeThreshold", "Gender", 500);
}

int ReadLogMaxBlockNum() {
    return ReadDebugInt("Log", "MaxBlockNum", 0);
}

int ReadLogMaxFileNum() {
    return ReadDebugInt("Log", "MaxFileNum", 0);
}
