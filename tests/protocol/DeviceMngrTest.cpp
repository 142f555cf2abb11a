// Device manager behaviour on the in-memory transport: detection frames,
// stabiliser hook-up, and answers a faulty module might give.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

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

Bytes Detect(int x, int y, int size, int conf) {
    Bytes out;
    for (int v : {x, y, size, conf}) {
        AppendLe16(out, v);
    }
    return out;
}

// Payload with `faces` faces of rectangle (+ direction) + age, x = 10 * index.
Bytes FacesWithAge(int faces, bool direction = false) {
    Bytes p = {0, 0, static_cast<std::uint8_t>(faces), 0};
    for (int i = 0; i < faces; ++i) {
        const Bytes d = Detect(10 * i, 5, 30, 900);
        p.insert(p.end(), d.begin(), d.end());
        if (direction) {
            const Bytes dir = Detect(1, 2, 3, 4);
            p.insert(p.end(), dir.begin(), dir.end());
        }
        p.insert(p.end(), {static_cast<std::uint8_t>(20 + i), 0x64, 0x00});
    }
    return p;
}

class RecordingStabiliser : public IStabiliser {
public:
    void StabiliseFrame(RawDetectResult& raw, const std::uint8_t functionFlags[11], int bodyIds[35],
                        int faceIds[35]) override {
        ++frames;
        lastAge = functionFlags[4];
        for (std::size_t i = 0; i < raw.faceRecords.size() && i < raw.ageRecords.size(); ++i) {
            faceIds[i] = 50 - static_cast<int>(i);  // reverse the order
            raw.ageRecords[i][1] = 0x74;            // 100 + 10,000: being stabilised
            raw.ageRecords[i][2] = 0x27;
        }
        (void)bodyIds;
    }
    void EndStabilisation() override { ++ends; }
    int frames = 0;
    int ends = 0;
    int lastAge = -1;
};

