#pragma once

#include <QColor>
#include <QImage>
#include <cstdint>
#include <cstdlib>

#include "base/ImageData.h"
#include "protocol/ResultRecords.h"

// Small builders for overlay tests.
namespace fixtures {

inline CKytoDetectRes Detect(int x, int y, int size) {
    CKytoDetectRes d;
    d.x = x;
    d.y = y;
    d.size = size;
    d.confidence = 800;
    d.SetValid(true);
    return d;
}

inline FaceResult Face(int x, int y, int size) {
    FaceResult face;
    face.detect = Detect(x, y, size);
    return face;
}

// A grey image of the module's format carrying its frame size.
inline CImageData GreyImage(int w, int h, std::uint8_t value) {
    CImageData image;
    image.Init(w, h, kFormatGrey8, true);
    std::fill(image.Pixels(), image.Pixels() + image.Size(), value);
    image.SetImageSize(w, h);
    return image;
}

inline std::uint8_t* AllFlags(std::uint8_t (&flags)[11], std::uint8_t value) {
    for (auto& f : flags) {
        f = value;
    }
    return flags;
}

inline bool Near(QRgb pixel, int r, int g, int b, int tolerance = 0) {
    return std::abs(qRed(pixel) - r) <= tolerance && std::abs(qGreen(pixel) - g) <= tolerance &&
           std::abs(qBlue(pixel) - b) <= tolerance;
}

// True when some pixel of the area has (about) the colour.
inline bool AreaHasColour(const QImage& image, const QRect& area, const QColor& colour,
                          int tolerance) {
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (Near(image.pixel(x, y), colour.red(), colour.green(), colour.blue(), tolerance)) {
                return true;
            }
        }
    }
    return false;
}

inline int CountColour(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == colour.rgb() ? 1 : 0;
        }
    }
    return count;
}

}  // namespace fixtures
