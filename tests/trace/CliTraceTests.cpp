#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "KytoProcess.h"
#include "TempDir.h"
#include "emulator/harness/EmuProcess.h"

using nlohmann::json;

// kyto --trace against the emulator: a relative trace name is the caller's
// (kyto moves into its data folder), and every exchange appears as a command
// line followed by its answer.
TEST(CliTrace, DetectWritesEveryExchangeAsJsonLines) {
    TempDir dir;
    CEmuProcess emu({"--no-line-timing", "--seed", "3", "--people", "2"});
    ASSERT_TRUE(emu.Start()) << emu.Error();
    KytoProcess kyto({"--data-dir", (dir.Path() / "data").string(), "--port", emu.PortPath(),
                      "--baud", "9600", "--trace", "trace.jsonl", "detect", "--functions", "all",
                      "--frames", "2", "--image", "160x120", "--output", "json"});
    ASSERT_EQ(kyto.Run(), 0) << kyto.Err();

    std::ifstream in(dir.Path() / "trace.jsonl");
    ASSERT_TRUE(in) << "the trace is not where the caller named it";
    std::vector<json> rows;
    for (std::string text; std::getline(in, text);) {
        rows.push_back(json::parse(text));
    }
    int executes = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const json& row = rows[i];
        const std::string bytes = row["bytes"];
        EXPECT_EQ(bytes.size(), 2 * row["length"].get<std::size_t>()) << i;
        EXPECT_EQ(bytes.substr(0, 2), "fe") << i;
        if (row["direction"] == "send") {
            EXPECT_TRUE(row["result_code"].is_null()) << i;
            if (row["command"] == "Execute") {
                ++executes;
                ASSERT_LT(i + 1, rows.size());
                const json& answer = rows[i + 1];
                EXPECT_EQ(answer["direction"], "receive");
                EXPECT_EQ(answer["command"], "Execute");
                EXPECT_EQ(answer["result_code"], 0);
                // The 160x120 image rides in the answer.
                EXPECT_GT(answer["length"].get<int>(), 160 * 120);
            }
        }
        if (i > 0) {
            EXPECT_GE(row["time_ms"].get<double>(), rows[i - 1]["time_ms"].get<double>()) << i;
        }
    }
    EXPECT_EQ(executes, 2);
}

namespace {

// The answers to Execute in the trace, in order, with their lengths.
std::vector<int> ExecuteAnswerLengths(const std::filesystem::path& trace) {
    std::ifstream in(trace);
    std::vector<int> lengths;
    for (std::string text; std::getline(in, text);) {
        const json row = json::parse(text);
        if (row["direction"] == "receive" && row["command"] == "Execute") {
            lengths.push_back(row["length"]);
        }
    }
    return lengths;
}

}  // namespace

