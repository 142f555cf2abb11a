// Device manager behaviour on the in-memory transport: answers a faulty
// module might give, cancel and time limits (the detection pipeline's own
// tests are in tests/app).
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "../support/ExecuteOnce.h"
#include "../support/TempDir.h"
#include "MemoryModule.h"
#include "base/ByteOrder.h"
#include "base/ImageData.h"
#include "link/DeviceLink.h"
#include "protocol/DeviceMngr.h"
#include "protocol/ResultCodes.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class DeviceMemory : public ::testing::Test {
protected:
    void SetUp() override {
        mngr = std::make_unique<CDeviceMngr>();
        mngr->UseTransport(module.Transport());
        mngr->SetSupportedCommands({0x03, 0x04, 0x10, 0x20, 0x21});
    }
    int Execute(std::initializer_list<int> on, int limit = 5000, int imageType = 0) {
        std::uint8_t flags[11] = {};
        for (int i : on) {
            flags[i] = 1;
        }
        frame = CFrameResult{};
        const DeviceReply reply = ExecuteOnce(*mngr, flags, imageType, limit, image, frame);
        rc = reply.status;
        return reply.result;
    }

    TempDir dir;
    MemoryModule module;
    std::unique_ptr<CDeviceMngr> mngr;
    CImageData image;
    CFrameResult frame;
    std::uint8_t rc = 0xAA;
};

}  // namespace

TEST_F(DeviceMemory, RegistrationPictureNeverOverruns) {
    struct Case {
        int width, height;
        std::size_t sent;
        int bytes;
    } cases[] = {
        {64, 64, 4096, 4096},
        {100, 100, 4096, 4096},  // claims 10,000 pixels
        {64, 64, 100, 100},      // claims more than it sends
        {2, 3, 6, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        Bytes p;
        AppendLe16(p, c.width);
        AppendLe16(p, c.height);
        for (std::size_t i = 0; i < c.sent; ++i) {
            p.push_back(static_cast<std::uint8_t>(1 + i % 200));
        }
        module.Answer(Response(0, p));
        FacePicture picture;
        picture.pixels.fill(0xEE);
        int w = 0, h = 0;
        ASSERT_TRUE(mngr->Register(3, 1, 1, picture, w, h).Ok());
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        EXPECT_EQ(picture.bytes, c.bytes);
        EXPECT_EQ(picture.pixels[static_cast<std::size_t>(c.bytes) - 1],
                  static_cast<std::uint8_t>(1 + (c.bytes - 1) % 200));
        if (c.bytes < FacePicture::kCapacity) {
            EXPECT_EQ(picture.pixels[static_cast<std::size_t>(c.bytes)], 0);
        }
    }
}

// The device manager moves the album bytes as they are; their meaning is the
// album layer's (tests/album/AlbumTransferTest.cpp).
TEST_F(DeviceMemory, SaveAlbumHandsOverTheAnswerAndTakesNoMore) {
    std::vector<std::uint8_t> album = {9, 9};
    const Bytes answer(40, 0x42);
    module.Answer(Response(0, answer));
    ASSERT_TRUE(mngr->SaveAlbum(album).Ok());
    EXPECT_EQ(album, answer);

    module.Answer(Response(0));
    ASSERT_TRUE(mngr->SaveAlbum(album).Ok());
    EXPECT_TRUE(album.empty()) << "an empty answer is no album, not the last one";

    module.Answer(Response(0x05, answer));
    album = {7};
    const DeviceReply refused = mngr->SaveAlbum(album);
    EXPECT_TRUE(refused.Answered());
    EXPECT_EQ(refused.status, 0x05);
    EXPECT_EQ(album, (std::vector<std::uint8_t>{7})) << "left alone unless Ok()";

    module.Answer(Response(0, Bytes(kSaveAlbumAnswerMax + 1, 0)));
    EXPECT_EQ(mngr->SaveAlbum(album).result, kResultOverflow);
}

TEST_F(DeviceMemory, LoadAlbumFrame) {
    std::vector<std::uint8_t> payload(100008);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i * 13);
    }
    module.Answer(Response(0));
    ASSERT_TRUE(mngr->LoadAlbum(payload.data(), payload.size()).Ok());
    const Bytes f = module.Frames().at(0);
    ASSERT_EQ(f.size(), 100016u);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 8),
              (Bytes{0xFE, 0x21, 0x04, 0x00, 0xA8, 0x86, 0x01, 0x00}));
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), f.begin() + 8));
}

