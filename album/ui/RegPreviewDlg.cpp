// The live preview: the module's picture scaled into its area.

#include "album/ui/RegPreviewDlg.h"

#include <QPainter>

#include "base/ImageData.h"

namespace {

constexpr int kArea = 160;
const QRect kAreaRect(16, 8, kArea, kArea);

}  // namespace

QImage ToQImage(const CImageData& image) {
    if (image.Width() <= 0 || image.Height() <= 0 || image.Size() == 0) {
        return {};
    }
    QImage::Format format = QImage::Format_Invalid;
    switch (image.Format()) {
        case kFormatGrey8:
            format = QImage::Format_Grayscale8;
            break;
        case kFormatRgb24:
            format = QImage::Format_BGR888;
            break;
        default:
            return {};
    }
    const std::size_t needed =
        static_cast<std::size_t>(image.RowBytes()) * static_cast<std::size_t>(image.Height());
    if (image.Size() < needed) {
        return {};
    }
    return QImage(image.Pixels(), image.Width(), image.Height(), image.RowBytes(), format).copy();
}

CRegPreviewDlg::CRegPreviewDlg(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("regPreviewDlg"));
    setAccessibleName(tr("Live image"));
    setFixedSize(200, 208);
    Clear();
}

void CRegPreviewDlg::Clear() {
    shown_ = QImage(kArea, kArea, QImage::Format_RGB32);
    shown_.fill(QColor(128, 128, 128));
    update();
}

void CRegPreviewDlg::SetImage(const CImageData& image) {
    const QImage picture = ToQImage(image);
    if (picture.isNull()) {
        return;
    }
    // The picture keeps its proportions inside the square area.
    QImage area(kArea, kArea, QImage::Format_RGB32);
    area.fill(QColor(128, 128, 128));
    const QImage scaled =
        picture.scaled(kArea, kArea, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&area);
    painter.drawImage((kArea - scaled.width()) / 2, (kArea - scaled.height()) / 2, scaled);
    painter.end();
    shown_ = area;
    ++images_;
    update();
}

void CRegPreviewDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    painter.drawImage(kAreaRect, shown_);
}
