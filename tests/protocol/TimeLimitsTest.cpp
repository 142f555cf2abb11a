#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "../support/TempDir.h"
#include "protocol/TimeLimits.h"

namespace {

void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::trunc) << text;
}

ExecutionParameters Functions(std::initializer_list<int> on) {
    ExecutionParameters p;
    for (int i : on) {
        p.functionFlags[i] = 1;
    }
    return p;
}

}  // namespace

TEST(TimeLimits, MissingFilesGiveOneSecondPerFunction) {
    TempDir dir;
    TimeOutContext ctx;
    EXPECT_EQ(LookupTimeLimit(ctx, 0x03, Functions({0, 2})), 2000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0x00, {}), 1000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0x22, {}), 1000);
}

TEST(TimeLimits, FaceSectionAndAngleKey) {
    TempDir dir;
    WriteFile("ExecTimeOut.ini",
              "[Face_20]\n15_30=7\n45_90=9\n15_=4\n_=5\n"
              "[Face_64]\n15_30=3\n45_90=6\n");
    struct Case {
        int minFace, roll, yaw, ms;
    } cases[] = {
        {63, 0, 0, 7000}, {64, 0, 0, 3000}, {-1, 0, 0, 7000},  {63, 1, 2, 9000},
        {64, 1, 2, 6000}, {20, 0, 3, 4000}, {20, 2, -1, 5000},
    };
    TimeOutContext ctx;
    for (const Case& c : cases) {
        ExecutionParameters p = Functions({2});
        p.minFaceSize = c.minFace;
        p.rollCode = c.roll;
        p.yawCode = c.yaw;
        EXPECT_EQ(LookupTimeLimit(ctx, 0x04, p), c.ms) << c.minFace << " " << c.roll << c.yaw;
    }
}

TEST(TimeLimits, RecognitionByRegisteredUsersCountsVerifyAgain) {
    TempDir dir;
    WriteFile("ExecTimeOut.ini", "[Recognition]\n0-10=2\n201-500=5\n[Function]\nAge=3\n");
    struct Case {
        int users;
        std::initializer_list<int> on;
        int ms;
    } cases[] = {
        {0, {9}, 2000},        {10, {9}, 2000},   {500, {9}, 5000},  {501, {9}, 1000},
        {500, {9, 10}, 10000}, {200, {10}, 1000}, {0, {4, 9}, 5000},
    };
    TimeOutContext ctx;
    for (const Case& c : cases) {
        ExecutionParameters p = Functions(c.on);
        p.registeredUsers = c.users;
        EXPECT_EQ(LookupTimeLimit(ctx, 0x03, p), c.ms) << c.users;
    }
}

TEST(TimeLimits, CountFormulaAndCrossedDeleteSections) {
    TempDir dir;
    WriteFile("RegTimeOut.ini",
              "[Registration]\n0-100=-1\n101-500=4\n"
              "[DeleteUser]\n0-100=2\n[DeleteData]\n0-100=3\n[DeleteAll]\n4001-5000=-1\n");
    WriteFile("AlbumTimeout.ini", "[WriteFlash]\n0-9=6\n10Over=-1\n");
    struct Case {
        int code, count, ms;
    } cases[] = {
        {0x10, 66, 9000},                          // (66 - 10) / 28 + 7
        {0x10, 9, 7000},                           // (9 - 10) / 28 truncates toward zero
        {0x10, 101, 4000},    {0x10, 5001, 1000},  // no key
        {0x11, 50, 2000},                          // Delete Data waits by "DeleteUser"
        {0x12, 50, 3000},                          // Delete User by "DeleteData"
        {0x13, 5000, 185000}, {0x22, 100, 10000}, {0x22, 9, 6000},
    };
    TimeOutContext ctx;
    for (const Case& c : cases) {
        ExecutionParameters p;
        p.count = c.count;
        EXPECT_EQ(LookupTimeLimit(ctx, c.code, p), c.ms)
            << std::hex << c.code << std::dec << " " << c.count;
    }
}

TEST(TimeLimits, CodesWithoutEntryHaveNoLimit) {
    TempDir dir;
    WriteFile("CmdTimeout.ini",
              "[Command]\nGetFullImageSize=5\nGetDeviceID=5\nSetCameraResolution=5\n"
              "GetVersion=4\nReformatFlash=8\nRegistrationEx=6\nGetRegistDara=2\n");
    TimeOutContext ctx;
    for (int code : {0x0B, 0x0C, 0x0D, 0x0E, 0xFF, 0x14, 0x46}) {
        EXPECT_EQ(LookupTimeLimit(ctx, code, {}), -1) << code;
    }
    EXPECT_EQ(LookupTimeLimit(ctx, 0x00, {}), 4000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0x30, {}), 8000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0x4F, {}), 6000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0x15, {}), 2000);
}

