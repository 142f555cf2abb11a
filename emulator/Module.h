#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "emulator/Album.h"
#include "emulator/Frames.h"
#include "emulator/Scene.h"

// The module's command handling: one command frame in, at most one response
// out. The line (baud rate, pacing, faults) is the server's business.
//
// Response codes:
//   0x00 success
//   0x01 unknown command code, or a command this model variant lacks
//   0x02 invalid parameter: wrong payload length or a value out of range
//   0x03 user ID or data number outside the album type (Delete Data, Delete
//        User); for Registration any parameter problem, because 0x01 and
//        0x02 there mean "no face in view" and "several faces in view"
//   0x04 album block refused by Load Album (malformed, wrong length)
//   0x05 the album could not be written to flash (the state file)
namespace kyto::emu {

enum ResponseCode : std::uint8_t {
    kOk = 0x00,
    kUnknownCommand = 0x01,
    kInvalidParameter = 0x02,
    kOutOfAlbumRange = 0x03,
    kBadAlbumBlock = 0x04,
    kFlashFailed = 0x05,
    kNoFace = 0x01,
    kSeveralFaces = 0x02,
};

enum CommandCode : std::uint8_t {
    kGetVersion = 0x00,
    kSetCameraAngle = 0x01,
    kGetCameraAngle = 0x02,
    kExecute = 0x03,
    kExecuteEx = 0x04,
    kSetThreshold = 0x05,
    kGetThreshold = 0x06,
    kSetSizeRange = 0x07,
    kGetSizeRange = 0x08,
    kSetFaceAngle = 0x09,
    kGetFaceAngle = 0x0A,
    kSetCameraResolution = 0x0B,
    kGetCameraResolution = 0x0C,
    kGetFullImageSize = 0x0D,
    kSetBaudRate = 0x0E,
    kRegistration = 0x10,
    kDeleteData = 0x11,
    kDeleteUser = 0x12,
    kDeleteAll = 0x13,
    kGetRegisteredData = 0x15,
    kSaveAlbum = 0x20,
    kLoadAlbum = 0x21,
    kWriteFlash = 0x22,
    kReformatAlbum = 0x30,
    kSetVerifyThreshold = 0x40,
    kGetVerifyThreshold = 0x41,
    kSetVerifyUserId = 0x42,
    kGetVerifyUserId = 0x43,
    kSetAlbumType = 0x44,
    kGetAlbumType = 0x45,
    kGetDeviceId = 0xFF,
};

struct ModuleConfig {
    std::string model = "KYTO-EMU";
    int major = 1, minor = 0, release = 0;
    std::uint32_t revision = 1;
    std::uint32_t deviceId = 1;
    std::uint64_t seed = 1;
    int people = 3;
    double frameSeconds = 0.1;
    int fullWidth = 640, fullHeight = 480;  // resolution codes 0 and 1
    int albumType = 0;                      // at start, when no flash contents exist
    std::set<int> disabled;                 // codes answered 0x01
    std::string stateFile;                  // flash contents; empty = kept in memory only
};

struct Response {
    bool answer = true;  // false: the module says nothing
    std::uint8_t code = kOk;
    std::vector<std::uint8_t> payload;
    bool frame = false;  // an Execute or ExecuteEx answer
    // Sent as it is instead of the frame of code and payload (a replayed answer).
    std::vector<std::uint8_t> raw;
};

// Registered-face similarity of the recognition and verify results.
struct MatchResult {
    int userId = -1;
    int score = 0;
};

class CModule {
public:
    explicit CModule(ModuleConfig config);

    Response Handle(const CommandFrame& command);

    // The current detection settings and the full-image size they use.
    const DetectionSettings& Settings() const { return settings_; }
    const CAlbum& Album() const { return album_; }
    const CScene& Scene() const { return scene_; }
    std::int64_t Frame() const { return frame_; }
    void SetFrame(std::int64_t frame) { frame_ = frame; }
    // A message for the log about the last command (empty when nothing to say).
    const std::string& Note() const { return note_; }

    // Loading the flash contents at start; false (and an empty album) when the
    // file exists but does not hold a valid album.
    bool RestoreFlash(std::string& error);

private:
    Response Execute(const std::vector<std::uint8_t>& p, bool extended);
    Response Register(const std::vector<std::uint8_t>& p);
    Response LoadAlbum(const CommandFrame& command);
    Response WriteFlash(const std::vector<std::uint8_t>& albumPayload);
    std::vector<std::uint8_t> AlbumPayload() const;  // S, flag, 3 zero bytes, S bytes

    MatchResult Recognise(const FaceObservation& face) const;
    MatchResult Verify(const FaceObservation& face) const;
    int Similarity(const FaceObservation& face, int userId, int dataIndex,
                   std::uint32_t identity) const;

    ModuleConfig config_;
    DetectionSettings settings_;
    CScene scene_;
    CAlbum album_;
    std::int64_t frame_ = 0;
    int cameraAngle_ = 0;
    int resolution_ = 0;
    int recognitionThreshold_ = 500;
    int verifyThreshold_ = 500;
    int verifyUserId_ = -1;
    std::string note_;
};

}  // namespace kyto::emu
