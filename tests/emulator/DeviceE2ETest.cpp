// The application's device manager against kyto-emu over the pseudo-
// terminal: the connect sequence, every command, what the decoder makes of
// the module's frames, the album round trip, a wrong baud rate and every
// injected fault.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../support/ExecuteOnce.h"
#include "ExecuteParse.h"
#include "ShippedCommands.h"
#include "album/AlbumTransfer.h"
#include "base/ImageData.h"
#include "emulator/Module.h"
#include "emulator/harness/EmuProcess.h"
#include "link/DeviceLink.h"
#include "protocol/DeviceMngr.h"
#include "protocol/ResultCodes.h"
#include "tests/support/TempDir.h"

namespace {

// The result of a reply, with its status byte in `code`.
int R(const DeviceReply& reply, std::uint8_t& code) {
    code = reply.status;
    return reply.result;
}

const std::uint8_t kAllFunctions[11] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

class DeviceE2E : public ::testing::Test {
protected:
    // Starts the emulator with these options and connects at `baud`, as the
    // application does, with the shipped command list of the model.
    void Launch(std::vector<std::string> options, int baud = 921600) {
        for (const char* name : {"CmdTimeout.ini", "ExecTimeOut.ini", "ImgTimeout.ini",
                                 "AlbumTimeout.ini", "RegTimeOut.ini"}) {
            dir.CopyShipped(name);
        }
        mngr.reset();
        emu = std::make_unique<CEmuProcess>(std::move(options));
        ASSERT_TRUE(emu->Start()) << emu->Error();
        mngr = std::make_unique<CDeviceMngr>();
        ASSERT_EQ(mngr->Connect(emu->PortPath(), baud), kResultOk);
        commands = ShippedCommands("KYTO-EMU");
        ASSERT_FALSE(commands.empty()) << "no KYTO-EMU block in the shipped CmdInfo";
        mngr->SetSupportedCommands(commands);
    }
    // Launch, and the module must answer Get Version with its name.
    void Start(std::vector<std::string> options, int baud = 921600) {
        ASSERT_NO_FATAL_FAILURE(Launch(std::move(options), baud));
        std::uint8_t code = 0xFF;
        VersionInfo version;
        ASSERT_EQ(R(mngr->GetVersion(version), code), kResultOk);
        ASSERT_EQ(code, 0);
        ASSERT_EQ(version.model.substr(0, version.model.find('\0')), "KYTO-EMU");
    }

    int Frame(CFrameResult& result, int imageType = 0, int limitMs = 3000,
              const std::uint8_t* flags = kAllFunctions) {
        std::uint8_t code = 0xFF;
        const int r = R(ExecuteOnce(*mngr, flags, imageType, limitMs, image, result), code);
        lastCode = code;
        return r;
    }

    TempDir dir;
    std::unique_ptr<CEmuProcess> emu;
    std::unique_ptr<CDeviceMngr> mngr;
    std::vector<int> commands;
    CImageData image;
    std::uint8_t lastCode = 0xFF;
};

}  // namespace

