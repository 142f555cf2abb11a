// Bitmap strips: frame geometry, transparent colour, generated drawing.
#include "widgets/OrgBitmap.h"

#include <algorithm>

struct COrgBitmap::Data {
    QImage image;  // raster strip, or empty for a generated one
    QSize size;
    int columns = 1;
    FramePainter painter;
    // The raster strip with one transparent colour applied, kept for the
    // next paint (faces are drawn on every repaint).
    mutable int maskedRgb = -1;
    mutable QImage masked;
};

COrgBitmap COrgBitmap::FromImage(const QImage& image) {
    COrgBitmap bitmap;
    if (image.isNull()) {
        return bitmap;
    }
    bitmap.data_ = std::make_shared<Data>();
    bitmap.data_->image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    bitmap.data_->size = image.size();
    return bitmap;
}

COrgBitmap COrgBitmap::FromFile(const QString& path) {
    return FromImage(QImage(path));
}

COrgBitmap COrgBitmap::Generated(QSize size, int columns, FramePainter painter) {
    COrgBitmap bitmap;
    if (size.isEmpty() || !painter) {
        return bitmap;
    }
    bitmap.data_ = std::make_shared<Data>();
    bitmap.data_->size = size;
    bitmap.data_->columns = std::max(1, columns);
    bitmap.data_->painter = std::move(painter);
    return bitmap;
}

QSize COrgBitmap::Size() const {
    return data_ ? data_->size : QSize(0, 0);
}

int COrgBitmap::Columns() const {
    return data_ ? data_->columns : 1;
}

QRect COrgBitmap::SourceFrame(QSize size, int columns, int column, int row) {
    columns = std::max(1, columns);
    const int width = size.width() / columns;
    const int height = size.height() / 4;
    column = std::clamp(column, 0, columns - 1);
    row = std::clamp(row, 0, 3);
    return QRect(column * width, row * height, width, height);
}

void COrgBitmap::DrawFrame(QPainter& painter, const QRectF& target, int columns, int column,
                           int row, int transparentRgb) const {
    if (!data_ || target.isEmpty()) {
        return;
    }
    if (data_->painter) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        data_->painter(painter, target, std::clamp(row, 0, 3),
                       std::clamp(column, 0, std::max(1, columns) - 1));
        painter.restore();
        return;
    }
    const QRect source = SourceFrame(data_->size, columns, column, row);
    if (source.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, ToImage(transparentRgb), source);
    painter.restore();
}

QImage COrgBitmap::ToImage(int transparentRgb) const {
    if (!data_) {
        return {};
    }
    if (data_->painter) {
        QImage image(data_->size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QSize frame = SourceFrame(data_->size, data_->columns, 0, 0).size();
        for (int column = 0; column < data_->columns; ++column) {
            for (int row = 0; row < 4; ++row) {
                data_->painter(painter,
                               QRectF(QPointF(column * frame.width(), row * frame.height()), frame),
                               row, column);
            }
        }
        return image;
    }
    if (transparentRgb < 0) {
        return data_->image;
    }
    if (data_->maskedRgb != transparentRgb || data_->masked.isNull()) {
        // Opaque pixels of exactly that colour become transparent.
        QImage masked = data_->image;
        const QRgb key = static_cast<QRgb>(transparentRgb) & 0xFFFFFFu;
        for (int y = 0; y < masked.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
            for (int x = 0; x < masked.width(); ++x) {
                if (qAlpha(line[x]) == 255 && (line[x] & 0xFFFFFFu) == key) {
                    line[x] = 0;
                }
            }
        }
        data_->masked = masked;
        data_->maskedRgb = transparentRgb;
    }
    return data_->masked;
}
