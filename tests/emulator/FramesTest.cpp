#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "emulator/Frames.h"

using namespace kyto::emu;
using Bytes = std::vector<std::uint8_t>;

TEST(ResponseFrame, HeaderCarriesCodeAndLittleEndianLength) {
    Bytes payload(0x01234 + 1, 0xAB);
    const Bytes frame = EncodeResponse(0x02, payload);
    ASSERT_EQ(frame.size(), 6 + payload.size());
    EXPECT_EQ(frame[0], 0xFE);
    EXPECT_EQ(frame[1], 0x02);
    EXPECT_EQ(frame[2], 0x35);
    EXPECT_EQ(frame[3], 0x12);
    EXPECT_EQ(frame[4], 0x00);
    EXPECT_EQ(frame[5], 0x00);
    EXPECT_EQ(EncodeResponse(0, {}), (Bytes{0xFE, 0, 0, 0, 0, 0}));
}

// Feeds `stream` split into pieces of `piece` bytes and returns the frames.
static std::vector<CommandFrame> Decode(const Bytes& stream, std::size_t piece) {
    CCommandDecoder decoder;
    std::vector<CommandFrame> frames;
    for (std::size_t i = 0; i < stream.size(); i += piece) {
        decoder.Feed(stream.data() + i, std::min(piece, stream.size() - i), frames);
    }
    EXPECT_FALSE(decoder.InFrame());
    return frames;
}

TEST(CommandDecoder, FramesSurviveAnySplitAndLeadingGarbage) {
    // Resync zeros, Get Version, Set Camera Angle 1, Execute, Load Album long form.
    Bytes stream = {0x00, 0x00, 0x00, 0x00, 0xFE, 0x00, 0x00, 0x00, 0xFE, 0x01,
                    0x01, 0x00, 0x01, 0xFE, 0x03, 0x03, 0x00, 0xFF, 0x07, 0x01};
    Bytes album = {0xFE, 0x21, 0x04, 0x00, 12, 0, 0,    0,    4,    0,
                   0,    0,    2,    0,    0,  0, 0xFE, 0xFE, 0x00, 0x21};
    stream.insert(stream.end(), album.begin(), album.end());
    for (std::size_t piece : {1u, 2u, 3u, 7u, 1000u}) {
        SCOPED_TRACE(piece);
        const auto frames = Decode(stream, piece);
        ASSERT_EQ(frames.size(), 4u);
        EXPECT_EQ(frames[0].code, 0x00);
        EXPECT_TRUE(frames[0].payload.empty());
        EXPECT_EQ(frames[1].code, 0x01);
        EXPECT_EQ(frames[1].payload, Bytes{0x01});
        EXPECT_EQ(frames[2].payload, (Bytes{0xFF, 0x07, 0x01}));
        EXPECT_EQ(frames[3].code, 0x21);
        // Everything after the 32-bit length: S, flag, three zeros, S bytes
        // (which may contain sync bytes).
        EXPECT_EQ(frames[3].payload, (Bytes{4, 0, 0, 0, 2, 0, 0, 0, 0xFE, 0xFE, 0x00, 0x21}));
    }
}

TEST(CommandDecoder, LoadAlbumWithOrdinaryLengthIsAnOrdinaryFrame) {
    const auto frames = Decode({0xFE, 0x21, 0x02, 0x00, 0xAA, 0xBB}, 1);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].payload, (Bytes{0xAA, 0xBB}));
    EXPECT_FALSE(frames[0].oversized);
}

TEST(CommandDecoder, OversizedAlbumIsSwallowedAndFlagged) {
    const std::size_t n = kMaxLoadAlbumLength + 1;
    // Made at its full size: growing the vector here makes GCC 12 at -O3
    // warn falsely of accesses out of bounds (-Warray-bounds).
    Bytes stream(8 + n + 4, 0xFE);
    const std::uint8_t header[8] = {0xFE,
                                    0x21,
                                    0x04,
                                    0x00,
                                    static_cast<std::uint8_t>(n),
                                    static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n >> 16),
                                    0};
    std::copy(header, header + 8, stream.begin());
    const std::uint8_t getVersion[4] = {0xFE, 0x00, 0x00, 0x00};
    std::copy(getVersion, getVersion + 4, stream.end() - 4);
    const auto frames = Decode(stream, 4096);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[0].oversized);
    EXPECT_TRUE(frames[0].payload.empty());
    EXPECT_EQ(frames[1].code, 0x00);
}

TEST(CommandDecoder, ResetAbandonsAPartialFrame) {
    CCommandDecoder decoder;
    std::vector<CommandFrame> frames;
    const Bytes partial = {0xFE, 0x05, 0x08, 0x00, 1, 2, 3};
    decoder.Feed(partial.data(), partial.size(), frames);
    EXPECT_TRUE(decoder.InFrame());
    decoder.Reset();
    const Bytes next = {0xFE, 0x45, 0x00, 0x00};
    decoder.Feed(next.data(), next.size(), frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].code, 0x45);
}
