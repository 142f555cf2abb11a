#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/ImageData.h"
#include "base/ImgConv.h"

namespace {

struct RowCase {
    std::uint32_t format;
    int width;
    bool packed;
    int rowBytes;
};

TEST(ImageDataTest, RowBytesFollowFormatAndPadding) {
    const RowCase cases[] = {
        {kFormatGrey8, 320, false, 320},
        {kFormatGrey8, 161, false, 164},
        {kFormatGrey8, 161, true, 161},
        {0x21C03044, 161, false, 164},
        {0x81000004, 5, false, 8},
        {0x81C03044, 5, true, 5},
        {kFormatRgb24, 161, false, 484},
        {kFormatRgb24, 161, true, 483},
        {kFormatRgb24, 3, false, 12},
        {kFormatRgb565, 3, false, 8},
        {0x4D051555, 3, true, 6},
        {kFormatRgb32, 3, false, 12},
        {0x12345678, 100, false, 0},
        {kFormatRgb24, 0, false, 0},
        {kFormatRgb32, 0x7fffffff, true, 0},
    };
    for (const RowCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.format << std::dec << " w " << c.width
                                        << " packed " << c.packed);
        EXPECT_EQ(CImageData::RowBytes(c.width, c.format, c.packed), c.rowBytes);
        if (c.rowBytes > 0 && c.width < 1000) {
            CImageData image;
            EXPECT_TRUE(image.Init(c.width, 7, c.format, c.packed));
            EXPECT_EQ(image.RowBytes(), c.rowBytes);
            EXPECT_EQ(image.Size(), static_cast<std::size_t>(c.rowBytes) * 7);
        }
    }
}

TEST(ImageDataTest, InitKeepsBufferOnlyWhenAllFourValuesAreUnchanged) {
    CImageData image;
    ASSERT_TRUE(image.Init(320, 240, kFormatGrey8, true));
    image.Pixels()[5] = 77;
    const std::uint8_t* before = image.Pixels();

    EXPECT_FALSE(image.Init(320, 240, kFormatGrey8, true));
    EXPECT_EQ(image.Pixels(), before);
    EXPECT_EQ(image.Pixels()[5], 77);

    // Each of the four values on its own forces a fresh, zeroed buffer.
    EXPECT_TRUE(image.Init(320, 240, kFormatGrey8, false));
    EXPECT_EQ(image.Pixels()[5], 0);
    EXPECT_TRUE(image.Init(160, 240, kFormatGrey8, false));
    EXPECT_TRUE(image.Init(160, 120, kFormatGrey8, false));
    EXPECT_TRUE(image.Init(160, 120, kFormatRgb24, false));
    EXPECT_EQ(image.Width(), 160);
    EXPECT_EQ(image.Height(), 120);
    EXPECT_EQ(image.Format(), kFormatRgb24);
    EXPECT_FALSE(image.Packed());
    EXPECT_EQ(image.Size(), 160u * 3 * 120);

    IMGCONVINFO info = image.Info();
    EXPECT_EQ(info.plane[0], image.Pixels());
    EXPECT_EQ(info.rowBytes[0], 480);
    EXPECT_EQ(info.width, 160);
    EXPECT_EQ(info.height, 120);
    EXPECT_EQ(info.format, kFormatRgb24);
}

// Grey rows with padding on both sides, converted into a padded 24-bit image:
// every pixel's three bytes equal its grey value and the padding is not read
// as picture.
TEST(ImgConvTest, GreyToColourIsExact) {
    const int w = 5, h = 3;
    CImageData grey;
    grey.Init(w, h, kFormatGrey8, false);  // 8 bytes per row
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < grey.RowBytes(); ++x) {
            grey.Pixels()[y * grey.RowBytes() + x] =
                static_cast<std::uint8_t>(x < w ? y * 50 + x : 0xEE);
        }
    }
    CImageData colour;
    colour.Init(w, h, kFormatRgb24, false);  // 16 bytes per row
    std::fill(colour.Pixels(), colour.Pixels() + colour.Size(), 0xAB);

    CImgConv conv(w, h, kFormatGrey8, kFormatRgb24);
    IMGCONVINFO out = colour.Info();
    ASSERT_EQ(conv.Convert(grey.Info(), &out, false), 0);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = colour.Pixels() + y * colour.RowBytes();
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(row[3 * x + c], y * 50 + x) << x << "," << y;
            }
        }
        EXPECT_EQ(row[15], 0xAB) << "row padding must stay untouched";
    }

    int size = 0, rowBytes = 0, planes = 0;
    ASSERT_EQ(conv.GetConvertImgSize(&size, &rowBytes, &planes, false), 0);
    EXPECT_EQ(rowBytes, 16);
    EXPECT_EQ(size, 48);
    EXPECT_EQ(planes, 1);
}

TEST(ImgConvTest, RefusesUnsupportedPairsAndShortBuffers) {
    CImageData grey, colour, small;
    grey.Init(8, 4, kFormatGrey8, true);
    colour.Init(8, 4, kFormatRgb24, true);
    small.Init(4, 4, kFormatRgb24, true);
    IMGCONVINFO out = colour.Info();

    EXPECT_EQ(CImgConv(8, 4, kFormatRgb24, kFormatGrey8).Convert(colour.Info(), &out), -1);
    EXPECT_EQ(CImgConv(8, 4, kFormatGrey8, kFormatRgb32).Convert(grey.Info(), &out), -1);
    EXPECT_EQ(CImgConv(8, 4, kFormatGrey8, kFormatRgb24).Convert(grey.Info(), nullptr), -1);

    // Destination too narrow, and a converter bigger than both images.
    IMGCONVINFO smallOut = small.Info();
    EXPECT_EQ(CImgConv(8, 4, kFormatGrey8, kFormatRgb24).Convert(grey.Info(), &smallOut), -1);
    EXPECT_EQ(CImgConv(8, 40, kFormatGrey8, kFormatRgb24).Convert(grey.Info(), &out), -1);

    IMGCONVINFO empty;
    EXPECT_EQ(CImgConv(8, 4, kFormatGrey8, kFormatRgb24).Convert(empty, &out), -1);

    int size = 0;
    EXPECT_EQ(CImgConv(8, 4, kFormatGrey8, 0x12345678).GetConvertImgSize(&size, nullptr, nullptr),
              -1);
}

}  // namespace