class DeviceMemory : public ::testing::Test {
protected:
    void SetUp() override {
        mngr = std::make_unique<CDeviceMngr>();
        mngr->UseTransport(module.Transport());
        mngr->SetSupportedCommands({0x03, 0x04, 0x10, 0x20, 0x21});
    }
    int Execute(std::initializer_list<int> on, int limit = 5000, int imageType = 0,
                bool stabilise = false, bool verifyNotSelected = false) {
        std::uint8_t flags[11] = {};
        for (int i : on) {
            flags[i] = 1;
        }
        frame = CFrameResult{};
        const DeviceReply reply =
            mngr->ExecuteFrame(flags, limit, imageType, stabilise, verifyNotSelected, image, frame);
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

TEST_F(DeviceMemory, ExecuteSavesChangedChoicesAndDecodes) {
    module.Answer(Response(0, FacesWithAge(2)));
    ASSERT_EQ(Execute({2, 4}, 5000, 1), kResultOk);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(module.Frames().at(0), (Bytes{0xFE, 0x03, 0x03, 0x00, 0x14, 0x00, 0x01}));
    ASSERT_EQ(frame.faces.size(), 2u);
    EXPECT_EQ(frame.faces[1].detect.x, 10);
    EXPECT_EQ(frame.faces[1].age.age, 21);
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.ImageWidth(), 0);  // no image block came

    std::uint8_t saved[11];
    ReadFunctionFlags(saved);
    EXPECT_EQ(saved[2], 1);
    EXPECT_EQ(saved[4], 1);
    EXPECT_EQ(ReadExecuteImage(), 1);
    EXPECT_EQ(ReadQuellFlag(), 0);
}

TEST_F(DeviceMemory, ExecuteExWhenExecuteIsMissingAndNothingWhenBothAre) {
    mngr->SetSupportedCommands({0x04});
    Bytes p = {0, 0, 1, 0};
    const Bytes d = Detect(1, 2, 3, 4);
    p.insert(p.end(), d.begin(), d.end());
    p.insert(p.end(), {0x00, 0x64, 0x00, 0x00, 0x00, 0x10});
    module.Answer(Response(0, p));
    ASSERT_EQ(Execute({2, 8}), kResultOk);
    EXPECT_EQ(module.Frames().at(0)[1], 0x04);
    ASSERT_EQ(frame.faces.size(), 1u);
    EXPECT_EQ(frame.faces[0].expression.scores[1], 100);
    EXPECT_EQ(frame.faces[0].expression.score, -128);

    mngr->SetSupportedCommands({});
    module.Forget();
    ASSERT_EQ(Execute({2, 8}), kResultOk);
    EXPECT_TRUE(module.Frames().empty());
    EXPECT_TRUE(frame.faces.empty());
}

TEST_F(DeviceMemory, VerifyWithoutUserLeavesTheBitOutAndFillsTheVerdict) {
    Bytes p = {0, 0, 2, 0};
    for (int i = 0; i < 2; ++i) {
        const Bytes d = Detect(i, 0, 10, 10);
        p.insert(p.end(), d.begin(), d.end());
    }
    module.Answer(Response(0, p));
    ASSERT_EQ(Execute({2, 10}, 5000, 0, false, true), kResultOk);
    const Bytes request = module.Frames().at(0);
    EXPECT_EQ(request[4] | (request[5] << 8), 0x0004);
    EXPECT_EQ(mngr->LastFunctionFlags()[10], 0);
    ASSERT_EQ(frame.faces.size(), 2u);
    for (const FaceResult& f : frame.faces) {
        EXPECT_EQ(f.verify.result, kVerifyNoVerdict);
        EXPECT_EQ(f.verify.score, -1);
    }
}

TEST_F(DeviceMemory, ModuleErrorSkipsDecodingAndKeepsLinkInfo) {
    module.Answer(Response(0x07, FacesWithAge(1)));
    ASSERT_EQ(Execute({2, 4}), kResultOk);
    EXPECT_EQ(rc, 0x07);
    EXPECT_TRUE(frame.faces.empty());
    EXPECT_EQ(frame.sendInfo, mngr->Link()->SendInfo());
    EXPECT_EQ(frame.recvInfo, mngr->Link()->RecvInfo());
}

// An answer with an empty payload must not show the previous frame again.
TEST_F(DeviceMemory, EmptyAnswerIsAnEmptyFrame) {
    module.Answer(Response(0, FacesWithAge(3)));
    ASSERT_EQ(Execute({2, 4}), kResultOk);
    ASSERT_EQ(frame.faces.size(), 3u);
    module.Answer(Response(0));
    ASSERT_EQ(Execute({2, 4}), kResultOk);
    EXPECT_TRUE(frame.faces.empty());
}

// Any change of choices makes the frame use the table limit (1 s without
// files), never the caller's adaptive one.
TEST_F(DeviceMemory, ChangedChoicesUseTheTableLimit) {
    module.Answer(Response(0, FacesWithAge(1)), 150);
    EXPECT_EQ(Execute({2}, 1), kResultOk);  // first frame: everything is new
    module.Answer(Response(0, FacesWithAge(1)), 150);
    EXPECT_EQ(Execute({2}, 1), kResultTimeout);  // unchanged: the 1 ms limit holds
    module.Answer(Response(0, FacesWithAge(1)), 150);
    EXPECT_EQ(Execute({2}, 1, 2), kResultOk);  // image type changed
    module.Answer(Response(0, FacesWithAge(1)), 150);
    EXPECT_EQ(Execute({2}, 1, 2, true), kResultOk);  // stabilisation changed
}

TEST_F(DeviceMemory, StabiliserRunsBetweenTheStagesAndOrdersFaces) {
    auto owned = std::make_unique<RecordingStabiliser>();
    RecordingStabiliser* stab = owned.get();
    mngr->SetStabiliser(std::move(owned));

    module.Answer(Response(0, FacesWithAge(3, true)));
    ASSERT_EQ(Execute({2, 4}, 5000, 0, true), kResultOk);
    // Age while stabilising asks the module for the direction as well.
    EXPECT_EQ(module.Frames().at(0)[4], 0x1C);
    EXPECT_EQ(stab->frames, 1);
    EXPECT_EQ(stab->lastAge, 1);
    ASSERT_EQ(frame.faces.size(), 3u);
    EXPECT_EQ(frame.faces[0].detect.trackingId, 48);
    EXPECT_EQ(frame.faces[0].detect.x, 20);
    EXPECT_EQ(frame.faces[2].detect.trackingId, 50);
    EXPECT_EQ(frame.faces[0].age.state, kStateStabilising);
    EXPECT_EQ(frame.faces[0].age.confidence, 100);

    const int endsBefore = stab->ends;
    module.Answer(Response(0, FacesWithAge(1)));
    ASSERT_EQ(Execute({2, 4}, 5000, 0, false), kResultOk);
    EXPECT_EQ(stab->frames, 1);             // off: not called
    EXPECT_EQ(stab->ends, endsBefore + 1);  // switching it off ends the tracking
    EXPECT_EQ(frame.faces[0].detect.trackingId, -1);
}

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
