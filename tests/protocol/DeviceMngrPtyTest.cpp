// The device manager against a scripted module on a pseudo-terminal: exact
// request frames, decoded answers, defaults of unsupported commands, the
// connect sequence seen from the module's side and resynchronisation.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "../link/PtyModule.h"
#include "../support/ExecuteOnce.h"
#include "../support/TempDir.h"
#include "ScriptedModule.h"
#include "base/ImageData.h"
#include "link/DeviceLink.h"
#include "protocol/DeviceMngr.h"
#include "protocol/ResultCodes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

const std::vector<int> kAllCommands = {0x00, 0x01, 0x03, 0x04, 0x05, 0x07, 0x09, 0x0B,
                                       0x0C, 0x0D, 0x10, 0x11, 0x12, 0x13, 0x15, 0x20,
                                       0x21, 0x22, 0x30, 0x40, 0x42, 0x44, 0x45, 0xFF};

class DevicePty : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"CmdTimeout.ini", "ExecTimeOut.ini", "ImgTimeout.ini",
                                 "AlbumTimeout.ini", "RegTimeOut.ini"}) {
            dir.CopyShipped(name);
        }
        mngr = std::make_unique<CDeviceMngr>();
        ASSERT_EQ(mngr->Connect(module.Path(), 921600), kResultOk);
        ASSERT_TRUE(module.WaitRequests(1, 5s));
        module.Forget();
        mngr->SetSupportedCommands(kAllCommands);
    }

    TempDir dir;
    ScriptedModule module;
    std::unique_ptr<CDeviceMngr> mngr;  // destroyed first: it still talks on disconnect
};

struct Outputs {
    VersionInfo version;
    int width = 0, height = 0, albumType = 0;
    std::int32_t deviceId = 0;
    FacePicture picture;
    std::uint8_t registered[10] = {};
    CImageData image;
    CFrameResult frame;
    std::vector<std::uint8_t> album;
};

}  // namespace

