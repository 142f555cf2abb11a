#include "protocol/DeviceMngr.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "base/ByteOrder.h"
#include "base/ImageData.h"
#include "link/DeviceLink.h"
#include "protocol/KytoProtocol.h"
#include "protocol/ResultCodes.h"
#include "settings/Settings.h"

namespace {

// Detection data beyond the image: 4 header bytes, 35 bodies and 35 hands of
// 8 bytes, 35 faces of every part, 4 image header bytes. A face is 39 bytes
// with the three-byte expression and 42 with the six-byte one; the classic
// capacity of 1968 covers only the first, so ExecuteEx is offered enough for
// the second.
constexpr std::size_t kDetectionSpace = 1968;
constexpr std::size_t kDetectionSpaceEx = 4 + 35 * 8 * 2 + 35 * 42 + 4;

constexpr int kResyncFallbackMs = 1000;
constexpr int kBaudSwitchSettleMs = 50;

}  // namespace

int BaudIndex(int baud) {
    switch (baud) {
        case 38400:
            return 1;
        case 115200:
            return 2;
        case 230400:
            return 3;
        case 460800:
            return 4;
        case 921600:
            return 5;
        default:
            return 0;
    }
}

CDeviceMngr::CDeviceMngr()
    : link_(std::make_unique<CDeviceLink>()),
      protocol_(std::make_unique<CKytoProtocol>(link_.get())),
      albumData_(kAlbumDataSize, 0) {}

CDeviceMngr::~CDeviceMngr() {
    Disconnect();
}

void CDeviceMngr::SetFrameObserver(IFrameObserver* observer) {
    observer_ = observer;
    protocol_->SetObserver(observer);
}

void CDeviceMngr::UseTransport(ILinkTransport* transport) {
    link_->SetTransport(transport);
    usingTransport_ = transport != nullptr;
    connected_ = usingTransport_;
}

// ---- Connection -----------------------------------------------------------

void CDeviceMngr::SendBaudSwitch(int baudIndex) {
    const std::uint8_t frame[5] = {0xFE, kCmdSetBaudRate, 0x01, 0x00,
                                   static_cast<std::uint8_t>(baudIndex)};
    // The baud switch is not shown to the frame observer; no answer is read.
    protocol_->SetObserver(nullptr);
    protocol_->SendFrame(frame, 5, "");
    protocol_->SetObserver(observer_);
}

int CDeviceMngr::Connect(const std::string& port, int baud) {
    if (connected_ && !usingTransport_) {
        link_->CloseLink();
    }
    connected_ = false;
    if (!link_->OpenLink(port, 9600)) {
        return kResultNoLink;
    }
    SendBaudSwitch(BaudIndex(baud));
    // Give the module a moment to take the frame and change its rate before
    // the port is closed and set to the new one.
    std::this_thread::sleep_for(std::chrono::milliseconds(kBaudSwitchSettleMs));
    link_->CloseLink();
    if (!link_->OpenLink(port, baud)) {
        return kResultNoLink;
    }
    connected_ = true;
    usingTransport_ = false;
    params_.baud = baud;
    return kResultOk;
}

void CDeviceMngr::Disconnect() {
    if (connected_) {
        SendBaudSwitch(0);
        if (!usingTransport_) {
            link_->CloseLink();
        }
        connected_ = false;
    }
    EndStabilisation();
}

void CDeviceMngr::CopyLinkInfo(CFrameResult& result) const {
    result.sendInfo = link_->SendInfo();
    result.recvInfo = link_->RecvInfo();
}

int CDeviceMngr::Resync(int imageType, int timeLimitMs, CFrameResult& result) {
    if (!connected_) {
        return kResultNoLink;
    }
    if (timeLimitMs == 0) {
        params_.imageType = imageType;
        timeLimitMs = LookupTimeLimit(kLimitImage);
    }
    // Draining "until a read times out" never ends without a limit.
    if (timeLimitMs < 0) {
        timeLimitMs = kResyncFallbackMs;
    }
    const std::uint8_t zeros[4] = {0, 0, 0, 0};
    protocol_->SendFrame(zeros, 4, "Resync");
    std::uint8_t scratch[6];
    for (;;) {
        int count = 6;
        if (protocol_->ReadBytes(timeLimitMs, count, scratch) != 0) {
            break;
        }
    }
    CopyLinkInfo(result);
    return kResultTimeout;
}

