#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "../support/TempDir.h"
#include "DisplayFixtures.h"
#include "display/Snapshot.h"

namespace {

TEST(SnapshotTest, SavesTheMiddleBandWithPictureAndOverlay) {
    TempDir dir;
    CImageData grey;
    grey.Init(160, 120, kFormatGrey8, true);
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            grey.Pixels()[y * 160 + x] = static_cast<std::uint8_t>(x + y);
        }
    }
    grey.SetImageSize(160, 120);
    CFrameResult result;
    result.faces.push_back(fixtures::Face(320, 240, 200));  // of a 640-wide image
    std::uint8_t flags[11] = {0, 0, 1};

    ASSERT_TRUE(SaveSnapshotPng(SnapshotFileName(".", 1), &grey, result, flags, 640));
    EXPECT_EQ(SnapshotFileName("out", 12), "out/frame-000012.png");
    QImage png("frame-000001.png");
    ASSERT_FALSE(png.isNull());
    ASSERT_EQ(png.size(), QSize(320, 240));
    // Picture pixel (x, y) doubled; the face (220..420 of 640) at 110..210.
    EXPECT_TRUE(fixtures::Near(png.pixel(21, 31), 25, 25, 25));
    EXPECT_EQ(png.pixel(110, 70), qRgb(0, 255, 0));
    EXPECT_EQ(png.pixel(210, 170), qRgb(0, 255, 0));

    // Without an image: the grey panel, the overlay laid out the same way.
    CImageData none;
    ASSERT_TRUE(SaveSnapshotPng("none.png", &none, result, flags, 640));
    ASSERT_TRUE(png.load("none.png"));
    EXPECT_EQ(png.pixel(5, 5), qRgb(128, 128, 128));
    EXPECT_EQ(png.pixel(110, 70), qRgb(0, 255, 0));
    EXPECT_EQ(png.pixel(210, 170), qRgb(0, 255, 0));

    EXPECT_FALSE(SaveSnapshotPng("missing/dir/x.png", nullptr, result, flags, 640));
    EXPECT_FALSE(std::filesystem::exists("missing"));
}

}  // namespace
