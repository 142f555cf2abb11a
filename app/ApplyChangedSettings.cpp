// Sending what the settings dialog changed: each changed group of device
// settings goes to the module in the order the module expects them, and the
// core and Settings.ini learn only what the module accepted, so that after a
// failure they still describe the module as it is.

#include <algorithm>

#include "app/AppCore.h"
#include "protocol/ResultCodes.h"

namespace {

bool Refused(const DeviceReply& reply, bool unsupportedIsFine) {
    if (reply.result == kResultOk) {
        return reply.status != 0;
    }
    return !(unsupportedIsFine && reply.result == kResultUnsupported);
}

bool SameRanges(const CRange a[3], const CRange b[3]) {
    return std::equal(a, a + 3, b);
}

}  // namespace

int CAppCore::ApplyChangedSettings(int angle, const DeviceSettings& settings, int resolutionCode) {
    CDeviceMngr& dev = *device_;

    if (angle != cameraAngle) {
        const DeviceReply step = dev.SetCameraAngle(angle);
        if (step.result != kResultOk && step.result != kResultUnsupported) {
            return -1;
        }
        // The module took the frame: its angle is the new one even when
        // its response code complains, so the core follows it.
        cameraAngle = angle;
        WriteCameraAngle(deviceFolder, angle);
        if (step.result == kResultOk && step.status != 0) {
            return -1;
        }
    }

    const int* t = settings.thresholds;
    if (!std::equal(t, t + 5, current.thresholds)) {
        // Thresholds are part of every model's command set: "not supported"
        // here means the command list is wrong, and counts as a failure.
        if (Refused(dev.SetThresholds(t[0], t[1], t[2], t[3], t[4]), false)) {
            return -1;
        }
        std::copy(t, t + 5, current.thresholds);
        WriteThresholds(deviceFolder, t);
    }

    const CRange* r = settings.ranges;
    if (!SameRanges(r, current.ranges)) {
        if (Refused(dev.SetSizeRanges(r[0].min, r[0].max, r[1].min, r[1].max, r[2].min, r[2].max),
                    false)) {
            return -1;
        }
        std::copy(r, r + 3, current.ranges);
        WriteSizeRanges(deviceFolder, r);
    }

    if (settings.yawCode != current.yawCode || settings.rollCode != current.rollCode) {
        if (Refused(dev.SetFaceAngle(settings.yawCode, settings.rollCode), true)) {
            return -1;
        }
        current.yawCode = settings.yawCode;
        current.rollCode = settings.rollCode;
        WriteFaceAngles(deviceFolder, settings.yawCode, settings.rollCode);
    }

    if (resolutionCode != cameraResolution) {
        if (Refused(dev.SetCameraResolution(resolutionCode), true)) {
            return -1;
        }
        cameraResolution = resolutionCode;
        WriteCameraResolution(deviceFolder, resolutionCode);
    }

    // The detection time limits follow the face size and angles.
    dev.SetDetectionInputs(current.ranges[2].min, current.yawCode, current.rollCode,
                           registeredUsers);

    VersionInfo info;
    return dev.GetVersion(info).Ok() ? 0 : -1;
}