TEST_F(DevicePty, EveryCommandSendsItsFrameAndDecodesItsAnswer) {
    Outputs out;
    const std::uint8_t album[13] = {0x05, 0, 0, 0, 0x02, 0, 0, 0, 1, 2, 3, 4, 5};
    Bytes preview = {0, 0, 0, 0, 0xA0, 0x00, 0x78, 0x00};
    for (int i = 0; i < 19200; ++i) {
        preview.push_back(static_cast<std::uint8_t>(i % 251));
    }
    Bytes saved = {32, 0, 0, 0, 0x03, 0, 0, 0};
    saved.resize(40, 0x77);

    struct Case {
        const char* name;
        std::vector<Bytes> requests;
        std::vector<Bytes> answers;
        std::function<DeviceReply(CDeviceMngr&)> call;
        std::function<void()> check;
        std::uint8_t rc;

        Case(const char* n, std::vector<Bytes> req, std::vector<Bytes> ans,
             std::function<DeviceReply(CDeviceMngr&)> f, std::function<void()> k = nullptr,
             std::uint8_t code = 0x00)
            : name(n),
              requests(std::move(req)),
              answers(std::move(ans)),
              call(std::move(f)),
              check(std::move(k)),
              rc(code) {}
    };
    const std::vector<Case> cases = {
        {"Get Version",
         {{0xFE, 0x00, 0x00, 0x00}},
         {Response(0, {'K', 'Y', 'T', 'O', '-', 'E', 'M', 'U', 0, 0, 0, 0, 1, 2, 3, 0x78, 0x56,
                       0x34, 0x12})},
         [&](CDeviceMngr& m) { return m.GetVersion(out.version); },
         [&] {
             EXPECT_EQ(out.version.model, std::string("KYTO-EMU\0\0\0\0", 12));
             EXPECT_EQ(out.version.major, 1);
             EXPECT_EQ(out.version.minor, 2);
             EXPECT_EQ(out.version.release, 3);
             EXPECT_EQ(out.version.revision, 0x12345678);
         }},
        {"Set Camera Angle",
         {{0xFE, 0x01, 0x01, 0x00, 0x01}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.SetCameraAngle(1); }},
        {"Set Threshold then Set Verify Threshold",
         {{0xFE, 0x05, 0x08, 0x00, 0xF4, 0x01, 0x58, 0x02, 0xBC, 0x02, 0x20, 0x03},
          {0xFE, 0x40, 0x02, 0x00, 0x84, 0x03}},
         {Response(0), Response(0)},
         [](CDeviceMngr& m) { return m.SetThresholds(500, 600, 700, 800, 900); }},
        {"Set Size Range",
         {{0xFE, 0x07, 0x0C, 0x00, 20, 0, 200, 0, 30, 0, 0x2C, 0x01, 40, 0, 0x90, 0x01}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.SetSizeRanges(20, 200, 30, 300, 40, 400); }},
        {"Set Face Detection Angle",
         {{0xFE, 0x09, 0x02, 0x00, 0x02, 0x01}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.SetFaceAngle(2, 1); }},
        {"Set Camera Resolution",
         {{0xFE, 0x0B, 0x01, 0x00, 0x03}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.SetCameraResolution(3); }},
        {"Get Full Image Size",
         {{0xFE, 0x0D, 0x00, 0x00}},
         {Response(0, {0x00, 0x05, 0xC0, 0x03})},
         [&](CDeviceMngr& m) { return m.GetFullImageSize(out.width, out.height); },
         [&] {
             EXPECT_EQ(out.width, 1280);
             EXPECT_EQ(out.height, 960);
         }},
        {"GetDeviceID",
         {{0xFE, 0xFF, 0x00, 0x00}},
         {Response(0, {0x78, 0x56, 0x34, 0x12})},
         [&](CDeviceMngr& m) { return m.GetDeviceId(out.deviceId); },
         [&] { EXPECT_EQ(out.deviceId, 0x12345678); }},
        {"Set Verify User ID",
         {{0xFE, 0x42, 0x02, 0x00, 0x02, 0x01}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.SetVerifyUserId(0x102); },
         [&] { EXPECT_EQ(mngr->LastVerifyUserId(), 0x102); }},
        {"Set Album Type",
         {{0xFE, 0x44, 0x01, 0x00, 0x02}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.SetAlbumType(2); }},
        {"Get Album Type",
         {{0xFE, 0x45, 0x00, 0x00}},
         {Response(0, {0x03})},
         [&](CDeviceMngr& m) { return m.GetAlbumType(out.albumType); },
         [&] { EXPECT_EQ(out.albumType, 3); }},
        {"Registration",
         {{0xFE, 0x10, 0x03, 0x00, 0x07, 0x00, 0x03}},
         {Response(0, {2, 0, 3, 0, 11, 12, 13, 14, 15, 16})},
         [&](CDeviceMngr& m) { return m.Register(7, 3, 5, out.picture, out.width, out.height); },
         [&] {
             EXPECT_EQ(out.width, 2);
             EXPECT_EQ(out.height, 3);
             EXPECT_EQ(out.picture.bytes, 6);
             EXPECT_EQ(out.picture.pixels[5], 16);
         }},
        {"Delete Data",
         {{0xFE, 0x11, 0x03, 0x00, 0x07, 0x00, 0x03}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.DeleteData(7, 3, 5); }},
        {"Delete User",
         {{0xFE, 0x12, 0x02, 0x00, 0x07, 0x00}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.DeleteUser(7, 5); }},
        {"Delete All, module error passed on",
         {{0xFE, 0x13, 0x00, 0x00}},
         {Response(0x07)},
         [](CDeviceMngr& m) { return m.DeleteAll(12); },
         nullptr,
         0x07},
        {"Get presence registration Data",
         {{0xFE, 0x15, 0x02, 0x00, 0x07, 0x00}},
         {Response(0, {0x05, 0x02})},
         [&](CDeviceMngr& m) { return m.GetRegisteredData(7, out.registered); },
         [&] {
             const std::uint8_t expected[10] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 1};
             EXPECT_TRUE(std::equal(expected, expected + 10, out.registered));
         }},
        {"Save Album",
         {{0xFE, 0x20, 0x00, 0x00}},
         {Response(0, saved)},
         [&](CDeviceMngr& m) { return m.SaveAlbum(out.album); },
         [&] { EXPECT_EQ(out.album, saved); }},
        {"Load Album",
         {{0xFE, 0x21, 0x04, 0x00, 0x0D, 0, 0, 0, 0x05, 0, 0, 0, 0x02, 0, 0, 0, 1, 2, 3, 4, 5}},
         {Response(0)},
         [&](CDeviceMngr& m) { return m.LoadAlbum(album, sizeof album); }},
        {"Write Album to Flash",
         {{0xFE, 0x22, 0x00, 0x00}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.WriteAlbumToFlash(); }},
        {"Reformat Album",
         {{0xFE, 0x30, 0x00, 0x00}},
         {Response(0)},
         [](CDeviceMngr& m) { return m.ReformatAlbum(); }},
        {"Execute",
         {{0xFE, 0x03, 0x03, 0x00, 0x05, 0x00, 0x00}},
         {Response(
             0, {1, 0, 1, 0, 10, 0, 20, 0, 30, 0, 40, 0, 0xA0, 0, 0x78, 0, 0x29, 0, 0x84, 0x03})},
         [&](CDeviceMngr& m) {
             const std::uint8_t flags[11] = {1, 0, 1};
             return ExecuteOnce(m, flags, 0, 5000, out.image, out.frame);
         },
         [&] {
             ASSERT_EQ(out.frame.bodies.size(), 1u);
             EXPECT_EQ(out.frame.bodies[0].confidence, 40);
             ASSERT_EQ(out.frame.faces.size(), 1u);
             EXPECT_EQ(out.frame.faces[0].detect.size, 41);
             EXPECT_EQ(out.frame.faces[0].detect.confidence, 900);
         }},
        {"Execute preview",
         {{0xFE, 0x03, 0x03, 0x00, 0x00, 0x00, 0x02}},
         {Response(0, preview)},
         [&](CDeviceMngr& m) {
             const std::uint8_t none[11] = {};
             return ExecuteOnce(m, none, kImageSmall, 5000, out.image, out.frame);
         },
         [&] {
             EXPECT_EQ(out.image.Width(), 160);
             EXPECT_EQ(out.image.ImageWidth(), 160);
             EXPECT_EQ(out.image.ImageHeight(), 120);
             EXPECT_EQ(out.image.Pixels()[19199], 19199 % 251);
             EXPECT_TRUE(out.frame.faces.empty());
         }},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        module.Forget();
        for (const Bytes& answer : c.answers) {
            module.Answer(answer);
        }
        const DeviceReply reply = c.call(*mngr);
        ASSERT_EQ(reply.result, kResultOk);
        EXPECT_EQ(reply.status, c.rc);
        EXPECT_EQ(module.Requests(), c.requests);
        if (c.check) {
            c.check();
        }
    }
}

