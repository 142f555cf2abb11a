// The range rules of the number box.
#include "widgets/RangeEdit.h"

#include <QRegularExpressionValidator>
#include <algorithm>

#include "settings/IniFile.h"

CRangeEdit::CRangeEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::textChanged, this, [this] { Correct(false); });
}

int CRangeEdit::ReadInt(const QString& text) {
    return ParseIniInt(text.toStdString());
}

void CRangeEdit::SetRange(int minimum, int maximum) {
    range_ = CRange(minimum, maximum);
}

void CRangeEdit::SetInt(int value) {
    setText(QString::number(value));
}

int CRangeEdit::GetInt() const {
    const int value = ReadInt(text());
    // A range given upside down clamps to its minimum rather than failing.
    return std::max(range_.min, std::min(value, range_.max));
}

bool CRangeEdit::IsInRange() const {
    if (text().isEmpty()) {
        return false;
    }
    const int value = ReadInt(text());
    return value >= range_.min && value <= range_.max;
}

void CRangeEdit::SetDigitsOnly(bool digitsOnly) {
    if (digitsOnly) {
        setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    } else {
        setValidator(nullptr);
    }
}

void CRangeEdit::Correct(bool raiseToMinimum) {
    if (busy_ || IsInRange()) {
        return;
    }
    QString corrected;
    const int value = ReadInt(text());
    if (text().isEmpty()) {
        corrected = QString::number(range_.min);
    } else if (value > range_.max) {
        corrected = QString::number(range_.max);
    } else if (raiseToMinimum && value < range_.min) {
        corrected = QString::number(range_.min);
    } else {
        return;
    }
    busy_ = true;
    const int caret = cursorPosition();
    setText(corrected);
    setCursorPosition(std::min(caret, static_cast<int>(corrected.size())));
    busy_ = false;
}

void CRangeEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    Correct(true);
}
