// Frames on the wire of a pseudo-terminal, as the module sees them.
#include <gtest/gtest.h>

#include "link/DeviceLink.h"
#include "protocol/KytoProtocol.h"
#include "tests/link/PtyModule.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class SerialFraming : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(link_.OpenLink(module_.Path(), 921600)); }
    PtyModule module_;
    CDeviceLink link_;
    CKytoProtocol protocol_{&link_};
};

TEST_F(SerialFraming, GetVersionExchange) {
    const Bytes getVersion = {0xFE, 0x00, 0x00, 0x00};
    EXPECT_EQ(protocol_.SendFrame(getVersion.data(), 4, "Get Version"), kResultOk);
    ASSERT_EQ(module_.WaitReceived(4, 5s), 4u);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(module_.Received(), getVersion);

    // Model name padded to 12 bytes, then seven version bytes.
    module_.Send({0xFE, 0x00, 0x13, 0x00, 0x00, 0x00, 'K', 'Y', 'T', 'O', '-', 'E', 'M',
                  'U',  0,    0,    0,    0,    1,    2,   3,   4,   5,   6,   7});
    std::uint8_t payload[64] = {};
    int capacity = sizeof payload;
    std::uint8_t code = 0x77;
    EXPECT_EQ(protocol_.ReadResponse("Get Version", 1000, capacity, code, payload), kResultOk);
    EXPECT_EQ(code, 0x00);
    EXPECT_EQ(capacity, 19);
    EXPECT_STREQ(reinterpret_cast<const char*>(payload), "KYTO-EMU");
    EXPECT_EQ(payload[18], 7);
}

TEST_F(SerialFraming, StrayInputBeforeACommandIsDiscarded) {
    module_.Send({0xFE, 0x00, 0x02, 0x00, 0x00, 0x00, 0xAA});  // late tail of an old answer
    ASSERT_EQ(link_.WaitAvailable(7, 5000), 7);
    const Bytes setAngle = {0xFE, 0x01, 0x01, 0x00, 0x01};
    EXPECT_EQ(protocol_.SendFrame(setAngle.data(), 5, "Set Camera Angle"), kResultOk);
    ASSERT_EQ(module_.WaitReceived(5, 5s), 5u);
    EXPECT_EQ(module_.Received(), setAngle);

    module_.Send({0xFE, 0x00, 0x00, 0x00, 0x00, 0x00});
    int capacity = 0;
    std::uint8_t code = 0x77;
    EXPECT_EQ(protocol_.ReadResponse("Set Camera Angle", 1000, capacity, code, nullptr), kResultOk);
    EXPECT_EQ(code, 0x00);
}

TEST_F(SerialFraming, SilenceAndAVanishedPortTimeOut) {
    int capacity = 0;
    std::uint8_t code = 0x77;
    const auto start = PtyModule::Clock::now();
    EXPECT_EQ(protocol_.ReadResponse("Get Version", 100, capacity, code, nullptr), kResultTimeout);
    EXPECT_GE(PtyModule::Clock::now() - start, 100ms);

    module_.CloseSlave();
    module_.CloseMaster();
    const Bytes getVersion = {0xFE, 0x00, 0x00, 0x00};
    EXPECT_EQ(protocol_.SendFrame(getVersion.data(), 4, "Get Version"), kResultOk);
    EXPECT_EQ(protocol_.ReadResponse("Get Version", 100, capacity, code, nullptr), kResultTimeout);
    EXPECT_EQ(code, 0x77);
}

}  // namespace
