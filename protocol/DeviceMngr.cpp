#include "protocol/DeviceMngr.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "base/ByteOrder.h"
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

static_assert(kRegistrationAnswerMax == 4 + FacePicture::kCapacity);

}  // namespace

CDeviceMngr::CDeviceMngr()
    : link_(std::make_unique<CDeviceLink>()),
      protocol_(std::make_unique<CKytoProtocol>(link_.get())) {}

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

// ---- Time limits -----------------------------------------------------------------

int CDeviceMngr::ExchangeLimit(int code) {
    if (fixedLimitMs_ >= 0) {
        return fixedLimitMs_;
    }
    const int limit = LookupTimeLimit(code);
    return limit < 0 ? defaultLimitMs_ : limit;
}

// ---- Model description ------------------------------------------------------

void CDeviceMngr::SetSupportedCommands(const std::vector<int>& codes) {
    supported_ = codes;
}

bool CDeviceMngr::IsSupported(int code) const {
    return std::find(supported_.begin(), supported_.end(), code) != supported_.end();
}

// ---- Exchanges -----------------------------------------------------------------

DeviceReply CDeviceMngr::SendAndRead(const std::uint8_t* frame, int frameLength, const char* name,
                                     int timeLimitMs, std::uint8_t* payload, int space,
                                     int& length) {
    length = 0;
    const int sent = protocol_->SendFrame(frame, frameLength, name);
    if (sent != kResultOk) {
        return DeviceReply::Failed(sent);
    }
    // No exchange waits without limit.
    if (timeLimitMs < 0) {
        timeLimitMs = defaultLimitMs_;
    }
    DeviceReply reply = DeviceReply::Failed(kResultOk);
    reply.result =
        protocol_->ReadResponseInto(name, timeLimitMs, payload, space, length, reply.status);
    return reply;
}

DeviceReply CDeviceMngr::ReadIntoBuffer(int code, const std::uint8_t* request, int requestLength,
                                        int timeLimitMs, std::size_t space, int& length) {
    std::uint8_t* buffer = protocol_->ResponseBuffer(space);
    const DeviceReply reply = Exchange(code, request, requestLength, timeLimitMs, buffer,
                                       static_cast<int>(space), length);
    if (reply.result != kResultOk) {
        length = 0;
    }
    return reply;
}

DeviceReply CDeviceMngr::Exchange(int code, const std::uint8_t* request, int requestLength,
                                  int timeLimitMs, std::uint8_t* payload, int space, int& length) {
    const CommandInfo& command = Command(code);
    length = 0;
    if (cancelled_) {
        return DeviceReply::Failed(kResultCancelled);
    }
    if (!connected_) {
        return DeviceReply::Failed(kResultNoLink);
    }
    if (command.checkCode >= 0 && !IsSupported(command.checkCode)) {
        return DeviceReply::Failed(kResultUnsupported);
    }
    if (requestLength != command.requestSize) {
        return DeviceReply::Failed(kResultMissingArgument);  // a request of the wrong shape
    }
    std::vector<std::uint8_t> frame(4 + static_cast<std::size_t>(requestLength));
    frame[0] = 0xFE;
    frame[1] = static_cast<std::uint8_t>(code);
    StoreLe16(&frame[2], requestLength);
    if (requestLength > 0) {
        std::memcpy(&frame[4], request, static_cast<std::size_t>(requestLength));
    }
    return SendAndRead(frame.data(), static_cast<int>(frame.size()), command.name, timeLimitMs,
                       payload, space, length);
}

DeviceReply CDeviceMngr::ExchangeFixed(int code, const std::uint8_t* request, int requestLength,
                                       std::uint8_t* payload) {
    const int size = static_cast<int>(Command(code).answerSize);
    int length = 0;
    DeviceReply reply =
        Exchange(code, request, requestLength, ExchangeLimit(code), payload, size, length);
    if (reply.result == kResultOverflow || (reply.Ok() && length != size)) {
        reply.result = kResultCommError;
    }
    return reply;
}

