#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPen>
#include <QStaticText>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "display/OverlayLabels.h"
#include "display/OverlayStyle.h"
#include "display/ResultDC.h"
#include "protocol/ResultRecords.h"

// The result overlay: rectangles, direction axes, gaze beams, blink gauges
// and the label stack of each face, drawn over whatever the surface holds.
class CKytoResultDC : public CResultDC {
public:
    CKytoResultDC() = default;
    ~CKytoResultDC() override;

    // Makes the surface and the pens, and reads the overlay look from
    // "./Debug.ini" (defaults when it is missing). 1 on success.
    int Create(int width, int height) override;
    void Release() override;

    // Replaces the look read at Create (colours and font size).
    void SetStyle(const OverlayStyle& style);
    const OverlayStyle& Style() const { return style_; }
    const QFont& LabelFont() const { return font_; }

    // Where recognition labels take the user's name from; without one the
    // user ID itself is shown.
    void SetUserNameLookup(UserNameLookup names) { names_ = std::move(names); }

    // Draws one frame's results. flags[i] != 0 shows function i (body, hand,
    // face, direction, age, gender, gaze, blink, expression, recognition,
    // verify); scale maps module coordinates to image pixels.
    void DrawResults(const std::uint8_t flags[11], double scale, const CFrameResult& result);

    // The label font for a "FONT" width and height: a negative height is the
    // character height in pixels, a positive one the cell height, 0 the
    // default size; a width other than 0 sets the average character width.
    static QFont MakeLabelFont(int width, int height);

private:
    struct FaceBox {
        int left, top, right, bottom, size;
    };

    void DrawDirection(const FaceResult& face, double scale);
    void DrawGaze(const FaceResult& face, const FaceBox& box, double scale);
    void DrawBlink(const FaceResult& face, const FaceBox& box, double scale);
    void DrawLabels(const std::vector<OverlayLabel>& labels, int left, int top);
    void DrawGauge(int x, int top, int height, int value);

    // Label texts repeat from frame to frame (names, ages, the fixed words):
    // their laid-out glyphs and widths are kept for the font in use.
    struct CachedText {
        QStaticText text;
        int width = 0;
    };
    const CachedText& Text(const std::string& text);

    QPen bodyPen_, handPen_, facePen_, outlinePen_;
    QPen directionXPen_, directionYPen_, directionZPen_, gazePen_;
    QFont font_;
    std::optional<QFontMetrics> metrics_;
    std::unordered_map<std::string, CachedText> texts_;
    OverlayStyle style_;
    UserNameLookup names_;
};
