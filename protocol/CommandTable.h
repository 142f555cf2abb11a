#pragma once

// The module's command set as data: code, the name the frame observer sees,
// the code the supported-command list must hold, how its time limit is found,
// the request payload size and the shape of the answer. The device manager's
// operations take names, checks and answer sizes from here, and a test holds
// the table against the time-limit code table, so the two cannot drift apart.

#include <cstddef>
#include <optional>

#include "protocol/TimeLimits.h"

// Command codes of the module.
enum : int {
    kCmdGetVersion = 0x00,
    kCmdSetCameraAngle = 0x01,
    kCmdExecute = 0x03,
    kCmdExecuteEx = 0x04,
    kCmdSetThreshold = 0x05,
    kCmdSetSizeRange = 0x07,
    kCmdSetFaceAngle = 0x09,
    kCmdSetCameraResolution = 0x0B,
    kCmdGetCameraResolution = 0x0C,
    kCmdGetFullImageSize = 0x0D,
    kCmdSetBaudRate = 0x0E,
    kCmdRegistration = 0x10,
    kCmdDeleteData = 0x11,
    kCmdDeleteUser = 0x12,
    kCmdDeleteAll = 0x13,
    kCmdGetRegisteredData = 0x15,
    kCmdSaveAlbum = 0x20,
    kCmdLoadAlbum = 0x21,
    kCmdWriteFlash = 0x22,
    kCmdReformatAlbum = 0x30,
    kCmdSetVerifyThreshold = 0x40,
    kCmdSetVerifyUserId = 0x42,
    kCmdSetAlbumType = 0x44,
    kCmdGetAlbumType = 0x45,
    kCmdGetDeviceId = 0xFF,
    // Time-limit codes without a command of their own.
    kLimitImage = 0xEF,
    kLimitSmallImage = 0xEE,
};

// The largest Save Album answer: album size, flag byte, three zero bytes and
// the module's 816,032-byte album area.
inline constexpr std::size_t kSaveAlbumAnswerMax = 816040;
// The largest Registration answer: width, height and a 64 x 64 face picture.
inline constexpr std::size_t kRegistrationAnswerMax = 4 + 4096;

enum class AnswerShape {
    kNone,      // no payload (a payload is an overflow)
    kFixed,     // exactly `answerSize` bytes; any other length is a communication error
    kVariable,  // at most `answerSize` bytes (Execute: by image type, see DeviceMngr)
    kNotRead,   // no answer is read (the baud-rate switch)
};

struct CommandInfo {
    int code;
    const char* name;  // passed to the frame observer ("" = not reported)
    int checkCode;     // must be in the supported-command list; -1 = always allowed
    // How the time limit is found; empty: the code table has no entry and the
    // device manager waits its default limit.
    std::optional<TimeLimitKind> limit;
    const char* limitKey;  // key or section of the time-out file, as DescribeTimeLimit gives
    int requestSize;       // request payload bytes; -1 = sized by the data (Load Album)
    AnswerShape answer;
    std::size_t answerSize;
};

