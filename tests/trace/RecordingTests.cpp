// The recording format from both sides: the application's reader and writer,
// and the emulator's own reader, which must agree on every file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "emulator/Replay.h"
#include "protocol/ExchangeRecording.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct FormatCase {
    const char* what;
    const char* text;
    bool valid;
    int errorLine;  // for an invalid one
};

const FormatCase kFormatCases[] = {
    {"minimal", "kyto-recording 1\n", true, 0},
    {"frames, comments, CR LF, spaces",
     "kyto-recording 1\r\n# made by hand\r\n\r\nrate 9600\r\n>  1.5  FE000000\r\n< 2 "
     "fe0000000000\r\n",
     true, 0},
    {"a line of spaces", "kyto-recording 1\n   \nrate 9600\n", true, 0},
    {"empty file", "", false, 0},
    {"another format", "hello\n", false, 1},
    {"a later version", "kyto-recording 2\nrate 9600\n", false, 1},
    {"frame before the rate", "kyto-recording 1\n> 1 fe000000\n", false, 2},
    {"odd hex digits", "kyto-recording 1\nrate 9600\n> 1 fe00000\n", false, 3},
    {"not hex", "kyto-recording 1\nrate 9600\n> 1 fe0000zz\n", false, 3},
    {"time not a number", "kyto-recording 1\nrate 9600\n> soon fe000000\n", false, 3},
    {"time of 10^12 ms", "kyto-recording 1\nrate 9600\n> 1000000000000 fe000000\n", false, 3},
    {"negative time", "kyto-recording 1\nrate 9600\n> -1 fe000000\n", false, 3},
    {"missing bytes", "kyto-recording 1\nrate 9600\n> 1\n", false, 3},
    {"extra field", "kyto-recording 1\nrate 9600\n> 1 fe000000 Execute\n", false, 3},
    {"rate without a number", "kyto-recording 1\nrate fast\n", false, 2},
    {"unknown line", "kyto-recording 1\nrate 9600\n= 1 fe000000\n", false, 3},
};

}  // namespace

TEST(Recording, BothReadersAcceptAndRefuseTheSameFiles) {
    for (const FormatCase& c : kFormatCases) {
        SCOPED_TRACE(c.what);
        Recording recording;
        std::string error;
        EXPECT_EQ(ParseRecording(c.text, recording, error), c.valid) << error;
        std::vector<kyto::emu::ReplayExchange> exchanges;
        std::string emuError;
        EXPECT_EQ(kyto::emu::ParseReplay(c.text, exchanges, emuError), c.valid) << emuError;
        if (!c.valid && c.errorLine > 0) {
            const std::string where = "line " + std::to_string(c.errorLine) + ": ";
            EXPECT_EQ(error.rfind(where, 0), 0u) << error;
            EXPECT_EQ(emuError.rfind(where, 0), 0u) << emuError;
        }
        if (!c.valid) {
            EXPECT_TRUE(recording.frames.empty());
            EXPECT_TRUE(exchanges.empty());
        }
    }
}