TEST_F(DevicePty, UnsupportedCommandsGiveDefaultsWithoutTalking) {
    mngr->SetSupportedCommands({0x0D, 0x40});

    int width = 0, height = 0;
    EXPECT_TRUE(mngr->GetFullImageSize(width, height).Ok());
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    int type = 9;
    EXPECT_TRUE(mngr->GetAlbumType(type).Ok());
    EXPECT_EQ(type, 0);

    std::int32_t id = 9;
    EXPECT_TRUE(mngr->GetDeviceId(id).Ok());
    EXPECT_EQ(id, 0);

    std::uint8_t registered[10];
    std::fill(registered, registered + 10, 1);
    EXPECT_TRUE(mngr->GetRegisteredData(1, registered).Ok());
    EXPECT_EQ(std::count(registered, registered + 10, 0), 10);

    std::vector<std::uint8_t> album = {1, 2, 3};
    EXPECT_TRUE(mngr->SaveAlbum(album).Ok());
    EXPECT_TRUE(album.empty());
    EXPECT_TRUE(mngr->LoadAlbum(album.data(), album.size()).Ok());

    // Setters the model lacks are skipped as successes.
    FacePicture picture;
    EXPECT_TRUE(mngr->SetCameraAngle(1).Ok());
    EXPECT_TRUE(mngr->DeleteAll(3).Ok());
    EXPECT_TRUE(mngr->Register(1, 0, 1, picture, width, height).Ok());

    // Set Threshold is missing but Set Verify Threshold is there.
    module.Answer(Response(0));
    EXPECT_TRUE(mngr->SetThresholds(1, 2, 3, 4, 0x0105).Ok());

    // Get Version is always allowed; it closes the sequence.
    module.Answer(Response(0, Bytes(19, 0)));
    VersionInfo version;
    EXPECT_TRUE(mngr->GetVersion(version).Ok());
    EXPECT_EQ(module.Requests(),
              (std::vector<Bytes>{{0xFE, 0x40, 0x02, 0x00, 0x05, 0x01}, {0xFE, 0x00, 0x00, 0x00}}));

    // Without the verify threshold either, nothing at all goes out.
    mngr->SetSupportedCommands({});
    module.Forget();
    EXPECT_TRUE(mngr->SetThresholds(1, 2, 3, 4, 5).Ok());
    std::this_thread::sleep_for(150ms);
    EXPECT_TRUE(module.Requests().empty());
}