TEST_F(DeviceMemory, FixedSizeAnswersOfTheWrongLengthAreCommunicationErrors) {
    mngr->SetSupportedCommands({0x0C, 0x15, 0x45, 0xFF});
    struct Case {
        std::size_t payload;
        int result;
    } cases[] = {
        {0, kResultCommError},  // empty: must not decode zeros or an earlier answer
        {2, kResultCommError},  // short
        {5, kResultCommError},  // one byte too many
        {4, kResultOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        module.Answer(Response(0, Bytes(c.payload, 0x01)));
        std::int32_t id = -5;
        EXPECT_EQ(mngr->GetDeviceId(id).result, c.result);
        EXPECT_EQ(id, c.result == kResultOk ? 0x01010101 : -5);
    }
    module.Answer(Response(0, Bytes(10, 0x01)));
    VersionInfo version;
    EXPECT_EQ(mngr->GetVersion(version).result, kResultCommError);
    module.Answer(Response(0, Bytes{}));
    int type = -5;
    EXPECT_EQ(mngr->GetAlbumType(type).result, kResultCommError);
    EXPECT_EQ(type, -5);
}

// Cancel ends the exchange in flight at once with its own result and refuses
// everything else, without talking to the module, until resumed.
TEST_F(DeviceMemory, CancelEndsTheExchangeAndRefusesUntilResumed) {
    mngr->SetSupportedCommands({0x03, 0xFF});
    mngr->SetDefaultTimeLimit(20000);  // a silent module would keep it for 20 s
    DeviceReply waiting;
    std::thread caller([&] {
        std::int32_t id = 0;
        waiting = mngr->GetDeviceId(id);
    });
    ASSERT_TRUE(module.WaitFrames(1, std::chrono::seconds(5)));
    mngr->Cancel();
    caller.join();
    EXPECT_EQ(waiting.result, kResultCancelled);
    EXPECT_TRUE(IsCancelled(waiting.result));
    EXPECT_FALSE(IsCommunicationError(waiting.result) || IsNotResponding(waiting.result));

    module.Answer(Response(0, Bytes(19, 'v')));
    VersionInfo version;
    EXPECT_EQ(mngr->GetVersion(version).result, kResultCancelled);
    EXPECT_EQ(Execute({2}), kResultCancelled);
    EXPECT_EQ(mngr->Resync(0, 100, frame), kResultCancelled);
    EXPECT_EQ(mngr->LoadAlbum(nullptr, 0).result, kResultCancelled);
    EXPECT_EQ(mngr->Connect("/dev/kyto-no-such-port", 9600), kResultCancelled);
    EXPECT_EQ(module.Frames().size(), 1u) << "nothing more was sent";

    mngr->ResumeAfterCancel();
    EXPECT_FALSE(mngr->IsCancelled());
    EXPECT_TRUE(mngr->GetVersion(version).Ok());
    EXPECT_EQ(version.model, std::string(12, 'v'));
}

// Commands without a time-limit entry, and limits that read negative, wait
// the documented default instead of for ever; an answer within it is taken.
TEST_F(DeviceMemory, EveryExchangeHasAFiniteLimit) {
    mngr->SetSupportedCommands({0x0B, 0x0C, 0xFF});
    EXPECT_EQ(mngr->DefaultTimeLimit(), kDefaultTimeLimitMs);
    EXPECT_LE(kDefaultTimeLimitMs, 30000);
    mngr->SetDefaultTimeLimit(50);
    for (int code : {0x0B, 0x0C, 0x0D, 0xFF}) {
        EXPECT_EQ(mngr->ExchangeLimit(code), 50) << code;
    }
    int w = 0, h = 0;
    std::int32_t id = 0;
    EXPECT_EQ(mngr->SetCameraResolution(1).result, kResultTimeout);
    EXPECT_EQ(mngr->GetFullImageSize(w, h).result, kResultTimeout);
    EXPECT_EQ(mngr->GetDeviceId(id).result, kResultTimeout);

    mngr->SetDefaultTimeLimit(5000);
    module.Answer(Response(0, {0x2A, 0, 0, 0}), 100);  // slow, but within the limit
    ASSERT_TRUE(mngr->GetDeviceId(id).Ok());
    EXPECT_EQ(id, 42);

    // A negative value in the file (here Get Version, read at construction).
    ASSERT_EQ(WriteIniInt("Command", "GetVersion", "./CmdTimeout.ini", -5), 0);
    CDeviceMngr fresh;
    fresh.UseTransport(module.Transport());
    fresh.SetDefaultTimeLimit(50);
    EXPECT_EQ(fresh.LookupTimeLimit(0x00), -5000);
    EXPECT_EQ(fresh.ExchangeLimit(0x00), 50);
    VersionInfo version;
    EXPECT_EQ(fresh.GetVersion(version).result, kResultTimeout);
}

// The space offered for an answer is exactly what the command can use: one
// byte more is an overflow, never an empty success.
TEST_F(DeviceMemory, AnswerOneByteLongerThanItsSpaceOverflows) {
    module.Answer(Response(0, Bytes(4 + FacePicture::kCapacity + 1, 0x01)));
    FacePicture picture;
    int w = 0, h = 0;
    EXPECT_EQ(mngr->Register(3, 1, 1, picture, w, h).result, kResultOverflow);

    module.Answer(Response(0, Bytes(1968 + 1, 0x00)));
    EXPECT_EQ(Execute({0}), kResultOverflow);
    module.Answer(Response(0, Bytes(1968, 0x00)));
    EXPECT_EQ(Execute({0}), kResultOk) << "exactly the space is fine";
}
