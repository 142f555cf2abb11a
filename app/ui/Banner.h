#pragma once

// The banner at the top right of the main window. A click on it (press and
// release without moving more than 5 pixels in x or in y) asks for the
// version box; a drag is no click.

#include <QPixmap>
#include <QPoint>
#include <QWidget>

class CBanner : public QWidget {
    Q_OBJECT
public:
    explicit CBanner(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    static constexpr int kClickSlop = 5;

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
    QPoint pressPoint_;
};
