// The log text box: plain-text insertion and the right-click rule.
#include "widgets/OrgRichEdit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <cstdlib>

COrgRichEdit::COrgRichEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void COrgRichEdit::SetDefaultFormat(const QTextCharFormat& format) {
    defaultFormat_ = format;
}

void COrgRichEdit::InsertText(const QString& text, int where,
                              const std::optional<QTextCharFormat>& format) {
    QTextCursor cursor(document());
    cursor.movePosition(where == -1 ? QTextCursor::End : QTextCursor::Start);
    const int insertionPoint = cursor.position();
    // insertText takes the text as it is: no markup is interpreted.
    if (format) {
        cursor.insertText(text, *format);
    } else if (defaultFormat_) {
        cursor.insertText(text, *defaultFormat_);
    } else {
        cursor.insertText(text);
    }
    QTextCursor caret(document());
    caret.setPosition(std::min(insertionPoint, document()->characterCount() - 1));
    setTextCursor(caret);
    viewport()->update();
}

void COrgRichEdit::DeleteFromLast(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    QTextCursor found =
        document()->find(text, end,
                         QTextDocument::FindBackward | QTextDocument::FindWholeWords |
                             QTextDocument::FindCaseSensitively);
    if (found.isNull()) {
        return;
    }
    found.setPosition(found.selectionStart());
    found.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    found.removeSelectedText();
}

void COrgRichEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        pressPos_ = event->position().toPoint();
        armed_ = true;
    }
    QPlainTextEdit::mousePressEvent(event);
}

void COrgRichEdit::mouseMoveEvent(QMouseEvent* event) {
    if (armed_) {
        const QPoint delta = event->position().toPoint() - pressPos_;
        if (std::abs(delta.x()) > kClickSlop || std::abs(delta.y()) > kClickSlop) {
            armed_ = false;
        }
    }
    QPlainTextEdit::mouseMoveEvent(event);
}

void COrgRichEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && armed_) {
        armed_ = false;
        PostRightClick(event->position().toPoint());
    }
    QPlainTextEdit::mouseReleaseEvent(event);
}

void COrgRichEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        PostRightClick(cursorRect().center());
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void COrgRichEdit::PostRightClick(QPoint pos) {
    QMetaObject::invokeMethod(
        this, [this, pos] { emit rightClicked(pos); }, Qt::QueuedConnection);
}
