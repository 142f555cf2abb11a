#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "settings/IniFile.h"
#include "support/TempDir.h"

namespace {

std::string ReadString(const std::string& section, const std::string& key,
                       const std::string& file = "t.ini", const std::string& def = "<def>") {
    std::string out;
    EXPECT_EQ(ReadIniString(section, key, def, file, out), 0);
    return out;
}

int ReadInt(const std::string& section, const std::string& key, int def = 777,
            const std::string& file = "t.ini") {
    int out = 0;
    EXPECT_EQ(ReadIniInt(section, key, def, file, out), 0);
    return out;
}

TEST(IniFile, MissingFileSectionOrKeyGivesDefault) {
    TempDir dir;
    EXPECT_EQ(ReadString("S", "K", "none.ini"), "<def>");
    EXPECT_EQ(ReadInt("S", "K", 921600, "none.ini"), 921600);
    PutFile("t.ini", "[S]\nK=1\n");
    EXPECT_EQ(ReadString("Other", "K"), "<def>");
    EXPECT_EQ(ReadString("S", "Other"), "<def>");
    EXPECT_EQ(ReadInt("S", "Other", -1), -1);
}

TEST(IniFile, NamesMatchWithoutRegardToCaseAndBlanksAroundValuesDrop) {
    TempDir dir;
    PutFile("t.ini", "[application]\r\n  baudrate =  \t115200 \t\r\nName= a b \r\n");
    EXPECT_EQ(ReadInt("Application", "BaudRate"), 115200);
    EXPECT_EQ(ReadInt("APPLICATION", "BAUDRATE"), 115200);
    EXPECT_EQ(ReadString("Application", "name"), "a b");
}

TEST(IniFile, IntegerRule) {
    TempDir dir;
    const struct {
        const char* stored;
        int expected;
    } cases[] = {
        {"", 0},  // an existing empty value is 0, not the default
        {"abc", 0},
        {"115200", 115200},
        {"-42x", -42},
        {"+7", 7},
        {"12 34", 12},
        {"-", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"99999999999999", INT_MAX},
        {"-99999999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        PutFile("t.ini", std::string("[A]\nBaudRate=") + c.stored + "\n");
        EXPECT_EQ(ReadInt("A", "BaudRate", 921600), c.expected) << '"' << c.stored << '"';
    }
}

TEST(IniFile, LongValuesAreCutTo511Characters) {
    TempDir dir;
    const std::string ascii(600, 'x');
    ASSERT_EQ(WriteIniString("A", "PrevSelectFile", "t.ini", ascii), 0);
    EXPECT_EQ(ReadString("A", "PrevSelectFile"), ascii.substr(0, 511));

    // Characters, not bytes: a two-byte character is never split.
    std::string wide;
    for (int i = 0; i < 600; ++i) {
        wide += "\xC3\xA9";
    }
    ASSERT_EQ(WriteIniString("A", "PrevSelectFile", "t.ini", wide), 0);
    EXPECT_EQ(ReadString("A", "PrevSelectFile"), wide.substr(0, 2 * 511));
    // The default is cut as well.
    EXPECT_EQ(ReadString("A", "Missing", "t.ini", ascii).size(), 511u);
}

TEST(IniFile, WritesCreateFileSectionAndKey) {
    TempDir dir;
    ASSERT_EQ(WriteIniInt("Application", "BaudRate", "new.ini", 9600), 0);
    ASSERT_EQ(WriteIniString("Application", "COMPortName", "new.ini", "/dev/ttyUSB0"), 0);
    ASSERT_EQ(WriteIniInt("Retry", "SettingTime", "new.ini", -5), 0);
    EXPECT_EQ(GetFile("new.ini"),
              "[Application]\nBaudRate=9600\nCOMPortName=/dev/ttyUSB0\n[Retry]\nSettingTime=-5\n");
    EXPECT_EQ(ReadInt("retry", "settingtime", 0, "new.ini"), -5);
}

TEST(IniFile, WritesKeepEveryOtherLineInPlace) {
    TempDir dir;
    PutFile("t.ini",
            "; settings of the demo\r\n"
            "[Application]\r\n"
            "COMPortName=COM3\r\n"
            "; baud rate\r\n"
            "baudrate = 9600\r\n"
            "no equals sign here\r\n"
            "\r\n"
            "[Other]\r\n"
            "Key=Value\r\n"
            "[Last]\r\n"
            "X=1");  // no line end at the end of the file
    ASSERT_EQ(WriteIniInt("APPLICATION", "BaudRate", "t.ini", 921600), 0);  // replaces
    ASSERT_EQ(WriteIniInt("Application", "AutoConnect", "t.ini", 1), 0);    // adds to section
    ASSERT_EQ(WriteIniInt("Last", "Y", "t.ini", 2), 0);                     // adds after last line
    ASSERT_EQ(WriteIniString("New", "Z", "t.ini", "z"), 0);                 // adds a section
    EXPECT_EQ(GetFile("t.ini"),
              "; settings of the demo\r\n"
              "[Application]\r\n"
              "COMPortName=COM3\r\n"
              "; baud rate\r\n"
              "baudrate=921600\r\n"
              "no equals sign here\r\n"
              "AutoConnect=1\r\n"
              "\r\n"
              "[Other]\r\n"
              "Key=Value\r\n"
              "[Last]\r\n"
              "X=1\r\n"
              "Y=2\r\n"
              "[New]\r\n"
              "Z=z\r\n");
}

// Writing what is already stored replaces nothing (a rename and two syncs
// per frame otherwise); any change, or a key not yet there, is written.
TEST(IniFile, WritingTheStoredValueLeavesTheFileAlone) {
    TempDir dir;
    PutFile("t.ini", "[ActiveFunction]\nFunction = 1029\nExecuteImage=1\n");
    auto inode = [] {
        struct stat st {};
        EXPECT_EQ(stat("t.ini", &st), 0);
        return st.st_ino;
    };
    const ino_t before = inode();
    EXPECT_EQ(WriteIniInt("activefunction", "FUNCTION", "t.ini", 1029), 0);
    EXPECT_EQ(WriteIniString("ActiveFunction", "ExecuteImage", "t.ini", " 1 "), 0);
    EXPECT_EQ(inode(), before);
    EXPECT_EQ(GetFile("t.ini"), "[ActiveFunction]\nFunction = 1029\nExecuteImage=1\n");

    struct Case {
        const char* key;
        const char* value;
    } changes[] = {{"Function", "1028"}, {"QuellFlag", "1"}, {"ExecuteImage", ""}};
    for (const Case& c : changes) {
        const ino_t previous = inode();
        EXPECT_EQ(WriteIniString("ActiveFunction", c.key, "t.ini", c.value), 0);
        EXPECT_NE(inode(), previous) << c.key;
        EXPECT_EQ(ReadString("ActiveFunction", c.key), c.value);
    }
}

TEST(IniFile, FirstMatchingSectionAndKeyWin) {
    TempDir dir;
    PutFile("t.ini", "K=outside\n[S]\nK=first\nK=second\n[S]\nK=third\n");
    EXPECT_EQ(ReadString("S", "K"), "first");
    ASSERT_EQ(WriteIniString("S", "K", "t.ini", "new"), 0);
    EXPECT_EQ(GetFile("t.ini"), "K=outside\n[S]\nK=new\nK=second\n[S]\nK=third\n");
}

TEST(IniFile, EncodingAndOddBytes) {
    TempDir dir;
    // UTF-8 mark skipped (and kept on rewrite); a Latin-1 byte is read as its character.
    PutFile("t.ini", "\xEF\xBB\xBF[S]\nName=caf\xE9\nUtf8=\xC3\xA9t\xC3\xA9\n");
    EXPECT_EQ(ReadString("S", "Name"), "caf\xC3\xA9");
    EXPECT_EQ(ReadString("S", "Utf8"), "\xC3\xA9t\xC3\xA9");
    ASSERT_EQ(WriteIniInt("S", "N", "t.ini", 1), 0);
    EXPECT_EQ(GetFile("t.ini").substr(0, 6), "\xEF\xBB\xBF[S]");
    EXPECT_EQ(ReadString("S", "Name"), "caf\xC3\xA9");

    // A NUL byte, a very long line and a section header without ']' do not
    // disturb the keys around them.
    std::string odd = "[S]\nA=1\n";
    odd += std::string("junk\0junk", 9) + "\n" + std::string(100000, 'L') +
           "\n[Broken\nB=2\n[S2]\nC=3";
    PutFile("t.ini", odd);
    EXPECT_EQ(ReadInt("S", "A"), 1);
    EXPECT_EQ(ReadInt("Broken", "B"), 2);
    EXPECT_EQ(ReadInt("S2", "C"), 3);
}

TEST(IniFile, UnsafeNamesAndValuesCannotForgeLines) {
    TempDir dir;
    ASSERT_EQ(WriteIniString("S", "K", "t.ini", "x\n[Other]\nEvil=1"), 0);
    EXPECT_EQ(ReadString("S", "K"), "x");
    EXPECT_EQ(ReadString("Other", "Evil"), "<def>");
    EXPECT_EQ(WriteIniString("S", "A=B", "t.ini", "1"), -1);
    EXPECT_EQ(WriteIniString("S", "", "t.ini", "1"), -1);
    EXPECT_EQ(WriteIniString("S]x", "K", "t.ini", "1"), -1);
    EXPECT_EQ(WriteIniString("S\n[T", "K", "t.ini", "1"), -1);
    EXPECT_EQ(GetFile("t.ini"), "[S]\nK=x\n");
}

TEST(IniFile, WriteIntoMissingFolderFails) {
    TempDir dir;
    EXPECT_EQ(WriteIniInt("S", "K", "missing/t.ini", 1), -1);
    EXPECT_FALSE(std::filesystem::exists("missing"));
}

// Writers of different keys of one file never lose each other's writes, and a
// reader never sees a half-written file.
TEST(IniFileThreaded, ConcurrentWritersOfDifferentKeysLoseNothing) {
    TempDir dir;
    ASSERT_EQ(WriteIniInt("Fixed", "Value", "t.ini", 42), 0);
    constexpr int kThreads = 4;
    constexpr int kKeys = 25;
    std::atomic<bool> done{false};
    std::atomic<int> badReads{0};
    std::thread reader([&] {
        while (!done.load()) {
            int value = 0;
            ReadIniInt("Fixed", "Value", -1, "t.ini", value);
            if (value != 42) {
                ++badReads;
            }
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int k = 0; k < kKeys; ++k) {
                WriteIniInt("Section" + std::to_string(k % 3),
                            "T" + std::to_string(t) + "K" + std::to_string(k), "t.ini",
                            t * 1000 + k);
            }
        });
    }
    for (auto& w : writers) {
        w.join();
    }
    done = true;
    reader.join();
    EXPECT_EQ(badReads.load(), 0);
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            EXPECT_EQ(ReadInt("Section" + std::to_string(k % 3),
                              "T" + std::to_string(t) + "K" + std::to_string(k), -1),
                      t * 1000 + k);
        }
    }
}

}  // namespace
