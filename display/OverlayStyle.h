#pragma once

#include <QColor>
#include <string>

// Developer-tunable look of the overlay: the colours of labels whose value
// is still being stabilised and the label font size.
struct OverlayStyle {
    QColor ageStabilising{128, 102, 0};
    QColor maleStabilising{0, 128, 128};
    QColor femaleStabilising{123, 86, 99};
    QColor recogStabilising{128, 102, 0};
    QColor backStabilising{0, 0, 0};
    int fontWidth = 0;     // 0: the font's own width
    int fontHeight = -16;  // negative: character height in pixels; positive: cell height
};

// Reads the "Quell" colours and the "FONT" size from the developer settings
// file (defaults for anything missing). Components are clamped to 0..255.
OverlayStyle ReadOverlayStyle(const std::string& file);