// The emulator sends its answers at the line rate, so the wire times of the
// breakdown are known: 10 bits a byte at the rate kyto switched to. The
// members add up to response_ms (truncated) within 1 ms, and the run ends
// with the median and 95th percentile on standard error.
TEST(CliTrace, DetectTimingSplitsTheResponseTimeAtTheLineRate) {
    TempDir dir;
    CEmuProcess emu({"--seed", "5", "--people", "1"});
    ASSERT_TRUE(emu.Start()) << emu.Error();
    constexpr int kBaud = 921600;
    KytoProcess kyto({"--data-dir", (dir.Path() / "data").string(), "--port", emu.PortPath(),
                      "--baud", std::to_string(kBaud), "--trace", "trace.jsonl", "detect",
                      "--functions", "face,age", "--frames", "3", "--image", "160x120", "--output",
                      "json"});
    ASSERT_EQ(kyto.Run(), 0) << kyto.Err();
    const std::vector<int> answers = ExecuteAnswerLengths(dir.Path() / "trace.jsonl");
    ASSERT_EQ(answers.size(), 3u);

    std::istringstream out(kyto.Out());
    std::size_t frame = 0;
    for (std::string text; std::getline(out, text); ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame + 1));
        ASSERT_LT(frame, answers.size());
        const json line = json::parse(text);
        const json& timing = line["timing"];
        ASSERT_TRUE(timing.is_object()) << text;
        double sum = 0;
        for (const char* member :
             {"grid_wait_ms", "request_wire_ms", "module_ms", "response_wire_ms", "host_ms"}) {
            ASSERT_TRUE(timing[member].is_number()) << member;
            EXPECT_GE(timing[member].get<double>(), 0.0) << member;
            sum += timing[member].get<double>();
        }
        const int responseMs = line["response_ms"];
        EXPECT_GE(sum, responseMs - 0.01);
        EXPECT_LT(sum, responseMs + 1.0);
        // Execute is FE 03, a two-byte length and three bytes of flags.
        EXPECT_NEAR(timing["request_wire_ms"].get<double>(), 7 * 10000.0 / kBaud, 0.002);
        // Never more than the line rate allows; less only by the moment the
        // host's thread took to wake after its write (loaded machines).
        const double wire = answers[frame] * 10000.0 / kBaud;
        EXPECT_LE(timing["response_wire_ms"].get<double>(), wire + 0.002);
        EXPECT_GE(timing["response_wire_ms"].get<double>(), 0.9 * wire);
    }
    EXPECT_EQ(frame, 3u);
    EXPECT_NE(kyto.Err().find("timing of 3 frame(s) in ms (median / 95th percentile): response "),
              std::string::npos)
        << kyto.Err();
}

namespace {

// The result text without the measured response times, which no replay can
// repeat.
std::string WithoutResponseTimes(const std::string& text) {
    return std::regex_replace(text, std::regex("Response time:[0-9]+ms"), "Response time:ms");
}

}  // namespace

// A run recorded against the emulator and replayed by kyto-emu --replay gives
// the same result text; a recording that cannot be read stops the emulator.
TEST(CliTrace, RecordedRunReplaysToTheSameResultText) {
    TempDir dir;
    const auto detect = [&dir](const std::string& port, const std::string& data,
                               std::vector<std::string> extra) {
        std::vector<std::string> args = {"--data-dir", (dir.Path() / data).string(),
                                         "--port",     port,
                                         "--baud",     "921600",
                                         "detect",     "--functions",
                                         "all",        "--frames",
                                         "3",          "--image",
                                         "160x120"};
        args.insert(args.end(), extra.begin(), extra.end());
        return KytoProcess(args);
    };
    std::string recorded;
    {
        CEmuProcess emu({"--no-line-timing", "--seed", "11", "--people", "2"});
        ASSERT_TRUE(emu.Start()) << emu.Error();
        KytoProcess kyto = detect(emu.PortPath(), "first", {"--record", "run.rec"});
        ASSERT_EQ(kyto.Run(), 0) << kyto.Err();
        recorded = kyto.Out();
    }
    ASSERT_TRUE(std::filesystem::exists(dir.Path() / "run.rec"));

    CEmuProcess replay({"--no-line-timing", "--replay", (dir.Path() / "run.rec").string()});
    ASSERT_TRUE(replay.Start()) << replay.Error();
    // A fresh data folder: the replayed run asks the module what the first asked.
    KytoProcess kyto = detect(replay.PortPath(), "second", {});
    ASSERT_EQ(kyto.Run(), 0) << kyto.Err();
    EXPECT_NE(recorded.find("Face count:"), std::string::npos) << recorded;
    EXPECT_EQ(WithoutResponseTimes(kyto.Out()), WithoutResponseTimes(recorded));

    std::ofstream(dir.Path() / "broken.rec") << "kyto-recording 9\n";
    CEmuProcess broken({"--replay", (dir.Path() / "broken.rec").string()});
    EXPECT_FALSE(broken.Start());
    EXPECT_EQ(broken.ExitStatus(), 1);
}