// ---- Model description ------------------------------------------------------

void CDeviceMngr::SetSupportedCommands(const std::vector<int>& codes) {
    supported_ = codes;
}

bool CDeviceMngr::IsSupported(int code) const {
    return std::find(supported_.begin(), supported_.end(), code) != supported_.end();
}

// ---- Exchanges -----------------------------------------------------------------

int CDeviceMngr::SendAndRead(const std::uint8_t* frame, int frameLength, const char* name,
                             int timeLimitMs, std::uint8_t* payload, int& capacity,
                             std::uint8_t& responseCode) {
    protocol_->SendFrame(frame, frameLength, name);
    std::uint8_t none[1];
    return protocol_->ReadResponse(name, timeLimitMs, capacity, responseCode,
                                   payload != nullptr ? payload : none);
}

int CDeviceMngr::ReadIntoBuffer(int code, const char* name, const std::uint8_t* request,
                                int requestLength, int timeLimitMs, std::size_t space, int& length,
                                std::uint8_t& responseCode) {
    // The reader leaves the capacity alone for an empty payload, which would
    // look like a full buffer of the previous answer. Offering one byte more
    // than allowed tells the two apart: an unchanged capacity means an empty
    // payload (or one a byte too long, which is no more usable).
    const int offered = static_cast<int>(space) + 1;
    std::uint8_t* buffer = protocol_->ResponseBuffer(static_cast<std::size_t>(offered));
    length = offered;
    const int r = Exchange(code, code, name, request, requestLength, timeLimitMs, buffer, length,
                           responseCode);
    if (r != kResultOk || length == offered) {
        length = 0;
    }
    return r;
}

int CDeviceMngr::Exchange(int code, int checkCode, const char* name, const std::uint8_t* request,
                          int requestLength, int timeLimitMs, std::uint8_t* payload, int& capacity,
                          std::uint8_t& responseCode) {
    if (!connected_) {
        return kResultNoLink;
    }
    if (checkCode >= 0 && !IsSupported(checkCode)) {
        return kResultUnsupported;
    }
    std::vector<std::uint8_t> frame(4 + static_cast<std::size_t>(requestLength));
    frame[0] = 0xFE;
    frame[1] = static_cast<std::uint8_t>(code);
    StoreLe16(&frame[2], requestLength);
    if (requestLength > 0) {
        std::memcpy(&frame[4], request, static_cast<std::size_t>(requestLength));
    }
    return SendAndRead(frame.data(), static_cast<int>(frame.size()), name, timeLimitMs, payload,
                       capacity, responseCode);
}

int CDeviceMngr::ExchangeFixed(int code, int checkCode, const char* name,
                               const std::uint8_t* request, int requestLength,
                               std::uint8_t* payload, int size, std::uint8_t& responseCode) {
    // Offering one byte more tells "exactly size" apart from an empty answer,
    // which leaves the capacity untouched.
    int capacity = size + 1;
    const int r = Exchange(code, checkCode, name, request, requestLength, LookupTimeLimit(code),
                           payload, capacity, responseCode);
    if (r == kResultOk && responseCode == 0x00 && capacity != size) {
        return kResultCommError;
    }
    return r;
}

int CDeviceMngr::Simple(int code, const char* name, const std::uint8_t* request, int requestLength,
                        std::uint8_t& responseCode) {
    int capacity = 0;
    const int r = Exchange(code, code, name, request, requestLength, LookupTimeLimit(code), nullptr,
                           capacity, responseCode);
    // Setters the model lacks are skipped silently.
    return r == kResultUnsupported ? kResultOk : r;
}

// ---- Commands --------------------------------------------------------------------

int CDeviceMngr::GetVersion(VersionInfo& version, std::uint8_t& responseCode) {
    std::uint8_t payload[19 + 1] = {};
    const int r =
        ExchangeFixed(kCmdGetVersion, -1, "Get Version", nullptr, 0, payload, 19, responseCode);
    if (r == kResultOk && responseCode == 0x00) {
        version.model.assign(reinterpret_cast<const char*>(payload), 12);
        version.major = payload[12];
        version.minor = payload[13];
        version.release = payload[14];
        version.revision = static_cast<std::int32_t>(LoadLe32(payload + 15));
    }
    return r;
}

