#include "display/KytoResultDC.h"

#include <QGuiApplication>
#include <QString>
#include <algorithm>
#include <cmath>

#include "display/OverlayGeometry.h"
#include "settings/Settings.h"

namespace {

// The label background: black (or the stabilising back colour) laid over the
// picture with one constant alpha.
constexpr int kLabelAlpha = 160;
// Bound of the label text cache; it starts afresh when full.
constexpr std::size_t kMaxCachedTexts = 1024;

QPen SolidPen(int r, int g, int b) {
    QPen pen(QColor(r, g, b), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    return pen;
}

}  // namespace

CKytoResultDC::~CKytoResultDC() {
    CKytoResultDC::Release();
}

int CKytoResultDC::Create(int width, int height) {
    if (CResultDC::Create(width, height) != 1) {
        return 0;
    }
    bodyPen_ = SolidPen(255, 0, 0);
    handPen_ = SolidPen(0, 255, 255);
    facePen_ = SolidPen(0, 255, 0);
    outlinePen_ = SolidPen(255, 255, 255);
    directionXPen_ = SolidPen(255, 255, 0);
    directionYPen_ = SolidPen(0, 255, 255);
    directionZPen_ = SolidPen(255, 0, 255);
    gazePen_ = SolidPen(255, 255, 0);
    SetStyle(ReadOverlayStyle(kDebugIni));
    return 1;
}

void CKytoResultDC::Release() {
    texts_.clear();
    metrics_.reset();
    CResultDC::Release();
}

void CKytoResultDC::SetStyle(const OverlayStyle& style) {
    style_ = style;
    font_ = MakeLabelFont(style.fontWidth, style.fontHeight);
    metrics_.emplace(font_);
    texts_.clear();
}

const CKytoResultDC::CachedText& CKytoResultDC::Text(const std::string& text) {
    auto found = texts_.find(text);
    if (found != texts_.end()) {
        return found->second;
    }
    CachedText cached;
    const QString qtext = QString::fromStdString(text);
    cached.text.setText(qtext);
    cached.text.setTextFormat(Qt::PlainText);
    cached.text.setPerformanceHint(QStaticText::AggressiveCaching);
    cached.text.prepare(QTransform(), font_);
    cached.width = metrics_->horizontalAdvance(qtext);
    return texts_.emplace(text, std::move(cached)).first->second;
}

QFont CKytoResultDC::MakeLabelFont(int width, int height) {
    QFont font = QGuiApplication::font();
    font.setStyleStrategy(QFont::PreferAntialias);
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        // A cell height includes the leading above the characters: shrink
        // the character size until the line height matches.
        font.setPixelSize(height);
        const int cell = QFontMetrics(font).height();
        if (cell > height) {
            font.setPixelSize(std::max(1, height * height / cell));
        }
    }
    if (width != 0) {
        const int average = QFontMetrics(font).averageCharWidth();
        if (average > 0) {
            font.setStretch(std::clamp(std::abs(width) * 100 / average, 1, 4000));
        }
    }
    return font;
}

void CKytoResultDC::DrawResults(const std::uint8_t flags[11], double scale,
                                const CFrameResult& result) {
    if (!IsCreated() || flags == nullptr) {
        return;
    }
    PaintScope painter(*this);
    painter->setFont(font_);

    const struct {
        int flag;
        const QPen* pen;
        const std::vector<CKytoDetectRes>* list;
    } detections[] = {{kShowBody, &bodyPen_, &result.bodies},
                      {kShowHand, &handPen_, &result.hands}};
    for (const auto& kind : detections) {
        if (!flags[kind.flag]) {
            continue;
        }
        SetPen(*kind.pen);
        for (const CKytoDetectRes& d : *kind.list) {
            int l, t, r, b;
            GetRect(d, l, t, r, b);
            if (!(l == -1 && t == -1 && r == -1 && b == -1)) {
                DrawRect(l, t, r, b, scale);
            }
        }
    }

    for (const FaceResult& face : result.faces) {
        FaceBox box{};
        GetRect(face.detect, box.left, box.top, box.right, box.bottom);
        box.size = face.detect.size;
        const bool hasRect =
            !(box.left == -1 && box.top == -1 && box.right == -1 && box.bottom == -1);
        if (hasRect) {
            if (flags[kShowFace]) {
                SetPen(facePen_);
                DrawRect(box.left, box.top, box.right, box.bottom, scale);
            }
            if (flags[kShowDirection] && face.direction.IsValid()) {
                DrawDirection(face, scale);
            }
            if (flags[kShowGaze] && face.gaze.IsValid()) {
                DrawGaze(face, box, scale);
            }
            if (flags[kShowBlink] && face.blink.IsValid()) {
                DrawBlink(face, box, scale);
            }
        }
        const std::vector<OverlayLabel> labels = BuildFaceLabels(face, flags, style_, names_);
        if (!labels.empty()) {
            DrawLabels(labels, hasRect ? MapX(box.left, scale) : -1,
                       hasRect ? MapY(box.top, scale) : -1);
        }
    }
}

