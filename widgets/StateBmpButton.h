#pragma once

// A push button (or, checkable, a two-state button) whose look comes from
// bitmap strips (widgets/OrgBitmap.h): the face stretched over the button,
// optional left and right caps at its ends keeping their proportions, and
// the caption drawn over them. The row follows the state (2 disabled, else 1
// while pressed or checked, else 0); the column is a selection the owner sets
// (the tab buttons use columns 1 and 0 of a two-column face). Without a face
// the button draws nothing, not even its caption. It is a QAbstractButton,
// so focus, keyboard activation, toggled() and accessibility work as for any
// button; a button without caption takes its accessible name from its
// tooltip.

#include <QAbstractButton>
#include <QColor>
#include <optional>

#include "widgets/OrgBitmap.h"

class CStateBmpButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CStateBmpButton(QWidget* parent = nullptr);
    CStateBmpButton(const QString& caption, QWidget* parent = nullptr);

    void SetFace(const COrgBitmap& face);
    void SetLeftCap(const COrgBitmap& cap);
    void SetRightCap(const COrgBitmap& cap);
    const COrgBitmap& Face() const { return face_; }
    // 0xRRGGBB whose pixels of raster strips are not drawn; -1 draws all.
    void SetTransparentColor(int rgb);
    int TransparentColor() const { return transparentRgb_; }
    // Caption colours; unset ones follow the palette (button text, and the
    // disabled button text).
    void SetTextColor(const QColor& color);
    void SetDisabledTextColor(const QColor& color);
    // Columns the strips are divided into (at least 1) and the one drawn.
    void SetColumnCount(int count);
    int ColumnCount() const { return columns_; }
    void SetColumn(int column);
    int Column() const { return column_; }
    // Caption placement: horizontal left/right/centre, vertical top/bottom/
    // centre. multiLine keeps the caption's own line breaks and starts at
    // the top; otherwise it is one line.
    void SetCaptionAlignment(Qt::Alignment alignment, bool multiLine = false);

    // The row drawn in the current state: 2 disabled, 1 pressed, 0 normal.
    int Row() const;
    // Where a cap of this bitmap size goes at one end of rect: its frame
    // height is the rect's height and its width keeps the frame's
    // proportions (frame width × rect height / frame height, truncated).
    static int CapWidth(QSize capSize, int columns, int rectHeight);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void UpdateAccessibleName();

    COrgBitmap face_;
    COrgBitmap leftCap_;
    COrgBitmap rightCap_;
    int transparentRgb_ = -1;
    std::optional<QColor> textColor_;
    std::optional<QColor> disabledTextColor_;
    int columns_ = 1;
    int column_ = 0;
    Qt::Alignment alignment_ = Qt::AlignCenter;
    bool multiLine_ = false;
    bool nameFromToolTip_ = false;
};

// A dialog's text button (OK, Cancel, Reset values…): the push-button face,
// reachable by Tab and by click, and wide enough for the shortest captions
// to line up.
CStateBmpButton* NewDialogButton(const QString& caption, const char* objectName, QWidget* parent);
