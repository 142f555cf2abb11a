#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/DetectionPipeline.h"
#include "app/ModuleFiles.h"
#include "app/Published.h"
#include "protocol/DeviceMngr.h"
#include "settings/Settings.h"

// What the window may read of the core while the device worker owns it: a
// copy taken after the last job (see CAppCore::Status).
struct CoreStatus {
    bool connected = false;
    std::string portName;
    int baudRate = 921600;
    int autoConnect = 0;
    std::string modelName;
    std::string firmwareVersion;  // "MAJOR.MINOR.RELEASE.REVISION", empty before Get Version
    std::int32_t deviceId = 0;
    std::string deviceFolder;
    int cameraAngle = 0;
    DeviceSettings current;
    int cameraResolution = 0;
    // The camera resolutions the connected model offers, and the default
    // device settings of DefSettings.dat (all -1 when it could not be read).
    std::vector<Resolution> resolutions;
    DeviceSettings defaults;
    int verifyUserId = -1;
    std::uint8_t functionFlags[kFunctionCount] = {};
    int imageSizeCode = 1;
    bool stabilisation = true;
    int outputLogFlag = 0;
    int registCount = 0;
    int registeredUsers = 0;
};

// The state shared by the front ends (window or command line) and the device
// worker: the device manager, the stored settings the application works
// with, the model description lists and the connected module's identity.
//
// One owner at a time touches the device manager and the plain fields: the
// thread that creates and loads the core (start-up), then, from
// CDeviceWorker::Start to Quit, the worker thread alone (every use is a job).
// Every other thread reads Status(), a snapshot the worker publishes after
// each job (and PublishStatus() after loading), and changes the core only
// by posting a job.
class CAppCore {
public:
    CAppCore();
    ~CAppCore();
    CAppCore(const CAppCore&) = delete;
    CAppCore& operator=(const CAppCore&) = delete;

    CDeviceMngr& Device() { return *device_; }
    // The detection pipeline (choices memory, stabilisation) of the frames
    // this core's device runs; owned by the same thread as the device.
    CDetectionPipeline& Detection() { return detection_; }

    // Loading at start-up: model description lists, then the application
    // settings. Load() also connects when a port is stored and AutoConnect is
    // 1 (result of ConnectDevice), else returns 1: the user must choose.
    void LoadSettings();
    int Load();

    // Connects at `baud` (baud switch), asks for the version (two attempts)
    // and prepares the per-module data: command list, device ID, device
    // folder, registered-user store, resolution list, device settings.
    // 0 when connected and prepared; otherwise the failing result code or -1
    // (kResultCancelled, with the link left open, when its job was cancelled).
    int ConnectDevice(const std::string& port, int baud);
    // Sends camera angle, thresholds, size ranges, face angles, camera
    // resolution and (when >= 0) the verify user ID, stopping at the first
    // failing step; each accepted value is kept and written to Settings.ini.
    // The failing step's result code (-1 when the module answered with a
    // non-zero response code), else 0.
    int ApplyDeviceSettings(int cameraAngle, const DeviceSettings& settings, int resolutionCode,
                            int verifyUserId);
    // ApplyDeviceSettings with the values the core holds.
    int ApplyStoredDeviceSettings();
    // After the settings dialog: sends only the values that differ from the
    // core's (camera angle, thresholds, size ranges, face angles, camera
    // resolution, in this order), keeping and writing each accepted one, and
    // ends with Get Version to learn that the module still answers. 0, or -1
    // at the first refused step (the steps before it stay kept). In
    // ApplyChangedSettings.cpp.
    int ApplyChangedSettings(int cameraAngle, const DeviceSettings& settings, int resolutionCode);
    // FE 0E 01 00 00 (back to 9600), close the link, end the stabilisation run.
    void Disconnect();

    // ---- Module description files -------------------------------------------
    int ReadDefaultSettings();
    void BuildResolutionLists();
    void ReadCommandLists();
    void SelectResolutionList(const std::string& model);
    // 0 when the model has a list (handed to the device manager), -1 when the
    // device manager keeps its previous list.
    int SelectCommandList(const std::string& model);
    int ResolutionCode(int width, int height) const;
    int ImageSizeForResolution(int& width, int& height);
    void LoadDeviceSettings();

    // The registered-user store is opened in the device folder during
    // ConnectDevice through this hook (0 = opened; anything else fails the
    // preparation). Without a hook only "RegistCount" is read.
    using DeviceFolderHook = std::function<int(const std::string& folder)>;
    void SetDeviceFolderHook(DeviceFolderHook hook) { deviceFolderHook_ = std::move(hook); }

    // Waits of the connection sequence (200 ms before, 500 ms before each
    // Get Version); tests may shorten them.
    void SetConnectDelays(int beforeConnectMs, int beforeVersionMs) {
        delayBeforeConnectMs_ = beforeConnectMs;
        delayBeforeVersionMs_ = beforeVersionMs;
    }

    // Waits of the connection sequence go through this; false means "stop
    // now" (the device worker installs one that a cancel ends at once).
    void SetPause(std::function<bool(int ms)> pause) { pause_ = std::move(pause); }

    // Owner thread: publishes the fields below as a snapshot. Any thread:
    // the last snapshot published.
    void PublishStatus();
    std::shared_ptr<const CoreStatus> Status() const { return status_.Get(); }

    const std::vector<ResolutionList>& ResolutionLists() const { return resolutionLists_; }
    const ResolutionList* SelectedResolutionList() const;
    const std::vector<CommandList>& CommandLists() const { return commandLists_; }

    // ---- State (see the class comment) ---------------------------------------
    std::string portName;
    int baudRate = 921600;
    int cameraAngle = 0;
    int autoConnect = 0;
    std::uint8_t functionFlags[kFunctionCount] = {};
    int imageSizeCode = 1;
    bool stabilisation = true;
    int outputLogFlag = 0;
    int registCount = 0;
    int registeredUsers = 0;  // users in the album (inputs of the time limits)

    std::string modelName;  // as the module reports it, blanks removed at both ends
    VersionInfo version;    // of the last successful Get Version
    std::int32_t deviceId = 0;
    std::string deviceFolder;  // "./<safe model name>/<device ID>"
    int verifyUserId = -1;

    DeviceSettings current;  // sent to / loaded for the module
    int cameraResolution = 0;
    DefaultSettings defaults;

private:
    std::unique_ptr<CDeviceMngr> device_;
    CDetectionPipeline detection_;
    DeviceFolderHook deviceFolderHook_;
    std::vector<ResolutionList> resolutionLists_;
    int selectedResolutionList_ = -1;
    std::vector<CommandList> commandLists_;
    int delayBeforeConnectMs_ = 200;
    int delayBeforeVersionMs_ = 500;
    std::function<bool(int ms)> pause_;
    CPublished<CoreStatus> status_;

    bool Pause(int ms);
    int PrepareDevice();
};

// The model name of a Get Version answer: up to its first zero byte, bytes
// that are not UTF-8 read as Latin-1, blanks removed at both ends.
std::string ModelNameFromVersion(const std::string& raw);

// A folder name made from a model name that stays inside the working folder:
// '/', '\\' and control characters become '_', a name made only of dots gets
// each dot replaced by '_', and an empty name becomes "_".
std::string SafeFolderName(const std::string& modelName);

// "MAJOR.MINOR.RELEASE.REVISION".
std::string FirmwareVersionText(const VersionInfo& version);
