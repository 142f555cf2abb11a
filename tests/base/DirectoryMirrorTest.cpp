// The directory mirror behind the album backup and the folder copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/DirectoryMirror.h"
#include "settings/TestFiles.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// src/a, src/sub/b, src/sub/deeper/c, and a link to a folder outside.
void MakeSource() {
    fs::create_directories("src/sub/deeper");
    fs::create_directories("outside");
    PutFile("src/a", "A");
    PutFile("src/sub/b", "B");
    PutFile("src/sub/deeper/c", std::string("C\0C", 3));
    PutFile("outside/secret", "S");
    fs::create_directory_symlink("../outside", "src/link");
}

TEST(DirectoryMirror, ExactModeMakesACopyAndRemovesWhatTheSourceLacks) {
    TempDir dir;
    MakeSource();
    fs::create_directories("dst/old/inner");
    PutFile("dst/a", "stale");
    PutFile("dst/old/inner/x", "X");
    PutFile("dst/gone", "G");

    ASSERT_EQ(MirrorDirectory("src", "dst", MirrorMode::kExact), 0);
    EXPECT_EQ(GetFile("dst/a"), "A");
    EXPECT_EQ(GetFile("dst/sub/b"), "B");
    EXPECT_EQ(GetFile("dst/sub/deeper/c"), std::string("C\0C", 3));
    EXPECT_FALSE(fs::exists("dst/old"));
    EXPECT_FALSE(fs::exists("dst/gone"));
    EXPECT_FALSE(fs::exists(fs::symlink_status("dst/link"))) << "folder links are not followed";
    EXPECT_TRUE(fs::exists("outside/secret"));
}

TEST(DirectoryMirror, MergeModeKeepsExtrasAndAMissingSourceChangesNothing) {
    TempDir dir;
    MakeSource();
    fs::create_directories("dst");
    PutFile("dst/only-here", "O");
    ASSERT_EQ(MirrorDirectory("src", "dst", MirrorMode::kMerge, FileFlush::kNone), 0);
    EXPECT_EQ(GetFile("dst/only-here"), "O");
    EXPECT_EQ(GetFile("dst/sub/b"), "B");

    EXPECT_EQ(MirrorDirectory("missing", "dst", MirrorMode::kExact), -1);
    EXPECT_EQ(GetFile("dst/only-here"), "O");
}

TEST(DirectoryMirror, AFailedFileIsReportedAndTheRestStillCopied) {
    TempDir dir;
    MakeSource();
    fs::create_directories("dst/sub");
    PutFile("dst/sub/b", "old B");
    {
        ScopedWriteFault fault({"sub/b", 0, false});
        EXPECT_EQ(MirrorDirectory("src", "dst", MirrorMode::kExact), -1);
        EXPECT_EQ(WriteFaultHits(), 1);
    }
    EXPECT_EQ(GetFile("dst/sub/b"), "old B") << "the failed file keeps its old content";
    EXPECT_EQ(GetFile("dst/a"), "A");
    EXPECT_EQ(GetFile("dst/sub/deeper/c"), std::string("C\0C", 3));
}

TEST(DirectoryMirror, ADestinationInsideTheSourceEnds) {
    TempDir dir;
    MakeSource();
    ASSERT_EQ(MirrorDirectory("src", "src/sub/backup", MirrorMode::kMerge), 0);
    EXPECT_EQ(GetFile("src/sub/backup/sub/b"), "B");
    EXPECT_FALSE(fs::exists("src/sub/backup/sub/backup"));
}

}  // namespace
