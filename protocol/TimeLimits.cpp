#include "protocol/TimeLimits.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "settings/IniFile.h"

namespace {

// Every key defaults to one second when the file, section or key is missing.
int ReadSeconds(const char* file, const std::string& section, const std::string& key) {
    int value = 1;
    ReadIniInt(section, key, 1, file, value);
    return value;
}

int ToMs(long long seconds) {
    return static_cast<int>(std::clamp<long long>(seconds * 1000, INT_MIN, INT_MAX));
}

// Counts of face data or users: -1 read from the file asks for the estimate
// of ((count - 10) / 28 + 7) seconds.
long long CountFormula(int seconds, int count) {
    if (seconds != -1) {
        return seconds;
    }
    return (static_cast<long long>(count) - 10) / 28 + 7;
}

std::string FaceKey(int rollCode, int yawCode) {
    static const char* const kRoll[] = {"15", "45"};
    static const char* const kYaw[] = {"30", "60", "90"};
    std::string key = (rollCode >= 0 && rollCode < 2) ? kRoll[rollCode] : "";
    key += "_";
    key += (yawCode >= 0 && yawCode < 3) ? kYaw[yawCode] : "";
    return key;
}

std::string RecognitionKey(int users) {
    if (users <= 10) {
        return "0-10";
    }
    if (users <= 20) {
        return "11-20";
    }
    if (users <= 50) {
        return "21-50";
    }
    if (users <= 100) {
        return "51-100";
    }
    if (users <= 200) {
        return "101-200";
    }
    if (users <= 500) {
        return "201-500";
    }
    return "";  // no key: the default of one second
}

std::string RegistrationKey(int count) {
    struct Band {
        int upTo;
        const char* key;
    };
    static const Band kBands[] = {{100, "0-100"},      {500, "101-500"},    {1000, "501-1000"},
                                  {2000, "1001-2000"}, {3000, "2001-3000"}, {4000, "3001-4000"},
                                  {5000, "4001-5000"}};
    for (const Band& band : kBands) {
        if (count <= band.upTo) {
            return band.key;
        }
    }
    return "";
}

using Kind = TimeLimitKind;

struct CodeEntry {
    int code;
    Kind kind;
    int commandIndex;     // Kind::kCommand
    const char* section;  // Kind::kRegistration, Kind::kAlbum
};

// Searched in this order; the first matching code decides.
const CodeEntry kCodeTable[] = {
    {0x00, Kind::kCommand, 0, nullptr},
    {0x01, Kind::kCommand, 1, nullptr},
    {0x02, Kind::kCommand, 2, nullptr},
    {0x03, Kind::kExecution, 0, nullptr},
    {0x04, Kind::kExecution, 0, nullptr},
    {0x05, Kind::kCommand, 3, nullptr},
    {0x06, Kind::kCommand, 4, nullptr},
    {0x07, Kind::kCommand, 5, nullptr},
    {0x08, Kind::kCommand, 6, nullptr},
    {0x09, Kind::kCommand, 7, nullptr},
    {0x0A, Kind::kCommand, 8, nullptr},
    // Sections in this order on purpose: Delete Data (0x11) waits by the
    // "DeleteUser" values and Delete User (0x12) by "DeleteData".
    {0x10, Kind::kRegistration, 0, "Registration"},
    {0x11, Kind::kRegistration, 0, "DeleteUser"},
    {0x12, Kind::kRegistration, 0, "DeleteData"},
    {0x13, Kind::kRegistration, 0, "DeleteAll"},
    {0x15, Kind::kCommand, 9, nullptr},
    {0x20, Kind::kAlbum, 0, "SaveAlbum"},
    {0x21, Kind::kAlbum, 0, "LoadAlbum"},
    {0x22, Kind::kFlash, 0, nullptr},
    {0x30, Kind::kCommand, 19, nullptr},
    {0xEF, Kind::kImage, 0, nullptr},
    {0xEE, Kind::kSmallImage, 0, nullptr},
    {0x40, Kind::kCommand, 20, nullptr},
    {0x41, Kind::kCommand, 21, nullptr},
    {0x42, Kind::kCommand, 22, nullptr},
    {0x43, Kind::kCommand, 23, nullptr},
    {0x44, Kind::kCommand, 24, nullptr},
    {0x45, Kind::kCommand, 25, nullptr},
    {0x4F, Kind::kCommand, 26, nullptr},
};

const CodeEntry* FindEntry(int code) {
    for (const CodeEntry& entry : kCodeTable) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

const char* const TimeOutContext::kCommandNames[kCommandCount] = {
    "GetVersion",         "SetCameraAngle",     "GetCameraAngle",      "SetThreshold",
    "GetThreshold",       "SetSizeRange",       "GetSizeRange",        "SetFaceDetectAngle",
    "GetFaceDetectAngle", "GetRegistDara",      "SetCameraResolution", "GetCameraResolution",
    "GetFullImageSize",   "SetDeviceID",        "GetDeviceID",         "Registration",
    "DeleteUser",         "DeleteData",         "DeleteAll",           "ReformatFlash",
    "SetVerifyThreshold", "GetVerifyThreshold", "SetVerifyID",         "GetVerifyID",
    "SetAlbumType",       "GetAlbumType",       "RegistrationEx",
};

std::string BaudKey(int baud) {
    switch (baud) {
        case 9600:
        case 38400:
        case 115200:
        case 230400:
        case 460800:
        case 921600:
            return std::to_string(baud);
        default:
            return "";
    }
}

TimeOutContext::TimeOutContext() {
    ReloadCommandLimits();
}

void TimeOutContext::ReloadCommandLimits() {
    for (int i = 0; i < kCommandCount; ++i) {
        commandLimits_[i] = ToMs(ReadSeconds(kCmdTimeoutIni, "Command", kCommandNames[i]));
    }
}

int TimeOutContext::ExecutionLimit(const ExecutionParameters& p) {
    if (exec_.result != -1 && std::memcmp(exec_.flags, p.functionFlags, 11) == 0 &&
        exec_.minFaceSize == p.minFaceSize && exec_.yawCode == p.yawCode &&
        exec_.rollCode == p.rollCode && exec_.registeredUsers == p.registeredUsers) {
        return exec_.result;
    }
    std::memcpy(exec_.flags, p.functionFlags, 11);
    exec_.minFaceSize = p.minFaceSize;
    exec_.yawCode = p.yawCode;
    exec_.rollCode = p.rollCode;
    exec_.registeredUsers = p.registeredUsers;

    static const char* const kFunctionKeys[11] = {
        "BodyDitect", "HandDitect", nullptr,      "FaceDir", "Age",   "Gender",
        "Gaze",       "Blink",      "Expression", nullptr,   nullptr,
    };
    long long seconds = 0;
    for (int i = 0; i < 11; ++i) {
        if (p.functionFlags[i] != 1) {
            continue;
        }
        if (i == 2) {
            seconds += ReadSeconds(kExecTimeoutIni, p.minFaceSize < 64 ? "Face_20" : "Face_64",
                                   FaceKey(p.rollCode, p.yawCode));
        } else if (i == 9 || i == 10) {
            // Verify costs as much as recognition and counts again when both run.
            seconds +=
                ReadSeconds(kExecTimeoutIni, "Recognition", RecognitionKey(p.registeredUsers));
        } else {
            seconds += ReadSeconds(kExecTimeoutIni, "Function", kFunctionKeys[i]);
        }
    }
    exec_.result = ToMs(seconds);
    return exec_.result;
}

int TimeOutContext::ImageLimit(int imageType, int baud) {
    if (imageType == imageType_ && baud == imageBaud_) {
        return imageResult_;
    }
    imageType_ = imageType;
    imageBaud_ = baud;
    const char* section = imageType == 1   ? "QVGA"
                          : imageType == 2 ? "160x120"
                          : imageType == 0 ? "NoImage"
                                           : "";
    imageResult_ = ToMs(ReadSeconds(kImgTimeoutIni, section, BaudKey(baud)));
    return imageResult_;
}

int TimeOutContext::SmallImageLimit(int baud) {
    if (baud == smallBaud_) {
        return smallResult_;
    }
    smallBaud_ = baud;
    smallResult_ = ToMs(ReadSeconds(kImgTimeoutIni, "160x120", BaudKey(baud)));
    return smallResult_;
}

int TimeOutContext::AlbumLimit(const std::string& section, int baud) const {
    return ToMs(ReadSeconds(kAlbumTimeoutIni, section, BaudKey(baud)));
}

int TimeOutContext::FlashLimit(int count) const {
    const char* key = count >= 10 ? "10Over" : (count >= 0 ? "0-9" : "");
    return ToMs(CountFormula(ReadSeconds(kAlbumTimeoutIni, "WriteFlash", key), count));
}

int TimeOutContext::RegistrationLimit(const std::string& section, int count) const {
    return ToMs(CountFormula(ReadSeconds(kRegTimeoutIni, section, RegistrationKey(count)), count));
}

bool DescribeTimeLimit(int code, TimeLimitKind& kind, std::string& key) {
    const CodeEntry* entry = FindEntry(code);
    if (entry == nullptr) {
        return false;
    }
    kind = entry->kind;
    switch (entry->kind) {
        case Kind::kCommand:
            key = TimeOutContext::kCommandNames[entry->commandIndex];
            break;
        case Kind::kRegistration:
        case Kind::kAlbum:
            key = entry->section;
            break;
        case Kind::kFlash:
            key = "WriteFlash";
            break;
        default:
            key.clear();
            break;
    }
    return true;
}

int TimeOutContext::Lookup(int code, const ExecutionParameters& p) {
    if (const CodeEntry* found = FindEntry(code)) {
        const CodeEntry& entry = *found;
        switch (entry.kind) {
            case Kind::kCommand:
                return commandLimits_[entry.commandIndex];
            case Kind::kExecution:
                return ExecutionLimit(p);
            case Kind::kRegistration:
                return RegistrationLimit(entry.section, p.count);
            case Kind::kAlbum:
                return AlbumLimit(entry.section, p.baud);
            case Kind::kFlash:
                return FlashLimit(p.count);
            case Kind::kImage:
                return ImageLimit(p.imageType, p.baud);
            case Kind::kSmallImage:
                return SmallImageLimit(p.baud);
        }
    }
    return -1;
}

int LookupTimeLimit(TimeOutContext& context, int code, const ExecutionParameters& params) {
    return context.Lookup(code, params);
}
