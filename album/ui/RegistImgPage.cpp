// The picture strip: the drawn surface, its selection and the two buttons.

#include "album/ui/RegistImgPage.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/StateBmpButton.h"

namespace {

QRect CellRect(int cell) {
    return QRect(8 + CRegistImgPage::kCellPitch * cell, 24, CRegistImgPage::kCellSize,
                 CRegistImgPage::kCellSize);
}

}  // namespace

// The drawn strip: white, the pictures in their cells, the selected one
// under a half-transparent blue block.
class CStripSurface : public QWidget {
public:
    explicit CStripSurface(CRegistImgPage& page) : QWidget(&page), page_(page) {
        setFixedSize(CRegistImgPage::kSurfaceWidth, CRegistImgPage::kSurfaceHeight);
        setObjectName(QStringLiteral("pictureStrip"));
        setAccessibleName(tr("Pictures"));
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const int count = std::min(page_.Count(), CRegistImgPage::kCells);
        for (int k = 0; k < count; ++k) {
            painter.drawImage(CellRect(k), page_.pictures_[static_cast<std::size_t>(k)].picture);
        }
        if (page_.selected_ >= 0) {
            painter.fillRect(CellRect(page_.selected_), QColor(49, 106, 197, 128));
        }
        if (hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && page_.Count() > 0) {
            page_.SelectCell(
                CRegistImgPage::CellAt(event->position().toPoint().x(), page_.Count()));
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        // The keyboard moves the selection along the pictures.
        const int count = page_.Count();
        if (count > 0 && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
            const int step = event->key() == Qt::Key_Left ? -1 : 1;
            const int from = page_.selected_ < 0 ? (step < 0 ? count : -1) : page_.selected_;
            page_.SelectCell(std::clamp(from + step, 0, count - 1));
            return;
        }
        QWidget::keyPressEvent(event);
    }

private:
    CRegistImgPage& page_;
};

CRegistImgPage::CRegistImgPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("registImgPage"));
    surface_ = new CStripSurface(*this);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("pictureScroll"));
    scroll_->setWidget(surface_);
    scroll_->setFrameShape(QFrame::Panel);
    scroll_->setFrameShadow(QFrame::Sunken);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->horizontalScrollBar()->setSingleStep(4);
    scroll_->horizontalScrollBar()->setAccessibleName(tr("Pictures scroll bar"));
    scroll_->setMinimumHeight(kSurfaceHeight + 4);
    scroll_->setMaximumHeight(kSurfaceHeight + 4 +
                              scroll_->horizontalScrollBar()->sizeHint().height());

    delete_ = NewDialogButton(tr("Delete"), "deletePictureButton", this);
    deleteAll_ = NewDialogButton(tr("Delete All"), "deleteAllPicturesButton", this);
    connect(delete_, &QAbstractButton::clicked, this, [this] { emit DeleteRequested(kDelete); });
    connect(deleteAll_, &QAbstractButton::clicked, this,
            [this] { emit DeleteRequested(kDeleteAll); });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(delete_);
    buttons->addWidget(deleteAll_);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_, 1);
    layout->addLayout(buttons);
    UpdateButtons();
}

int CRegistImgPage::CellAt(int x, int count) {
    for (int k = 0; k < std::min(count, kCells); ++k) {
        const QRect cell = CellRect(k);
        if (x >= cell.left() && x <= cell.right()) {
            return k;
        }
    }
    return -1;
}

void CRegistImgPage::SetPictures(std::vector<StripPicture> pictures) {
    if (pictures.size() > static_cast<std::size_t>(kCells)) {
        pictures.resize(kCells);
    }
    pictures_ = std::move(pictures);
    selected_ = -1;
    scroll_->horizontalScrollBar()->setValue(0);
    surface_->update();
    UpdateButtons();
}

void CRegistImgPage::Reset() {
    SetPictures({});
}

void CRegistImgPage::SelectCell(int cell) {
    selected_ = cell >= 0 && cell < Count() ? cell : -1;
    if (selected_ >= 0) {
        scroll_->ensureVisible(CellRect(selected_).center().x(), CellRect(selected_).center().y(),
                               kCellSize / 2 + 8, 0);
    }
    surface_->update();
    UpdateButtons();
}

int CRegistImgPage::SelectedDataNumber() const {
    return selected_ >= 0 ? pictures_[static_cast<std::size_t>(selected_)].dataNumber : -1;
}

void CRegistImgPage::UpdateButtons() {
    delete_->setEnabled(selected_ >= 0);
    deleteAll_->setEnabled(!pictures_.empty());
}