DeviceReply CDeviceMngr::Simple(int code, const std::uint8_t* request, int requestLength) {
    int length = 0;
    const DeviceReply reply =
        Exchange(code, request, requestLength, ExchangeLimit(code), nullptr, 0, length);
    // Setters the model lacks are skipped silently.
    return reply.result == kResultUnsupported ? DeviceReply::Success() : reply;
}

// ---- Commands --------------------------------------------------------------------

DeviceReply CDeviceMngr::GetVersion(VersionInfo& version) {
    std::uint8_t payload[19] = {};
    const DeviceReply reply = ExchangeFixed(kCmdGetVersion, nullptr, 0, payload);
    if (reply.Ok()) {
        version.model.assign(reinterpret_cast<const char*>(payload), 12);
        version.major = payload[12];
        version.minor = payload[13];
        version.release = payload[14];
        version.revision = LoadLeI32(payload + 15);
    }
    return reply;
}

DeviceReply CDeviceMngr::SetCameraAngle(int angleCode) {
    const std::uint8_t p[1] = {static_cast<std::uint8_t>(angleCode)};
    return Simple(kCmdSetCameraAngle, p, 1);
}

DeviceReply CDeviceMngr::SetThresholds(int body, int hand, int face, int recognition, int verify) {
    std::uint8_t p[8];
    StoreLe16(p, body);
    StoreLe16(p + 2, hand);
    StoreLe16(p + 4, face);
    StoreLe16(p + 6, recognition);
    int length = 0;
    const DeviceReply reply =
        Exchange(kCmdSetThreshold, p, 8, ExchangeLimit(kCmdSetThreshold), nullptr, 0, length);
    if (reply.result != kResultUnsupported && !reply.Ok()) {
        return reply;
    }
    return SetVerifyThreshold(verify);
}

DeviceReply CDeviceMngr::SetVerifyThreshold(int threshold) {
    std::uint8_t p[2];
    StoreLe16(p, threshold);
    return Simple(kCmdSetVerifyThreshold, p, 2);
}

DeviceReply CDeviceMngr::SetSizeRanges(int bodyMin, int bodyMax, int handMin, int handMax,
                                       int faceMin, int faceMax) {
    std::uint8_t p[12];
    const int values[6] = {bodyMin, bodyMax, handMin, handMax, faceMin, faceMax};
    for (int i = 0; i < 6; ++i) {
        StoreLe16(p + 2 * i, values[i]);
    }
    return Simple(kCmdSetSizeRange, p, 12);
}

DeviceReply CDeviceMngr::SetFaceAngle(int yawCode, int rollCode) {
    const std::uint8_t p[2] = {static_cast<std::uint8_t>(yawCode),
                               static_cast<std::uint8_t>(rollCode)};
    return Simple(kCmdSetFaceAngle, p, 2);
}

DeviceReply CDeviceMngr::SetCameraResolution(int code) {
    const std::uint8_t p[1] = {static_cast<std::uint8_t>(code)};
    return Simple(kCmdSetCameraResolution, p, 1);
}

DeviceReply CDeviceMngr::GetFullImageSize(int& width, int& height) {
    std::uint8_t payload[4] = {};
    // The model announces this command through Get Camera Resolution (0x0C).
    const DeviceReply reply = ExchangeFixed(kCmdGetFullImageSize, nullptr, 0, payload);
    if (reply.result == kResultUnsupported) {
        width = 640;
        height = 480;
        return DeviceReply::Success();
    }
    if (reply.Ok()) {
        width = LoadLe16(payload);
        height = LoadLe16(payload + 2);
    }
    return reply;
}

DeviceReply CDeviceMngr::GetDeviceId(std::int32_t& deviceId) {
    std::uint8_t payload[4] = {};
    const DeviceReply reply = ExchangeFixed(kCmdGetDeviceId, nullptr, 0, payload);
    if (reply.result == kResultUnsupported) {
        deviceId = 0;
        return DeviceReply::Success();
    }
    if (reply.Ok()) {
        deviceId = LoadLeI32(payload);
    }
    return reply;
}

