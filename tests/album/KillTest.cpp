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
#include "album/AlbumFile.h"
#include "album/AlbumMngr.h"
#include "album/PictureFile.h"
#include "settings/FileOperate.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kFolder = "./KYTO-EMU/1";

std::uint8_t Fill(int id, int number) {
    return static_cast<std::uint8_t>(id * 10 + number);
}

// An album of `users` users (IDs from `firstId`) with 10 entries each; every
// picture is filled with a value that names its user and data number.
void WriteAlbum(const std::string& path, int firstId, int users) {
    AlbumFileData data;
    data.image.data.assign(4000, 0x42);
    for (int u = 0; u < users; ++u) {
        const int id = firstId + u;
        data.AddUser(id, "person " + std::to_string(id));
        for (int n = 0; n < 10; ++n) {
            AlbumFileEntry entry;
            entry.dataNumber = n;
            entry.date = "2024/01/01";
            InitBlankPicture(entry.picture);
            std::fill(entry.picture.Pixels(), entry.picture.Pixels() + entry.picture.Size(),
                      Fill(id, n));
            data.AddEntry(id, std::move(entry));
        }
    }
    const Bytes bytes = EncodeAlbumFile(data, {});
    WriteAll(path, bytes);
}

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

// Every file of the store is complete; returns the number of users checked.
void ExpectWholeFiles() {
    const fs::path root = fs::path(kFolder) / "RegistData";
    if (!fs::exists(root)) {
        return;
    }
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        if (name[0] == '.') {
            continue;  // temporary file of a write that never finished
        }
        std::vector<std::string> lines;
        if (name == "User.dat") {
            EXPECT_EQ(CFileOperate::ReadTextLines(entry.path().string(), lines), 0);
        } else if (name == "UserInfo.dat") {
            ASSERT_EQ(CFileOperate::ReadTextLines(entry.path().string(), lines), 0);
            EXPECT_EQ(lines.size(), 3u) << entry.path();
        } else if (name.size() == 6 && name.substr(2) == ".dat") {
            ASSERT_EQ(CFileOperate::ReadTextLines(entry.path().string(), lines), 0);
            EXPECT_EQ(lines.size(), 4u) << entry.path();
        } else {
            EXPECT_EQ(entry.file_size(), 12u + 4096u) << entry.path();
        }
    }
}

}  // namespace

TEST(AlbumKill, InterruptedImportLeavesALoadableStore) {
    TempDir dir;
    WriteAlbum("old.kyl", 500, 60);
    WriteAlbum("big.kyl", 0, 300);
    // Time of one whole import, to spread the kills over it.
    ImportInChild("old.kyl", {});
    const auto whole = ImportInChild("big.kyl", {});
    ASSERT_GT(whole.count(), 0);

    std::mt19937 random(12345);
    std::uniform_int_distribution<long> when(0, whole.count() * 1000L);
    for (int round = 0; round < 12; ++round) {
        ImportInChild(round % 2 ? "old.kyl" : "big.kyl", {});  // a full store to replace
        const auto delay = std::chrono::microseconds(when(random) + 1);
        ImportInChild(round % 2 ? "big.kyl" : "old.kyl", delay);

        SCOPED_TRACE("round " + std::to_string(round) + ", killed after " +
                     std::to_string(delay.count()) + " us");
        ExpectWholeFiles();
        std::vector<std::string> listed;
        CFileOperate::ReadTextLines(fs::path(kFolder) / "RegistData" / "User.dat", listed);
        CRegUserInfoMngr store;
        store.Load(kFolder);
        // No user named by User.dat is left out, and every picture reads back.
        EXPECT_EQ(store.ListUsers().size(), listed.size());
        for (const RegUserEntry& user : store.ListUsers()) {
            CUserInfo info;
            ASSERT_EQ(store.GetUser(user.id, info), 0);
            for (const RegDataInfo& datum : info.data) {
                CImageData picture;
                ASSERT_EQ(store.ReadPicture(kFolder, user.id, datum.dataNumber, picture), 0);
                EXPECT_EQ(picture.Pixels()[4095], Fill(user.id, datum.dataNumber));
            }
        }
    }
}
