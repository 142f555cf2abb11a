#pragma once

// The pair of arrow buttons beside a number box: each press moves the box's
// value one step inside the box's range and writes it as plain integer text;
// the Up and Down keys in the box do the same.

#include <QWidget>

class CRangeEdit;
class QToolButton;

class CSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButton(CRangeEdit* buddy, QWidget* parent = nullptr);

    // One step up (+1) or down (-1), kept inside the buddy's range.
    void Step(int delta);
    CRangeEdit* Buddy() const { return buddy_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CRangeEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
};
