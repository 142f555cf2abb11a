// The Album as it crosses the line: Save Album answers that hold an album and
// those that do not, the Load Album payload, and the device album on an
// in-memory module.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "../protocol/MemoryModule.h"
#include "../support/TempDir.h"
#include "album/AlbumTransfer.h"
#include "album/DeviceAlbum.h"
#include "protocol/DeviceMngr.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// An answer of `payload` bytes whose size field says `size`; flag 0x02 and
// album bytes 0x42.
Bytes Answer(std::uint32_t size, std::size_t payload) {
    Bytes p(payload, 0x42);
    for (int i = 0; i < 4 && payload >= 4; ++i) {
        p[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    if (payload > 4) {
        p[4] = 0x02;
    }
    return p;
}

TEST(AlbumTransfer, AnswersThatHoldNoAlbumChangeNothing) {
    struct Case {
        std::uint32_t size;
        std::size_t payload;
        int result;
    } cases[] = {
        {1000, 100, kResultCommError},  // says 1000, brings 92
        {33, 40, kResultCommError},
        {0xFFFFFFFFu, 64, kResultCommError},
        {kAlbumAreaSize + 1, kAlbumAreaSize + 9, kResultCommError},  // beyond the module's area
        {20, 39, kResultCommError},                                  // under 40 bytes
        {0, 0, kResultCommError},                                    // empty
        {32, 40, kResultOk},
        {32, 50, kResultOk},  // bytes after the album are ignored
        {kAlbumAreaSize, kAlbumAreaSize + 8, kResultOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        AlbumImage image;
        image.attribute = 0x09;
        image.data = {9, 8, 7};
        const Bytes p = Answer(c.size, c.payload);
        EXPECT_EQ(DecodeAlbumTransfer(p.data(), p.size(), image), c.result);
        if (c.result == kResultOk) {
            EXPECT_EQ(image.data.size(), c.size);
            EXPECT_EQ(image.attribute, 0x02);
            EXPECT_EQ(image.data.back(), 0x42);
        } else {
            EXPECT_EQ(image.data, (Bytes{9, 8, 7}));
            EXPECT_EQ(image.attribute, 0x09);
        }
    }
}

TEST(AlbumTransfer, LoadPayloadIsSizeFlagZerosAndData) {
    AlbumImage image;
    image.attribute = 0x05;
    image.reserved[0] = 0x77;  // kept in files, never sent
    image.data = {1, 2, 3};
    Bytes payload;
    ASSERT_TRUE(EncodeAlbumTransfer(image, payload));
    EXPECT_EQ(payload, (Bytes{3, 0, 0, 0, 0x05, 0, 0, 0, 1, 2, 3}));

    image.data.assign(kAlbumAreaSize + 1, 0);
    payload = {4};
    EXPECT_FALSE(EncodeAlbumTransfer(image, payload));
    EXPECT_EQ(payload, (Bytes{4}));
}

// Before, an answer without an album was a success and the caller got the
// block of an earlier transfer ("Album saved." from nothing).
TEST(DeviceAlbum, SaveAlbumWithoutAnAlbumIsAFailedExchange) {
    TempDir dir;
    MemoryModule module;
    CDeviceMngr mngr;
    mngr.UseTransport(module.Transport());
    mngr.SetSupportedCommands({0x20, 0x21});
    CDeviceAlbum device(mngr);

    module.Answer(Response(0, Answer(32, 40)));
    AlbumImage image;
    std::uint8_t status = 0xAA;
    ASSERT_EQ(device.SaveAlbum(image, status), kResultOk);
    EXPECT_EQ(status, 0x00);
    ASSERT_EQ(image.data.size(), 32u);

    for (const Bytes& empty : {Bytes{}, Answer(20, 39)}) {
        module.Answer(Response(0, empty));
        AlbumImage again = image;
        EXPECT_EQ(device.SaveAlbum(again, status), kResultCommError);
        EXPECT_EQ(again, image) << "nothing taken from the answer or an earlier one";
    }

    AlbumImage tooLarge;
    tooLarge.data.assign(kAlbumAreaSize + 1, 0);
    EXPECT_EQ(device.LoadAlbum(tooLarge, status), kResultOverflow);
    EXPECT_EQ(module.Frames().size(), 3u) << "nothing sent for an album too large";
}

}  // namespace
