#include "app/AppCore.h"

#include <chrono>
#include <thread>

#include "app/StabilisationAdapter.h"
#include "base/TextCodec.h"
#include "protocol/ResultCodes.h"
#include "settings/FileOperate.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

// A step of ApplyDeviceSettings fails on a result other than 0 and -3, or on
// a non-zero response code.
bool StepFailed(const DeviceReply& reply) {
    if (reply.result != 0 && reply.result != -3) {
        return true;
    }
    return reply.result == 0 && reply.status != 0;
}

// What a failed step reports. A module that answered but refused the value
// gives -1 (as a failed settings apply does): returning its 0 result would
// report the refusal as success.
int StepResult(const DeviceReply& reply) {
    return reply.result != 0 ? reply.result : -1;
}

}  // namespace

std::string ModelNameFromVersion(const std::string& raw) {
    std::string name = raw.substr(0, raw.find('\0'));
    name = Utf8OrLatin1ToUtf8(name);
    std::size_t begin = 0;
    std::size_t end = name.size();
    while (begin < end && IsBlank(name[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(name[end - 1])) {
        --end;
    }
    return name.substr(begin, end - begin);
}

std::string SafeFolderName(const std::string& modelName) {
    std::string safe;
    bool onlyDots = true;
    for (char c : modelName) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) {
            safe += '_';
        } else {
            safe += c;
        }
        onlyDots = onlyDots && c == '.';
    }
    if (safe.empty()) {
        return "_";
    }
    if (onlyDots) {
        return std::string(safe.size(), '_');
    }
    return safe;
}

std::string FirmwareVersionText(const VersionInfo& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.release) + "." + std::to_string(v.revision);
}

CAppCore::CAppCore() : device_(std::make_unique<CDeviceMngr>()) {
    detection_.SetStabiliser(std::make_unique<CStabilisationAdapter>());
}

CAppCore::~CAppCore() = default;

void CAppCore::LoadSettings() {
    BuildResolutionLists();
    ReadCommandLists();
    ReadComSettings(portName, baudRate);
    autoConnect = ReadAutoConnect();
    // Before a module is connected there is no device folder: its keys read
    // as their defaults.
    cameraAngle = deviceFolder.empty() ? 0 : ReadCameraAngle(deviceFolder);
    ReadFunctionFlags(functionFlags);
    imageSizeCode = ReadExecuteImage();
    stabilisation = ReadQuellFlag() == 1;
    outputLogFlag = ReadOutputLogFlag();
    registCount = deviceFolder.empty() ? 0 : ReadRegistCount(deviceFolder);
    PublishStatus();
}

int CAppCore::Load() {
    LoadSettings();
    if (portName.empty() || autoConnect != 1) {
        return 1;
    }
    return ConnectDevice(portName, baudRate);
}

bool CAppCore::Pause(int ms) {
    if (pause_) {
        return pause_(ms);
    }
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    return true;
}

void CAppCore::PublishStatus() {
    CoreStatus s;
    s.connected = device_->IsConnected();
    s.portName = portName;
    s.baudRate = baudRate;
    s.autoConnect = autoConnect;
    s.modelName = modelName;
    if (!modelName.empty()) {
        s.firmwareVersion = FirmwareVersionText(version);
    }
    s.deviceId = deviceId;
    s.deviceFolder = deviceFolder;
    s.cameraAngle = cameraAngle;
    s.current = current;
    s.cameraResolution = cameraResolution;
    if (const ResolutionList* list = SelectedResolutionList()) {
        s.resolutions = list->resolutions;
    }
    s.defaults = defaults.settings;
    s.verifyUserId = verifyUserId;
    std::copy(functionFlags, functionFlags + kFunctionCount, s.functionFlags);
    s.imageSizeCode = imageSizeCode;
    s.stabilisation = stabilisation;
    s.outputLogFlag = outputLogFlag;
    s.registCount = registCount;
    s.registeredUsers = registeredUsers;
    status_.Publish(std::move(s));
}