TEST(DeviceConnect, BaudSwitchSeenFromTheModule) {
    TempDir dir;
    struct Case {
        int baud;
        std::uint8_t index;
        speed_t speed;
    } cases[] = {{921600, 5, B921600}, {115200, 2, B115200}, {9600, 0, B9600}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        ScriptedModule module;
        CDeviceMngr mngr;
        ASSERT_EQ(mngr.Connect(module.Path(), c.baud), kResultOk);
        ASSERT_TRUE(module.WaitRequests(1, 5s));
        EXPECT_EQ(module.Requests().at(0), (Bytes{0xFE, 0x0E, 0x01, 0x00, c.index}));
        EXPECT_EQ(module.Speeds().at(0), B9600);  // told at 9600
        EXPECT_EQ(module.Speed(), c.speed);       // then reopened at the new rate
        EXPECT_EQ(mngr.Link()->Baud(), c.baud);

        mngr.Disconnect();
        ASSERT_TRUE(module.WaitRequests(2, 5s));
        EXPECT_EQ(module.Requests().at(1), (Bytes{0xFE, 0x0E, 0x01, 0x00, 0x00}));
        EXPECT_EQ(module.Speeds().at(1), c.speed);
        VersionInfo version;
        EXPECT_EQ(mngr.GetVersion(version).result, kResultNoLink);
    }
    CDeviceMngr mngr;
    EXPECT_EQ(mngr.Connect("/dev/kyto-no-such-port", 9600), kResultNoLink);
}

// After a failed frame the module may still be talking; Resync keeps reading
// until the line stays quiet for the whole limit, so the next command sees
// only its own answer.
TEST_F(DevicePty, ResyncDrainsLateBytes) {
    module.Answer(Bytes(12, 0x55));  // answers the resync marker with junk
    std::thread late([&] {
        std::this_thread::sleep_for(150ms);
        module.Send(Bytes(6, 0x66));
    });
    CFrameResult frame;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(mngr->Resync(0, 400, frame), kResultTimeout);
    const auto took = std::chrono::steady_clock::now() - start;
    late.join();
    EXPECT_GE(took, 400ms);
    EXPECT_EQ(mngr->Link()->Available(), 0);
    EXPECT_EQ(module.Requests().at(0), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(frame.sendInfo, mngr->Link()->SendInfo());

    module.Answer(Response(0, Bytes(19, 'v')));
    VersionInfo version;
    EXPECT_TRUE(mngr->GetVersion(version).Ok());
    EXPECT_EQ(version.model, std::string(12, 'v'));
}

// A long send (an album at a low rate takes minutes) ends at once on Cancel,
// and so does the wait for a module that never answers; the port stays
// usable once resumed.
TEST(DeviceCancel, EndsALongSendAndASilentWaitOnTheSerialPort) {
    TempDir dir;
    PtyModule module;
    module.Stop();  // nobody reads: the send stalls once the terminal is full
    CDeviceMngr mngr;
    ASSERT_EQ(mngr.Connect(module.Path(), 921600), kResultOk);
    mngr.SetSupportedCommands({0x21, 0xFF});
    const std::vector<std::uint8_t> album(kSaveAlbumAnswerMax, 0x5A);
    DeviceReply load;
    std::thread sender([&] { load = mngr.LoadAlbum(album.data(), album.size()); });
    std::this_thread::sleep_for(200ms);  // well into the send
    mngr.Cancel();
    sender.join();
    EXPECT_EQ(load.result, kResultCancelled);
    mngr.ResumeAfterCancel();

    PtyModule answering;
    ASSERT_EQ(mngr.Connect(answering.Path(), 921600), kResultOk);
    mngr.SetSupportedCommands({0xFF});
    mngr.SetDefaultTimeLimit(20000);
    DeviceReply id;
    std::thread waiter([&] {
        std::int32_t deviceId = 0;
        id = mngr.GetDeviceId(deviceId);
    });
    ASSERT_GE(answering.WaitReceived(5 + 4, 5s), 9u);  // baud switch, then the request
    mngr.Cancel();
    waiter.join();
    EXPECT_EQ(id.result, kResultCancelled);
    mngr.ResumeAfterCancel();

    std::int32_t deviceId = 0;
    std::thread again([&] { id = mngr.GetDeviceId(deviceId); });
    ASSERT_GE(answering.WaitReceived(9 + 4, 5s), 13u);
    answering.Send({0xFE, 0x00, 0x04, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00});
    again.join();
    EXPECT_TRUE(id.Ok());
    EXPECT_EQ(deviceId, 7);
}