TEST_F(DeviceE2E, EveryCommandRoundTrips) {
    Start({"--device-id", "4242", "--people", "1", "--version", "2.5.7", "--revision", "99"});
    std::uint8_t code = 0xFF;
    auto ok = [&](int result, const char* what) {
        EXPECT_EQ(result, kResultOk) << what;
        EXPECT_EQ(code, 0) << what;
        code = 0xFF;
    };
    VersionInfo version;
    ok(R(mngr->GetVersion(version), code), "GetVersion");
    EXPECT_EQ(version.major, 2);
    EXPECT_EQ(version.minor, 5);
    EXPECT_EQ(version.release, 7);
    EXPECT_EQ(version.revision, 99);
    std::int32_t id = 0;
    ok(R(mngr->GetDeviceId(id), code), "GetDeviceId");
    EXPECT_EQ(id, 4242);
    ok(R(mngr->SetCameraAngle(2), code), "SetCameraAngle");
    ok(R(mngr->SetThresholds(500, 500, 500, 500, 500), code), "SetThresholds");
    ok(R(mngr->SetSizeRanges(30, 8192, 40, 8192, 64, 8192), code), "SetSizeRanges");
    ok(R(mngr->SetFaceAngle(1, 1), code), "SetFaceAngle");
    ok(R(mngr->SetCameraResolution(2), code), "SetCameraResolution");
    int w = 0, h = 0;
    ok(R(mngr->GetFullImageSize(w, h), code), "GetFullImageSize");
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 960);
    ok(R(mngr->SetCameraResolution(1), code), "SetCameraResolution");
    ok(R(mngr->SetAlbumType(1), code), "SetAlbumType");
    int type = -1;
    ok(R(mngr->GetAlbumType(type), code), "GetAlbumType");
    EXPECT_EQ(type, 1);
    FacePicture picture;
    ok(R(mngr->Register(12, 1, 1, picture, w, h), code), "Register");
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    EXPECT_EQ(picture.bytes, 4096);
    std::uint8_t flags[10] = {};
    ok(R(mngr->GetRegisteredData(12, flags), code), "GetRegisteredData");
    EXPECT_EQ(flags[0], 0);
    EXPECT_EQ(flags[1], 1);
    ok(R(mngr->SetVerifyUserId(12), code), "SetVerifyUserId");
    std::vector<std::uint8_t> payload;
    ok(R(mngr->SaveAlbum(payload), code), "SaveAlbum");
    AlbumImage album;
    ASSERT_EQ(DecodeAlbumTransfer(payload.data(), payload.size(), album), kResultOk);
    EXPECT_EQ(album.data.size(), 32u + 816u);
    EXPECT_EQ(album.attribute, 1);
    ok(R(mngr->LoadAlbum(payload.data(), payload.size()), code), "LoadAlbum");
    ok(R(mngr->WriteAlbumToFlash(), code), "WriteAlbumToFlash");
    ok(R(mngr->DeleteData(12, 1, 1), code), "DeleteData");
    ok(R(mngr->DeleteUser(12, 1), code), "DeleteUser");
    ok(R(mngr->DeleteAll(0), code), "DeleteAll");
    ok(R(mngr->ReformatAlbum(), code), "ReformatAlbum");
    CFrameResult result;
    EXPECT_EQ(Frame(result), kResultOk);
    EXPECT_EQ(lastCode, 0);
    EXPECT_EQ(result.FaceCount(), 1);

    // The module's refusals arrive as response codes, the exchange itself succeeds.
    EXPECT_EQ(R(mngr->SetCameraAngle(9), code), kResultOk);
    EXPECT_EQ(code, 0x02);
    EXPECT_EQ(R(mngr->Register(500, 0, 1, picture, w, h), code), kResultOk);
    EXPECT_EQ(code, 0x03) << "ID beyond the 500 IDs of album type 1";
}

TEST_F(DeviceE2E, DecodedFramesAreWhatTheModuleMeant) {
    // The emulator's frames read by the application's decoder must equal the
    // module's own values, field by field, for both Execute forms.
    Start({"--seed", "31", "--no-line-timing"});
    kyto::emu::ModuleConfig config;
    config.seed = 31;
    kyto::emu::CModule reference(config);
    for (bool extended : {false, true}) {
        if (extended) {
            std::vector<int> withoutExecute;
            for (int c : commands) {
                if (c != 0x03) {
                    withoutExecute.push_back(c);
                }
            }
            mngr->SetSupportedCommands(withoutExecute);  // the application falls back to ExecuteEx
        }
        int faces = 0;
        for (int i = 0; i < 40; ++i) {
            const int imageType = i % 3;
            CFrameResult result;
            ASSERT_EQ(Frame(result, imageType), kResultOk);
            ASSERT_EQ(lastCode, 0);
            kyto::emu::CommandFrame f;
            f.code = extended ? 0x04 : 0x03;
            f.payload = {0xFF, 0x07, static_cast<std::uint8_t>(imageType)};
            const ParsedExecute want =
                ParseExecute(reference.Handle(f).payload, 0x07FF, imageType, extended);
            ASSERT_TRUE(want.ok);
            ASSERT_EQ(result.BodyCount(), static_cast<int>(want.bodies.size()));
            ASSERT_EQ(result.HandCount(), static_cast<int>(want.hands.size()));
            ASSERT_EQ(result.FaceCount(), static_cast<int>(want.faces.size()));
            for (std::size_t k = 0; k < want.bodies.size(); ++k) {
                EXPECT_EQ(result.bodies[k].x, want.bodies[k].x);
                EXPECT_EQ(result.bodies[k].size, want.bodies[k].size);
                EXPECT_EQ(result.bodies[k].confidence, want.bodies[k].confidence);
            }
            for (std::size_t k = 0; k < want.hands.size(); ++k) {
                EXPECT_EQ(result.hands[k].y, want.hands[k].y);
            }
            for (std::size_t k = 0; k < want.faces.size(); ++k) {
                const FaceResult& got = result.faces[k];
                const ParsedFace& w = want.faces[k];
                EXPECT_EQ(got.detect.x, w.face.x);
                EXPECT_EQ(got.detect.y, w.face.y);
                EXPECT_EQ(got.detect.size, w.face.size);
                EXPECT_EQ(got.direction.yaw, w.yaw);
                EXPECT_EQ(got.direction.roll, w.roll);
                EXPECT_EQ(got.age.age, w.age);
                EXPECT_EQ(got.age.confidence, w.ageConf);
                EXPECT_EQ(got.gender.gender, w.gender);
                EXPECT_EQ(got.gaze.yaw, w.gazeYaw);
                EXPECT_EQ(got.gaze.pitch, w.gazePitch);
                EXPECT_EQ(got.blink.left, w.blinkL);
                EXPECT_EQ(got.blink.right, w.blinkR);
                EXPECT_EQ(got.expression.degree, w.degree);
                if (extended) {
                    for (int s = 0; s < 5; ++s) {
                        EXPECT_EQ(got.expression.scores[s], w.scores[s]);
                    }
                } else {
                    EXPECT_EQ(got.expression.expression, w.expr);
                    EXPECT_EQ(got.expression.score, w.exprScore);
                }
                EXPECT_EQ(got.recognition.userId, w.recUser);
                EXPECT_EQ(got.verify.result, 2) << "empty album: no verdict";
                EXPECT_EQ(got.verify.score, w.verScore);
                ++faces;
            }
            if (imageType != 0) {
                ASSERT_EQ(image.ImageWidth(), want.imageWidth);
                ASSERT_EQ(image.ImageHeight(), want.imageHeight);
                EXPECT_EQ(0, std::memcmp(image.Pixels(), want.image.data(), want.image.size()));
            }
        }
        EXPECT_GT(faces, 20);
    }
}

