#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ModuleFiles.h"

TEST(ModuleFiles, DefaultSettingsSkipCommentsAndTakeTheFourLines) {
    DefaultSettings out;
    ASSERT_EQ(ParseDefaultSettings({"; one", ";two", "500\t500\t500\t500\t500",
                                    "30\t8192\t40\t8192\t64\t8192", "0\t0", "0", "ignored"},
                                   out),
              0);
    for (int t : out.settings.thresholds) {
        EXPECT_EQ(t, 500);
    }
    EXPECT_EQ(out.settings.ranges[0], CRange(30, 8192));
    EXPECT_EQ(out.settings.ranges[1], CRange(40, 8192));
    EXPECT_EQ(out.settings.ranges[2], CRange(64, 8192));
    EXPECT_EQ(out.settings.yawCode, 0);
    EXPECT_EQ(out.settings.rollCode, 0);
    EXPECT_EQ(out.resolutionCode, 0);
}

TEST(ModuleFiles, MalformedDefaultSettingsLeaveTheOldValues) {
    const std::vector<std::vector<std::string>> bad = {
        {"", "30\t8192\t40\t8192\t64\t8192", "0\t0", "0"},                // empty first line
        {"1\t2\t3\t4", "30\t8192\t40\t8192\t64\t8192", "0\t0", "0"},      // four thresholds
        {"1\t2\t3\t4\t5", "30\t8192\t40\t8192\t64", "0\t0", "0"},         // five range fields
        {"1\t2\t3\t4\t5", "30\t8192\t40\t8192\t64\t8192", "0", "0"},      // one angle
        {"1\t2\t3\t4\t5", "30\t8192\t40\t8192\t64\t8192", "0\t0", ";c"},  // three lines left
    };
    for (const auto& lines : bad) {
        DefaultSettings out;
        out.settings.thresholds[0] = 77;
        out.resolutionCode = 3;
        EXPECT_EQ(ParseDefaultSettings(lines, out), -1) << lines[0];
        EXPECT_EQ(out.settings.thresholds[0], 77);
        EXPECT_EQ(out.settings.thresholds[1], -1);
        EXPECT_EQ(out.resolutionCode, 3);
    }
}

TEST(ModuleFiles, ResolutionListsKeepOnlyKnownSizesInLineOrder) {
    const std::vector<ResolutionList> lists = ParseResolutionLists({
        "; comment",
        "A\t640,480\t1024,768",  // 1024 x 768 is not known
        "B\t1024,768",           // nothing known: no entry
        "C",                     // no resolution
        "D\t640,480\t1280",      // a resolution without height: whole line ignored
        "E\t1600,1200\t800,600\t640,480",
    });
    ASSERT_EQ(lists.size(), 3u);
    EXPECT_EQ(lists[0].model, "");
    ASSERT_EQ(lists[0].resolutions.size(), 1u);
    EXPECT_EQ(lists[0].resolutions[0].code, 0);
    EXPECT_EQ(lists[1].model, "A");
    ASSERT_EQ(lists[1].resolutions.size(), 1u);
    EXPECT_EQ(lists[1].resolutions[0].width, 640);
    EXPECT_EQ(lists[1].resolutions[0].code, 1);
    EXPECT_EQ(lists[2].model, "E");
    ASSERT_EQ(lists[2].resolutions.size(), 3u);
    EXPECT_EQ(lists[2].resolutions[0].code, 3);
    EXPECT_EQ(lists[2].resolutions[1].code, 1);  // 800 x 600 shares the code of 640 x 480
}

TEST(ModuleFiles, CommandListsAreBlocksOfHexCodes) {
    const std::vector<CommandList> lists = ParseCommandLists({
        "; comment before",
        "MODEL-A",
        "0x1A",
        "; a comment does not end the block",
        "1A",
        "001a",
        "x0F",
        "",
        "",
        "NAME-ONLY",
        "",
        "MODEL-C",
        "ff",
    });
    ASSERT_EQ(lists.size(), 3u);
    EXPECT_EQ(lists[0].model, "MODEL-A");
    EXPECT_EQ(lists[0].codes, (std::vector<int>{0x1A, 0x1A, 0x1A, 0x0F}));
    EXPECT_EQ(lists[1].model, "NAME-ONLY");
    EXPECT_TRUE(lists[1].codes.empty());
    EXPECT_EQ(lists[2].codes, (std::vector<int>{0xFF}));
    EXPECT_EQ(ParseCommandCode("0"), 0);
    EXPECT_EQ(ParseCommandCode("0x"), 0);
    EXPECT_EQ(ParseCommandCode("ffffffffffff"), 0x7FFFFFFF);  // saturates, never overflows
}

#include "app/AppCore.h"

TEST(DeviceFolder, ModelNamesNeverLeaveTheWorkingFolder) {
    struct Case {
        std::string reported;  // 12 bytes as sent
        std::string model;
        std::string folder;
    } cases[] = {
        {std::string("KYTO-EMU\0\0\0\0", 12), "KYTO-EMU", "KYTO-EMU"},
        {std::string("  KYTO 2   \0", 12), "KYTO 2", "KYTO 2"},
        {std::string("../../etc\0\0\0", 12), "../../etc", ".._.._etc"},
        {std::string("..\0\0\0\0\0\0\0\0\0\0", 12), "..", "__"},
        {std::string(".", 1), ".", "_"},
        {std::string(12, '\0'), "", "_"},
        {std::string("A\x01"
                     "B\\C\x7F",
                     6),
         "A\x01"
         "B\\C\x7F",
         "A_B_C_"},
        {std::string("Caf\xE9", 4), "Caf\xC3\xA9", "Caf\xC3\xA9"},  // Latin-1 byte read as such
    };
    for (const Case& c : cases) {
        const std::string model = ModelNameFromVersion(c.reported);
        EXPECT_EQ(model, c.model);
        EXPECT_EQ(SafeFolderName(model), c.folder) << c.model;
    }
}
