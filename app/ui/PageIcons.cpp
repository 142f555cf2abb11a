// Button pictures of the execute page, as vector drawings.
#include "app/ui/PageIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace {

constexpr int kSide = 32;  // logical size of a picture
const QColor kInk(40, 64, 96);
const QColor kAccent(40, 150, 80);

void Triangle(QPainter& p, const QRectF& box, const QColor& colour) {
    QPainterPath path;
    path.moveTo(box.left(), box.top());
    path.lineTo(box.right(), box.center().y());
    path.lineTo(box.left(), box.bottom());
    path.closeSubpath();
    p.fillPath(path, colour);
}

void Draw(QPainter& p, PageIcon icon) {
    p.setRenderHint(QPainter::Antialiasing);
    switch (icon) {
        case PageIcon::kExecuteOnce:
            Triangle(p, QRectF(10, 6, 16, 20), kAccent);
            break;
        case PageIcon::kExecuteContinuous: {
            p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(QRectF(4, 4, 24, 24), 100 * 16, 300 * 16);
            // Arrow head at the start of the arc, pointing along it.
            QPainterPath head;
            head.moveTo(12.5, 2.0);
            head.lineTo(18.0, 6.0);
            head.lineTo(12.0, 9.5);
            head.closeSubpath();
            p.fillPath(head, kInk);
            Triangle(p, QRectF(13, 10, 9, 12), kAccent);
            break;
        }
        case PageIcon::kSettings: {
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            const QPointF c(16, 16);
            for (int i = 0; i < 8; ++i) {
                p.save();
                p.translate(c);
                p.rotate(i * 45.0);
                p.drawRoundedRect(QRectF(-2.5, -14, 5, 8), 1, 1);
                p.restore();
            }
            p.drawEllipse(c, 9.5, 9.5);
            p.setBrush(Qt::white);
            p.drawEllipse(c, 4, 4);
            break;
        }
        case PageIcon::kFullScreen: {
            p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            const double a = 5, b = 12, e = 27, f = 20;
            p.drawPolyline(QPolygonF({QPointF(a, b), QPointF(a, a), QPointF(b, a)}));
            p.drawPolyline(QPolygonF({QPointF(f, a), QPointF(e, a), QPointF(e, b)}));
            p.drawPolyline(QPolygonF({QPointF(e, f), QPointF(e, e), QPointF(f, e)}));
            p.drawPolyline(QPolygonF({QPointF(b, e), QPointF(a, e), QPointF(a, f)}));
            break;
        }
    }
}

QPixmap Render(PageIcon icon, int ratio) {
    QPixmap pixmap(kSide * ratio, kSide * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    Draw(p, icon);
    return pixmap;
}

}  // namespace

QIcon MakePageIcon(PageIcon icon) {
    QIcon result;
    result.addPixmap(Render(icon, 1));
    result.addPixmap(Render(icon, 2));
    return result;
}
