#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
