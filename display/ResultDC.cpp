#include "display/ResultDC.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/ImageData.h"

CResultDC::~CResultDC() {
    CResultDC::Release();
}

int CResultDC::Create(int width, int height) {
    Release();
    if (width <= 0 || height <= 0) {
        return 0;
    }
    surface_ = QImage(width, height, QImage::Format_RGB32);
    if (surface_.isNull()) {
        return 0;
    }
    surface_.fill(Qt::black);
    pen_ = QPen(Qt::white, 1);
    fitScale_ = 1.0;
    xOffset_ = 0;
    yOffset_ = 0;
    return 1;
}

void CResultDC::Release() {
    painter_.reset();
    paintDepth_ = 0;
    surface_ = QImage();
}

CResultDC::PaintScope::PaintScope(CResultDC& dc) : dc_(dc) {
    if (dc_.paintDepth_++ == 0) {
        dc_.painter_ = std::make_unique<QPainter>(&dc_.surface_);
        dc_.painter_->setRenderHint(QPainter::Antialiasing, false);
        dc_.painter_->setPen(dc_.pen_);
    }
}

CResultDC::PaintScope::~PaintScope() {
    if (--dc_.paintDepth_ == 0) {
        dc_.painter_.reset();
    }
}

void CResultDC::SetPen(const QPen& pen) {
    pen_ = pen;
    if (painter_) {
        painter_->setPen(pen_);
    }
}

void CResultDC::Fill(const QColor& colour) {
    if (painter_) {
        painter_->fillRect(surface_.rect(), colour);
    } else {
        surface_.fill(colour);
    }
}

void CResultDC::SetFit(int imageWidth, int imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0 || surface_.isNull()) {
        fitScale_ = 1.0;
        xOffset_ = 0;
        yOffset_ = 0;
        return;
    }
    fitScale_ = std::min(static_cast<double>(surface_.width()) / imageWidth,
                         static_cast<double>(surface_.height()) / imageHeight);
    const int fittedW = static_cast<int>(std::floor(imageWidth * fitScale_));
    const int fittedH = static_cast<int>(std::floor(imageHeight * fitScale_));
    xOffset_ = (surface_.width() - fittedW) / 2;
    yOffset_ = (surface_.height() - fittedH) / 2;
}

int CResultDC::DrawImage(const CImageData& image) {
    const int w = image.Width();
    const int h = image.Height();
    if (surface_.isNull() || image.Format() != kFormatRgb24 || w <= 0 || h <= 0 ||
        image.RowBytes() < w * 3 ||
        image.Size() < static_cast<std::size_t>(image.RowBytes()) * static_cast<std::size_t>(h)) {
        return 0;
    }
    SetFit(w, h);
    // Pixels are written straight into the surface, so no painter may hold it.
    const bool painting = painter_ != nullptr;
    if (painting) {
        painter_->end();
    }
    const int fittedW = std::min(static_cast<int>(std::floor(w * fitScale_)), surface_.width());
    const int fittedH = std::min(static_cast<int>(std::floor(h * fitScale_)), surface_.height());
    // Source column of each surface column, computed once per image.
    std::vector<int> column(static_cast<std::size_t>(fittedW));
    for (int x = 0; x < fittedW; ++x) {
        column[static_cast<std::size_t>(x)] = std::min(static_cast<int>(x / fitScale_), w - 1) * 3;
    }
    const std::uint8_t* pixels = image.Pixels();
    for (int y = 0; y < fittedH; ++y) {
        const int sy = std::min(static_cast<int>(y / fitScale_), h - 1);
        const std::uint8_t* in = pixels + static_cast<std::size_t>(sy) * image.RowBytes();
        auto* out = reinterpret_cast<QRgb*>(surface_.scanLine(yOffset_ + y)) + xOffset_;
        for (int x = 0; x < fittedW; ++x) {
            const std::uint8_t* p = in + column[static_cast<std::size_t>(x)];
            out[x] = qRgb(p[2], p[1], p[0]);  // stored B G R
        }
    }
    if (painting) {
        painter_->begin(&surface_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setPen(pen_);
    }
    return 1;
}

void CResultDC::DrawBitmap(const QImage& bitmap) {
    if (surface_.isNull() || bitmap.isNull()) {
        return;
    }
    PaintScope painter(*this);
    painter->drawImage((surface_.width() - bitmap.width()) / 2,
                       (surface_.height() - bitmap.height()) / 2, bitmap);
}

int CResultDC::MapLength(int value, double scale) const {
    return static_cast<int>(std::floor(value * fitScale_ * scale));
}

int CResultDC::MapX(int value, double scale) const {
    return xOffset_ + MapLength(value, scale);
}

int CResultDC::MapY(int value, double scale) const {
    return yOffset_ + MapLength(value, scale);
}

void CResultDC::DrawRect(int left, int top, int right, int bottom, double scale) {
    if (surface_.isNull()) {
        return;
    }
    const int l = MapX(left, scale);
    const int t = MapY(top, scale);
    const int r = MapX(right, scale);
    const int b = MapY(bottom, scale);
    const QPoint corners[5] = {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}};
    PaintScope painter(*this);
    painter->drawPolyline(corners, 5);
}
