#pragma once

#include <cstdint>
#include <string>

// Named accessors of the settings files. Each builds its file path, reads or
// writes its keys with the INI primitives and the defaults below, and returns
// nothing: a missing file yields the defaults, a failed write is ignored (the
// next successful write brings the file up to date).

// ---- File names ------------------------------------------------------------
inline constexpr const char* kApplicationIni = "./Application.ini";
inline constexpr const char* kDebugIni = "./Debug.ini";
inline constexpr const char* kSettingsIni = "Settings.ini";  // in the device folder
inline constexpr const char* kDeviceIni = "Device.ini";      // in the device folder

// "folder/name", built at each call.
std::string DeviceFilePath(const std::string& folder, const std::string& name);

// ---- Shared value types ----------------------------------------------------
inline constexpr int kFunctionCount = 11;  // body, hand, face, direction, age, gender,
                                           // gaze, blink, expression, recognition, verify

// A detection size range; -1 means unset.
struct tagRANGE {
    int min = -1;
    int max = -1;
};

class CRange : public tagRANGE {
public:
    CRange() = default;
    CRange(int minimum, int maximum) : tagRANGE{minimum, maximum} {}
    CRange(const CRange&) = default;
    CRange& operator=(const CRange&) = default;
    virtual ~CRange() = default;

    // Stored form: (min << 16) | max as a signed 32-bit value.
    static CRange FromPacked(std::int32_t packed);
    std::int32_t ToPacked() const;

    bool operator==(const CRange& other) const { return min == other.min && max == other.max; }
};

// The settings sent to one module; every field -1 when unset.
struct DeviceSettings {
    int thresholds[5] = {-1, -1, -1, -1, -1};  // body, hand, face, recognition, verify
    CRange ranges[3];                          // body, hand, face
    int yawCode = -1;
    int rollCode = -1;
};

// Function flags (11 bytes, non-zero = on) <-> bits 0..10; higher bits ignored.
int FunctionFlagsToBits(const std::uint8_t flags[kFunctionCount]);
void FunctionBitsToFlags(int bits, std::uint8_t flags[kFunctionCount]);

// A keyboard shortcut: '^' adds Ctrl, '_' adds Shift, the first letter (made
// upper case) is the key; other characters and later letters are ignored.
// key == 0 means no shortcut.
struct Shortcut {
    bool ctrl = false;
    bool shift = false;
    char key = 0;
};
Shortcut ParseShortcut(const std::string& text);

// ---- ./Application.ini, section "Application" ------------------------------
void ReadComSettings(std::string& portName, int& baudRate);  // "", 921600
void WriteComSettings(const std::string& portName, int baudRate);
int ReadAutoConnect();  // 0
void WriteAutoConnect(int value);
int ReadOutputLogFlag();  // 0
void WriteOutputLogFlag(int value);
std::string ReadPrevSelectFile();  // "./KytoAlbum.kyl"
void WritePrevSelectFile(const std::string& path);
int ReadLimitLogBlock();  // 150

// The socket link. The discovery address and port are where the adapter's
// discovery and configuration datagrams go (an empty address skips
// discovery: the three keys above alone describe the adapter); the tag is
// the six digits the adapter expects in its configuration datagram.
struct SocketSettings {
    std::string address;                               // "TCPIP", ""
    int port = 0;                                      // "PORTNUMBER"
    int mode = 0;                                      // "SOCKETMODE"
    std::string discoveryAddress = "255.255.255.255";  // "DISCOVERYADDRESS"
    int discoveryPort = 1500;                          // "DISCOVERYPORT"
    std::string configTag = "123456";                  // "CONFIGTAG"
};
SocketSettings ReadSocketSettings();

// Shortcut keys "ShotcutKey_FullScreen" ("F"), "ShotcutKey_Picture" ("P"),
// "ShotcutKey_Video" ("V"), parsed.
Shortcut ReadFullScreenShortcut();
Shortcut ReadPictureShortcut();
Shortcut ReadVideoShortcut();

// Stabilisation parameters, read each time the stabiliser is created.
struct QuellSettings {
    int retryCount = 2;
    int posSteadiness = 30;
    int sizeSteadiness = 30;
    int peFrame = 10;
    int peThreshold = 300;
    int peAngleUDMin = -15;
    int peAngleUDMax = 20;
    int peAngleLRMin = -20;
    int peAngleLRMax = 20;
    int frFrame = 5;
    int frRatio = 60;
    int frThreshold = 300;
    int frAngleUDMin = -15;
    int frAngleUDMax = 20;
    int frAngleLRMin = -20;
    int frAngleLRMax = 20;
};
QuellSettings ReadQuellSettings();
// Writes the keys the Stabilization page edits (all but the two steadiness keys).
void WriteQuellSettings(const QuellSettings& settings);

// ---- ./Application.ini, section "ActiveFunction" ---------------------------
void ReadFunctionFlags(std::uint8_t flags[kFunctionCount]);  // 0
void WriteFunctionFlags(const std::uint8_t flags[kFunctionCount]);
int ReadExecuteImage();  // 1
void WriteExecuteImage(int imageType);
// The stored value as is (default 1); stabilisation is on only for exactly 1.
int ReadQuellFlag();
void WriteQuellFlag(bool on);  // written as 0 or 1

// ---- ./Application.ini, section "Retry" ------------------------------------
int ReadSettingTime();  // 10

// ---- Device folder: Settings.ini -------------------------------------------
int ReadCameraAngle(const std::string& folder);  // 0
void WriteCameraAngle(const std::string& folder, int angle);
int ReadCameraResolution(const std::string& folder);  // 0
void WriteCameraResolution(const std::string& folder, int code);
void ReadThresholds(const std::string& folder, int thresholds[5]);  // -1 each
void WriteThresholds(const std::string& folder, const int thresholds[5]);
void ReadSizeRanges(const std::string& folder, CRange ranges[3]);  // packed, default -1
void WriteSizeRanges(const std::string& folder, const CRange ranges[3]);
void ReadFaceAngles(const std::string& folder, int& yawCode, int& rollCode);  // -1, -1
void WriteFaceAngles(const std::string& folder, int yawCode, int rollCode);
int ReadVerifyUserId(const std::string& folder);  // -1
void WriteVerifyUserId(const std::string& folder, int userId);
// Thresholds, size ranges and face angles together.
void ReadDeviceSettings(const std::string& folder, DeviceSettings& settings);
void WriteDeviceSettings(const std::string& folder, const DeviceSettings& settings);

// ---- Device folder: Device.ini, section "Application" ----------------------
int ReadRegistCount(const std::string& folder);              // 0
int WriteRegistCount(const std::string& folder, int count);  // 0 / -1
int ReadRegistCountBack(const std::string& folder);          // 0
void WriteRegistCountBack(const std::string& folder, int count);

// ---- ./Debug.ini -----------------------------------------------------------
struct RgbColour {
    int red = 0;
    int green = 0;
    int blue = 0;
};
RgbColour ReadAgeColour();                   // 128, 102, 0
RgbColour ReadMaleColour();                  // 0, 128, 128
RgbColour ReadFemaleColour();                // 123, 86, 99
RgbColour ReadRecogColour();                 // 128, 102, 0
RgbColour ReadBackColour();                  // 0, 0, 0
void ReadFontSize(int& width, int& height);  // 0, -16
int ReadAgeThreshold();                      // 500
int ReadGenderThreshold();                   // 500
int ReadLogMaxBlockNum();                    // 0
int ReadLogMaxFileNum();                     // 0
