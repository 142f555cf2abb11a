#pragma once

// A number box that keeps its value inside a range while the user types.
// After every change of the text: an empty text becomes the minimum and a
// number above the maximum becomes the maximum at once; a number below the
// minimum is left, since the user may still be typing its next digit. When
// the box loses the focus a number below the minimum becomes the minimum
// too. The text is read as the settings store reads integers (leading blanks,
// a sign, digits up to the first other character; none gives 0), so "-"
// alone reads 0. Right-aligned.

#include <QLineEdit>

#include "settings/Settings.h"

class CRangeEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CRangeEdit(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    void SetRange(const CRange& range) { SetRange(range.min, range.max); }
    CRange Range() const { return range_; }
    // Shows the value as decimal text; it is not clamped, but the change
    // rule still brings a value above the maximum down to it.
    void SetInt(int value);
    // The text read as an integer, clamped to the range.
    int GetInt() const;
    // The text is not empty and its integer lies within the range.
    bool IsInRange() const;
    // Accept only the digits 0-9 (no sign).
    void SetDigitsOnly(bool digitsOnly);

    // The integer of a text by the settings store's rule.
    static int ReadInt(const QString& text);

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Correct(bool raiseToMinimum);

    CRange range_{0, 0};
    bool busy_ = false;
};
