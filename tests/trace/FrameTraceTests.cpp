#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../support/TempDir.h"
#include "protocol/FrameTrace.h"

using nlohmann::json;

TEST(FrameTrace, RowsCarryDirectionResultCodeAndEveryByte) {
    struct Case {
        const char* what;
        int direction;
        std::vector<std::uint8_t> bytes;
        json resultCode;
    };
    const Case cases[] = {
        {"command", 1, {0xFE, 0x04, 0x03, 0x00, 0xFC, 0x03, 0x00}, nullptr},
        {"answer with an error code", -1, {0xFE, 0xFB, 0x00, 0x00, 0x00, 0x00}, 0xFB},
        // A stray byte before the header is no response code.
        {"short garbage", -1, {0x41}, nullptr},
        {"no sync byte", -1, {0x00, 0x05, 0, 0, 0, 0}, nullptr},
    };
    for (const Case& c : cases) {
        const FrameTraceRow row = MakeTraceRow(12.5, c.direction, "Execute",
                                               static_cast<int>(c.bytes.size()), c.bytes.data());
        const json line = json::parse(TraceRowJson(row));
        EXPECT_EQ(line["time_ms"], 12.5) << c.what;
        EXPECT_EQ(line["direction"], c.direction > 0 ? "send" : "receive") << c.what;
        EXPECT_EQ(line["command"], "Execute") << c.what;
        EXPECT_EQ(line["length"], c.bytes.size()) << c.what;
        EXPECT_EQ(line["result_code"], c.resultCode) << c.what;
        std::string hex;
        for (std::uint8_t b : c.bytes) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", b);
            hex += two;
        }
        EXPECT_EQ(line["bytes"], hex) << c.what;
    }
}

TEST(FrameTrace, NamesAreEscapedAndEmptyFramesStayValidJson) {
    const FrameTraceRow row = MakeTraceRow(0, 1, "a\"b\\c\n", 0, nullptr);
    const json line = json::parse(TraceRowJson(row));
    EXPECT_EQ(line["command"], "a\"b\\c\n");
    EXPECT_EQ(line["length"], 0);
    EXPECT_EQ(line["bytes"], "");
}

TEST(FrameTrace, WriterPutsOneLinePerFrameAndReportsAFileItCannotMake) {
    TempDir dir;
    const std::string path = (dir.Path() / "trace.jsonl").string();
    CJsonLinesTrace trace;
    ASSERT_TRUE(trace.Open(path));
    const std::uint8_t command[] = {0xFE, 0x00, 0x00, 0x00};
    const std::uint8_t answer[] = {0xFE, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07};
    trace.OnFrame(1, "Get Version", 4, command);
    trace.OnFrame(-1, "Get Version", 7, answer);
    EXPECT_TRUE(trace.Close());
    trace.OnFrame(1, "after close", 4, command);  // ignored, no crash

    std::ifstream in(path);
    std::vector<json> lines;
    for (std::string text; std::getline(in, text);) {
        lines.push_back(json::parse(text));
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["direction"], "send");
    EXPECT_EQ(lines[1]["result_code"], 0);
    EXPECT_EQ(lines[1]["bytes"],
              "fe0001000000"
              "07");
    EXPECT_LE(lines[0]["time_ms"].get<double>(), lines[1]["time_ms"].get<double>());

    CJsonLinesTrace nowhere;
    EXPECT_FALSE(nowhere.Open((dir.Path() / "missing" / "trace.jsonl").string()));
}