// What the recorder writes reads back frame for frame, with the line rate of
// each frame; the file appears under its name only when it is complete.
TEST(Recording, RecorderWritesWhatTheReaderReadsAndPutsItInPlaceWhenClosed) {
    TempDir dir;
    Recording recording;
    {
        CExchangeRecorder recorder;
        ASSERT_TRUE(recorder.Open("run.rec", nullptr));
        const std::vector<std::uint8_t> command = {0xFE, 0x03, 0x03, 0x00, 0xFF, 0x03, 0x02};
        std::vector<std::uint8_t> answer = {0xFE, 0x00, 0x00, 0x01, 0x00, 0x00};
        answer.resize(6 + 256, 0xA5);
        recorder.OnWriteStart("Execute");
        recorder.OnFrame(1, "Execute", static_cast<int>(command.size()), command.data());
        recorder.OnFrame(-1, "Execute", static_cast<int>(answer.size()), answer.data());
        EXPECT_FALSE(std::filesystem::exists("run.rec")) << "half a recording under its name";
        EXPECT_TRUE(std::filesystem::exists(".run.rec.part"));
        ASSERT_TRUE(recorder.Close());
        EXPECT_FALSE(std::filesystem::exists(".run.rec.part"));

        std::string error;
        ASSERT_TRUE(ParseRecording(ReadAll("run.rec"), recording, error)) << error;
        ASSERT_EQ(recording.frames.size(), 2u);
        EXPECT_EQ(recording.version, 1);
        EXPECT_EQ(recording.frames[0].direction, 1);
        EXPECT_EQ(recording.frames[0].bytes, command);
        EXPECT_EQ(recording.frames[1].direction, -1);
        EXPECT_EQ(recording.frames[1].bytes, answer);
        EXPECT_EQ(recording.frames[1].lineRate, 0) << "no link: no line rate";
        EXPECT_LE(recording.frames[0].timeMs, recording.frames[1].timeMs);
    }
    // Every frame line keeps its bytes and its time to the microsecond.
    RecordedFrame frame{1234.5678, -1, 921600, {0x00, 0xFF, 0x10}};
    const std::string text =
        RecordingHeaderLine() + RecordingRateLine(921600) + RecordingFrameLine(frame);
    std::string error;
    ASSERT_TRUE(ParseRecording(text, recording, error)) << error;
    ASSERT_EQ(recording.frames.size(), 1u);
    EXPECT_NEAR(recording.frames[0].timeMs, 1234.568, 1e-9);
    EXPECT_EQ(recording.frames[0].lineRate, 921600);
    EXPECT_EQ(recording.frames[0].bytes, frame.bytes);
}

// The replay answers each command with the next recorded answer for its
// code, skips what the host no longer asks, and says so when the recording
// has nothing left for a command.
TEST(Replay, AnswersByCommandAndOrderAndSaysWhenTheRecordingRunsOut) {
    const char* text =
        "kyto-recording 1\n"
        "rate 9600\n"
        "> 0 fe0e010005\n"  // baud command: never answered
        "rate 921600\n"
        "> 1 fe000000\n"  // Get Version
        "< 2 fe000100000007\n"
        "> 3 fe030300ff0302\n"  // Execute, first answer
        "< 4 fe000100000011\n"
        "> 5 00000000\n"  // resynchronisation: no command
        "< 6 fe0000\n"
        "> 7 fe030300ff0302\n"  // Execute, second answer
        "< 8 fe000100000022\n";
    std::vector<kyto::emu::ReplayExchange> exchanges;
    std::string error;
    ASSERT_TRUE(kyto::emu::ParseReplay(text, exchanges, error)) << error;
    ASSERT_EQ(exchanges.size(), 4u) << "the resynchronisation is no command";
    EXPECT_FALSE(exchanges[0].answered);

    kyto::emu::CReplay replay(std::move(exchanges));
    kyto::emu::CommandFrame execute;
    execute.code = 0x03;
    execute.payload = {0xFF, 0x03, 0x02};
    // The host skips Get Version: the first Execute answer still comes first.
    kyto::emu::Response r = replay.Handle(execute);
    ASSERT_TRUE(r.answer);
    EXPECT_EQ(r.raw, (std::vector<std::uint8_t>{0xFE, 0x00, 0x01, 0x00, 0x00, 0x00, 0x11}));
    EXPECT_TRUE(r.frame);
    r = replay.Handle(execute);
    ASSERT_TRUE(r.answer);
    EXPECT_EQ(r.raw.back(), 0x22);

    // Get Version lies behind the last answer played: the recording has none left.
    kyto::emu::CommandFrame version;
    version.code = 0x00;
    r = replay.Handle(version);
    EXPECT_FALSE(r.answer);
    EXPECT_NE(replay.Note().find("no further command 0x00"), std::string::npos) << replay.Note();
    r = replay.Handle(execute);
    EXPECT_FALSE(r.answer);
    EXPECT_NE(replay.Note().find("no further command 0x03"), std::string::npos) << replay.Note();
}