// Every command the application sends, in code order. Delete Data (0x11)
// waits by the "DeleteUser" values and Delete User (0x12) by "DeleteData":
// the time-out table gives the sections to 0x10 to 0x13 in the order
// Registration, DeleteUser, DeleteData, DeleteAll.
inline constexpr CommandInfo kCommands[] = {
    {kCmdGetVersion, "Get Version", -1, TimeLimitKind::kCommand, "GetVersion", 0,
     AnswerShape::kFixed, 19},
    {kCmdSetCameraAngle, "Set Camera Angle", kCmdSetCameraAngle, TimeLimitKind::kCommand,
     "SetCameraAngle", 1, AnswerShape::kNone, 0},
    {kCmdExecute, "Execute", kCmdExecute, TimeLimitKind::kExecution, "", 3, AnswerShape::kVariable,
     0},
    {kCmdExecuteEx, "ExecuteEx", kCmdExecuteEx, TimeLimitKind::kExecution, "", 3,
     AnswerShape::kVariable, 0},
    {kCmdSetThreshold, "Set Threshold", kCmdSetThreshold, TimeLimitKind::kCommand, "SetThreshold",
     8, AnswerShape::kNone, 0},
    {kCmdSetSizeRange, "Set Size Range", kCmdSetSizeRange, TimeLimitKind::kCommand, "SetSizeRange",
     12, AnswerShape::kNone, 0},
    {kCmdSetFaceAngle, "Set Face Detection Angle", kCmdSetFaceAngle, TimeLimitKind::kCommand,
     "SetFaceDetectAngle", 2, AnswerShape::kNone, 0},
    {kCmdSetCameraResolution, "Set Camera Resolution", kCmdSetCameraResolution, std::nullopt, "", 1,
     AnswerShape::kNone, 0},
    // The model announces Get Full Image Size through Get Camera Resolution.
    {kCmdGetFullImageSize, "Get Full Image Size", kCmdGetCameraResolution, std::nullopt, "", 0,
     AnswerShape::kFixed, 4},
    {kCmdSetBaudRate, "", -1, std::nullopt, "", 1, AnswerShape::kNotRead, 0},
    {kCmdRegistration, "Registration", kCmdRegistration, TimeLimitKind::kRegistration,
     "Registration", 3, AnswerShape::kVariable, kRegistrationAnswerMax},
    {kCmdDeleteData, "Delete Data", kCmdDeleteData, TimeLimitKind::kRegistration, "DeleteUser", 3,
     AnswerShape::kNone, 0},
    {kCmdDeleteUser, "Delete User", kCmdDeleteUser, TimeLimitKind::kRegistration, "DeleteData", 2,
     AnswerShape::kNone, 0},
    {kCmdDeleteAll, "Delete All", kCmdDeleteAll, TimeLimitKind::kRegistration, "DeleteAll", 0,
     AnswerShape::kNone, 0},
    {kCmdGetRegisteredData, "Get presence registration Data of one person", kCmdGetRegisteredData,
     TimeLimitKind::kCommand, "GetRegistDara", 2, AnswerShape::kFixed, 2},
    {kCmdSaveAlbum, "Save Album", kCmdSaveAlbum, TimeLimitKind::kAlbum, "SaveAlbum", 0,
     AnswerShape::kVariable, kSaveAlbumAnswerMax},
    {kCmdLoadAlbum, "Load Album", kCmdLoadAlbum, TimeLimitKind::kAlbum, "LoadAlbum", -1,
     AnswerShape::kNone, 0},
    {kCmdWriteFlash, "Write Album to Flash", kCmdWriteFlash, TimeLimitKind::kFlash, "WriteFlash", 0,
     AnswerShape::kNone, 0},
    {kCmdReformatAlbum, "Reformat Album", kCmdReformatAlbum, TimeLimitKind::kCommand,
     "ReformatFlash", 0, AnswerShape::kNone, 0},
    {kCmdSetVerifyThreshold, "Set Verify Threshold", kCmdSetVerifyThreshold,
     TimeLimitKind::kCommand, "SetVerifyThreshold", 2, AnswerShape::kNone, 0},
    {kCmdSetVerifyUserId, "Set Verify User ID", kCmdSetVerifyUserId, TimeLimitKind::kCommand,
     "SetVerifyID", 2, AnswerShape::kNone, 0},
    {kCmdSetAlbumType, "Set Album Type", kCmdSetAlbumType, TimeLimitKind::kCommand, "SetAlbumType",
     1, AnswerShape::kNone, 0},
    {kCmdGetAlbumType, "Get Album Type", kCmdGetAlbumType, TimeLimitKind::kCommand, "GetAlbumType",
     0, AnswerShape::kFixed, 1},
    {kCmdGetDeviceId, "GetDeviceID", kCmdGetDeviceId, std::nullopt, "", 0, AnswerShape::kFixed, 4},
};

// The entry of `code`. Used with the codes above only: in a constant
// expression an unknown code does not compile, at run time it stops the
// process.
constexpr const CommandInfo& Command(int code) {
    for (const CommandInfo& info : kCommands) {
        if (info.code == code) {
            return info;
        }
    }
    __builtin_trap();
}
