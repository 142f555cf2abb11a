#pragma once

#include <cstdint>
#include <string>

// Time limits of the module's commands, in milliseconds (-1 = no limit),
// taken from five INI files in the working directory. All values in the
// files are whole seconds.
inline constexpr const char* kCmdTimeoutIni = "./CmdTimeout.ini";
inline constexpr const char* kExecTimeoutIni = "./ExecTimeOut.ini";
inline constexpr const char* kImgTimeoutIni = "./ImgTimeout.ini";
inline constexpr const char* kAlbumTimeoutIni = "./AlbumTimeout.ini";
inline constexpr const char* kRegTimeoutIni = "./RegTimeOut.ini";

// Inputs of the time-limit calculations; each operation writes what its
// command's calculation needs before the lookup.
struct ExecutionParameters {
    int baud = 9600;
    int imageType = 0;                    // 0 none, 1 320x240, 2 160x120
    std::uint8_t functionFlags[11] = {};  // 1 = on
    int minFaceSize = -1;                 // lower bound of the face size range
    int yawCode = 0;                      // 0, 1, 2 = +-30, +-60, +-90 degrees
    int rollCode = 0;                     // 0, 1 = +-15, +-45 degrees
    int registeredUsers = 0;
    int count = 0;  // size hint of the operation (face data count, or 100)
};

// The command table (read once, at construction) and the caches of the
// execution and image limits, which are computed again only when one of
// their inputs changes.
class TimeOutContext {
public:
    static constexpr int kCommandCount = 27;
    // Key names of "./CmdTimeout.ini", section "Command", in table order.
    static const char* const kCommandNames[kCommandCount];

    TimeOutContext();  // reads "./CmdTimeout.ini"
    void ReloadCommandLimits();

    int CommandLimit(int index) const { return commandLimits_[index]; }
    int Lookup(int code, const ExecutionParameters& params);

    // The individual calculations (ms).
    int ExecutionLimit(const ExecutionParameters& params);
    int ImageLimit(int imageType, int baud);
    int SmallImageLimit(int baud);
    int AlbumLimit(const std::string& section, int baud) const;
    int FlashLimit(int count) const;
    int RegistrationLimit(const std::string& section, int count) const;

private:
    int commandLimits_[kCommandCount];

    struct ExecutionCache {
        std::uint8_t flags[11] = {};
        int minFaceSize = 0;
        int yawCode = 0;
        int rollCode = 0;
        int registeredUsers = 0;
        int result = -1;
    } exec_;
    int imageType_ = -1;
    int imageBaud_ = -1;
    int imageResult_ = -1;
    int smallBaud_ = -1;
    int smallResult_ = -1;
};

// How the code table finds a limit.
enum class TimeLimitKind {
    kCommand,       // a value of "./CmdTimeout.ini"
    kExecution,     // the execution time limit (selected functions and conditions)
    kRegistration,  // "./RegTimeOut.ini" by face data count
    kAlbum,         // "./AlbumTimeout.ini" by baud
    kFlash,         // "./AlbumTimeout.ini" section "WriteFlash" by count
    kImage,         // "./ImgTimeout.ini" by image type and baud
    kSmallImage,    // "./ImgTimeout.ini" section "160x120" by baud
};

// What the code table holds for `code`: false when it has no entry (no
// limit); else its kind and the key or section it reads (the CmdTimeout key,
// the RegTimeOut or AlbumTimeout section, "WriteFlash"; empty otherwise).
bool DescribeTimeLimit(int code, TimeLimitKind& kind, std::string& key);

// The limit of an exchange whose command has no entry in the code table
// (Set Camera Resolution 0x0B, Get Camera Resolution 0x0C, Get Full Image
// Size 0x0D, GetDeviceID 0xFF) or whose file value is negative: the device
// manager never waits without limit, so that a silent module cannot hang the
// program. An answer that arrives within it is still taken.
inline constexpr int kDefaultTimeLimitMs = 30000;

// Limit in ms for command code `code`, or -1 when the code has no entry
// (no limit; the device manager then waits kDefaultTimeLimitMs).
int LookupTimeLimit(TimeOutContext& context, int code, const ExecutionParameters& params);

// Key text of a baud rate in the image and album files ("" for rates the
// module does not offer).
std::string BaudKey(int baud);
