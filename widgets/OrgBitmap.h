#pragma once

// A bitmap strip for button faces and caps: one picture holding every state,
// divided into equal columns (sub-images, such as selected and unselected)
// and four equal rows (0 normal, 1 pressed, 2 disabled, 3 unused). It is
// either a raster image (loaded or built in memory; a transparent colour is
// applied when it is drawn) or a painter that draws one frame at whatever size
// and scale it is asked for, so generated faces stay sharp at 2×. Copies share
// the picture, so a button keeps its face alive however long it needs it.
// Window thread only.

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>

class COrgBitmap {
public:
    // Draws frame (row, column) of the strip into the rectangle.
    using FramePainter =
        std::function<void(QPainter& painter, const QRectF& frame, int row, int column)>;

    COrgBitmap() = default;
    // A raster strip; its pixel size is the bitmap size.
    static COrgBitmap FromImage(const QImage& image);
    // A raster strip from an image file; null when the file cannot be read.
    static COrgBitmap FromFile(const QString& path);
    // A strip drawn by painter; size is its size at 1× in pixels (what a
    // raster version of it would measure), columns the sub-images it draws.
    static COrgBitmap Generated(QSize size, int columns, FramePainter painter);

    bool IsNull() const { return !data_; }
    // The bitmap size in pixels at 1× (0 × 0 when null).
    QSize Size() const;
    // The number of columns a generated strip was made with (1 for raster).
    int Columns() const;

    // Source frame of (row, column) in a bitmap of this size divided into
    // columns × 4: width = width / columns, height = height / 4, at
    // (column × frame width, row × frame height). columns below 1 count as 1;
    // column and row are kept inside the strip.
    static QRect SourceFrame(QSize size, int columns, int column, int row);

    // Stretches frame (row, column) of a strip divided into columns over
    // target. transparentRgb (0xRRGGBB) names the colour whose pixels are
    // not drawn in a raster strip; -1 draws every pixel.
    void DrawFrame(QPainter& painter, const QRectF& target, int columns, int column, int row,
                   int transparentRgb = -1) const;

    // The raster strip with the transparent colour made transparent (the
    // image itself for -1 or a generated strip's rendering at 1×).
    QImage ToImage(int transparentRgb = -1) const;

private:
    struct Data;
    std::shared_ptr<Data> data_;
};
