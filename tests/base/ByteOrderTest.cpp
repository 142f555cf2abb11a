// Little-endian fields: signed values, wrapping and byte order.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/ByteOrder.h"

namespace {

TEST(ByteOrder, FieldsAreLowByteFirstAndSignedValuesRoundTrip) {
    const std::uint8_t bytes[4] = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(LoadLe16(bytes), 0x5678);
    EXPECT_EQ(LoadLe32(bytes), 0x12345678u);

    const std::uint8_t minusOne[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(LoadLe16(minusOne), 0xFFFF);
    EXPECT_EQ(LoadLeI16(minusOne), -1);
    EXPECT_EQ(LoadLeI32(minusOne), -1);

    std::uint8_t out[4] = {};
    StoreLe16(out, static_cast<std::uint32_t>(-2));
    EXPECT_EQ(LoadLeI16(out), -2);
    StoreLe16(out, 0x12345);  // keeps the low 16 bits, as the stabilisation marks wrap
    EXPECT_EQ(LoadLe16(out), 0x2345);
    StoreLe32(out, static_cast<std::uint32_t>(-100000));
    EXPECT_EQ(LoadLeI32(out), -100000);

    std::vector<std::uint8_t> appended;
    AppendLe16(appended, 0xBBAA);
    AppendLe32(appended, 0x44332211);
    EXPECT_EQ(appended, (std::vector<std::uint8_t>{0xAA, 0xBB, 0x11, 0x22, 0x33, 0x44}));
}

}  // namespace