DeviceReply CDeviceMngr::SetVerifyUserId(int userId) {
    std::uint8_t p[2];
    StoreLe16(p, userId);
    int length = 0;
    const DeviceReply reply =
        Exchange(kCmdSetVerifyUserId, p, 2, ExchangeLimit(kCmdSetVerifyUserId), nullptr, 0, length);
    if (reply.result == kResultUnsupported) {
        lastVerifyUserId_ = userId;
        return DeviceReply::Success();
    }
    if (reply.Ok()) {
        lastVerifyUserId_ = userId;
    }
    return reply;
}

DeviceReply CDeviceMngr::SetAlbumType(int type) {
    const std::uint8_t p[1] = {static_cast<std::uint8_t>(type)};
    return Simple(kCmdSetAlbumType, p, 1);
}

DeviceReply CDeviceMngr::GetAlbumType(int& type) {
    std::uint8_t payload[1] = {};
    const DeviceReply reply = ExchangeFixed(kCmdGetAlbumType, nullptr, 0, payload);
    if (reply.result == kResultUnsupported) {
        type = 0;
        return DeviceReply::Success();
    }
    if (reply.Ok()) {
        type = payload[0];
    }
    return reply;
}

DeviceReply CDeviceMngr::Register(int userId, int dataIndex, int count, FacePicture& picture,
                                  int& width, int& height) {
    std::uint8_t p[3];
    StoreLe16(p, userId);
    p[2] = static_cast<std::uint8_t>(dataIndex);
    params_.count = count;
    int length = 0;
    const DeviceReply reply = ReadIntoBuffer(
        kCmdRegistration, p, 3, ExchangeLimit(kCmdRegistration), kRegistrationAnswerMax, length);
    const std::uint8_t* payload = protocol_->ResponseBuffer(0);
    if (reply.result == kResultUnsupported) {
        return DeviceReply::Success();
    }
    if (!reply.Ok()) {
        return reply;
    }
    picture = FacePicture{};
    if (length >= 4) {
        picture.width = LoadLe16(payload);
        picture.height = LoadLe16(payload + 2);
        // Copy only what the module delivered and what the picture holds.
        const std::size_t stated = static_cast<std::size_t>(picture.width) * picture.height;
        const std::size_t n = std::min({stated, static_cast<std::size_t>(FacePicture::kCapacity),
                                        static_cast<std::size_t>(length - 4)});
        std::memcpy(picture.pixels.data(), payload + 4, n);
        picture.bytes = static_cast<int>(n);
    }
    width = picture.width;
    height = picture.height;
    return reply;
}

DeviceReply CDeviceMngr::DeleteData(int userId, int dataIndex, int count) {
    std::uint8_t p[3];
    StoreLe16(p, userId);
    p[2] = static_cast<std::uint8_t>(dataIndex);
    params_.count = count;
    return Simple(kCmdDeleteData, p, 3);
}

DeviceReply CDeviceMngr::DeleteUser(int userId, int count) {
    std::uint8_t p[2];
    StoreLe16(p, userId);
    params_.count = count;
    return Simple(kCmdDeleteUser, p, 2);
}

DeviceReply CDeviceMngr::DeleteAll(int totalFaceData) {
    params_.count = totalFaceData;
    return Simple(kCmdDeleteAll, nullptr, 0);
}

DeviceReply CDeviceMngr::GetRegisteredData(int userId, std::uint8_t flags[10]) {
    std::fill(flags, flags + 10, 0);
    std::uint8_t p[2];
    StoreLe16(p, userId);
    std::uint8_t payload[2] = {};
    const DeviceReply reply = ExchangeFixed(kCmdGetRegisteredData, p, 2, payload);
    if (reply.result == kResultUnsupported) {
        return DeviceReply::Success();
    }
    if (reply.Ok()) {
        const std::uint16_t bits = LoadLe16(payload);
        for (int j = 0; j < 10; ++j) {
            flags[j] = (bits >> j) & 1;
        }
    }
    return reply;
}

