#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TempDir.h"
#include "logging/DebugLogFileOpe.h"
#include "logging/LogFileOpe.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::string> LogNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("Log")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace

TEST(DailyLog, TwoLineBlockBecomesStampTwoLinesAndTwoEmptyLinesWithCrLf) {
    TempDir dir;
    const std::time_t when = LocalTime(2024, 3, 5, 7, 8, 9);
    {
        CLogFileOpe log;
        ASSERT_EQ(log.Open(), 0);  // created
        EXPECT_EQ(log.WriteBlock("first line  \t\nsecond line\n\n", false, when), 0);
    }
    const std::string name = FormatLocalTime(std::time(nullptr), "%Y%m%d") + ".log";
    EXPECT_EQ(ReadAll(fs::path("Log") / name),
              "\xEF\xBB\xBF"
              "2024/03/05 07:08:09\r\nfirst line\r\nsecond line\r\n\r\n\r\n");
}

TEST(DailyLog, ExistingFileIsAppendedWithoutSecondMarkAndHeaderHasNoStamp) {
    TempDir dir;
    CLogFileOpe log;
    ASSERT_EQ(log.Open(), 0);
    ASSERT_EQ(log.WriteBlock("header\n", true, 0), 0);
    EXPECT_EQ(log.Open(), 1);  // already open: the same file
    log.Close();
    EXPECT_EQ(log.WriteBlock("lost\n", true, 0), -1);  // closed: nothing written

    CLogFileOpe again;
    ASSERT_EQ(again.Open(), 1);  // the day's file exists
    ASSERT_EQ(again.WriteBlock("more\n", true, 0), 0);
    EXPECT_EQ(ReadAll(again.GetPath()), "\xEF\xBB\xBFheader\r\n\r\nmore\r\n\r\n");
}

TEST(DailyLog, UnopenableFolderReportsFailure) {
    TempDir dir;
    WriteText("Log", "a file where the folder should be");
    CLogFileOpe log;
    EXPECT_EQ(log.Open(), -1);
    EXPECT_EQ(log.WriteBlock("x\n", false, 0), -1);
}

TEST(DebugLog, DisabledWithoutDebugIni) {
    TempDir dir;
    CDebugLogFileOpe log;
    EXPECT_FALSE(log.Enabled());
    LogBlock(&log, "block\n", 5);
    EXPECT_FALSE(fs::exists("Log"));
    LogBlock(nullptr, "block\n", 5);  // no log at all: nothing happens
}

TEST(DebugLog, RotatesAfterMaxBlockNumAndNamesTheNextFileFromTheLastBlocksTime) {
    TempDir dir;
    WriteText("Debug.ini", "[Log]\nMaxBlockNum=2\n");
    CDebugLogFileOpe log;
    ASSERT_TRUE(log.Enabled());
    const std::string first = log.GetPath();
    const std::time_t t1 = LocalTime(2001, 2, 3, 4, 5, 6);
    const std::time_t t2 = LocalTime(2001, 2, 3, 4, 5, 7);
    EXPECT_EQ(log.Write(t1, "one   \n\n"), 0);
    EXPECT_EQ(log.Write(t2, "two\n\n"), 0);  // the second block is the last in the file
    EXPECT_EQ(log.GetPath(), "./Log/20010203040507.log");
    EXPECT_EQ(log.Write(t2, "three\n\n"), 0);
    EXPECT_EQ(ReadAll(first), "one\r\n\r\n\r\ntwo\r\n\r\n\r\n");
    EXPECT_EQ(ReadAll(log.GetPath()), "three\r\n\r\n\r\n");
}

TEST(DebugLog, RotationsWithinOneSecondKeepEveryFile) {
    TempDir dir;
    WriteText("Debug.ini", "[Log]\nMaxBlockNum=1\n");
    CDebugLogFileOpe log;
    const std::time_t t = LocalTime(2001, 2, 3, 4, 5, 6);
    for (const char* block : {"a\n", "b\n", "c\n", "d\n"}) {
        ASSERT_EQ(log.Write(t, block), 0);
    }
    // "a" went to the start-up file; b, c and d each to a file of second t.
    EXPECT_EQ(ReadAll("Log/20010203040506.log"), "b\r\n\r\n");
    EXPECT_EQ(ReadAll("Log/20010203040506_01.log"), "c\r\n\r\n");
    EXPECT_EQ(ReadAll("Log/20010203040506_02.log"), "d\r\n\r\n");
    EXPECT_EQ(ReadAll("Log/20010203040506_03.log"), "");  // the open, empty next file
}

TEST(DebugLog, PrunesOldestFilesButNeverTheErrorLogOrDailyResultLogs) {
    TempDir dir;
    fs::create_directory("Log");
    for (int i = 1; i <= 5; ++i) {
        WriteText("Log/2001010100000" + std::to_string(i) + ".log", "old");
    }
    WriteText("Log/20010101.log", "daily results");
    WriteText("Log/Kyto_Error.log", "errors\r\n");
    WriteText("Debug.ini", "[Log]\nMaxFileNum=3\n");

    CDebugLogFileOpe log;
    ASSERT_TRUE(log.IsOpen());
    ASSERT_EQ(log.FileList().size(), 3u);
    EXPECT_EQ(log.FileList()[0], "./Log/20010101000004.log");
    EXPECT_EQ(log.FileList()[1], "./Log/20010101000005.log");
    EXPECT_EQ(log.FileList()[2], log.GetPath());
    const std::vector<std::string> names = LogNames();
    EXPECT_EQ(names.size(), 5u);  // daily, two old, new, error log
    EXPECT_EQ(std::count(names.begin(), names.end(), "20010101000003.log"), 0);
    EXPECT_EQ(ReadAll("Log/20010101.log"), "daily results");
}

TEST(DebugLog, BlocksWithReturnCodeGoToTheErrorLogWithADateLine) {
    TempDir dir;
    WriteText("Debug.ini", "");
    {
        CDebugLogFileOpe log;
        LogBlock(&log, "ok block\n", 0);
        LogBlock(&log, "bad block \xFF\n", 0x7F);
    }
    const std::string errors = ReadAll("Log/Kyto_Error.log");
    const std::size_t lineEnd = errors.find("\r\n");
    ASSERT_NE(lineEnd, std::string::npos);
    EXPECT_GT(lineEnd, 10u);  // a date and time
    EXPECT_EQ(errors.substr(lineEnd + 2), "bad block ?\r\n\r\n");
    std::string debugText;
    for (const std::string& name : LogNames()) {
        if (name != "Kyto_Error.log") {
            debugText += ReadAll(fs::path("Log") / name);
        }
    }
    EXPECT_EQ(debugText, "ok block\r\n\r\nbad block ?\r\n\r\n");
}
