// The busy indicator: painted dots, timer while visible.
#include "widgets/BusyIndicator.h"

#include <QPainter>
#include <QTimerEvent>
#include <QtMath>
#include <algorithm>

CBusyIndicator::CBusyIndicator(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(tr("Busy"));
}

void CBusyIndicator::showEvent(QShowEvent*) {
    timer_.start(kIntervalMs, this);
}

void CBusyIndicator::hideEvent(QHideEvent*) {
    timer_.stop();
}

void CBusyIndicator::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    ++step_;
    update();
}

void CBusyIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const QPointF centre = QRectF(rect()).center();
    const qreal dot = side / 8;
    const qreal radius = side / 2 - dot;
    QColor color = palette().color(QPalette::WindowText);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < kDots; ++i) {
        // The leading dot is darkest; the ones behind it fade out.
        const int age = ((step_ - i) % kDots + kDots) % kDots;
        color.setAlphaF(1.0 - 0.75 * age / (kDots - 1));
        p.setBrush(color);
        const qreal a = 2 * M_PI * i / kDots - M_PI / 2;
        p.drawEllipse(centre + QPointF(radius * qCos(a), radius * qSin(a)), dot / 2 + 0.5,
                      dot / 2 + 0.5);
    }
}
