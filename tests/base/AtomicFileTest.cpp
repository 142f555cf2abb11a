// The atomic writer and its write-fault seam: a replaced file is whole or
// untouched, and a failed write is reported and leaves no temporary behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "settings/TestFiles.h"
#include "support/TempDir.h"

namespace {

int EntriesHere() {
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        (void)e;
        ++entries;
    }
    return entries;
}

TEST(AtomicFile, ReplacesWholeFilesAndLeavesNoTemporaries) {
    TempDir dir;
    const std::string first(10000, 'a');
    ASSERT_EQ(WriteFileAtomically("data.bin", first.data(), first.size()), 0);
    EXPECT_EQ(GetFile("data.bin"), first);
    ASSERT_EQ(WriteFileAtomically("data.bin", "xy", 2, FileFlush::kNone), 0);
    EXPECT_EQ(GetFile("data.bin"), "xy");
    ASSERT_EQ(WriteFileAtomically("empty.bin", nullptr, 0), 0);
    EXPECT_EQ(GetFile("empty.bin"), "");

    EXPECT_EQ(WriteFileAtomically("missing/data.bin", "x", 1), -1);
    EXPECT_EQ(WriteFileAtomically("", "x", 1), -1);
    EXPECT_EQ(WriteFileInPlace("missing/data.bin", "x", 1), -1);
    EXPECT_EQ(EntriesHere(), 2);  // data.bin and empty.bin only
}

// A write that fails half-way (here: the file size limit is hit) leaves the old
// content in place and no temporary file behind.
TEST(AtomicFile, FailedWriteKeepsTheOldContent) {
    TempDir dir;
    ASSERT_EQ(WriteFileAtomically("keep.ini", "old", 3), 0);
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string big(100000, 'n');
    const int result = WriteFileAtomically("keep.ini", big.data(), big.size());
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(result, -1);
    EXPECT_EQ(GetFile("keep.ini"), "old");
    EXPECT_EQ(EntriesHere(), 1);
}

// The seam behaves like a disk that fills up: matching writes share one
// budget, the write that does not fit fails and the old file stays.
TEST(WriteFault, MatchingWritesFailOnceTheBudgetIsSpent) {
    TempDir dir;
    ASSERT_EQ(WriteFileAtomically("store.dat", "old", 3), 0);
    {
        ScopedWriteFault fault({"store", 10, false});
        EXPECT_EQ(WriteFileAtomically("store.dat", "123456", 6), 0) << "fits in the budget";
        EXPECT_EQ(WriteFileAtomically("store.dat", "abcdef", 6), -1) << "4 bytes were left";
        EXPECT_EQ(errno, ENOSPC);
        EXPECT_EQ(WriteFileAtomically("other.dat", "abcdef", 6), 0) << "path does not match";
        EXPECT_EQ(WriteFileInPlace("store.tmp", "x", 1), -1);
        EXPECT_EQ(WriteFaultHits(), 2);
    }
    EXPECT_EQ(GetFile("store.dat"), "123456");
    EXPECT_EQ(EntriesHere(), 3);  // store.dat, other.dat and the failed in-place store.tmp
    EXPECT_EQ(WriteFileAtomically("store.dat", "abcdef", 6), 0) << "cleared with the scope";
}

TEST(WriteFault, ZeroBudgetFailsEveryWriteAndSyncFailsOnRequest) {
    TempDir dir;
    std::filesystem::create_directory("folder");
    {
        ScopedWriteFault fault({"", 0, true});
        EXPECT_EQ(WriteFileAtomically("empty.dat", nullptr, 0), -1);
        EXPECT_EQ(WriteFileAtomically("folder/a", "a", 1, FileFlush::kNone), -1);
        EXPECT_EQ(SyncFileSystem("folder"), -1);
    }
    EXPECT_EQ(SyncFileSystem("folder"), 0);
    {
        ScopedWriteFault fault({"folder", 100, true});
        EXPECT_EQ(WriteFileAtomically("folder/a", "a", 1, FileFlush::kNone), 0) << "no flush";
        EXPECT_EQ(WriteFileAtomically("folder/b", "b", 1), -1) << "the flush fails";
        EXPECT_EQ(SyncFileSystem(""), 0) << "the working folder does not match";
    }
    EXPECT_FALSE(std::filesystem::exists("folder/b"));
}

}  // namespace