int CAppCore::ConnectDevice(const std::string& port, int baud) {
    if (!Pause(delayBeforeConnectMs_)) {
        return kResultCancelled;
    }
    portName = port;
    baudRate = baud;
    WriteComSettings(port, baud);

    int result = device_->Connect(port, baud);
    if (result != 0) {
        return result;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Pause(delayBeforeVersionMs_)) {
            return kResultCancelled;
        }
        VersionInfo info;
        const DeviceReply reply = device_->GetVersion(info);
        result = reply.result;
        if (result == kResultCancelled) {
            // The link stays open: the caller's Disconnect (after the cancel
            // is lifted) sends the module back to 9600 baud.
            return result;
        }
        if (result != 0) {
            continue;
        }
        if (reply.status != 0) {
            // The module answered with an error: not connected, whatever the
            // exchange's own result says.
            result = -1;
            continue;
        }
        version = info;
        modelName = ModelNameFromVersion(info.model);
        result = PrepareDevice();
        if (result == 0 || result == kResultCancelled) {
            return result;
        }
        device_->Disconnect();
    }
    return result;
}

int CAppCore::PrepareDevice() {
    SelectCommandList(modelName);
    std::int32_t id = 0;
    const DeviceReply reply = device_->GetDeviceId(id);
    if (reply.result != 0) {
        return reply.result;
    }
    if (reply.status != 0) {
        return -1;
    }
    int result = 0;
    deviceId = id;
    deviceFolder = "./" + SafeFolderName(modelName) + "/" + std::to_string(deviceId);
    if (deviceFolderHook_) {
        result = deviceFolderHook_(deviceFolder);
        if (result != 0) {
            return result;
        }
    }
    registCount = ReadRegistCount(deviceFolder);
    SelectResolutionList(modelName);
    LoadDeviceSettings();
    device_->SetDetectionInputs(current.ranges[2].min, current.yawCode, current.rollCode,
                                registeredUsers);
    return 0;
}

void CAppCore::Disconnect() {
    device_->Disconnect();
    detection_.EndStabilisation();
}

int CAppCore::ApplyDeviceSettings(int angle, const DeviceSettings& settings, int resolutionCode,
                                  int verifyId) {
    CDeviceMngr& dev = *device_;

    DeviceReply step = dev.SetCameraAngle(angle);
    if (StepFailed(step)) {
        return StepResult(step);
    }
    cameraAngle = angle;
    WriteCameraAngle(deviceFolder, angle);

    const int* t = settings.thresholds;
    step = dev.SetThresholds(t[0], t[1], t[2], t[3], t[4]);
    if (StepFailed(step)) {
        return StepResult(step);
    }
    std::copy(t, t + 5, current.thresholds);
    WriteThresholds(deviceFolder, t);

    const CRange* r = settings.ranges;
    step = dev.SetSizeRanges(r[0].min, r[0].max, r[1].min, r[1].max, r[2].min, r[2].max);
    if (StepFailed(step)) {
        return StepResult(step);
    }
    std::copy(r, r + 3, current.ranges);
    WriteSizeRanges(deviceFolder, r);

    step = dev.SetFaceAngle(settings.yawCode, settings.rollCode);
    if (StepFailed(step)) {
        return StepResult(step);
    }
    current.yawCode = settings.yawCode;
    current.rollCode = settings.rollCode;
    WriteFaceAngles(deviceFolder, settings.yawCode, settings.rollCode);

    step = dev.SetCameraResolution(resolutionCode);
    if (StepFailed(step)) {
        return StepResult(step);
    }
    cameraResolution = resolutionCode;
    WriteCameraResolution(deviceFolder, resolutionCode);

    if (verifyId >= 0) {
        step = dev.SetVerifyUserId(verifyId);
        if (StepFailed(step)) {
            return StepResult(step);
        }
        verifyUserId = verifyId;
        WriteVerifyUserId(deviceFolder, verifyId);
    }
    dev.SetDetectionInputs(current.ranges[2].min, current.yawCode, current.rollCode,
                           registeredUsers);
    return 0;
}