int CDeviceMngr::SetCameraAngle(int angleCode, std::uint8_t& responseCode) {
    const std::uint8_t p[1] = {static_cast<std::uint8_t>(angleCode)};
    return Simple(kCmdSetCameraAngle, "Set Camera Angle", p, 1, responseCode);
}

int CDeviceMngr::SetThresholds(int body, int hand, int face, int recognition, int verify,
                               std::uint8_t& responseCode) {
    std::uint8_t p[8];
    StoreLe16(p, body);
    StoreLe16(p + 2, hand);
    StoreLe16(p + 4, face);
    StoreLe16(p + 6, recognition);
    int capacity = 0;
    const int r = Exchange(kCmdSetThreshold, kCmdSetThreshold, "Set Threshold", p, 8,
                           LookupTimeLimit(kCmdSetThreshold), nullptr, capacity, responseCode);
    if (r != kResultUnsupported && (r != kResultOk || responseCode != 0x00)) {
        return r;
    }
    return SetVerifyThreshold(verify, responseCode);
}

int CDeviceMngr::SetVerifyThreshold(int threshold, std::uint8_t& responseCode) {
    std::uint8_t p[2];
    StoreLe16(p, threshold);
    return Simple(kCmdSetVerifyThreshold, "Set Verify Threshold", p, 2, responseCode);
}

int CDeviceMngr::SetSizeRanges(int bodyMin, int bodyMax, int handMin, int handMax, int faceMin,
                               int faceMax, std::uint8_t& responseCode) {
    std::uint8_t p[12];
    const int values[6] = {bodyMin, bodyMax, handMin, handMax, faceMin, faceMax};
    for (int i = 0; i < 6; ++i) {
        StoreLe16(p + 2 * i, values[i]);
    }
    return Simple(kCmdSetSizeRange, "Set Size Range", p, 12, responseCode);
}

int CDeviceMngr::SetFaceAngle(int yawCode, int rollCode, std::uint8_t& responseCode) {
    const std::uint8_t p[2] = {static_cast<std::uint8_t>(yawCode),
                               static_cast<std::uint8_t>(rollCode)};
    return Simple(kCmdSetFaceAngle, "Set Face Detection Angle", p, 2, responseCode);
}

int CDeviceMngr::SetCameraResolution(int code, std::uint8_t& responseCode) {
    const std::uint8_t p[1] = {static_cast<std::uint8_t>(code)};
    return Simple(kCmdSetCameraResolution, "Set Camera Resolution", p, 1, responseCode);
}

int CDeviceMngr::GetFullImageSize(int& width, int& height, std::uint8_t& responseCode) {
    std::uint8_t payload[4 + 1] = {};
    // The model announces this command through Get Camera Resolution (0x0C).
    const int r = ExchangeFixed(kCmdGetFullImageSize, kCmdGetCameraResolution,
                                "Get Full Image Size", nullptr, 0, payload, 4, responseCode);
    if (r == kResultUnsupported) {
        width = 640;
        height = 480;
        responseCode = 0x00;
        return kResultOk;
    }
    if (r == kResultOk && responseCode == 0x00) {
        width = LoadLe16(payload);
        height = LoadLe16(payload + 2);
    }
    return r;
}

int CDeviceMngr::GetDeviceId(std::int32_t& deviceId, std::uint8_t& responseCode) {
    std::uint8_t payload[4 + 1] = {};
    const int r = ExchangeFixed(kCmdGetDeviceId, kCmdGetDeviceId, "GetDeviceID", nullptr, 0,
                                payload, 4, responseCode);
    if (r == kResultUnsupported) {
        deviceId = 0;
        responseCode = 0x00;
        return kResultOk;
    }
    if (r == kResultOk && responseCode == 0x00) {
        deviceId = static_cast<std::int32_t>(LoadLe32(payload));
    }
    return r;
}

int CDeviceMngr::SetVerifyUserId(int userId, std::uint8_t& responseCode) {
    std::uint8_t p[2];
    StoreLe16(p, userId);
    int capacity = 0;
    const int r = Exchange(kCmdSetVerifyUserId, kCmdSetVerifyUserId, "Set Verify User ID", p, 2,
                           LookupTimeLimit(kCmdSetVerifyUserId), nullptr, capacity, responseCode);
    if (r == kResultUnsupported) {
        lastVerifyUserId_ = userId;
        return kResultOk;
    }
    if (r == kResultOk && responseCode == 0x00) {
        lastVerifyUserId_ = userId;
    }
    return r;
}