// The execution and image limits are worked out again only when one of their
// inputs changes; the album and registration files are read every time; the
// command table once.
TEST(TimeLimits, CachesReadTheFilesOnlyWhenInputsChange) {
    TempDir dir;
    WriteFile("ExecTimeOut.ini", "[Function]\nBodyDitect=4\n");
    WriteFile("ImgTimeout.ini", "[QVGA]\n115200=11\n[160x120]\n115200=5\n");
    WriteFile("AlbumTimeout.ini", "[SaveAlbum]\n115200=90\n");
    WriteFile("CmdTimeout.ini", "[Command]\nGetVersion=3\n");
    TimeOutContext ctx;
    ExecutionParameters p = Functions({0});
    p.baud = 115200;
    p.imageType = 1;
    EXPECT_EQ(LookupTimeLimit(ctx, 0x03, p), 4000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEF, p), 11000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEE, p), 5000);

    WriteFile("ExecTimeOut.ini", "[Function]\nBodyDitect=8\nHandDitect=2\n");
    WriteFile("ImgTimeout.ini", "[QVGA]\n115200=22\n[160x120]\n115200=6\n");
    WriteFile("AlbumTimeout.ini", "[SaveAlbum]\n115200=95\n");
    WriteFile("CmdTimeout.ini", "[Command]\nGetVersion=7\n");
    EXPECT_EQ(LookupTimeLimit(ctx, 0x03, p), 4000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEF, p), 11000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEE, p), 5000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0x20, p), 95000);
    EXPECT_EQ(LookupTimeLimit(ctx, 0x00, p), 3000);

    p.functionFlags[1] = 1;  // hand on: new inputs, file read again
    EXPECT_EQ(LookupTimeLimit(ctx, 0x03, p), 10000);
    p.imageType = 2;
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEF, p), 6000);
    ctx.ReloadCommandLimits();
    EXPECT_EQ(LookupTimeLimit(ctx, 0x00, p), 7000);
}

TEST(TimeLimits, ImageAndAlbumKeys) {
    TempDir dir;
    WriteFile("ImgTimeout.ini", "[NoImage]\n9600=3\n[160x120]\n921600=2\n");
    WriteFile("AlbumTimeout.ini", "[LoadAlbum]\n9600=abc\n");
    TimeOutContext ctx;
    ExecutionParameters p;
    p.baud = 9600;
    p.imageType = 0;
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEF, p), 3000);
    p.imageType = 3;  // unknown type: empty section, default
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEF, p), 1000);
    p.baud = 921600;
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEE, p), 2000);
    p.baud = 57600;  // not a rate of the module: no key
    EXPECT_EQ(LookupTimeLimit(ctx, 0xEE, p), 1000);
    p.baud = 9600;
    EXPECT_EQ(LookupTimeLimit(ctx, 0x21, p), 0);  // present but not a number
}

// The shipped limits must cover the largest answer on the wire (10 bits per
// byte) at every baud rate, with room to spare.
TEST(TimeLimits, ShippedLimitsCoverTheWireTime) {
    TempDir dir;
    for (const char* name : {"CmdTimeout.ini", "ExecTimeOut.ini", "ImgTimeout.ini",
                             "AlbumTimeout.ini", "RegTimeOut.ini"}) {
        dir.CopyShipped(name);
    }
    TimeOutContext ctx;
    for (int baud : {9600, 38400, 115200, 230400, 460800, 921600}) {
        SCOPED_TRACE(baud);
        const auto wireMs = [baud](double bytes) { return bytes * 10.0 * 1000.0 / baud; };
        ExecutionParameters p;
        p.baud = baud;
        struct Image {
            int type;
            double bytes;
        } images[] = {{0, 6 + 2034}, {1, 6 + 2034 + 4 + 76800}, {2, 6 + 2034 + 4 + 19200}};
        for (const Image& image : images) {
            p.imageType = image.type;
            EXPECT_GT(LookupTimeLimit(ctx, 0xEF, p), wireMs(image.bytes) * 1.1 + 1000);
        }
        EXPECT_GT(LookupTimeLimit(ctx, 0xEE, p), wireMs(6 + 2034 + 4 + 19200) * 1.1 + 1000);
        EXPECT_GT(LookupTimeLimit(ctx, 0x20, p), wireMs(6 + 816040) * 1.1 + 1000);
        EXPECT_GT(LookupTimeLimit(ctx, 0x21, p), wireMs(816032 + 16) * 1.1 + 1000);
    }
    ExecutionParameters p;
    p.count = 1;
    EXPECT_GT(LookupTimeLimit(ctx, 0x10, p), 4106 * 10 * 1000 / 9600 + 1000);
}
