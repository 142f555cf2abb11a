// Drawing of the bitmap-strip button.
#include "widgets/StateBmpButton.h"

#include "widgets/ButtonFaces.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

CStateBmpButton::CStateBmpButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

CStateBmpButton::CStateBmpButton(const QString& caption, QWidget* parent)
    : CStateBmpButton(parent) {
    setText(caption);
}

void CStateBmpButton::SetFace(const COrgBitmap& face) {
    face_ = face;
    updateGeometry();
    update();
}

void CStateBmpButton::SetLeftCap(const COrgBitmap& cap) {
    leftCap_ = cap;
    update();
}

void CStateBmpButton::SetRightCap(const COrgBitmap& cap) {
    rightCap_ = cap;
    update();
}

void CStateBmpButton::SetTransparentColor(int rgb) {
    transparentRgb_ = rgb < 0 ? -1 : (rgb & 0xFFFFFF);
    update();
}

void CStateBmpButton::SetTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

void CStateBmpButton::SetDisabledTextColor(const QColor& color) {
    disabledTextColor_ = color;
    update();
}

void CStateBmpButton::SetColumnCount(int count) {
    columns_ = std::max(1, count);
    updateGeometry();
    update();
}

void CStateBmpButton::SetColumn(int column) {
    column_ = column;
    update();
}

void CStateBmpButton::SetCaptionAlignment(Qt::Alignment alignment, bool multiLine) {
    alignment_ = alignment;
    multiLine_ = multiLine;
    update();
}

int CStateBmpButton::Row() const {
    if (!isEnabled()) {
        return 2;
    }
    return (isDown() || isChecked()) ? 1 : 0;
}

int CStateBmpButton::CapWidth(QSize capSize, int columns, int rectHeight) {
    const QRect frame = COrgBitmap::SourceFrame(capSize, columns, 0, 0);
    if (frame.height() <= 0) {
        return 0;
    }
    return static_cast<int>(static_cast<long long>(frame.width()) * rectHeight / frame.height());
}

QSize CStateBmpButton::sizeHint() const {
    if (face_.IsNull()) {
        return QSize(75, 23);
    }
    QSize frame = COrgBitmap::SourceFrame(face_.Size(), columns_, 0, 0).size();
    if (!text().isEmpty()) {
        // Room for the caption even when the face is smaller than it.
        const QSize caption = fontMetrics().size(multiLine_ ? 0 : Qt::TextSingleLine, text());
        frame = frame.expandedTo(caption + QSize(12, 6));
    }
    return frame;
}

void CStateBmpButton::paintEvent(QPaintEvent*) {
    if (face_.IsNull()) {
        return;
    }
    QPainter painter(this);
    const int row = Row();
    QRect rect = this->rect();
    if (!leftCap_.IsNull()) {
        const int width =
            std::min(CapWidth(leftCap_.Size(), columns_, rect.height()), rect.width());
        leftCap_.DrawFrame(painter, QRect(rect.left(), rect.top(), width, rect.height()), columns_,
                           column_, row, transparentRgb_);
        rect.setLeft(rect.left() + width);
    }
    if (!rightCap_.IsNull()) {
        const int width =
            std::min(CapWidth(rightCap_.Size(), columns_, rect.height()), rect.width());
        rightCap_.DrawFrame(painter,
                            QRect(rect.right() + 1 - width, rect.top(), width, rect.height()),
                            columns_, column_, row, transparentRgb_);
        rect.setRight(rect.right() - width);
    }
    face_.DrawFrame(painter, rect, columns_, column_, row, transparentRgb_);

    if (!text().isEmpty()) {
        QColor color;
        if (isEnabled()) {
            color = textColor_.value_or(palette().color(QPalette::Active, QPalette::ButtonText));
        } else {
            color = disabledTextColor_.value_or(
                palette().color(QPalette::Disabled, QPalette::ButtonText));
        }
        painter.setPen(color);
        int flags = static_cast<int>(alignment_ & Qt::AlignHorizontal_Mask);
        if (flags == 0) {
            flags = Qt::AlignHCenter;
        }
        QString caption = text();
        if (multiLine_) {
            flags |= Qt::AlignTop;
        } else {
            flags |= Qt::TextSingleLine;
            const Qt::Alignment vertical = alignment_ & Qt::AlignVertical_Mask;
            flags |= vertical == Qt::AlignTop || vertical == Qt::AlignBottom
                         ? static_cast<int>(vertical)
                         : static_cast<int>(Qt::AlignVCenter);
            caption.replace(QLatin1Char('\n'), QLatin1Char(' '));
        }
        flags |= Qt::TextShowMnemonic;
        painter.drawText(this->rect(), flags, caption);
    }

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = this->rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

bool CStateBmpButton::event(QEvent* event) {
    const bool handled = QAbstractButton::event(event);
    if (event->type() == QEvent::ToolTipChange) {
        UpdateAccessibleName();
    }
    return handled;
}

void CStateBmpButton::UpdateAccessibleName() {
    // A picture-only button is named by its tooltip, unless the owner named
    // it otherwise.
    if (!text().isEmpty()) {
        return;
    }
    if (accessibleName().isEmpty() || nameFromToolTip_) {
        setAccessibleName(toolTip());
        nameFromToolTip_ = true;
    }
}

CStateBmpButton* NewDialogButton(const QString& caption, const char* objectName, QWidget* parent) {
    auto* button = new CStateBmpButton(caption, parent);
    button->setObjectName(objectName);
    button->SetFace(ButtonFace(FaceId::kPushButton));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setMinimumWidth(88);
    return button;
}