DeviceReply CDeviceMngr::SaveAlbum(std::vector<std::uint8_t>& payload) {
    int length = 0;
    const DeviceReply reply = ReadIntoBuffer(
        kCmdSaveAlbum, nullptr, 0, ExchangeLimit(kCmdSaveAlbum), kSaveAlbumAnswerMax, length);
    if (reply.result == kResultUnsupported) {
        payload.clear();
        return DeviceReply::Success();
    }
    if (reply.Ok()) {
        const std::uint8_t* bytes = protocol_->ResponseBuffer(0);
        payload.assign(bytes, bytes + length);
    }
    return reply;
}

DeviceReply CDeviceMngr::LoadAlbum(const std::uint8_t* payload, std::size_t size) {
    if (cancelled_) {
        return DeviceReply::Failed(kResultCancelled);
    }
    if (!connected_) {
        return DeviceReply::Failed(kResultNoLink);
    }
    if (!IsSupported(kCmdLoadAlbum)) {
        return DeviceReply::Success();
    }
    if ((payload == nullptr && size > 0) || size > CKytoProtocol::kMaxPayload) {
        return DeviceReply::Failed(kResultMissingArgument);
    }
    // The 16-bit length says 4; the module takes the real length from the
    // first four payload bytes, which the frame puts in front of the data.
    std::vector<std::uint8_t> frame(size + 8, 0);
    frame[0] = 0xFE;
    frame[1] = kCmdLoadAlbum;
    StoreLe16(&frame[2], 4);
    StoreLe32(&frame[4], static_cast<std::uint32_t>(size));
    if (size > 0) {
        std::memcpy(&frame[8], payload, size);
    }
    int length = 0;
    return SendAndRead(frame.data(), static_cast<int>(frame.size()), Command(kCmdLoadAlbum).name,
                       ExchangeLimit(kCmdLoadAlbum), nullptr, 0, length);
}

DeviceReply CDeviceMngr::WriteAlbumToFlash() {
    params_.count = 100;
    return Simple(kCmdWriteFlash, nullptr, 0);
}

DeviceReply CDeviceMngr::ReformatAlbum() {
    return Simple(kCmdReformatAlbum, nullptr, 0);
}

// ---- Detection ---------------------------------------------------------------------

void CDeviceMngr::SetDetectionInputs(int minFaceSize, int yawCode, int rollCode,
                                     int registeredUsers) {
    params_.minFaceSize = minFaceSize;
    params_.yawCode = yawCode;
    params_.rollCode = rollCode;
    params_.registeredUsers = registeredUsers;
}

DeviceReply CDeviceMngr::ExecuteCommand(int code, int imageType, std::uint16_t flags,
                                        int timeLimitMs, RawDetectResult& raw) {
    const bool extended = code == kCmdExecuteEx;
    const std::size_t space =
        ImageBytesForType(imageType) + (extended ? kDetectionSpaceEx : kDetectionSpace);
    const std::uint8_t request[3] = {static_cast<std::uint8_t>(flags & 0xFF),
                                     static_cast<std::uint8_t>(flags >> 8),
                                     static_cast<std::uint8_t>(imageType)};
    int length = 0;
    const DeviceReply reply = ReadIntoBuffer(code, request, 3, timeLimitMs, space, length);
    if (reply.Ok()) {
        DecodeExecute(static_cast<std::size_t>(length), protocol_->ResponseBuffer(0), flags,
                      imageType, extended, raw);
    }
    return reply;
}

DeviceReply CDeviceMngr::Execute(int imageType, std::uint16_t executionFlags, int timeLimitMs,
                                 RawDetectResult& raw) {
    DeviceReply reply = ExecuteCommand(kCmdExecute, imageType, executionFlags, timeLimitMs, raw);
    if (reply.result == kResultUnsupported) {
        reply = ExecuteCommand(kCmdExecuteEx, imageType, executionFlags, timeLimitMs, raw);
    }
    return reply;
}
