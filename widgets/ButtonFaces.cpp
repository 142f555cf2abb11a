// Generated button faces: one rounded face style with state colours, and the
// pictures of the picture-only buttons drawn over it.
#include "widgets/ButtonFaces.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QtMath>
#include <algorithm>

namespace {

struct StateColors {
    QColor top, bottom, border, glyph;
};

StateColors ColorsForRow(int row) {
    switch (row) {
        case 1:  // pressed or checked
            return {QColor(0xd9, 0xe7, 0xfc), QColor(0xb9, 0xd2, 0xf7), QColor(0x2f, 0x6f, 0xd6),
                    QColor(0x1b, 0x4f, 0xa8)};
        case 2:  // disabled
            return {QColor(0xf3, 0xf3, 0xf3), QColor(0xec, 0xec, 0xec), QColor(0xc9, 0xc9, 0xc9),
                    QColor(0xb0, 0xb0, 0xb0)};
        default:
            return {QColor(0xfd, 0xfd, 0xfd), QColor(0xe4, 0xe4, 0xe4), QColor(0x98, 0x98, 0x98),
                    QColor(0x33, 0x33, 0x33)};
    }
}

// The rounded face every button shares; returns the colours of the row.
StateColors DrawBase(QPainter& p, const QRectF& frame, int row) {
    const StateColors c = ColorsForRow(row);
    const QRectF r = frame.adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min<qreal>(4.0, r.height() / 4.0);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, c.top);
    fill.setColorAt(1, c.bottom);
    p.setPen(QPen(c.border, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
    return c;
}

void PushButton(QPainter& p, const QRectF& frame, int row, int) {
    DrawBase(p, frame, row);
}

// The on state is also shown by a bar at the left edge, so it does not rely
// on the fill colour alone; the bar stays clear of a centred caption.
void Toggle(QPainter& p, const QRectF& frame, int row, int) {
    DrawBase(p, frame, row);
    const qreal width = std::max<qreal>(3.0, frame.height() / 8.0);
    const qreal inset = std::max<qreal>(3.0, frame.height() / 6.0);
    const QRectF bar(frame.left() + 3.0, frame.top() + inset, width, frame.height() - 2 * inset);
    QColor color = row == 1 ? QColor(0x22, 0xa5, 0x3a) : QColor(0xc8, 0xc8, 0xc8);
    if (row == 2) {
        color = QColor(0xe2, 0xe2, 0xe2);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(bar, width / 2, width / 2);
}

void Tab(QPainter& p, const QRectF& frame, int row, int column) {
    const bool selected = column == 1;
    const QRectF r = frame.adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill = selected ? QColor(0xff, 0xff, 0xff) : QColor(0xe6, 0xe6, 0xe6);
    if (row == 1) {
        fill = fill.darker(108);
    } else if (row == 2) {
        fill = QColor(0xf0, 0xf0, 0xf0);
    }
    const qreal radius = std::min<qreal>(5.0, r.height() / 4.0);
    QPainterPath path;
    path.moveTo(r.bottomLeft());
    path.lineTo(r.left(), r.top() + radius);
    path.quadTo(r.topLeft(), QPointF(r.left() + radius, r.top()));
    path.lineTo(r.right() - radius, r.top());
    path.quadTo(r.topRight(), QPointF(r.right(), r.top() + radius));
    path.lineTo(r.bottomRight());
    p.setPen(QPen(row == 2 ? QColor(0xcc, 0xcc, 0xcc) : QColor(0x9a, 0x9a, 0x9a), 1.0));
    p.setBrush(fill);
    p.drawPath(path);
    if (selected && row != 2) {
        const qreal bar = std::max<qreal>(2.0, r.height() / 10.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2f, 0x6f, 0xd6));
        p.drawRect(QRectF(r.left() + radius, r.top(), r.width() - 2 * radius, bar));
    }
}

// The square the pictures are drawn in: centred, 60 % of the shorter side.
QRectF GlyphBox(const QRectF& frame) {
    const qreal side = std::min(frame.width(), frame.height()) * 0.6;
    return QRectF(frame.center().x() - side / 2, frame.center().y() - side / 2, side, side);
}

void PlayTriangle(QPainter& p, const QRectF& box, const QColor& color) {
    QPainterPath path;
    path.moveTo(box.left() + box.width() * 0.2, box.top());
    path.lineTo(box.right() - box.width() * 0.05, box.center().y());
    path.lineTo(box.left() + box.width() * 0.2, box.bottom());
    path.closeSubpath();
    p.setPen(QPen(color, box.width() / 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(color);
    p.drawPath(path);
}

void ExecuteOnce(QPainter& p, const QRectF& frame, int row, int) {
    const StateColors c = DrawBase(p, frame, row);
    PlayTriangle(p, GlyphBox(frame), c.glyph);
}

void ExecuteContinuously(QPainter& p, const QRectF& frame, int row, int) {
    const StateColors c = DrawBase(p, frame, row);
    const QRectF box = GlyphBox(frame);
    const qreal pen = box.width() / 10;
    // A circular arrow around a small play triangle.
    const QRectF ring = box.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    p.setPen(QPen(c.glyph, pen, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 100 * 16, 290 * 16);
    const qreal angle = qDegreesToRadians(100.0);
    const QPointF tip(ring.center().x() + ring.width() / 2 * qCos(angle),
                      ring.center().y() - ring.height() / 2 * qSin(angle));
    const qreal head = box.width() * 0.22;
    QPainterPath arrow;
    arrow.moveTo(tip + QPointF(head * 0.9, 0));
    arrow.lineTo(tip + QPointF(-head * 0.2, -head * 0.65));
    arrow.lineTo(tip + QPointF(-head * 0.2, head * 0.65));
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c.glyph);
    p.drawPath(arrow);
    const qreal inner = box.width() * 0.42;
    PlayTriangle(p,
                 QRectF(box.center().x() - inner / 2, box.center().y() - inner / 2, inner, inner),
                 c.glyph);
}

void Settings(QPainter& p, const QRectF& frame, int row, int) {
    const StateColors c = DrawBase(p, frame, row);
    const QRectF box = GlyphBox(frame);
    const QPointF centre = box.center();
    const qreal outer = box.width() / 2;
    const qreal rootR = outer * 0.72;
    QPainterPath gear;
    constexpr int kTeeth = 8;
    for (int i = 0; i < kTeeth; ++i) {
        const qreal a = 2 * M_PI * i / kTeeth;
        const qreal half = M_PI / kTeeth * 0.45;
        const QPointF points[4] = {
            centre + QPointF(rootR * qCos(a - half * 1.5), rootR * qSin(a - half * 1.5)),
            centre + QPointF(outer * qCos(a - half), outer * qSin(a - half)),
            centre + QPointF(outer * qCos(a + half), outer * qSin(a + half)),
            centre + QPointF(rootR * qCos(a + half * 1.5), rootR * qSin(a + half * 1.5)),
        };
        QPainterPath tooth;
        tooth.addPolygon(QPolygonF(QList<QPointF>(points, points + 4)));
        tooth.closeSubpath();
        gear = gear.united(tooth);
    }
    QPainterPath body;
    body.addEllipse(centre, rootR * 1.02, rootR * 1.02);
    gear = gear.united(body);
    QPainterPath hole;
    hole.addEllipse(centre, outer * 0.3, outer * 0.3);
    gear = gear.subtracted(hole);
    p.setPen(Qt::NoPen);
    p.setBrush(c.glyph);
    p.drawPath(gear);
}

void FullScreen(QPainter& p, const QRectF& frame, int row, int) {
    const StateColors c = DrawBase(p, frame, row);
    const QRectF box = GlyphBox(frame);
    const qreal leg = box.width() * 0.34;
    p.setPen(QPen(c.glyph, box.width() / 9, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    const QPointF corners[4] = {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()};
    const QPointF dirs[4] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    for (int i = 0; i < 4; ++i) {
        const QPointF k = corners[i];
        const QPointF polyline[3] = {k + QPointF(0, dirs[i].y() * leg), k,
                                     k + QPointF(dirs[i].x() * leg, 0)};
        p.drawPolyline(polyline, 3);
    }
}

struct FaceRecipe {
    FaceId id;
    QSize size;  // the whole strip at 1×
    int columns;
    COrgBitmap::FramePainter painter;
};

const FaceRecipe* FindRecipe(int resourceId) {
    static const FaceRecipe kRecipes[] = {
        {FaceId::kPushButton, {88, 24 * 4}, 1, PushButton},
        {FaceId::kFunctionToggle, {96, 24 * 4}, 1, Toggle},
        {FaceId::kPanelToggle, {96, 24 * 4}, 1, Toggle},
        {FaceId::kTab, {2 * 112, 30 * 4}, 2, Tab},
        {FaceId::kExecuteOnce, {40, 40 * 4}, 1, ExecuteOnce},
        {FaceId::kExecuteContinuously, {40, 40 * 4}, 1, ExecuteContinuously},
        {FaceId::kSettings, {40, 40 * 4}, 1, Settings},
        {FaceId::kFullScreen, {40, 40 * 4}, 1, FullScreen},
    };
    for (const FaceRecipe& recipe : kRecipes) {
        if (static_cast<int>(recipe.id) == resourceId) {
            return &recipe;
        }
    }
    return nullptr;
}

}  // namespace

COrgBitmap ButtonFace(int resourceId) {
    const FaceRecipe* recipe = FindRecipe(resourceId);
    if (!recipe) {
        return {};
    }
    return COrgBitmap::Generated(recipe->size, recipe->columns, recipe->painter);
}

COrgBitmap ButtonFace(FaceId id) {
    return ButtonFace(static_cast<int>(id));
}
