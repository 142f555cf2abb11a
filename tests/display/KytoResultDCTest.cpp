#include <gtest/gtest.h>

#include <QFontMetrics>
#include <cmath>
#include <fstream>
#include <optional>

#include "../support/TempDir.h"
#include "DisplayFixtures.h"
#include "display/KytoResultDC.h"
#include "display/Snapshot.h"

namespace {

using fixtures::Face;
using fixtures::Near;

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kCyan = qRgb(0, 255, 255);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kMagenta = qRgb(255, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);

class KytoResultDCTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(dc_.Create(320, 320), 1); }

    // Renders over a 320 × 240 grey-200 picture whose full image is also 320
    // wide, so module coordinates map 1:1 with the picture 40 pixels down.
    const QImage& Render(const CFrameResult& result, std::initializer_list<int> shown) {
        std::uint8_t flags[11] = {};
        for (int f : shown) {
            flags[f] = 1;
        }
        const CImageData grey = fixtures::GreyImage(320, 240, 200);
        EXPECT_TRUE(RenderFrame(dc_, &grey, result, flags, 320));
        return dc_.Surface();
    }

    int LineHeight() const { return QFontMetrics(dc_.LabelFont()).height(); }
    int TextWidth(const char* text) const {
        return QFontMetrics(dc_.LabelFont()).horizontalAdvance(QString(text));
    }

    CKytoResultDC dc_;
};

