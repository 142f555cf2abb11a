// The banner, drawn in code so that it is sharp at any scale.

#include "app/ui/Banner.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

CBanner::CBanner(QWidget* parent) : QWidget(parent) {
    setObjectName("banner");
    setAccessibleName(tr("Version information"));
    setToolTip(tr("Version information"));
    setCursor(Qt::PointingHandCursor);
}

QSize CBanner::sizeHint() const {
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance("Kyto Demo") * 2 + 48, metrics.height() * 2 + 8);
}

void CBanner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    QLinearGradient fill(area.topLeft(), area.topRight());
    fill.setColorAt(0, QColor(0x1F, 0x4E, 0x79));
    fill.setColorAt(1, QColor(0x2E, 0x86, 0xAB));
    QPainterPath shape;
    shape.addRoundedRect(area, area.height() / 4, area.height() / 4);
    p.fillPath(shape, fill);

    // A small eye mark: the module looks.
    const qreal h = area.height();
    const QRectF eye(area.left() + h * 0.3, area.top() + h * 0.3, h * 0.8, h * 0.4);
    p.setPen(QPen(Qt::white, qMax(1.5, h / 16)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(eye);
    p.setBrush(Qt::white);
    p.drawEllipse(eye.center(), h * 0.1, h * 0.1);

    QFont title = font();
    title.setBold(true);
    title.setPixelSize(qMax(10, static_cast<int>(h * 0.42)));
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(area.adjusted(h * 1.3, 0, -h * 0.3, 0), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Kyto Demo"));
}

void CBanner::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        pressPoint_ = event->position().toPoint();
    }
    QWidget::mousePressEvent(event);
}

void CBanner::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_) {
        const QPoint d = event->position().toPoint() - pressPoint_;
        if (qAbs(d.x()) > kClickSlop || qAbs(d.y()) > kClickSlop) {
            pressed_ = false;
        }
    }
    QWidget::mouseMoveEvent(event);
}

void CBanner::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        // The release point counts too: a move may arrive only with it.
        const QPoint d = event->position().toPoint() - pressPoint_;
        if (qAbs(d.x()) <= kClickSlop && qAbs(d.y()) <= kClickSlop) {
            emit Clicked();
        }
    }
    QWidget::mouseReleaseEvent(event);
}
