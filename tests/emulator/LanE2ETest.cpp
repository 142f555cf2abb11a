// The application's device manager against kyto-emu behind its network
// adapter on 127.0.0.1, in both directions: discovery and configuration, the
// connect sequence with its baud switch, a 320 x 240 frame, an album save
// and load, and the module hanging up in the middle of a response.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

#include "ShippedCommands.h"
#include "album/AlbumTransfer.h"
#include "base/ImageData.h"
#include "emulator/harness/EmuProcess.h"
#include "link/DeviceLink.h"
#include "protocol/DeviceMngr.h"
#include "protocol/ResultCodes.h"
#include "tests/link/LanIni.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/support/ExecuteOnce.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::uint8_t kAllFunctions[11] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

struct Direction {
    const char* name;
    bool programListens;
};

class LanE2E : public ::testing::TestWithParam<Direction> {
protected:
    // The emulator as a network adapter that connects to us (reply mode
    // byte 0x21: low four bits 1) or that we connect to (0x02).
    void Launch(std::vector<std::string> options = {}) {
        for (const char* name : {"CmdTimeout.ini", "ExecTimeOut.ini", "ImgTimeout.ini",
                                 "AlbumTimeout.ini", "RegTimeOut.ini"}) {
            dir.CopyShipped(name);
        }
        if (GetParam().programListens) {
            options.insert(options.end(), {"--tcp-connect", std::to_string(loopback::FreeTcpPort()),
                                           "--mode-byte", "0x21"});
        } else {
            options.insert(options.end(), {"--tcp-listen", "0"});
        }
        options.insert(options.end(),
                       {"--udp-discovery", "0", "--no-line-timing", "--people", "1"});
        emu = std::make_unique<CEmuProcess>(options);
        ASSERT_TRUE(emu->Start()) << emu->Error();
        const std::string udp = emu->ReadLine();
        ASSERT_FALSE(udp.empty());
        WriteLanIni({{"DISCOVERYPORT", udp.substr(udp.rfind(':') + 1)}});
        mngr = std::make_unique<CDeviceMngr>();
        ASSERT_EQ(mngr->Connect("LAN", 921600), kResultOk)
            << CDeviceLink::DescribeLanOpenError(mngr->Link()->LastOpenError());
        EXPECT_EQ(mngr->Link()->LinkMode(), GetParam().programListens ? 0 : 1);
        mngr->SetSupportedCommands(ShippedCommands("KYTO-EMU"));
    }

    int Frame(CFrameResult& result, int imageType, int limitMs = 3000) {
        const DeviceReply reply =
            ExecuteOnce(*mngr, kAllFunctions, imageType, limitMs, image, result);
        return reply.Ok() ? kResultOk : reply.result;
    }

    TempDir dir;
    std::unique_ptr<CEmuProcess> emu;
    std::unique_ptr<CDeviceMngr> mngr;
    CImageData image;
};

TEST_P(LanE2E, ConnectsDetectsAndMovesTheAlbum) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    VersionInfo version;
    ASSERT_TRUE(mngr->GetVersion(version).Ok());
    EXPECT_EQ(version.model.substr(0, version.model.find('\0')), "KYTO-EMU");

    CFrameResult result;
    ASSERT_EQ(Frame(result, 1), kResultOk);
    EXPECT_EQ(result.FaceCount(), 1);
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.Height(), 240);

    // Register, save the album, empty the module, load the album back.
    FacePicture picture;
    int w = 0;
    int h = 0;
    ASSERT_TRUE(mngr->Register(7, 0, 1, picture, w, h).Ok());
    std::vector<std::uint8_t> payload;
    ASSERT_TRUE(mngr->SaveAlbum(payload).Ok());
    AlbumImage album;
    ASSERT_EQ(DecodeAlbumTransfer(payload.data(), payload.size(), album), kResultOk);
    EXPECT_EQ(album.data.size(), 32u + 816u);
    ASSERT_TRUE(mngr->DeleteAll(0).Ok());
    std::uint8_t flags[10] = {};
    ASSERT_TRUE(mngr->GetRegisteredData(7, flags).Ok());
    EXPECT_EQ(flags[0], 0) << "deleted";
    ASSERT_TRUE(EncodeAlbumTransfer(album, payload));
    ASSERT_TRUE(mngr->LoadAlbum(payload.data(), payload.size()).Ok());
    ASSERT_TRUE(mngr->GetRegisteredData(7, flags).Ok());
    EXPECT_EQ(flags[0], 1) << "back from the album";

    // Leaving and coming back: the module was sent back to 9600 baud, and
    // the adapter is told each rate anew.
    mngr->Disconnect();
    ASSERT_EQ(mngr->Connect("LAN", 460800), kResultOk);
    const DeviceReply again = mngr->GetVersion(version);
    ASSERT_TRUE(again.Ok()) << "result " << again.result << " status " << int(again.status);
}

TEST_P(LanE2E, AModuleThatHangsUpMidResponseIsNoLinkUntilReconnected) {
    ASSERT_NO_FATAL_FAILURE(Launch({"--hangup-after", "1"}));
    CFrameResult result;
    ASSERT_EQ(Frame(result, 1), kResultOk);
    const auto start = Clock::now();
    EXPECT_EQ(Frame(result, 1, 10000), kResultTimeout) << "half of a frame arrived";
    EXPECT_LT(Clock::now() - start, 2s) << "the hang-up was not noticed";
    VersionInfo version;
    EXPECT_EQ(mngr->GetVersion(version).result, kResultNoLink);
    EXPECT_FALSE(mngr->Link()->IsPresent());

    ASSERT_EQ(mngr->Connect("LAN", 921600), kResultOk);
    EXPECT_TRUE(mngr->GetVersion(version).Ok());
    EXPECT_EQ(Frame(result, 1), kResultOk);
}

TEST_P(LanE2E, CancelEndsTheExchangeInFlightAtOnce) {
    ASSERT_NO_FATAL_FAILURE(Launch({"--delay-ms", "3000"}));
    auto frame = std::async(std::launch::async, [&] {
        CFrameResult result;
        return Frame(result, 1, 10000);
    });
    std::this_thread::sleep_for(100ms);  // the command is out, the answer 3 s away
    const auto start = Clock::now();
    mngr->Cancel();
    ASSERT_EQ(frame.wait_for(1s), std::future_status::ready);
    EXPECT_EQ(frame.get(), kResultCancelled);
    EXPECT_LT(Clock::now() - start, 50ms);
    mngr->ResumeAfterCancel();
}

INSTANTIATE_TEST_SUITE_P(BothDirections, LanE2E,
                         ::testing::Values(Direction{"ProgramListens", true},
                                           Direction{"ProgramConnects", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
