#pragma once

// A turning ring of dots that shows the window thread is alive while a long
// operation runs behind a modal dialog. It advances on a timer only while it
// is visible, so a hidden indicator costs nothing.

#include <QBasicTimer>
#include <QWidget>

class CBusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit CBusyIndicator(QWidget* parent = nullptr);

    // Steps drawn so far (one per timer tick); tests watch it advance.
    int Step() const { return step_; }
    QSize sizeHint() const override { return QSize(32, 32); }

    static constexpr int kIntervalMs = 80;
    static constexpr int kDots = 12;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QBasicTimer timer_;
    int step_ = 0;
};