int CAppCore::ApplyStoredDeviceSettings() {
    const DeviceSettings settings = current;
    return ApplyDeviceSettings(cameraAngle, settings, cameraResolution, verifyUserId);
}

int CAppCore::ReadDefaultSettings() {
    std::vector<std::string> lines;
    if (CFileOperate::ReadTextLines(kDefSettingsFile, lines) != 0) {
        return -1;
    }
    return ParseDefaultSettings(lines, defaults);
}

void CAppCore::BuildResolutionLists() {
    std::vector<std::string> lines;
    CFileOperate::ReadTextLines(kFullImageInfoFile, lines);
    resolutionLists_ = ParseResolutionLists(lines);
    selectedResolutionList_ = -1;
}

void CAppCore::ReadCommandLists() {
    std::vector<std::string> lines;
    if (CFileOperate::ReadTextLines(kCmdInfoFile, lines) != 0) {
        return;
    }
    commandLists_ = ParseCommandLists(lines);
}

void CAppCore::SelectResolutionList(const std::string& model) {
    selectedResolutionList_ = 0;
    for (std::size_t i = 0; i < resolutionLists_.size(); ++i) {
        if (resolutionLists_[i].model == model) {
            selectedResolutionList_ = static_cast<int>(i);
            return;
        }
    }
}

const ResolutionList* CAppCore::SelectedResolutionList() const {
    if (selectedResolutionList_ < 0 ||
        selectedResolutionList_ >= static_cast<int>(resolutionLists_.size())) {
        return nullptr;
    }
    return &resolutionLists_[static_cast<std::size_t>(selectedResolutionList_)];
}

int CAppCore::SelectCommandList(const std::string& model) {
    for (const CommandList& list : commandLists_) {
        if (list.model == model) {
            device_->SetSupportedCommands(list.codes);
            return 0;
        }
    }
    return -1;
}

int CAppCore::ResolutionCode(int width, int height) const {
    const ResolutionList* list = SelectedResolutionList();
    if (!list || list->resolutions.empty()) {
        return 0;
    }
    for (const Resolution& r : list->resolutions) {
        if (r.width == width && r.height == height) {
            return r.code;
        }
    }
    return list->resolutions.front().code;
}

int CAppCore::ImageSizeForResolution(int& width, int& height) {
    const ResolutionList* list = SelectedResolutionList();
    if (!list) {
        width = 640;
        height = 480;
        return 0;
    }
    if (cameraResolution != 0) {
        for (const Resolution& r : list->resolutions) {
            if (r.code == cameraResolution) {
                width = r.width;
                height = r.height;
                return 0;
            }
        }
        width = 640;
        height = 480;
        return 0;
    }
    int w = 0;
    int h = 0;
    const DeviceReply reply = device_->GetFullImageSize(w, h);
    if (reply.Ok()) {
        width = w;
        height = h;
    }
    return reply.result;
}

void CAppCore::LoadDeviceSettings() {
    ReadDefaultSettings();
    cameraAngle = ReadCameraAngle(deviceFolder);
    ReadDeviceSettings(deviceFolder, current);
    cameraResolution = ReadCameraResolution(deviceFolder);
    verifyUserId = ReadVerifyUserId(deviceFolder);
    if (current.thresholds[0] != -1) {
        return;  // stored settings of a known module
    }
    // A module new to this application gets the default settings.
    cameraAngle = 0;
    current = defaults.settings;
    cameraResolution = defaults.resolutionCode;
    if (cameraResolution == 0) {
        int w = 0;
        int h = 0;
        if (device_->GetFullImageSize(w, h).Ok()) {
            cameraResolution = ResolutionCode(w, h);
        }
    }
    CFileOperate::EnsureDirectory(deviceFolder);
    WriteCameraAngle(deviceFolder, cameraAngle);
    WriteDeviceSettings(deviceFolder, current);
    WriteCameraResolution(deviceFolder, cameraResolution);
}
