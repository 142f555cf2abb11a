#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/Options.h"

using namespace kyto::emu;

TEST(Options, ValuesLandWhereTheyBelong) {
    EmulatorOptions o;
    std::string error;
    ASSERT_TRUE(ParseOptions({"--seed",
                              "42",
                              "--people",
                              "2",
                              "--model",
                              "KYTO-EMU-EX",
                              "--no-execute",
                              "--disable",
                              "0x45",
                              "--version",
                              "3.2.1",
                              "--revision",
                              "7",
                              "--device-id",
                              "9",
                              "--full-size",
                              "800x600",
                              "--album-type",
                              "2",
                              "--no-line-timing",
                              "--link",
                              "p",
                              "--state",
                              "s.kyb",
                              "--delay-ms",
                              "5",
                              "--drop-rate",
                              "0.5",
                              "--garble-rate",
                              "0",
                              "--truncate-rate",
                              "1",
                              "--silent-after",
                              "3",
                              "--vanish-after",
                              "4",
                              "--frame-ms",
                              "40"},
                             o, error))
        << error;
    EXPECT_EQ(o.module.seed, 42u);
    EXPECT_EQ(o.module.people, 2);
    EXPECT_EQ(o.module.model, "KYTO-EMU-EX");
    EXPECT_EQ(o.module.disabled, (std::set<int>{0x03, 0x45}));
    EXPECT_EQ(o.module.major * 100 + o.module.minor * 10 + o.module.release, 321);
    EXPECT_EQ(o.module.revision, 7u);
    EXPECT_EQ(o.module.deviceId, 9u);
    EXPECT_EQ(o.module.fullWidth, 800);
    EXPECT_EQ(o.module.fullHeight, 600);
    EXPECT_EQ(o.module.albumType, 2);
    EXPECT_DOUBLE_EQ(o.module.frameSeconds, 0.04);
    EXPECT_FALSE(o.line.lineTiming);
    EXPECT_EQ(o.line.linkPath, "p");
    EXPECT_EQ(o.module.stateFile, "s.kyb");
    EXPECT_EQ(o.faults.delayMs, 5);
    EXPECT_DOUBLE_EQ(o.faults.dropRate, 0.5);
    EXPECT_DOUBLE_EQ(o.faults.truncateRate, 1.0);
    EXPECT_EQ(o.faults.silentAfter, 3);
    EXPECT_EQ(o.faults.vanishAfter, 4);
}

TEST(Options, BadValuesAreRefusedWithAMessage) {
    const std::vector<std::vector<std::string>> cases = {{"--seed"},
                                                         {"--seed", "x"},
                                                         {"--people", "9"},
                                                         {"--people", "-1"},
                                                         {"--model", ""},
                                                         {"--model", "THIRTEEN-CHRS"},
                                                         {"--version", "1.2"},
                                                         {"--version", "1.2.256"},
                                                         {"--full-size", "640"},
                                                         {"--album-type", "3"},
                                                         {"--disable", "1G"},
                                                         {"--drop-rate", "1.5"},
                                                         {"--garble-rate", "-0.1"},
                                                         {"--silent-after", "-2"},
                                                         {"--frame-ms", "0"},
                                                         {"--bogus"},
                                                         {"--delay-ms", ""}};
    for (const auto& args : cases) {
        EmulatorOptions o;
        std::string error;
        EXPECT_FALSE(ParseOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}