TEST_F(DeviceE2E, RegisteredPersonIsRecognisedAndVerified) {
    Start({"--people", "1", "--no-line-timing"});
    std::uint8_t code = 0xFF;
    CFrameResult before;
    ASSERT_EQ(Frame(before), kResultOk);
    ASSERT_EQ(before.FaceCount(), 1);
    EXPECT_EQ(before.faces[0].recognition.userId, -127) << "nobody registered yet";

    FacePicture picture;
    int w = 0, h = 0;
    ASSERT_EQ(R(mngr->Register(8, 0, 1, picture, w, h), code), kResultOk);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(R(mngr->SetVerifyUserId(8), code), kResultOk);
    for (int i = 0; i < 10; ++i) {
        CFrameResult result;
        ASSERT_EQ(Frame(result), kResultOk);
        ASSERT_EQ(result.FaceCount(), 1);
        EXPECT_EQ(result.faces[0].recognition.userId, 8);
        EXPECT_GE(result.faces[0].recognition.score, 500);
        EXPECT_EQ(result.faces[0].verify.result, kVerifyMatch);
    }
}

TEST_F(DeviceE2E, SaveThenLoadRestoresTheAlbum) {
    Start({"--people", "1", "--no-line-timing"});
    std::uint8_t code = 0xFF;
    FacePicture picture;
    int w = 0, h = 0;
    for (auto [id, data] : {std::pair{3, 0}, {3, 2}, {40, 9}}) {
        ASSERT_EQ(R(mngr->Register(id, data, 1, picture, w, h), code), kResultOk);
        ASSERT_EQ(code, 0);
    }
    std::vector<std::uint8_t> payload;
    ASSERT_EQ(R(mngr->SaveAlbum(payload), code), kResultOk);
    ASSERT_EQ(code, 0);
    AlbumImage saved;
    ASSERT_EQ(DecodeAlbumTransfer(payload.data(), payload.size(), saved), kResultOk);
    ASSERT_EQ(R(mngr->DeleteAll(3), code), kResultOk);

    ASSERT_TRUE(EncodeAlbumTransfer(saved, payload));
    ASSERT_EQ(R(mngr->LoadAlbum(payload.data(), payload.size()), code), kResultOk);
    ASSERT_EQ(code, 0);
    std::uint8_t flags[10] = {};
    ASSERT_EQ(R(mngr->GetRegisteredData(3, flags), code), kResultOk);
    EXPECT_EQ(flags[0] + flags[2], 2);
    ASSERT_EQ(R(mngr->GetRegisteredData(40, flags), code), kResultOk);
    EXPECT_EQ(flags[9], 1);
    CFrameResult result;
    ASSERT_EQ(Frame(result), kResultOk);
    const int recognised = result.faces.at(0).recognition.userId;
    EXPECT_TRUE(recognised == 3 || recognised == 40) << recognised;

    // A damaged block is refused by the module and changes nothing.
    AlbumImage damaged = saved;
    damaged.data[100] ^= 0x55;
    ASSERT_TRUE(EncodeAlbumTransfer(damaged, payload));
    ASSERT_EQ(R(mngr->LoadAlbum(payload.data(), payload.size()), code), kResultOk);
    EXPECT_EQ(code, 0x04);
    ASSERT_EQ(R(mngr->SaveAlbum(payload), code), kResultOk);
    AlbumImage after;
    ASSERT_EQ(DecodeAlbumTransfer(payload.data(), payload.size(), after), kResultOk);
    EXPECT_EQ(after, saved);
}