void CKytoResultDC::DrawDirection(const FaceResult& face, double scale) {
    const QPoint centre(MapX(face.detect.x, scale), MapY(face.detect.y, scale));
    const int length = MapLength(face.detect.size, scale) / 3;
    const DirectionAxes axes =
        ComputeDirectionAxes(length, face.direction.yaw, face.direction.pitch, face.direction.roll);
    const struct {
        const QPen* pen;
        AxisVector v;
    } lines[] = {
        {&directionXPen_, axes.right}, {&directionYPen_, axes.up}, {&directionZPen_, axes.front}};
    PaintScope painter(*this);
    for (const auto& line : lines) {
        SetPen(*line.pen);
        painter->drawLine(centre, QPoint(centre.x() + line.v.x, centre.y() - line.v.y));
    }
}

void CKytoResultDC::DrawGaze(const FaceResult& face, const FaceBox& box, double scale) {
    if (face.gaze.yaw == kNoEstimate || face.gaze.pitch == kNoEstimate) {
        return;
    }
    const int eyeY = MapY(box.top + box.size / 3, scale);
    const QPoint eyes[2] = {{MapX(box.left + box.size / 4, scale), eyeY},
                            {MapX(box.right - box.size / 4, scale), eyeY}};
    const int length = MapLength(box.size, scale) * 2 / 3;
    const AxisVector beam = ComputeDirectionAxes(length, face.gaze.yaw, face.gaze.pitch, 0).front;

    PaintScope painter(*this);
    SetPen(gazePen_);
    for (const QPoint& eye : eyes) {
        const QPoint tip(eye.x() + beam.x, eye.y() - beam.y);
        painter->drawLine(eye, tip);
        // The tip fans out over a 4 × 4 square around the eye, so the beam
        // reads as a narrow cone.
        for (int dy = -2; dy <= 1; ++dy) {
            for (int dx = -2; dx <= 1; ++dx) {
                painter->drawLine(tip, QPoint(eye.x() + dx, eye.y() + dy));
            }
        }
    }
}

void CKytoResultDC::DrawBlink(const FaceResult& face, const FaceBox& box, double scale) {
    if (face.blink.left == kNoEstimate || face.blink.right == kNoEstimate) {
        return;
    }
    const int height = MapLength(box.size, scale) / 2;
    const int top = MapY(box.top, scale);
    DrawGauge(MapX(box.left, scale) - 5, top, height, face.blink.left);
    DrawGauge(MapX(box.right, scale) + 4, top, height, face.blink.right);
}

void CKytoResultDC::DrawGauge(int x, int top, int height, int value) {
    if (height <= 0) {
        return;
    }
    PaintScope painter(*this);
    const int fill = BlinkFillHeight(value, height);
    const int centre = top + height;
    painter->fillRect(QRect(x, centre - fill, 4, fill), QColor(255, 0, 0));
    SetPen(outlinePen_);
    const QPoint outline[5] = {
        {x, top}, {x + 3, top}, {x + 3, centre - 1}, {x, centre - 1}, {x, top}};
    painter->drawPolyline(outline, 5);
}

void CKytoResultDC::DrawLabels(const std::vector<OverlayLabel>& labels, int left, int top) {
    // Every line has the font's height (the tallest label), and the text is
    // left-aligned, so the block's width never moves a line.
    const int height = metrics_->height();
    // Entries stay put while the map grows, so the pointers below hold as
    // long as the cache is only emptied before the block starts.
    if (texts_.size() + labels.size() > kMaxCachedTexts) {
        texts_.clear();
    }
    std::vector<const CachedText*> texts;
    texts.reserve(labels.size());
    for (const OverlayLabel& label : labels) {
        texts.push_back(&Text(label.text));
    }

    PaintScope painter(*this);
    int y = top - static_cast<int>(labels.size()) * height - 4;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        QColor back = labels[i].backColour;
        back.setAlpha(kLabelAlpha);
        const int backWidth = std::min(texts[i]->width, SurfaceWidth() - left);
        if (backWidth > 0) {
            painter->fillRect(QRect(left, y, backWidth, height), back);
        }
        // Left-aligned in a line exactly one font height tall, so the text's
        // top is the line's top.
        painter->setPen(labels[i].textColour);
        painter->drawStaticText(left, y, texts[i]->text);
        y += height;
    }
}
