#pragma once

// The read-only log text box. Text goes in as plain text only (never markup:
// module texts and user names pass through it), optionally with a character
// format, at the end or the start. A right click, a right press and release
// within 5 pixels of each other, is reported by rightClicked (posted, so the
// box finishes the click first); a drag further than that is a selection
// gesture and reports nothing. The menu key and Shift+F10 report a right
// click at the caret, so the log's menu is reachable without a mouse. The
// box shows no context menu of its own.

#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <optional>

class COrgRichEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kClickSlop = 5;  // pixels

    explicit COrgRichEdit(QWidget* parent = nullptr);

    // where = -1 appends, any other value inserts at the start. The text
    // gets format, else the stored default format when there is one. The
    // caret goes back to the insertion point.
    void InsertText(const QString& text, int where = -1,
                    const std::optional<QTextCharFormat>& format = std::nullopt);
    // Finds text as a whole word (case-sensitive), searching back from the
    // end, and deletes from there to the end; nothing when it is not found.
    void DeleteFromLast(const QString& text);
    void SetDefaultFormat(const QTextCharFormat& format);
    bool HasDefaultFormat() const { return defaultFormat_.has_value(); }

signals:
    // A right click at pos (viewport coordinates).
    void rightClicked(QPoint pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PostRightClick(QPoint pos);

    bool armed_ = false;
    QPoint pressPos_;
    std::optional<QTextCharFormat> defaultFormat_;
};
