#include "display/OverlayStyle.h"

#include <algorithm>

#include "settings/IniFile.h"

namespace {

QColor ReadColour(const std::string& file, const std::string& name, const QColor& def) {
    int r = 0, g = 0, b = 0;
    ReadIniInt("Quell", name + "R", def.red(), file, r);
    ReadIniInt("Quell", name + "G", def.green(), file, g);
    ReadIniInt("Quell", name + "B", def.blue(), file, b);
    return QColor(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
}

}  // namespace

OverlayStyle ReadOverlayStyle(const std::string& file) {
    OverlayStyle style;
    style.ageStabilising = ReadColour(file, "Age", style.ageStabilising);
    style.maleStabilising = ReadColour(file, "Male", style.maleStabilising);
    style.femaleStabilising = ReadColour(file, "Female", style.femaleStabilising);
    style.recogStabilising = ReadColour(file, "Recog", style.recogStabilising);
    style.backStabilising = ReadColour(file, "Back", style.backStabilising);
    ReadIniInt("FONT", "Width", style.fontWidth, file, style.fontWidth);
    ReadIniInt("FONT", "Height", style.fontHeight, file, style.fontHeight);
    return style;
}
