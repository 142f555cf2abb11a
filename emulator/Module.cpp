#include "emulator/Module.h"

#include <algorithm>
#include <cmath>

#include "emulator/ByteOrder.h"
#include "emulator/Random.h"
#include "emulator/StateFile.h"

namespace kyto::emu {

namespace {

constexpr int kMaxReported = 35;  // the module reports at most this many of each kind
constexpr int kFacePicture = 64;  // registration picture, one byte per pixel

Response Answer(std::uint8_t code, std::vector<std::uint8_t> payload = {}) {
    Response r;
    r.code = code;
    r.payload = std::move(payload);
    return r;
}

bool ThresholdOk(int v) {
    return v >= 1 && v <= 1000;
}

}  // namespace

CModule::CModule(ModuleConfig config)
    : config_(std::move(config)),
      scene_(config_.seed, config_.people, config_.frameSeconds),
      album_(config_.albumType) {
    settings_.fullWidth = config_.fullWidth;
    settings_.fullHeight = config_.fullHeight;
}

bool CModule::RestoreFlash(std::string& error) {
    if (config_.stateFile.empty()) {
        return true;
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(config_.stateFile, bytes)) {
        return true;  // nothing written yet: an empty album
    }
    if (bytes.size() < 8 || bytes.size() - 8 != GetU32(bytes.data())) {
        error = "state file " + config_.stateFile + " is not an album image";
        return false;
    }
    const AlbumError e = album_.Parse(bytes.data() + 8, bytes.size() - 8, bytes[4]);
    if (e != AlbumError::kNone) {
        error = "state file " + config_.stateFile + ": " + AlbumErrorText(e);
        return false;
    }
    return true;
}

std::vector<std::uint8_t> CModule::AlbumPayload() const {
    const std::vector<std::uint8_t> block = album_.Serialize();
    std::vector<std::uint8_t> out;
    out.reserve(8 + block.size());
    PutU32(out, static_cast<std::uint32_t>(block.size()));
    PutU8(out, album_.FlagByte());
    PutU8(out, 0);
    PutU8(out, 0);
    PutU8(out, 0);
    out.insert(out.end(), block.begin(), block.end());
    return out;
}

Response CModule::Handle(const CommandFrame& command) {
    note_.clear();
    const std::vector<std::uint8_t>& p = command.payload;
    const std::size_t n = p.size();
    if (config_.disabled.count(command.code)) {
        return Answer(kUnknownCommand);
    }
    auto expect = [&](std::size_t size) { return n == size; };
    switch (command.code) {
        case kGetVersion: {
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            std::vector<std::uint8_t> out(12, 0);
            std::copy_n(config_.model.begin(), std::min<std::size_t>(12, config_.model.size()),
                        out.begin());
            PutU8(out, static_cast<unsigned>(config_.major));
            PutU8(out, static_cast<unsigned>(config_.minor));
            PutU8(out, static_cast<unsigned>(config_.release));
            PutU32(out, config_.revision);
            return Answer(kOk, std::move(out));
        }
        case kSetCameraAngle:
            if (!expect(1) || p[0] > 3) {
                return Answer(kInvalidParameter);
            }
            cameraAngle_ = p[0];
            return Answer(kOk);
        case kGetCameraAngle:
            return expect(0) ? Answer(kOk, {static_cast<std::uint8_t>(cameraAngle_)})
                             : Answer(kInvalidParameter);
        case kExecute:
        case kExecuteEx:
            return Execute(p, command.code == kExecuteEx);
        case kSetThreshold: {
            if (!expect(8)) {
                return Answer(kInvalidParameter);
            }
            int v[4];
            for (int i = 0; i < 4; ++i) {
                v[i] = GetI16(p.data() + 2 * i);
                if (!ThresholdOk(v[i])) {
                    return Answer(kInvalidParameter);
                }
            }
            settings_.bodyThreshold = v[0];
            settings_.handThreshold = v[1];
            settings_.faceThreshold = v[2];
            recognitionThreshold_ = v[3];
            return Answer(kOk);
        }
        case kGetThreshold: {
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            std::vector<std::uint8_t> out;
            for (int v : {settings_.bodyThreshold, settings_.handThreshold, settings_.faceThreshold,
                          recognitionThreshold_}) {
                PutI16(out, v);
            }
            return Answer(kOk, std::move(out));
        }
        case kSetSizeRange: {
            if (!expect(12)) {
                return Answer(kInvalidParameter);
            }
            int v[6];
            for (int i = 0; i < 6; ++i) {
                v[i] = GetI16(p.data() + 2 * i);
                if (v[i] < 1 || v[i] > 8192) {
                    return Answer(kInvalidParameter);
                }
            }
            if (v[0] > v[1] || v[2] > v[3] || v[4] > v[5]) {
                return Answer(kInvalidParameter);
            }
            settings_.bodyMin = v[0];
            settings_.bodyMax = v[1];
            settings_.handMin = v[2];
            settings_.handMax = v[3];
            settings_.faceMin = v[4];
            settings_.faceMax = v[5];
            return Answer(kOk);
        }
        case kGetSizeRange: {
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            std::vector<std::uint8_t> out;
            for (int v : {settings_.bodyMin, settings_.bodyMax, settings_.handMin,
                          settings_.handMax, settings_.faceMin, settings_.faceMax}) {
                PutI16(out, v);
            }
            return Answer(kOk, std::move(out));
        }
        case kSetFaceAngle:
            if (!expect(2) || p[0] > 2 || p[1] > 1) {
                return Answer(kInvalidParameter);
            }
            settings_.yawCode = p[0];
            settings_.rollCode = p[1];
            return Answer(kOk);
        case kGetFaceAngle:
            return expect(0) ? Answer(kOk, {static_cast<std::uint8_t>(settings_.yawCode),
                                            static_cast<std::uint8_t>(settings_.rollCode)})
                             : Answer(kInvalidParameter);
        case kSetCameraResolution: {
            if (!expect(1) || p[0] > 3) {
                return Answer(kInvalidParameter);
            }
            static constexpr int kSizes[4][2] = {{0, 0}, {0, 0}, {1280, 960}, {1600, 1200}};
            resolution_ = p[0];
            settings_.fullWidth = resolution_ >= 2 ? kSizes[resolution_][0] : config_.fullWidth;
            settings_.fullHeight = resolution_ >= 2 ? kSizes[resolution_][1] : config_.fullHeight;
            return Answer(kOk);
        }
        case kGetCameraResolution:
            return expect(0) ? Answer(kOk, {static_cast<std::uint8_t>(resolution_)})
                             : Answer(kInvalidParameter);
        case kGetFullImageSize: {
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            std::vector<std::uint8_t> out;
            PutU16(out, static_cast<unsigned>(settings_.fullWidth));
            PutU16(out, static_cast<unsigned>(settings_.fullHeight));
            return Answer(kOk, std::move(out));
        }
        case kSetBaudRate: {
            Response r;
            r.answer = false;  // the line handles the rate; the module never answers
            return r;
        }
        case kRegistration:
            return Register(p);
        case kDeleteData: {
            if (!expect(3)) {
                return Answer(kInvalidParameter);
            }
            const int id = static_cast<int>(GetU16(p.data()));
            if (!album_.InRange(id, p[2])) {
                return Answer(kOutOfAlbumRange);
            }
            album_.Erase(id, p[2]);
            return Answer(kOk);
        }
        case kDeleteUser: {
            if (!expect(2)) {
                return Answer(kInvalidParameter);
            }
            const int id = static_cast<int>(GetU16(p.data()));
            if (!album_.IdInRange(id)) {
                return Answer(kOutOfAlbumRange);
            }
            album_.EraseUser(id);
            return Answer(kOk);
        }
        case kDeleteAll:
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            album_.Clear();
            return Answer(kOk);
        case kGetRegisteredData: {
            // Every ID the application may hold (0..999) is answered, with an
            // empty mask beyond the album type, so a scan of all IDs succeeds.
            if (!expect(2) || GetU16(p.data()) > 999) {
                return Answer(kInvalidParameter);
            }
            std::vector<std::uint8_t> out;
            PutU16(out, album_.DataMask(static_cast<int>(GetU16(p.data()))));
            return Answer(kOk, std::move(out));
        }
        case kSaveAlbum:
            return expect(0) ? Answer(kOk, AlbumPayload()) : Answer(kInvalidParameter);
        case kLoadAlbum:
            return LoadAlbum(command);
        case kWriteFlash:
            return expect(0) ? WriteFlash(AlbumPayload()) : Answer(kInvalidParameter);
        case kReformatAlbum:
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            album_.Clear();
            return WriteFlash(AlbumPayload());
        case kSetVerifyThreshold: {
            if (!expect(2) || !ThresholdOk(GetI16(p.data()))) {
                return Answer(kInvalidParameter);
            }
            verifyThreshold_ = GetI16(p.data());
            return Answer(kOk);
        }
        case kGetVerifyThreshold: {
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            std::vector<std::uint8_t> out;
            PutI16(out, verifyThreshold_);
            return Answer(kOk, std::move(out));
        }
        case kSetVerifyUserId: {
            // 0..999, or -1 (0xFFFF) for none.
            if (!expect(2) || GetI16(p.data()) < -1 || GetI16(p.data()) > 999) {
                return Answer(kInvalidParameter);
            }
            verifyUserId_ = GetI16(p.data());
            return Answer(kOk);
        }
        case kGetVerifyUserId: {
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            std::vector<std::uint8_t> out;
            PutI16(out, verifyUserId_);
            return Answer(kOk, std::move(out));
        }
        case kSetAlbumType:
            if (!expect(1) || !album_.SetType(p[0])) {
                return Answer(kInvalidParameter);
            }
            return Answer(kOk);
        case kGetAlbumType:
            return expect(0) ? Answer(kOk, {static_cast<std::uint8_t>(album_.Type())})
                             : Answer(kInvalidParameter);
        case kGetDeviceId: {
            if (!expect(0)) {
                return Answer(kInvalidParameter);
            }
            std::vector<std::uint8_t> out;
            PutU32(out, config_.deviceId);
            return Answer(kOk, std::move(out));
        }
        default:
            return Answer(kUnknownCommand);
    }
}

int CModule::Similarity(const FaceObservation& face, int userId, int dataIndex,
                        std::uint32_t identity) const {
    const double noise = SignedUnitOf(
        HashOf({config_.seed, 0x5C0ull, static_cast<std::uint64_t>(frame_), face.identity,
                static_cast<std::uint64_t>(userId), static_cast<std::uint64_t>(dataIndex)}));
    double score;
    if (identity == face.identity) {
        score = 680 + 260 * face.frontality + 30 * noise;
    } else {
        // Strangers resemble each other a little, always the same amount.
        const double likeness = UnitOf(HashOf(
            {0x11CEull, std::min(identity, face.identity), std::max(identity, face.identity)}));
        score = 100 + 250 * likeness + 30 * noise;
    }
    return static_cast<int>(std::lround(std::clamp(score, 0.0, 1000.0)));
}

MatchResult CModule::Recognise(const FaceObservation& face) const {
    if (!face.estimable) {
        return {-128, 0};
    }
    if (album_.Empty()) {
        return {-127, 0};
    }
    MatchResult best{-1, -1};
    for (const auto& [key, entry] : album_.Entries()) {
        const int s = Similarity(face, key.first, key.second, entry.identity);
        if (s > best.score) {
            best = {key.first, s};
        }
    }
    if (best.score < recognitionThreshold_) {
        best.userId = -1;
    }
    return best;
}

MatchResult CModule::Verify(const FaceObservation& face) const {
    if (!face.estimable) {
        return {-128, -128};
    }
    if (verifyUserId_ < 0 || !album_.HasUser(verifyUserId_)) {
        return {-127, -127};
    }
    int best = 0;
    for (const auto& [key, entry] : album_.Entries()) {
        if (key.first == verifyUserId_) {
            best = std::max(best, Similarity(face, key.first, key.second, entry.identity));
        }
    }
    return {best >= verifyThreshold_ ? 0 : -1, best};
}

Response CModule::Execute(const std::vector<std::uint8_t>& p, bool extended) {
    if (p.size() != 3) {
        return Answer(kInvalidParameter);
    }
    const unsigned flags = GetU16(p.data());
    const int imageType = p[2];
    if ((flags & 0xF800u) != 0 || imageType > 2) {
        return Answer(kInvalidParameter);
    }
    const Observation obs = scene_.Observe(frame_, settings_);
    const bool faceWork = (flags & 0x07FCu) != 0;
    const int bodies = (flags & 0x0001u) ? std::min<int>(kMaxReported, obs.bodies.size()) : 0;
    const int hands = (flags & 0x0002u) ? std::min<int>(kMaxReported, obs.hands.size()) : 0;
    const int faces = faceWork ? std::min<int>(kMaxReported, obs.faces.size()) : 0;

    std::vector<std::uint8_t> out;
    out.reserve(4 + 8 * (bodies + hands) + 45 * faces + 4 + 320 * 240);
    PutU8(out, static_cast<unsigned>(bodies));
    PutU8(out, static_cast<unsigned>(hands));
    PutU8(out, static_cast<unsigned>(faces));
    PutU8(out, 0);
    auto putDetection = [&out](const Detection& d) {
        PutI16(out, d.x);
        PutI16(out, d.y);
        PutI16(out, d.size);
        PutI16(out, d.confidence);
    };
    for (int i = 0; i < bodies; ++i) {
        putDetection(obs.bodies[i]);
    }
    for (int i = 0; i < hands; ++i) {
        putDetection(obs.hands[i]);
    }
    for (int i = 0; i < faces; ++i) {
        const FaceObservation& f = obs.faces[i];
        const bool est = f.estimable;
        if (flags & 0x0004u) {
            putDetection(f.face);
        }
        if (flags & 0x0008u) {
            PutI16(out, f.yaw);
            PutI16(out, f.pitch);
            PutI16(out, f.roll);
            PutI16(out, f.directionConfidence);
        }
        if (flags & 0x0010u) {
            PutI8(out, est ? f.age : -128);
            PutI16(out, est ? f.ageConfidence : 0);
        }
        if (flags & 0x0020u) {
            PutI8(out, est ? f.gender : -128);
            PutI16(out, est ? f.genderConfidence : 0);
        }
        if (flags & 0x0040u) {
            PutI8(out, f.gazeYaw);
            PutI8(out, f.gazePitch);
        }
        if (flags & 0x0080u) {
            PutI16(out, f.blinkLeft);
            PutI16(out, f.blinkRight);
        }
        if (flags & 0x0100u) {
            if (extended) {
                for (int k = 0; k < 5; ++k) {
                    PutI8(out, est ? f.scores[k] : -128);
                }
            } else {
                PutI8(out, est ? f.expression : -128);
                PutI8(out, est ? f.scores[f.expression - 1] : -128);
            }
            PutI8(out, est ? f.degree : -128);
        }
        if (flags & 0x0200u) {
            const MatchResult m = Recognise(f);
            PutI16(out, m.userId);
            PutI16(out, m.score);
        }
        if (flags & 0x0400u) {
            const MatchResult m = Verify(f);
            PutI16(out, m.userId);
            PutI16(out, m.score);
        }
    }
    if (imageType != 0) {
        GreyImage image;
        scene_.Render(frame_, imageType == 1 ? 320 : 160, imageType == 1 ? 240 : 120, image);
        PutU16(out, static_cast<unsigned>(image.width));
        PutU16(out, static_cast<unsigned>(image.height));
        out.insert(out.end(), image.pixels.begin(), image.pixels.end());
    }
    ++frame_;
    Response r = Answer(kOk, std::move(out));
    r.frame = true;
    return r;
}

Response CModule::Register(const std::vector<std::uint8_t>& p) {
    if (p.size() != 3) {
        return Answer(kOutOfAlbumRange);
    }
    const int id = static_cast<int>(GetU16(p.data()));
    const int dataIndex = p[2];
    if (!album_.InRange(id, dataIndex)) {
        return Answer(kOutOfAlbumRange);
    }
    const std::int64_t frame = frame_++;
    const Observation obs = scene_.Observe(frame, settings_);
    if (obs.faces.empty()) {
        return Answer(kNoFace);
    }
    if (obs.faces.size() > 1) {
        return Answer(kSeveralFaces);
    }
    const FaceObservation& f = obs.faces.front();
    album_.Store(id, dataIndex, f.identity);
    GreyImage picture;
    scene_.RenderFace(frame, f.person, kFacePicture, picture);
    std::vector<std::uint8_t> out;
    PutU16(out, kFacePicture);
    PutU16(out, kFacePicture);
    out.insert(out.end(), picture.pixels.begin(), picture.pixels.end());
    return Answer(kOk, std::move(out));
}

Response CModule::LoadAlbum(const CommandFrame& command) {
    const std::vector<std::uint8_t>& p = command.payload;
    if (command.oversized) {
        note_ = "Load Album: block larger than the album memory";
        return Answer(kBadAlbumBlock);
    }
    // The frame carried FE 21 04 00, a 32-bit length and then these bytes:
    // S, the flag byte, three zero bytes and S album bytes.
    if (p.size() < 8 || GetU32(p.data()) != p.size() - 8) {
        note_ = "Load Album: album size does not match the frame length";
        return Answer(kBadAlbumBlock);
    }
    const AlbumError e = album_.Parse(p.data() + 8, p.size() - 8, p[4]);
    if (e != AlbumError::kNone) {
        note_ = std::string("Load Album: ") + AlbumErrorText(e);
        return Answer(kBadAlbumBlock);
    }
    return Answer(kOk);
}

Response CModule::WriteFlash(const std::vector<std::uint8_t>& albumPayload) {
    if (config_.stateFile.empty()) {
        return Answer(kOk);
    }
    std::string error;
    if (!WriteWholeFileAtomically(config_.stateFile, albumPayload, error)) {
        note_ = "flash write failed: " + error;
        return Answer(kFlashFailed);
    }
    return Answer(kOk);
}

}  // namespace kyto::emu