int CDeviceMngr::SetAlbumType(int type, std::uint8_t& responseCode) {
    const std::uint8_t p[1] = {static_cast<std::uint8_t>(type)};
    return Simple(kCmdSetAlbumType, "Set Album Type", p, 1, responseCode);
}

int CDeviceMngr::GetAlbumType(int& type, std::uint8_t& responseCode) {
    std::uint8_t payload[1 + 1] = {};
    const int r = ExchangeFixed(kCmdGetAlbumType, kCmdGetAlbumType, "Get Album Type", nullptr, 0,
                                payload, 1, responseCode);
    if (r == kResultUnsupported) {
        type = 0;
        responseCode = 0x00;
        return kResultOk;
    }
    if (r == kResultOk && responseCode == 0x00) {
        type = payload[0];
    }
    return r;
}

int CDeviceMngr::Register(int userId, int dataIndex, int count, FacePicture& picture, int& width,
                          int& height, std::uint8_t& responseCode) {
    std::uint8_t p[3];
    StoreLe16(p, userId);
    p[2] = static_cast<std::uint8_t>(dataIndex);
    params_.count = count;
    int capacity = 0;
    const int r =
        ReadIntoBuffer(kCmdRegistration, "Registration", p, 3, LookupTimeLimit(kCmdRegistration),
                       4 + FacePicture::kCapacity, capacity, responseCode);
    const std::uint8_t* payload = protocol_->ResponseBuffer(0);
    if (r == kResultUnsupported) {
        return kResultOk;
    }
    if (r != kResultOk || responseCode != 0x00) {
        return r;
    }
    picture = FacePicture{};
    if (capacity >= 4) {
        picture.width = LoadLe16(payload);
        picture.height = LoadLe16(payload + 2);
        // Copy only what the module delivered and what the picture holds.
        const std::size_t stated = static_cast<std::size_t>(picture.width) * picture.height;
        const std::size_t n = std::min({stated, static_cast<std::size_t>(FacePicture::kCapacity),
                                        static_cast<std::size_t>(capacity - 4)});
        std::memcpy(picture.pixels.data(), payload + 4, n);
        picture.bytes = static_cast<int>(n);
    }
    width = picture.width;
    height = picture.height;
    return r;
}

int CDeviceMngr::DeleteData(int userId, int dataIndex, int count, std::uint8_t& responseCode) {
    std::uint8_t p[3];
    StoreLe16(p, userId);
    p[2] = static_cast<std::uint8_t>(dataIndex);
    params_.count = count;
    return Simple(kCmdDeleteData, "Delete Data", p, 3, responseCode);
}

int CDeviceMngr::DeleteUser(int userId, int count, std::uint8_t& responseCode) {
    std::uint8_t p[2];
    StoreLe16(p, userId);
    params_.count = count;
    return Simple(kCmdDeleteUser, "Delete User", p, 2, responseCode);
}

int CDeviceMngr::DeleteAll(int totalFaceData, std::uint8_t& responseCode) {
    params_.count = totalFaceData;
    return Simple(kCmdDeleteAll, "Delete All", nullptr, 0, responseCode);
}

int CDeviceMngr::GetRegisteredData(int userId, std::uint8_t flags[10], std::uint8_t& responseCode) {
    std::fill(flags, flags + 10, 0);
    std::uint8_t p[2];
    StoreLe16(p, userId);
    std::uint8_t payload[2 + 1] = {};
    const int r = ExchangeFixed(kCmdGetRegisteredData, kCmdGetRegisteredData,
                                "Get presence registration Data of one person", p, 2, payload, 2,
                                responseCode);
    if (r == kResultUnsupported) {
        return kResultOk;
    }
    if (r == kResultOk && responseCode == 0x00) {
        const std::uint16_t bits = LoadLe16(payload);
        for (int j = 0; j < 10; ++j) {
            flags[j] = (bits >> j) & 1;
        }
    }
    return r;
}

