// One whole command exchange through the device manager against arbitrary
// answer bytes, over the link's in-memory transport. The first input byte
// picks the operation, the next two give its arguments, the rest is what the
// module answers (fed as soon as the request is written).
//
// Everything happens in memory and without waiting: every exchange has the
// fixed limit 0 (one look at the received bytes, no time-out file is read),
// and the line needs no quiet period before a command. Detection frames keep
// the same choices from one input to the next, so the choices are saved to
// Application.ini only once, in a private folder.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "album/AlbumTransfer.h"
#include "base/ImageData.h"
#include "link/MemoryTransport.h"
#include "protocol/DeviceMngr.h"
#include "protocol/KytoProtocol.h"
#include "protocol/RawDetectResult.h"

namespace {

// Working directory switched to a folder for the life of the object, so that
// libFuzzer's relative corpus paths keep working in between.
class InFolder {
public:
    explicit InFolder(int folder) : home_(open(".", O_RDONLY | O_DIRECTORY)) {
        if (home_ < 0 || fchdir(folder) != 0) {
            abort();
        }
    }
    ~InFolder() {
        if (fchdir(home_) != 0) {
            abort();
        }
        close(home_);
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    int home_;
};

int PrivateFolder() {
    char folder[] = "/tmp/kyto-fuzz-exchange.XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        abort();
    }
    const int fd = open(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        abort();
    }
    return fd;
}

struct Harness {
    Harness() : folder(PrivateFolder()) {
        InFolder here(folder);
        mngr = new CDeviceMngr();
        mngr->UseTransport(&transport);
        mngr->SetFixedTimeLimit(0);
        mngr->Protocol()->SetQuietPeriodMs(0);
        mngr->SetSupportedCommands({0x00, 0x01, 0x03, 0x05, 0x07, 0x09, 0x0B, 0x0C,
                                    0x10, 0x11, 0x12, 0x13, 0x15, 0x20, 0x21, 0x22,
                                    0x30, 0x40, 0x42, 0x44, 0x45, 0xFF});
        transport.SetOnWrite([this](const std::uint8_t*, int) {
            if (!answered) {
                answered = true;
                transport.Feed(answer);
            }
        });
    }
    int folder;
    CMemoryTransport transport;
    CDeviceMngr* mngr = nullptr;  // never destroyed: lives as long as the process
    std::vector<std::uint8_t> answer;
    bool answered = false;
    CImageData image;
    std::vector<std::uint8_t> album;
};

// One Execute answer decoded into the image and the frame result, as the
// application's detection pipeline does with it.
void DecodeOneFrame(CDeviceMngr& m, CImageData& image, int imageType, std::uint16_t flags,
                    CFrameResult& frame) {
    static RawDetectResult raw;
    raw.Clear();
    raw.imagePixels = nullptr;
    raw.imageCapacity = 0;
    if (imageType == kImageQvga || imageType == kImageSmall) {
        image.Init(imageType == kImageQvga ? 320 : 160, imageType == kImageQvga ? 240 : 120,
                   kFormatGrey8, true);
        raw.AttachImage(image);
    }
    if (m.Execute(imageType, flags, m.ExchangeLimit(kCmdExecute), raw).Ok()) {
        ToFrameResult(raw, frame);
        image.SetImageSize(raw.imageWidth, raw.imageHeight);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Harness h;
    if (size < 3) {
        return 0;
    }
    const int op = data[0] % 23;
    const int a = data[1];
    const int b = data[2];
    h.answer.assign(data + 3, data + size);
    h.answered = false;

    CDeviceMngr& m = *h.mngr;
    int w = 0, hgt = 0, type = 0;
    std::int32_t id = 0;
    VersionInfo version;
    FacePicture picture;
    AlbumImage album;
    std::uint8_t registered[10];
    CFrameResult frame;
    static const std::uint8_t kAllFunctions[11] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    switch (op) {
        case 0:
            (void)m.GetVersion(version);
            break;
        case 1:
            (void)m.SetCameraAngle(a);
            break;
        case 2:
            (void)m.SetThresholds(a, b, a, b, a);
            break;
        case 3:
            (void)m.SetSizeRanges(a, b, a, b, a, b);
            break;
        case 4:
            (void)m.SetFaceAngle(a, b);
            break;
        case 5:
            (void)m.SetVerifyUserId(a);
            break;
        case 6:
            (void)m.SetAlbumType(a);
            break;
        case 7:
            (void)m.GetAlbumType(type);
            break;
        case 8:
            (void)m.Register(a, b, a, picture, w, hgt);
            break;
        case 9:
            (void)m.DeleteData(a, b, a);
            break;
        case 10:
            (void)m.DeleteUser(a, b);
            break;
        case 11:
            (void)m.DeleteAll(a);
            break;
        case 12:
            (void)m.GetRegisteredData(a, registered);
            break;
        case 13:
            if (m.SaveAlbum(h.album).Ok() &&
                DecodeAlbumTransfer(h.album.data(), h.album.size(), album) == kResultOk) {
                if (album.data.size() > kAlbumAreaSize || album.data.size() + 8 > h.album.size()) {
                    __builtin_trap();
                }
            }
            break;
        case 14:
            h.album.assign(static_cast<std::size_t>(a) * 16, static_cast<std::uint8_t>(b));
            (void)m.LoadAlbum(h.album.data(), h.album.size());
            break;
        case 15:
            (void)m.WriteAlbumToFlash();
            break;
        case 16:
            (void)m.ReformatAlbum();
            break;
        case 17: {
            // The same choices every time, as the application's pipeline sends them.
            DecodeOneFrame(m, h.image, kImageQvga, BuildExecutionFlags(kAllFunctions, false),
                           frame);
            break;
        }
        case 18:
            DecodeOneFrame(m, h.image, kImageSmall, 0, frame);
            break;
        case 19:
            (void)m.GetFullImageSize(w, hgt);
            break;
        case 20:
            (void)m.GetDeviceId(id);
            break;
        case 21:
            (void)m.SetCameraResolution(a);
            break;
        default:
            (void)m.Resync(a % 3, 0, frame);
            break;
    }
    if (picture.bytes > FacePicture::kCapacity) {
        __builtin_trap();
    }
    return 0;
}
