// The message font of the wait and progress dialogs.
#include "widgets/MessageFont.h"

QFont MessageFont(const QFont& dialogFont) {
    QFont font = dialogFont;
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * 3);
    } else if (font.pixelSize() > 0) {
        font.setPixelSize(font.pixelSize() * 3);
    }
    font.setWeight(QFont::Bold);
    return font;
}
