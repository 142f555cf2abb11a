#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/Module.h"

using namespace kyto::emu;
using Bytes = std::vector<std::uint8_t>;

namespace {

Response Send(CModule& m, std::uint8_t code, Bytes payload = {}) {
    CommandFrame f;
    f.code = code;
    f.payload = std::move(payload);
    return m.Handle(f);
}

Bytes U16s(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    return out;
}

}  // namespace

TEST(ModuleCommands, IdentityAnswers) {
    ModuleConfig config;
    config.major = 2;
    config.minor = 3;
    config.release = 4;
    config.revision = 0x01020304;
    config.deviceId = 0xA1B2C3D4;
    CModule m(config);
    const Response v = Send(m, kGetVersion);
    ASSERT_EQ(v.code, kOk);
    ASSERT_EQ(v.payload.size(), 19u);
    EXPECT_EQ(std::string(v.payload.begin(), v.payload.begin() + 12),
              std::string("KYTO-EMU\0\0\0\0", 12));
    EXPECT_EQ((Bytes(v.payload.begin() + 12, v.payload.end())), (Bytes{2, 3, 4, 4, 3, 2, 1}));
    EXPECT_EQ(Send(m, kGetDeviceId).payload, (Bytes{0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(Send(m, kGetAlbumType).payload, Bytes{0});
    // The baud command is the line's business: the module never answers it.
    EXPECT_FALSE(Send(m, kSetBaudRate, {5}).answer);
}

TEST(ModuleCommands, SettersStoreWhatTheGettersReport) {
    CModule m{ModuleConfig{}};
    ASSERT_EQ(Send(m, kSetCameraAngle, {3}).code, kOk);
    EXPECT_EQ(Send(m, kGetCameraAngle).payload, Bytes{3});
    ASSERT_EQ(Send(m, kSetThreshold, U16s({100, 200, 300, 400})).code, kOk);
    EXPECT_EQ(Send(m, kGetThreshold).payload, U16s({100, 200, 300, 400}));
    ASSERT_EQ(Send(m, kSetSizeRange, U16s({30, 8192, 40, 500, 64, 300})).code, kOk);
    EXPECT_EQ(Send(m, kGetSizeRange).payload, U16s({30, 8192, 40, 500, 64, 300}));
    EXPECT_EQ(m.Settings().faceMax, 300);
    ASSERT_EQ(Send(m, kSetFaceAngle, {1, 0}).code, kOk);
    EXPECT_EQ(Send(m, kGetFaceAngle).payload, (Bytes{1, 0}));
    ASSERT_EQ(Send(m, kSetVerifyThreshold, U16s({650})).code, kOk);
    EXPECT_EQ(Send(m, kGetVerifyThreshold).payload, U16s({650}));
    ASSERT_EQ(Send(m, kSetVerifyUserId, U16s({42})).code, kOk);
    EXPECT_EQ(Send(m, kGetVerifyUserId).payload, U16s({42}));
    ASSERT_EQ(Send(m, kSetVerifyUserId, {0xFF, 0xFF}).code, kOk);  // -1: none
    ASSERT_EQ(Send(m, kSetAlbumType, {2}).code, kOk);
    EXPECT_EQ(Send(m, kGetAlbumType).payload, Bytes{2});
}

TEST(ModuleCommands, FullImageSizeFollowsTheResolution) {
    ModuleConfig config;
    config.fullWidth = 800;
    config.fullHeight = 600;
    CModule m(config);
    const struct {
        std::uint8_t code;
        Bytes size;
    } cases[] = {{0, U16s({800, 600})},
                 {1, U16s({800, 600})},
                 {2, U16s({1280, 960})},
                 {3, U16s({1600, 1200})},
                 {1, U16s({800, 600})}};
    for (const auto& c : cases) {
        ASSERT_EQ(Send(m, kSetCameraResolution, {c.code}).code, kOk);
        EXPECT_EQ(Send(m, kGetFullImageSize).payload, c.size) << int(c.code);
        EXPECT_EQ(Send(m, kGetCameraResolution).payload, Bytes{c.code});
    }
}

TEST(ModuleCommands, InvalidRequestsAreRefusedAndChangeNothing) {
    CModule m{ModuleConfig{}};
    ASSERT_EQ(Send(m, kSetThreshold, U16s({500, 500, 500, 500})).code, kOk);
    const struct {
        const char* what;
        std::uint8_t code;
        Bytes payload;
        std::uint8_t expected;
    } cases[] = {
        {"unknown code", 0x77, {}, kUnknownCommand},
        {"unsent getter variant", 0x4F, {}, kUnknownCommand},
        {"payload on Get Version", kGetVersion, {0}, kInvalidParameter},
        {"camera angle 4", kSetCameraAngle, {4}, kInvalidParameter},
        {"threshold -1 (no defaults)", kSetThreshold, U16s({-1, -1, -1, -1}), kInvalidParameter},
        {"threshold 1001", kSetThreshold, U16s({500, 500, 1001, 500}), kInvalidParameter},
        {"threshold short", kSetThreshold, U16s({500, 500, 500}), kInvalidParameter},
        {"size min above max", kSetSizeRange, U16s({40, 30, 40, 8192, 64, 8192}),
         kInvalidParameter},
        {"size 0", kSetSizeRange, U16s({0, 30, 40, 8192, 64, 8192}), kInvalidParameter},
        {"yaw code 3", kSetFaceAngle, {3, 0}, kInvalidParameter},
        {"roll code 2", kSetFaceAngle, {0, 2}, kInvalidParameter},
        {"resolution 4", kSetCameraResolution, {4}, kInvalidParameter},
        {"verify threshold 0", kSetVerifyThreshold, U16s({0}), kInvalidParameter},
        {"verify user 1000", kSetVerifyUserId, U16s({1000}), kInvalidParameter},
        {"verify user short", kSetVerifyUserId, {1}, kInvalidParameter},
        {"album type 3", kSetAlbumType, {3}, kInvalidParameter},
        {"execute bit 11", kExecute, {0x00, 0x08, 0}, kInvalidParameter},
        {"execute image 3", kExecute, {0x04, 0x00, 3}, kInvalidParameter},
        {"execute short", kExecuteEx, {0x04, 0x00}, kInvalidParameter},
        {"presence of ID 1000", kGetRegisteredData, U16s({1000}), kInvalidParameter},
        {"delete data beyond type", kDeleteData, {100, 0, 0}, kOutOfAlbumRange},
        {"delete user beyond type", kDeleteUser, U16s({100}), kOutOfAlbumRange},
        {"registration short", kRegistration, {1, 0}, kOutOfAlbumRange},
        {"load album short form", kLoadAlbum, {1, 2}, kBadAlbumBlock},
    };
    for (const auto& c : cases) {
        const Response r = Send(m, c.code, c.payload);
        EXPECT_TRUE(r.answer) << c.what;
        EXPECT_EQ(r.code, c.expected) << c.what;
        EXPECT_TRUE(r.payload.empty()) << c.what;
    }
    EXPECT_EQ(Send(m, kGetThreshold).payload, U16s({500, 500, 500, 500}));
    EXPECT_EQ(Send(m, kGetCameraAngle).payload, Bytes{0});
}

TEST(ModuleCommands, DisabledCommandsAnswerAsUnknown) {
    ModuleConfig config;
    config.disabled = {kExecute};
    CModule m(config);
    EXPECT_EQ(Send(m, kExecute, {0x04, 0, 0}).code, kUnknownCommand);
    EXPECT_EQ(Send(m, kExecuteEx, {0x04, 0, 0}).code, kOk);
}