int CDeviceMngr::SaveAlbum(std::uint8_t& responseCode) {
    int capacity = 0;
    const int r =
        ReadIntoBuffer(kCmdSaveAlbum, "Save Album", nullptr, 0, LookupTimeLimit(kCmdSaveAlbum),
                       kAlbumPayloadMax, capacity, responseCode);
    const std::uint8_t* payload = protocol_->ResponseBuffer(0);
    if (r == kResultUnsupported) {
        responseCode = 0x00;
        return kResultOk;
    }
    if (r != kResultOk || responseCode != 0x00 || capacity < 40) {
        return r;
    }
    const std::uint32_t size = LoadLe32(payload);
    // An album size past the bytes received or the data area would copy
    // stale or foreign memory: the answer is corrupt, keep the block.
    if (size > static_cast<std::uint32_t>(capacity - 8) || size > kAlbumDataSize) {
        return kResultCommError;
    }
    albumSize_ = size;
    albumFlag_ = payload[4];
    std::memcpy(albumData_.data(), payload + 8, size);
    return r;
}

int CDeviceMngr::LoadAlbum(std::uint8_t& responseCode) {
    if (!connected_) {
        return kResultNoLink;
    }
    if (!IsSupported(kCmdLoadAlbum)) {
        responseCode = 0x00;
        return kResultOk;
    }
    // The 16-bit length says 4; the module takes the real length (S + 8) from
    // the first four payload bytes.
    const std::uint32_t size = albumSize_;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(size) + 16, 0);
    frame[0] = 0xFE;
    frame[1] = kCmdLoadAlbum;
    StoreLe16(&frame[2], 4);
    StoreLe32(&frame[4], size + 8);
    StoreLe32(&frame[8], size);
    frame[12] = albumFlag_;
    std::memcpy(&frame[16], albumData_.data(), size);
    int capacity = 0;
    return SendAndRead(frame.data(), static_cast<int>(frame.size()), "Load Album",
                       LookupTimeLimit(kCmdLoadAlbum), nullptr, capacity, responseCode);
}

int CDeviceMngr::WriteAlbumToFlash(std::uint8_t& responseCode) {
    params_.count = 100;
    return Simple(kCmdWriteFlash, "Write Album to Flash", nullptr, 0, responseCode);
}

int CDeviceMngr::ReformatAlbum(std::uint8_t& responseCode) {
    return Simple(kCmdReformatAlbum, "Reformat Album", nullptr, 0, responseCode);
}

int CDeviceMngr::SetAlbum(std::uint32_t size, std::uint8_t flag, const std::uint8_t* data) {
    if (size > kAlbumDataSize || (size > 0 && data == nullptr)) {
        return -1;
    }
    albumSize_ = size;
    albumFlag_ = flag;
    if (size > 0) {
        std::memcpy(albumData_.data(), data, size);
    }
    return 0;
}

// ---- Detection ---------------------------------------------------------------------

void CDeviceMngr::SetDetectionInputs(int minFaceSize, int yawCode, int rollCode,
                                     int registeredUsers) {
    params_.minFaceSize = minFaceSize;
    params_.yawCode = yawCode;
    params_.rollCode = rollCode;
    params_.registeredUsers = registeredUsers;
}

int CDeviceMngr::ExecuteCommand(int code, int imageType, std::uint16_t flags, int timeLimitMs,
                                RawDetectResult& raw, std::uint8_t& responseCode) {
    const bool extended = code == kCmdExecuteEx;
    const std::size_t space =
        ImageBytesForType(imageType) + (extended ? kDetectionSpaceEx : kDetectionSpace);
    const std::uint8_t request[3] = {static_cast<std::uint8_t>(flags & 0xFF),
                                     static_cast<std::uint8_t>(flags >> 8),
                                     static_cast<std::uint8_t>(imageType)};
    int length = 0;
    const int r = ReadIntoBuffer(code, extended ? "ExecuteEx" : "Execute", request, 3, timeLimitMs,
                                 space, length, responseCode);
    if (r == kResultOk && responseCode == 0x00) {
        DecodeExecute(static_cast<std::size_t>(length), protocol_->ResponseBuffer(0), flags,
                      imageType, extended, raw);
    }
    return r;
}

