// One whole command exchange through the device manager against arbitrary
// answer bytes, over the link's in-memory transport. The first input byte
// picks the operation, the next two give its arguments, the rest is what the
// module answers (fed as soon as the request is written).
//
// Every time limit is set to 0 (one look at the received bytes) through
// time-out files in a private working folder, so a short answer ends the
// exchange at once. Get Full Image Size, GetDeviceID and Set Camera
// Resolution wait without limit by design and are therefore left out: an
// incomplete answer would hang them.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "album/AlbumTransfer.h"
#include "base/ImageData.h"
#include "link/MemoryTransport.h"
#include "protocol/DeviceMngr.h"
#include "protocol/TimeLimits.h"

namespace {

// Makes a private folder holding the time-out files and returns a handle
// to it; the working directory is switched there only around each exchange
// so that libFuzzer's relative corpus paths keep working.
int WriteZeroLimits() {
    char folder[] = "/tmp/kyto-fuzz-exchange.XXXXXX";
    const int home = open(".", O_RDONLY | O_DIRECTORY);
    if (home < 0 || mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        abort();
    }
    const char* bauds[] = {"9600", "38400", "115200", "230400", "460800", "921600"};
    {
        std::ofstream f("CmdTimeout.ini");
        f << "[Command]\n";
        for (const char* name : TimeOutContext::kCommandNames) {
            f << name << "=0\n";
        }
    }
    {
        std::ofstream f("ExecTimeOut.ini");
        f << "[Function]\nBodyDitect=0\nHandDitect=0\nFaceDir=0\nAge=0\nGender=0\nGaze=0\n"
             "Blink=0\nExpression=0\n[Face_20]\n15_30=0\n[Face_64]\n15_30=0\n"
             "[Recognition]\n0-10=0\n";
    }
    {
        std::ofstream f("ImgTimeout.ini");
        for (const char* section : {"QVGA", "160x120", "NoImage"}) {
            f << "[" << section << "]\n";
            for (const char* b : bauds) {
                f << b << "=0\n";
            }
        }
    }
    {
        std::ofstream f("AlbumTimeout.ini");
        for (const char* section : {"SaveAlbum", "LoadAlbum"}) {
            f << "[" << section << "]\n";
            for (const char* b : bauds) {
                f << b << "=0\n";
            }
        }
        f << "[WriteFlash]\n0-9=0\n10Over=0\n";
    }
    {
        std::ofstream f("RegTimeOut.ini");
        for (const char* section : {"Registration", "DeleteUser", "DeleteData", "DeleteAll"}) {
            f << "[" << section << "]\n0-100=0\n";
        }
    }
    const int limits = open(".", O_RDONLY | O_DIRECTORY);
    if (limits < 0 || fchdir(home) != 0) {
        abort();
    }
    close(home);
    return limits;
}

// Working directory switched to a folder for the life of the object.
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

struct Harness {
    Harness() : folder(WriteZeroLimits()) {
        InFolder here(folder);
        mngr = new CDeviceMngr();
        mngr->UseTransport(&transport);
        mngr->SetSupportedCommands({0x00, 0x01, 0x03, 0x05, 0x07, 0x09, 0x10, 0x11, 0x12, 0x13,
                                    0x15, 0x20, 0x21, 0x22, 0x30, 0x40, 0x42, 0x44, 0x45});
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Harness h;
    if (size < 3) {
        return 0;
    }
    const int op = data[0] % 20;
    const int a = data[1];
    const int b = data[2];
    h.answer.assign(data + 3, data + size);
    h.answered = false;

    InFolder here(h.folder);
    CDeviceMngr& m = *h.mngr;
    int w = 0, hgt = 0, type = 0;
    VersionInfo version;
    FacePicture picture;
    AlbumImage album;
    std::uint8_t registered[10];
    CFrameResult frame;
    std::uint8_t flags[11] = {};
    for (int i = 0; i < 11; ++i) {
        flags[i] = (((a << 8) | b) >> i) & 1;
    }
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
        case 17:
            (void)m.ExecuteFrame(flags, 0, a % 3, (b & 0x80) != 0, (b & 0x40) != 0, h.image, frame);
            break;
        case 18:
            (void)m.ExecutePreview(h.image, frame);
            break;
        default:
            (void)m.Resync(a % 3, 1, frame);
            break;
    }
    if (picture.bytes > FacePicture::kCapacity) {
        __builtin_trap();
    }
    return 0;
}
