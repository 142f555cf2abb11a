#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {

constexpr const char* kThresholdKeys[5] = {"Body", "Hand", "Face", "Recognition", "Verify"};
constexpr const char* kRangeKeys[3] = {"Body", "Hand", "Face"};

int ReadFolderInt(const std::string& folder, const char* file, const char* section, const char* key,
                  int def) {
    int value = def;
    ReadIniInt(section, key, def, DeviceFilePath(folder, file), value);
    return value;
}

int WriteFolderInt(const std::string& folder, const char* file, const char* section,
                   const char* key, int value) {
    return WriteIniInt(section, key, DeviceFilePath(folder, file), value);
}

}  // namespace

int ReadCameraAngle(const std::string& folder) {
    return ReadFolderInt(folder, kSettingsIni, "Camera", "CameraAngle", 0);
}

void WriteCameraAngle(const std::string& folder, int angle) {
    WriteFolderInt(folder, kSettingsIni, "Camera", "CameraAngle", angle);
}

int ReadCameraResolution(const std::string& folder) {
    return ReadFolderInt(folder, kSettingsIni, "Camera", "CameraResolution", 0);
}

void WriteCameraResolution(const std::string& folder, int code) {
    WriteFolderInt(folder, kSettingsIni, "Camera", "CameraResolution", code);
}

void ReadThresholds(const std::string& folder, int thresholds[5]) {
    for (int i = 0; i < 5; ++i) {
        thresholds[i] = ReadFolderInt(folder, kSettingsIni, "Threshold", kThresholdKeys[i], -1);
    }
}

void WriteThresholds(const std::string& folder, const int thresholds[5]) {
    for (int i = 0; i < 5; ++i) {
        WriteFolderInt(folder, kSettingsIni, "Threshold", kThresholdKeys[i], thresholds[i]);
    }
}

void ReadSizeRanges(const std::string& folder, CRange ranges[3]) {
    for (int i = 0; i < 3; ++i) {
        ranges[i] =
            CRange::FromPacked(ReadFolderInt(folder, kSettingsIni, "SizeRange", kRangeKeys[i], -1));
    }
}

void WriteSizeRanges(const std::string& folder, const CRange ranges[3]) {
    for (int i = 0; i < 3; ++i) {
        WriteFolderInt(folder, kSettingsIni, "SizeRange", kRangeKeys[i], ranges[i].ToPacked());
    }
}

void ReadFaceAngles(const std::string& folder, int& yawCode, int& rollCode) {
    yawCode = ReadFolderInt(folder, kSettingsIni, "FaceAngle", "YawAngle", -1);
    rollCode = ReadFolderInt(folder, kSettingsIni, "FaceAngle", "RollAngle", -1);
}

void WriteFaceAngles(const std::string& folder, int yawCode, int rollCode) {
    WriteFolderInt(folder, kSettingsIni, "FaceAngle", "YawAngle", yawCode);
    WriteFolderInt(folder, kSettingsIni, "FaceAngle", "RollAngle", rollCode);
}

int ReadVerifyUserId(const std::string& folder) {
    return ReadFolderInt(folder, kSettingsIni, "Verify", "VerifyUserID", -1);
}

void WriteVerifyUserId(const std::string& folder, int userId) {
    WriteFolderInt(folder, kSettingsIni, "Verify", "VerifyUserID", userId);
}

void ReadDeviceSettings(const std::string& folder, DeviceSettings& settings) {
    ReadThresholds(folder, settings.thresholds);
    ReadSizeRanges(folder, settings.ranges);
    ReadFaceAngles(folder, settings.yawCode, settings.rollCode);
}

void WriteDeviceSettings(const std::string& folder, const DeviceSettings& settings) {
    WriteThresholds(folder, settings.thresholds);
    WriteSizeRanges(folder, settings.ranges);
    WriteFaceAngles(folder, settings.yawCode, settings.rollCode);
}

int ReadRegistCount(const std::string& folder) {
    return ReadFolderInt(folder, kDeviceIni, "Application", "RegistCount", 0);
}

int WriteRegistCount(const std::string& folder, int count) {
    return WriteFolderInt(folder, kDeviceIni, "Application", "RegistCount", count);
}

int ReadRegistCountBack(const std::string& folder) {
    return ReadFolderInt(folder, kDeviceIni, "Application", "RegistCountBack", 0);
}

void WriteRegistCountBack(const std::string& folder, int count) {
    WriteFolderInt(folder, kDeviceIni, "Application", "RegistCountBack", count);
}
