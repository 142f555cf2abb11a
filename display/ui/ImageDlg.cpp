// The image panel: frame packets in, the fitted image with its overlay out.
#include "display/ui/ImageDlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "base/ImgConv.h"
#include "display/Snapshot.h"
#include "display/ui/FunctionCaptions.h"
#include "widgets/ButtonFaces.h"
#include "widgets/StateBmpButton.h"

namespace {

const QColor kPanelGrey(128, 128, 128);

// The picture shown while a frame carries no image: a camera crossed out.
QImage NoImagePicture() {
    QImage picture(96, 72, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(72, 72, 72);
    p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(10, 20, 76, 44), 6, 6);
    p.drawRect(QRectF(34, 12, 28, 8));
    p.drawEllipse(QPointF(48, 42), 12, 12);
    p.setPen(QPen(QColor(160, 40, 40), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 66), QPointF(88, 8));
    return picture;
}

}  // namespace

CImageDlg::CImageDlg(QWidget* parent) : QWidget(parent), noImage_(NoImagePicture()) {
    setObjectName(QStringLiteral("imagePanel"));
    setAccessibleName(tr("Camera image"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    surface_.Create(kPanelSurfaceSide, kPanelSurfaceSide);
    // The toggle buttons (IDs 2000 to 2010) start on, disabled and hidden: a
    // frame enables those of the functions it requested.
    for (int i = 0; i < kToggleCount; ++i) {
        auto* button = new CStateBmpButton(FunctionCaption(i), this);
        button->SetFace(ButtonFace(FaceId::kPanelToggle));
        button->SetTransparentColor(0xFF00FF);
        button->setObjectName(QStringLiteral("displayToggle%1").arg(i));
        button->setAccessibleName(FunctionCaption(i));
        button->setCheckable(true);
        button->setChecked(true);
        button->setEnabled(false);
        button->hide();
        connect(button, &QAbstractButton::toggled, this, &CImageDlg::OnToggle);
        toggles_[static_cast<std::size_t>(i)] = button;
    }
}

CImageDlg::~CImageDlg() = default;

void CImageDlg::SetFrame(const FramePacketPtr& packet) {
    packet_ = packet;
    hasImage_ = false;
    if (packet && packet->Succeeded() && packet->displayImage) {
        const CImageData& source = packet->image;
        const int w = source.ImageWidth();
        const int h = source.ImageHeight();
        if (w > 0 && h > 0 && w <= source.Width() && h <= source.Height()) {
            image_.Init(w, h, kFormatRgb24, true);
            IMGCONVINFO out = image_.Info();
            hasImage_ =
                CImgConv(w, h, source.Format(), kFormatRgb24).Convert(source.Info(), &out, false) ==
                0;
            image_.SetImageSize(w, h);
        }
    }
    for (int i = 0; i < kToggleCount; ++i) {
        const bool used = packet && packet->functionFlags[i] != 0;
        QSignalBlocker block(toggles_[static_cast<std::size_t>(i)]);
        toggles_[static_cast<std::size_t>(i)]->setEnabled(used);
    }
    dirty_ = true;
    paintedFresh_ = true;
    update();
}

void CImageDlg::SetFullImageWidth(int width) {
    fullImageWidth_ = width > 0 ? width : kDefaultFullImageWidth;
    dirty_ = true;
    update();
}

void CImageDlg::SetUserNameLookup(UserNameLookup names) {
    surface_.SetUserNameLookup(std::move(names));
    dirty_ = true;
    update();
}

bool CImageDlg::DisplayFlag(int index) const {
    if (index < 0 || index >= kToggleCount) {
        return false;
    }
    const QAbstractButton* button = toggles_[static_cast<std::size_t>(index)];
    return button->isChecked() && button->isEnabled();
}

QAbstractButton* CImageDlg::ToggleButton(int index) const {
    return index >= 0 && index < kToggleCount ? toggles_[static_cast<std::size_t>(index)] : nullptr;
}

const QImage& CImageDlg::Surface() {
    if (dirty_) {
        Render();
    }
    return surface_.Surface();
}

QRect CImageDlg::TargetRect(const QSize& client) {
    const int h = client.height();
    const int side = h * 4 / 3;
    if (side <= client.width()) {
        // The middle 4:3 band of the square surface fills the height.
        return QRect((client.width() - side) / 2, -h / 6, side, side);
    }
    const int w = client.width();
    return QRect(0, (h - w) / 2, w, w);
}

void CImageDlg::SetPreferredHeight(int height) {
    preferredHeight_ = std::max(height, kPanelBandHeight);
    updateGeometry();
}

QSize CImageDlg::sizeHint() const {
    return QSize(preferredHeight_ * 4 / 3, preferredHeight_);
}

QSize CImageDlg::minimumSizeHint() const {
    return QSize(kPanelSurfaceSide / 2, kPanelBandHeight / 2);
}

void CImageDlg::Render() {
    std::uint8_t flags[kToggleCount];
    for (int i = 0; i < kToggleCount; ++i) {
        flags[i] = DisplayFlag(i) ? 1 : 0;
    }
    static const CFrameResult kNoResult;
    const CFrameResult& result = packet_ && packet_->Succeeded() ? packet_->result : kNoResult;
    RenderFrame(surface_, hasImage_ ? &image_ : nullptr, result, flags, fullImageWidth_, &noImage_);
    dirty_ = false;
}

void CImageDlg::OnToggle() {
    dirty_ = true;
    update();
}

void CImageDlg::paintEvent(QPaintEvent*) {
    if (dirty_) {
        Render();
    }
    QPainter painter(this);
    const QRect target = TargetRect(size());
    // Around the picture (a panel wider or taller than 4:3) the surface's grey.
    painter.fillRect(rect(), kPanelGrey);
    if (target.size() != surface_.Surface().size()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    }
    painter.drawImage(target, surface_.Surface());
    painter.end();
    if (paintedFresh_) {
        paintedFresh_ = false;
        emit FramePainted(packet_ ? packet_->sequence : 0);
    }
}

void CImageDlg::keyPressEvent(QKeyEvent* event) {
    if (isWindow() && isFullScreen()) {
        emit LeaveFullScreenRequested();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CImageDlg::closeEvent(QCloseEvent* event) {
    if (isWindow() && isFullScreen()) {
        // Closing the full-screen picture gives it back to the page.
        event->ignore();
        emit LeaveFullScreenRequested();
        return;
    }
    QWidget::closeEvent(event);
}