int CDeviceMngr::RunExecution(const std::uint8_t functionFlags[11], int timeLimitMs, int imageType,
                              bool stabilisation, bool verifyNotSelected, CImageData& image,
                              CFrameResult& result, std::uint8_t& responseCode) {
    if (imageType == kImageQvga) {
        image.Init(320, 240, kFormatGrey8, true);
    } else if (imageType == kImageSmall) {
        image.Init(160, 120, kFormatGrey8, true);
    }
    responseCode = 0x00;
    params_.imageType = imageType;
    std::memcpy(params_.functionFlags, functionFlags, 11);
    if (timeLimitMs == 0) {
        const long long sum =
            static_cast<long long>(LookupTimeLimit(kLimitImage)) + LookupTimeLimit(kCmdExecute);
        timeLimitMs = static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
    }

    std::uint16_t flags = BuildExecutionFlags(functionFlags, stabilisation);
    if (verifyNotSelected) {
        flags = static_cast<std::uint16_t>(flags & ~kExecVerify);
    }
    raw_.Clear();
    raw_.imagePixels = nullptr;
    raw_.imageCapacity = 0;
    if (imageType == kImageQvga || imageType == kImageSmall) {
        raw_.AttachImage(image);
    }

    int r = ExecuteCommand(kCmdExecute, imageType, flags, timeLimitMs, raw_, responseCode);
    if (r == kResultUnsupported) {
        r = ExecuteCommand(kCmdExecuteEx, imageType, flags, timeLimitMs, raw_, responseCode);
    }
    if (r == kResultUnsupported) {
        return kResultOk;  // the model cannot detect: an empty frame
    }
    if (r != kResultOk || responseCode != 0x00) {
        CopyLinkInfo(result);
        return r;
    }

    int bodyIds[35];
    int faceIds[35];
    std::fill(bodyIds, bodyIds + 35, -1);
    std::fill(faceIds, faceIds + 35, -1);
    if (stabilisation && stabiliser_) {
        stabiliser_->StabiliseFrame(raw_, functionFlags, bodyIds, faceIds);
    }
    if (verifyNotSelected) {
        AppendVerifyFiller(raw_);
    }
    ToFrameResult(raw_, result);
    SortByTrackingId(result.bodies, bodyIds);
    SortByTrackingId(result.faces, faceIds);
    image.SetImageSize(raw_.imageWidth, raw_.imageHeight);
    return kResultOk;
}

int CDeviceMngr::ExecuteFrame(const std::uint8_t functionFlags[11], int timeLimitMs, int imageType,
                              bool stabilisation, bool verifyNotSelected, CImageData& image,
                              CFrameResult& result, std::uint8_t& responseCode) {
    // Any change of the choices is saved and makes this frame use the table
    // limit, never an adaptive one measured under the old choices.
    if (!flagsKnown_ || std::memcmp(functionFlags, lastFlags_, 11) != 0) {
        WriteFunctionFlags(functionFlags);
        std::memcpy(lastFlags_, functionFlags, 11);
        flagsKnown_ = true;
        timeLimitMs = 0;
    }
    if (imageType != lastImageType_) {
        WriteExecuteImage(imageType);
        lastImageType_ = imageType;
        timeLimitMs = 0;
    }
    if ((stabilisation ? 1 : 0) != lastStabilisation_) {
        WriteQuellFlag(stabilisation);
        lastStabilisation_ = stabilisation ? 1 : 0;
        EndStabilisation();
        timeLimitMs = 0;
    }
    // The request uses the remembered flags; with no user to verify against
    // the verify bit is cleared there, so the next frame sees a change again
    // for as long as the user keeps verify on without a user.
    if (verifyNotSelected) {
        lastFlags_[kFuncVerify] = 0;
    }
    return RunExecution(lastFlags_, timeLimitMs, imageType, stabilisation, verifyNotSelected, image,
                        result, responseCode);
}

int CDeviceMngr::ExecutePreview(CImageData& image, CFrameResult& result,
                                std::uint8_t& responseCode) {
    const std::uint8_t none[11] = {};
    params_.imageType = kImageSmall;
    return RunExecution(none, LookupTimeLimit(kLimitSmallImage), kImageSmall, false, false, image,
                        result, responseCode);
}

// ---- Stabilisation -------------------------------------------------------------------

void CDeviceMngr::SetStabiliser(std::unique_ptr<IStabiliser> stabiliser) {
    if (stabiliser_) {
        stabiliser_->EndStabilisation();
    }
    stabiliser_ = std::move(stabiliser);
}

void CDeviceMngr::EndStabilisation() {
    if (stabiliser_) {
        stabiliser_->EndStabilisation();
    }
}
