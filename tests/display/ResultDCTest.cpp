#include <gtest/gtest.h>

#include "DisplayFixtures.h"
#include "display/ResultDC.h"

namespace {

TEST(ResultDCTest, CreateAndRelease) {
    CResultDC dc;
    EXPECT_EQ(dc.Create(0, 320), 0);
    EXPECT_FALSE(dc.IsCreated());
    ASSERT_EQ(dc.Create(320, 320), 1);
    EXPECT_EQ(dc.SurfaceWidth(), 320);
    EXPECT_EQ(dc.SurfaceHeight(), 320);
    EXPECT_DOUBLE_EQ(dc.FitScale(), 1.0);
    dc.Release();
    EXPECT_FALSE(dc.IsCreated());
    dc.DrawRect(0, 0, 10, 10, 1.0);  // harmless without a surface
}

TEST(ResultDCTest, FitScaleAndOffsets) {
    CResultDC dc;
    ASSERT_EQ(dc.Create(320, 320), 1);
    const struct {
        int w, h;
        double scale;
        int x, y;
    } cases[] = {
        {320, 240, 1.0, 0, 40}, {160, 120, 2.0, 0, 40}, {240, 320, 1.0, 40, 0},
        {640, 480, 0.5, 0, 40}, {320, 320, 1.0, 0, 0},  {0, 0, 1.0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        dc.SetFit(c.w, c.h);
        EXPECT_DOUBLE_EQ(dc.FitScale(), c.scale);
        EXPECT_EQ(dc.XOffset(), c.x);
        EXPECT_EQ(dc.YOffset(), c.y);
    }
    dc.SetFit(320, 240);
    EXPECT_EQ(dc.MapX(101, 0.5), 50);  // floor(50.5)
    EXPECT_EQ(dc.MapY(101, 0.5), 90);
    EXPECT_EQ(dc.MapLength(41, 0.5), 20);
}

// A 160 × 120 colour image lands doubled in the middle band; the bands above
// and below keep what was there.
TEST(ResultDCTest, DrawImageFitsAndCentres) {
    CImageData image;
    image.Init(160, 120, kFormatRgb24, false);
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            std::uint8_t* p = image.Pixels() + y * image.RowBytes() + 3 * x;
            p[0] = static_cast<std::uint8_t>(x);  // blue
            p[1] = static_cast<std::uint8_t>(y);  // green
            p[2] = 7;                             // red
        }
    }
    CResultDC dc;
    ASSERT_EQ(dc.Create(320, 320), 1);
    dc.Fill(QColor(128, 128, 128));
    ASSERT_EQ(dc.DrawImage(image), 1);
    EXPECT_DOUBLE_EQ(dc.FitScale(), 2.0);
    EXPECT_EQ(dc.YOffset(), 40);
    const QImage& s = dc.Surface();
    for (const QPoint src : {QPoint(0, 0), QPoint(159, 119), QPoint(37, 81)}) {
        for (int dy = 0; dy < 2; ++dy) {
            for (int dx = 0; dx < 2; ++dx) {
                const QRgb px = s.pixel(2 * src.x() + dx, 40 + 2 * src.y() + dy);
                EXPECT_TRUE(fixtures::Near(px, 7, src.y(), src.x())) << src.x() << "," << src.y();
            }
        }
    }
    EXPECT_TRUE(fixtures::Near(s.pixel(5, 39), 128, 128, 128));
    EXPECT_TRUE(fixtures::Near(s.pixel(5, 280), 128, 128, 128));

    CImageData grey = fixtures::GreyImage(160, 120, 9);
    EXPECT_EQ(dc.DrawImage(grey), 0) << "only 24-bit colour is drawn";
}

TEST(ResultDCTest, DrawRectIsAClosedOutlineAtMappedCorners) {
    CResultDC dc;
    ASSERT_EQ(dc.Create(320, 320), 1);
    dc.SetFit(160, 120);  // fit 2, y offset 40
    dc.DrawRect(10, 20, 30, 50, 1.0);
    const QImage& s = dc.Surface();
    const QRgb white = qRgb(255, 255, 255);
    // Corners at (20, 80) and (60, 140), every edge drawn.
    for (const QPoint p : {QPoint(20, 80), QPoint(60, 80), QPoint(60, 140), QPoint(20, 140),
                           QPoint(40, 80), QPoint(60, 110), QPoint(40, 140), QPoint(20, 110)}) {
        EXPECT_EQ(s.pixel(p), white) << p.x() << "," << p.y();
    }
    EXPECT_NE(s.pixel(40, 110), white);
    EXPECT_NE(s.pixel(19, 80), white);
    EXPECT_NE(s.pixel(61, 140), white);
}

}  // namespace