TEST_F(DeviceE2E, WrongBaudRateGivesTimeOutsNotResults) {
    Start({});  // with line timing: the real rates matter here
    std::uint8_t code = 0xFF;
    // The port reopened at another rate without telling the module.
    ASSERT_TRUE(mngr->Link()->OpenLink(emu->PortPath(), 115200));
    VersionInfo version;
    EXPECT_EQ(R(mngr->GetVersion(version), code), kResultTimeout);
    CFrameResult result;
    EXPECT_EQ(Frame(result, 2, 1000), kResultTimeout);
    EXPECT_EQ(result.FaceCount() + result.BodyCount() + result.HandCount(), 0);

    // A connect at yet another rate cannot reach a module that is not at
    // 9600: its switch is lost and the line stays mismatched.
    ASSERT_EQ(mngr->Connect(emu->PortPath(), 115200), kResultOk);
    EXPECT_EQ(R(mngr->GetVersion(version), code), kResultTimeout);
    // Connecting at the module's rate works again; Disconnect takes it back to 9600.
    ASSERT_EQ(mngr->Connect(emu->PortPath(), 921600), kResultOk);
    ASSERT_EQ(R(mngr->GetVersion(version), code), kResultOk);
    mngr->Disconnect();
    ASSERT_EQ(mngr->Connect(emu->PortPath(), 230400), kResultOk);
    EXPECT_EQ(R(mngr->GetVersion(version), code), kResultOk);
}

TEST_F(DeviceE2E, FaultsGiveTheFailuresTheApplicationHandles) {
    const std::uint8_t facesOnly[11] = {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    VersionInfo version;
    std::uint8_t code = 0xFF;
    CFrameResult result;
    {
        SCOPED_TRACE("processing delay beyond the time limit, then resync");
        Start({"--delay-ms", "600", "--no-line-timing"});
        // The first frame of new choices waits by the table limit; later ones by ours.
        EXPECT_EQ(Frame(result, 0, 2000, facesOnly), kResultOk);
        EXPECT_EQ(Frame(result, 0, 200, facesOnly), kResultTimeout);
        EXPECT_EQ(mngr->Resync(0, 1000, result), kResultTimeout);
        EXPECT_EQ(Frame(result, 0, 2000, facesOnly), kResultOk) << "the late answer was drained";
    }
    {
        SCOPED_TRACE("lost bytes");
        Launch({"--drop-rate", "1", "--no-line-timing"});
        EXPECT_EQ(R(mngr->GetVersion(version), code), kResultTimeout);
    }
    {
        SCOPED_TRACE("garbled bytes");
        Launch({"--garble-rate", "1", "--no-line-timing"});
        EXPECT_EQ(R(mngr->GetVersion(version), code), kResultBadSync);
    }
    {
        SCOPED_TRACE("truncated answers");
        Launch({"--truncate-rate", "1", "--no-line-timing"});
        for (int i = 0; i < 5; ++i) {
            CFrameResult cut;
            const int r = Frame(cut, 2, 300);
            EXPECT_TRUE(r == kResultTimeout || r == kResultShortHeader) << r;
            EXPECT_EQ(cut.FaceCount(), 0);
        }
    }
    {
        SCOPED_TRACE("silent module");
        Start({"--silent-after", "1", "--no-line-timing"});
        EXPECT_EQ(Frame(result, 0, 1000, facesOnly), kResultOk);
        EXPECT_EQ(Frame(result, 0, 300, facesOnly), kResultTimeout);
        EXPECT_EQ(R(mngr->GetVersion(version), code), kResultTimeout);
    }
    {
        SCOPED_TRACE("vanishing module");
        Start({"--vanish-after", "1", "--no-line-timing"});
        EXPECT_EQ(Frame(result, 0, 1000, facesOnly), kResultOk);
        EXPECT_NE(Frame(result, 0, 300, facesOnly), kResultOk);
        for (int i = 0; i < 100 && emu->Running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_FALSE(emu->Running());
        EXPECT_EQ(R(mngr->GetVersion(version), code), kResultTimeout);
        EXPECT_EQ(mngr->Connect(emu->PortPath(), 921600), kResultNoLink) << "the port is gone";
    }
}
