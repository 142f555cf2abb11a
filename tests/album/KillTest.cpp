// An album file import killed at random moments: afterwards every file of
// the store is whole (old or new, never cut short) and the store loads
// without leaving out any user it lists.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "AlbumTestUtil.h"
#include "StoreCheck.h"
#include "album/AlbumFile.h"
#include "album/AlbumMngr.h"
#include "album/PictureFile.h"
#include "settings/FileOperate.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kFolder = "./KYTO-EMU/1";

// Runs the import in a child process; kills it after `delay` unless zero.
// Returns the time the child took when it was not killed.
std::chrono::milliseconds ImportInChild(const std::string& file, std::chrono::microseconds delay) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        CAlbumMngr album;
        album.OpenFolder(kFolder);
        AlbumImage image;
        _exit(album.ImportAlbumFile(file, image) == 0 ? 0 : 3);
    }
    if (delay.count() > 0) {
        std::this_thread::sleep_for(delay);
        kill(pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

}  // namespace

TEST(AlbumKill, InterruptedImportLeavesALoadableStore) {
    TempDir dir;
    WriteBigAlbum("old.kyl", 500, 60);
    WriteBigAlbum("big.kyl", 0, 120);
    // Time of one whole import, to spread the kills over it.
    ImportInChild("old.kyl", {});
    const auto whole = ImportInChild("big.kyl", {});
    ASSERT_GT(whole.count(), 0);

    std::mt19937 random(12345);
    std::uniform_int_distribution<long> when(0, whole.count() * 1000L);
    for (int round = 0; round < 8; ++round) {
        ImportInChild(round % 2 ? "old.kyl" : "big.kyl", {});  // a full store to replace
        const auto delay = std::chrono::microseconds(when(random) + 1);
        ImportInChild(round % 2 ? "big.kyl" : "old.kyl", delay);

        SCOPED_TRACE("round " + std::to_string(round) + ", killed after " +
                     std::to_string(delay.count()) + " us");
        ExpectWholeFiles(kFolder);
        ExpectLoadableStore(kFolder, PictureFill);
        CAlbumMngr reopened;
        reopened.OpenFolder(kFolder);
        EXPECT_FALSE(fs::exists(kFolder + "/.import"));
    }
}
