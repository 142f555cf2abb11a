#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "settings/FileOperate.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

// d/a.log, d/b.txt, d/.hidden.log, d/sub/c.log, d/sub/deeper/e.bin, d/sub2/
void MakeTree(const std::string& root) {
    fs::create_directories(root + "/sub/deeper");
    fs::create_directories(root + "/sub2");
    PutFile(root + "/a.log", "A");
    PutFile(root + "/b.txt", "B");
    PutFile(root + "/.hidden.log", "H");
    PutFile(root + "/sub/c.log", "C");
    PutFile(root + "/sub/deeper/e.bin", std::string("E\0E", 3));
}

TEST(ListEntries, PatternsOnTheLastComponent) {
    TempDir dir;
    MakeTree("d");
    Names names = {"kept"};
    ASSERT_EQ(CFileOperate::ListFiles("d/*.log", names), 0);
    EXPECT_EQ(Sorted(names), (Names{".hidden.log", "a.log", "kept"}));

    names.clear();
    ASSERT_EQ(CFileOperate::ListFiles("d/*", names), 0);
    EXPECT_EQ(Sorted(names), (Names{".hidden.log", "a.log", "b.txt"}));
    names.clear();
    ASSERT_EQ(CFileOperate::ListFiles("d/?.txt", names), 0);
    EXPECT_EQ(names, (Names{"b.txt"}));
    names.clear();
    ASSERT_EQ(CFileOperate::ListDirectories("d/*", names), 0);
    EXPECT_EQ(Sorted(names), (Names{"sub", "sub2"}));
    names.clear();
    ASSERT_EQ(CFileOperate::ListDirectories("*", names), 0);  // the working directory
    EXPECT_EQ(names, (Names{"d"}));

    names.clear();
    EXPECT_EQ(CFileOperate::ListFiles("d/*.xyz", names), -1);
    EXPECT_EQ(CFileOperate::ListFiles("missing/*", names), -1);
    EXPECT_EQ(CFileOperate::ListDirectories("d/sub2/*", names), -1);
    EXPECT_EQ(CFileOperate::ListFiles("d/a.log/*", names), -1);
    EXPECT_TRUE(names.empty());
}

TEST(DirectoryTree, CopyAndDelete) {
    TempDir dir;
    MakeTree("src");
    CFileOperate::CopyDirectoryTree("src", "backup/copy");
    EXPECT_EQ(GetFile("backup/copy/a.log"), "A");
    EXPECT_EQ(GetFile("backup/copy/sub/c.log"), "C");
    EXPECT_EQ(GetFile("backup/copy/sub/deeper/e.bin"), std::string("E\0E", 3));
    EXPECT_TRUE(fs::is_directory("backup/copy/sub2"));

    // Files of the same name are replaced; sub-directories are left alone.
    PutFile("src/a.log", "new");
    PutFile("backup/copy/only-here", "x");
    CFileOperate::CopyDirectoryFiles("src", "backup/copy");
    EXPECT_EQ(GetFile("backup/copy/a.log"), "new");
    EXPECT_TRUE(fs::exists("backup/copy/only-here"));

    CFileOperate::DeleteDirectoryFiles("backup/copy");
    EXPECT_FALSE(fs::exists("backup/copy/a.log"));
    EXPECT_TRUE(fs::exists("backup/copy/sub/c.log"));

    CFileOperate::DeleteDirectoryTree("backup/copy");
    EXPECT_FALSE(fs::exists("backup/copy"));
    EXPECT_TRUE(fs::exists("backup"));
    EXPECT_TRUE(fs::exists("src/sub/deeper/e.bin"));
}

TEST(DirectoryTree, MissingPathsDoNothing) {
    TempDir dir;
    CFileOperate::CopyDirectoryTree("missing", "dest");
    EXPECT_FALSE(fs::exists("dest"));
    CFileOperate::DeleteDirectoryTree("missing");
    CFileOperate::DeleteDirectoryFiles("missing");
    CFileOperate::CopyDirectoryFiles("missing", "dest");
    EXPECT_TRUE(fs::is_empty("."));
}

// Deleting a tree removes a link inside it, never what the link points to.
TEST(DirectoryTree, DeleteDoesNotFollowLinks) {
    TempDir dir;
    fs::create_directories("outside/inner");
    PutFile("outside/precious", "P");
    fs::create_directories("tree");
    fs::create_directory_symlink("../outside", "tree/link");
    fs::create_directory_symlink("outside", "toplink");

    CFileOperate::DeleteDirectoryTree("tree");
    CFileOperate::DeleteDirectoryTree("toplink");
    EXPECT_FALSE(fs::exists("tree"));
    EXPECT_FALSE(fs::is_symlink("toplink"));
    EXPECT_EQ(GetFile("outside/precious"), "P");
    EXPECT_TRUE(fs::is_directory("outside/inner"));
}

TEST(DirectoryTree, CopyIntoItsOwnSubdirectoryEnds) {
    TempDir dir;
    MakeTree("src");
    CFileOperate::CopyDirectoryTree("src", "src/sub2/backup");
    EXPECT_EQ(GetFile("src/sub2/backup/sub/c.log"), "C");
    EXPECT_FALSE(fs::exists("src/sub2/backup/sub2/backup"));
}

TEST(EnsureDirectory, CreatesMissingParentsAndEndsOnImpossiblePaths) {
    TempDir dir;
    CFileOperate::EnsureDirectory("one/two/three");
    EXPECT_TRUE(fs::is_directory("one/two/three"));
    CFileOperate::EnsureDirectory("one/two/three");  // exists: nothing happens
    CFileOperate::EnsureDirectory("./KYTO-EMU//12/");
    EXPECT_TRUE(fs::is_directory("KYTO-EMU/12"));
    CFileOperate::EnsureDirectory((fs::current_path() / "abs/x").string());
    EXPECT_TRUE(fs::is_directory("abs/x"));
    CFileOperate::EnsureDirectory("plain");
    EXPECT_TRUE(fs::is_directory("plain"));

    // Under a regular file nothing can ever be created; the call must return.
    PutFile("file", "f");
    CFileOperate::EnsureDirectory("file/a/b/c");
    EXPECT_EQ(GetFile("file"), "f");
    EXPECT_FALSE(CFileOperate::Exists("file/a"));
    CFileOperate::EnsureDirectory("/proc/no/such/place");
    EXPECT_FALSE(CFileOperate::Exists("/proc/no"));
}

TEST(FileOperate, FileNameOfAndExists) {
    EXPECT_EQ(CFileOperate::FileNameOf("./KYTO-EMU/1/RegistData/User.dat"), "User.dat");
    EXPECT_EQ(CFileOperate::FileNameOf("album.kyl"), "album.kyl");
    EXPECT_EQ(CFileOperate::FileNameOf("dir/"), "");
    TempDir dir;
    PutFile("f", "");
    fs::create_directory("d");
    EXPECT_TRUE(CFileOperate::Exists("f"));
    EXPECT_TRUE(CFileOperate::Exists("d"));
    EXPECT_FALSE(CFileOperate::Exists("nothing"));
    EXPECT_FALSE(CFileOperate::Exists(""));
}

}  // namespace