// One body, hand and face, placed for a 640-wide full image; every panel
// set-up must put their outlines at offset + floor(value × fit × scale).
TEST_F(KytoResultDCTest, RectanglesLandAtMappedCoordinatesInTheirColours) {
    CFrameResult result;
    result.bodies.push_back(fixtures::Detect(320, 240, 100));
    result.hands.push_back(fixtures::Detect(160, 120, 40));
    result.faces.push_back(Face(481, 301, 81));
    std::uint8_t flags[11] = {1, 1, 1};

    const struct {
        const char* what;
        int imageW, imageH;  // 0: no image
        int fullWidth;
        double s;  // fit scale × overlay scale
        int xOffset, yOffset;
    } cases[] = {
        {"320x240 of 640", 320, 240, 640, 0.5, 0, 40},
        {"160x120 of 640", 160, 120, 640, 0.5, 0, 40},
        {"no image, 640", 0, 0, 640, 0.5, 0, 40},
        {"320x240 of 1280", 320, 240, 1280, 0.25, 0, 40},
        {"160x120 of 160", 160, 120, 160, 2.0, 0, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<CImageData> image;
        if (c.imageW > 0) {
            image = fixtures::GreyImage(c.imageW, c.imageH, 200);
        }
        ASSERT_TRUE(RenderFrame(dc_, image ? &*image : nullptr, result, flags, c.fullWidth));
        const QImage& s = dc_.Surface();
        const QRgb background = image ? qRgb(200, 200, 200) : qRgb(128, 128, 128);
        auto mx = [&](int v) { return c.xOffset + static_cast<int>(std::floor(v * c.s)); };
        auto my = [&](int v) { return c.yOffset + static_cast<int>(std::floor(v * c.s)); };
        const struct {
            CKytoDetectRes d;
            QRgb colour;
        } shapes[] = {
            {result.bodies[0], kRed}, {result.hands[0], kCyan}, {result.faces[0].detect, kGreen}};
        for (const auto& shape : shapes) {
            int l, t, r, b;
            GetRect(shape.d, l, t, r, b);
            const int L = mx(l), T = my(t), R = mx(r), B = my(b);
            if (R >= 320 || B >= 320) {
                continue;  // off the surface at this scale
            }
            for (const QPoint p :
                 {QPoint(L, T), QPoint(R, T), QPoint(R, B), QPoint(L, B), QPoint((L + R) / 2, T),
                  QPoint(R, (T + B) / 2), QPoint((L + R) / 2, B), QPoint(L, (T + B) / 2)}) {
                EXPECT_EQ(s.pixel(p), shape.colour) << p.x() << "," << p.y();
            }
            EXPECT_EQ(s.pixel((L + R) / 2, (T + B) / 2), background);
            EXPECT_NE(s.pixel(L - 1, T - 1), shape.colour);
        }
    }
}

TEST_F(KytoResultDCTest, AxesStraightAheadPointRightAndUpWithNoFrontAxis) {
    CFrameResult result;
    result.faces.push_back(Face(160, 120, 90));  // centre (160, 160), axis length 30
    result.faces[0].direction.SetValid(true);    // yaw = pitch = roll = 0
    const QImage& s = Render(result, {kShowDirection});

    for (int x = 161; x <= 190; ++x) {
        ASSERT_EQ(s.pixel(x, 160), kYellow) << x;
    }
    EXPECT_NE(s.pixel(191, 160), kYellow);
    for (int y = 130; y < 160; ++y) {
        ASSERT_EQ(s.pixel(160, y), kCyan) << y;
    }
    EXPECT_NE(s.pixel(160, 129), kCyan);
    EXPECT_LE(fixtures::CountColour(s, QColor(kMagenta)), 1) << "front axis has no length";
    EXPECT_EQ(fixtures::CountColour(s, QColor(kYellow)), 30 + (s.pixel(160, 160) == kYellow));
}

TEST_F(KytoResultDCTest, GazeBeamsRunFromBothEyesAndFanOutAtTheTip) {
    CFrameResult result;
    result.faces.push_back(Face(160, 120, 90));  // rect 115..205 × 75..165
    result.faces[0].gaze.yaw = 90;               // front axis straight right
    result.faces[0].gaze.SetValid(true);
    const QImage& s = Render(result, {kShowGaze});

    // Eyes at (115 + 22, 75 + 30) and (205 - 22, same), 40 px down; beam 60 long.
    for (const QPoint eye : {QPoint(137, 145), QPoint(183, 145)}) {
        EXPECT_EQ(s.pixel(eye.x() + 60, eye.y()), kYellow);
        EXPECT_EQ(s.pixel(eye.x() + 30, eye.y()), kYellow);
        for (const QPoint corner : {QPoint(-2, -2), QPoint(1, -2), QPoint(-2, 1), QPoint(1, 1)}) {
            EXPECT_EQ(s.pixel(eye + corner), kYellow);
        }
    }
    EXPECT_NE(s.pixel(183 + 61, 145), kYellow);  // the right beam ends at its tip

    result.faces[0].gaze.pitch = kNoEstimate;
    EXPECT_EQ(fixtures::CountColour(Render(result, {kShowGaze}), QColor(kYellow)), 0);
}

TEST_F(KytoResultDCTest, BlinkGaugesFillFromTheCentreLineUp) {
    // Rect 110..210 × 110..210 on the surface; gauges 50 high from y 110,
    // centre line 160; left gauge at x 105..108, right at 214..217.
    const struct {
        int left, right;
        int leftFill, rightFill;
    } cases[] = {{500, 500, 25, 25}, {0, 1000, 50, 0}, {1000, 0, 0, 50}, {250, 900, 37, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "/" << c.right);
        CFrameResult result;
        result.faces.push_back(Face(160, 120, 100));
        result.faces[0].blink.left = c.left;
        result.faces[0].blink.right = c.right;
        result.faces[0].blink.SetValid(true);
        const QImage& s = Render(result, {kShowBlink});
        for (const auto& [x, fill] : {std::pair{105, c.leftFill}, std::pair{214, c.rightFill}}) {
            // Interior column: red from the centre line up by the fill, the
            // outline's top and bottom rows drawn over it in white.
            for (int y = 111; y < 159; ++y) {
                const bool red = y >= 160 - fill;
                ASSERT_EQ(s.pixel(x + 1, y), red ? kRed : qRgb(200, 200, 200)) << x << "," << y;
            }
            for (const QPoint p : {QPoint(x, 110), QPoint(x + 3, 110), QPoint(x, 159),
                                   QPoint(x + 3, 159), QPoint(x, 130), QPoint(x + 3, 150)}) {
                EXPECT_EQ(s.pixel(p), kWhite) << p.x() << "," << p.y();
            }
            EXPECT_NE(s.pixel(x + 1, 160), kRed);
        }
    }

    CFrameResult unknown;
    unknown.faces.push_back(Face(160, 120, 100));
    unknown.faces[0].blink.left = kNoEstimate;
    unknown.faces[0].blink.right = 500;
    unknown.faces[0].blink.SetValid(true);
    EXPECT_EQ(fixtures::CountColour(Render(unknown, {kShowBlink}), QColor(kWhite)), 0);
}

// Recognition and verify both on: one identity line (recognition) plus the
// age line. The block sits 4 px above the face, each line's background is
// the picture darkened by the alpha-160 black and as wide as its own text.
TEST_F(KytoResultDCTest, LabelBlockAboveTheFaceOnlyRecognitionWhenVerifyIsAlsoShown) {
    CFrameResult result;
    result.faces.push_back(Face(160, 120, 100));  // left 110, top 110 on the surface
    FaceResult& face = result.faces[0];
    face.recognition.userId = kNoUserMatched;
    face.recognition.SetValid(true);
    face.verify.result = kVerifyNoMatch;
    face.verify.SetValid(true);
    face.age.age = 42;
    face.age.SetValid(true);
    const QImage& s = Render(result, {kShowFace, kShowAge, kShowRecognition, kShowVerify});

    const int hl = LineHeight();
    const int top = 110 - 2 * hl - 4;
    const int blended = 200 * (255 - 160) / 255;  // 74.5
    EXPECT_TRUE(Near(s.pixel(111, top), blended, blended, blended, 1));
    EXPECT_TRUE(Near(s.pixel(111, top + hl), blended, blended, blended, 1));
    EXPECT_EQ(s.pixel(111, top - 1), qRgb(200, 200, 200)) << "a third line was drawn";
    for (int y = 106; y < 110; ++y) {
        EXPECT_EQ(s.pixel(111, y), qRgb(200, 200, 200)) << "gap row " << y;
    }
    // The first line's background ends with "Not registered", the second
    // with "42".
    const int w1 = TextWidth("Not registered");
    const int w2 = TextWidth("42");
    EXPECT_TRUE(Near(s.pixel(110 + w1 - 1, top), blended, blended, blended, 1));
    EXPECT_EQ(s.pixel(110 + w1, top), qRgb(200, 200, 200));
    EXPECT_EQ(s.pixel(110 + w2, top + hl), qRgb(200, 200, 200));
    EXPECT_TRUE(fixtures::AreaHasColour(s, QRect(110, top, w1, 2 * hl), QColor(255, 204, 0), 0));
}

TEST_F(KytoResultDCTest, ExpressionLabelInItsColour) {
    CFrameResult result;
    result.faces.push_back(Face(160, 120, 100));
    CKytoExpressionRes& e = result.faces[0].expression;
    e.expression = 2;
    e.score = kNoEstimate;  // five-score form
    const int scores[5] = {10, 70, 5, 5, 10};
    std::copy(scores, scores + 5, e.scores);
    e.SetValid(true);
    const QImage& s = Render(result, {kShowExpression});
    const int hl = LineHeight();
    EXPECT_TRUE(fixtures::AreaHasColour(s, QRect(110, 106 - hl, TextWidth("Happiness"), hl),
                                        QColor(240, 240, 0), 0));
}

// The look comes from Debug.ini when the surface is made: a stabilising
// age in the configured colour on the configured background, and the font
// height as a pixel size.
TEST(KytoResultDCStyleTest, DebugIniColoursAndFont) {
    TempDir dir;
    {
        CKytoResultDC dc;
        ASSERT_EQ(dc.Create(320, 320), 1);
        EXPECT_EQ(dc.LabelFont().pixelSize(), 16);
    }
    std::ofstream("Debug.ini") << "[Quell]\nAgeR=10\nAgeG=200\nAgeB=250\nBackR=255\nBackG=0\n"
                                  "BackB=0\n[FONT]\nHeight=-24\nWidth=0\n";
    CKytoResultDC dc;
    ASSERT_EQ(dc.Create(320, 320), 1);
    EXPECT_EQ(dc.LabelFont().pixelSize(), 24);

    CFrameResult result;
    result.faces.push_back(Face(160, 120, 100));
    result.faces[0].age.age = 30;
    result.faces[0].age.state = kStateStabilising;
    result.faces[0].age.SetValid(true);
    const CImageData grey = fixtures::GreyImage(320, 240, 200);
    std::uint8_t flags[11] = {};
    flags[kShowAge] = 1;
    ASSERT_TRUE(RenderFrame(dc, &grey, result, flags, 320));
    const QImage& s = dc.Surface();
    const int hl = QFontMetrics(dc.LabelFont()).height();
    EXPECT_GE(hl, 24);
    const int top = 110 - hl - 4;
    EXPECT_TRUE(Near(s.pixel(111, top), 235, 75, 75, 1));
    EXPECT_TRUE(fixtures::AreaHasColour(s, QRect(110, top, 40, hl), QColor(10, 200, 250), 0));
}

TEST(KytoResultDCStyleTest, PositiveHeightIsTheCellHeight) {
    const QFont font = CKytoResultDC::MakeLabelFont(0, 20);
    EXPECT_LE(QFontMetrics(font).height(), 20);
    EXPECT_GE(QFontMetrics(font).height(), 17);
    const QFont wide = CKytoResultDC::MakeLabelFont(20, -16);
    EXPECT_GT(QFontMetrics(wide).averageCharWidth(),
              QFontMetrics(CKytoResultDC::MakeLabelFont(0, -16)).averageCharWidth());
}

}  // namespace

namespace {

// More distinct names than the label text cache keeps: the cache starts
// afresh between faces and every label is still drawn.
TEST(KytoResultDCCacheTest, ManyDistinctLabelsAcrossFrames) {
    CKytoResultDC dc;
    ASSERT_EQ(dc.Create(320, 320), 1);
    dc.SetUserNameLookup([](int id) { return "user " + std::to_string(id); });
    std::uint8_t flags[11] = {};
    flags[kShowRecognition] = 1;
    for (int frame = 0; frame < 3; ++frame) {
        CFrameResult result;
        for (int i = 0; i < 500; ++i) {
            FaceResult face = fixtures::Face(160, 200, 40);
            face.recognition.userId = frame * 500 + i;
            face.recognition.SetValid(true);
            result.faces.push_back(face);
        }
        dc.Fill(QColor(128, 128, 128));
        dc.SetFit(320, 240);
        dc.DrawResults(flags, 1.0, result);
        EXPECT_TRUE(
            fixtures::AreaHasColour(dc.Surface(), QRect(140, 150, 80, 70), QColor(255, 204, 0), 0));
    }
}

}  // namespace
