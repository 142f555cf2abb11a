// The data folder rule: --data-dir wins, a portable program folder stays the
// data folder, an installed or unwritable one sends the data to the per-user
// folder, and shipped configuration files are copied there without ever
// replacing a file the user has.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/DataFolder.h"
#include "settings/TestFiles.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A program folder holding the shipped files (a build folder, an unpacked
// archive) and an installed layout (bin/ without them, share/kyto-demo/ with
// them), side by side in a temporary folder. Writability is the seam's say,
// so the tests hold when run as root.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(portable_);
        fs::create_directories(installedBin_);
        fs::create_directories(installedShare_);
        for (const std::string& name : ShippedConfigurationFiles()) {
            PutFile((portable_ / name).string(), "portable " + name);
            PutFile((installedShare_ / name).string(), "installed " + name);
        }
    }

    DataFolderHost Host(const fs::path& exeFolder, bool writable) const {
        DataFolderHost host;
        host.executableFolder = exeFolder;
        host.installedDataFolder = installedShare_;
        host.xdgDataHome = (dir_.Path() / "xdg").string();
        host.home = (dir_.Path() / "home").string();
        host.isWritable = [writable](const fs::path&) { return writable; };
        return host;
    }

    TempDir dir_;
    fs::path portable_ = dir_.Path() / "unpacked";
    fs::path installedBin_ = dir_.Path() / "usr/bin";
    fs::path installedShare_ = dir_.Path() / "usr/share/kyto-demo";
    fs::path userFolder_ = dir_.Path() / "xdg/kyto-demo";
};

TEST_F(DataFolderTest, ShipsTheConfigurationFiles) {
    const auto& files = ShippedConfigurationFiles();
    EXPECT_NE(std::find(files.begin(), files.end(), "CmdTimeout.ini"), files.end());
    EXPECT_NE(std::find(files.begin(), files.end(), "DefSettings.dat"), files.end());
}

TEST_F(DataFolderTest, ChoosesTheFolderByTheRule) {
    struct Case {
        const char* what;
        std::string given;
        fs::path exe;
        bool writable;
        DataFolderKind kind;
        fs::path folder;
        fs::path shippedFrom;
    };
    const fs::path given = dir_.Path() / "given";
    const Case cases[] = {
        {"--data-dir over a portable folder", given.string(), portable_, true,
         DataFolderKind::kGiven, given, portable_},
        {"--data-dir over an installed one", given.string(), installedBin_, false,
         DataFolderKind::kGiven, given, installedShare_},
        {"portable and writable", "", portable_, true, DataFolderKind::kProgramFolder, portable_,
         ""},
        {"portable but read-only", "", portable_, false, DataFolderKind::kUserFolder, userFolder_,
         portable_},
        {"installed, not writable", "", installedBin_, false, DataFolderKind::kUserFolder,
         userFolder_, installedShare_},
        // root may write to /usr/bin, but an installed program never keeps
        // its data there.
        {"installed, writable (root)", "", installedBin_, true, DataFolderKind::kUserFolder,
         userFolder_, installedShare_},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DataFolderPlan plan = PlanDataFolder(c.given, Host(c.exe, c.writable));
        EXPECT_TRUE(plan.error.empty()) << plan.error;
        EXPECT_EQ(plan.kind, c.kind);
        EXPECT_EQ(plan.folder, c.folder);
        EXPECT_EQ(plan.shippedFrom, c.shippedFrom);
    }
}

TEST_F(DataFolderTest, PerUserFolderFollowsXdgDataHome) {
    DataFolderHost host = Host(installedBin_, false);
    const fs::path homeDefault = dir_.Path() / "home/.local/share/kyto-demo";
    struct Case {
        std::string xdg;
        fs::path folder;
    };
    const Case cases[] = {
        {(dir_.Path() / "elsewhere").string(), dir_.Path() / "elsewhere/kyto-demo"},
        {"", homeDefault},
        {"relative/data", homeDefault},  // invalid: ignored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xdg);
        host.xdgDataHome = c.xdg;
        EXPECT_EQ(PlanDataFolder("", host).folder, c.folder);
    }
    host.xdgDataHome.clear();
    host.home.clear();
    const DataFolderPlan homeless = PlanDataFolder("", host);
    EXPECT_FALSE(homeless.error.empty());
    const DataFolderEntry entry = EnterDataFolder(homeless);
    EXPECT_FALSE(entry.ok);
    EXPECT_NE(entry.error.find("--data-dir"), std::string::npos);
    // --data-dir still works without a home folder.
    EXPECT_TRUE(PlanDataFolder("given", host).error.empty());
}

TEST_F(DataFolderTest, FirstStartCopiesAndLaterStartsNeverReplace) {
    const DataFolderPlan plan = PlanDataFolder("", Host(installedBin_, false));
    ASSERT_EQ(plan.kind, DataFolderKind::kUserFolder);

    DataFolderEntry first = EnterDataFolder(plan);
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(fs::current_path(), userFolder_);
    EXPECT_EQ(first.copied.size(), ShippedConfigurationFiles().size());
    EXPECT_TRUE(first.warnings.empty());
    for (const std::string& name : ShippedConfigurationFiles()) {
        EXPECT_EQ(GetFile(name), "installed " + name);
    }

    // The user edits one file and deletes another; an upgrade ships new ones.
    PutFile("CmdTimeout.ini", "edited by the user");
    fs::remove("DefSettings.dat");
    for (const std::string& name : ShippedConfigurationFiles()) {
        PutFile((installedShare_ / name).string(), "upgraded " + name);
    }
    fs::current_path(dir_.Path());
    const DataFolderEntry second = EnterDataFolder(plan);
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(second.copied, std::vector<std::string>{"DefSettings.dat"});
    EXPECT_EQ(GetFile("CmdTimeout.ini"), "edited by the user");
    EXPECT_EQ(GetFile("DefSettings.dat"), "upgraded DefSettings.dat");
    EXPECT_EQ(GetFile("ExecTimeOut.ini"), "installed ExecTimeOut.ini");
    // No temporary copies are left behind.
    for (const auto& entry : fs::directory_iterator(".")) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }
}

TEST_F(DataFolderTest, GivenFolderKeepsWhatItHolds) {
    const fs::path given = dir_.Path() / "given";
    fs::create_directories(given / "ImgTimeout.ini");  // a folder in the way
    PutFile((given / "CmdTimeout.ini").string(), "mine");
    fs::create_symlink("nowhere", given / "RegTimeOut.ini");  // dangling, still the user's

    const DataFolderEntry entry =
        EnterDataFolder(PlanDataFolder(given.string(), Host(portable_, true)));
    ASSERT_TRUE(entry.ok) << entry.error;
    EXPECT_EQ(fs::current_path(), given);
    EXPECT_EQ(GetFile("CmdTimeout.ini"), "mine");
    EXPECT_TRUE(fs::is_directory("ImgTimeout.ini"));
    EXPECT_TRUE(fs::is_symlink("RegTimeOut.ini"));
    EXPECT_EQ(GetFile("ExecTimeOut.ini"), "portable ExecTimeOut.ini");
    EXPECT_EQ(entry.copied.size(), ShippedConfigurationFiles().size() - 3);
}

TEST_F(DataFolderTest, UnusableFolderIsAnErrorAndLeavesTheWorkingDirectory) {
    PutFile((dir_.Path() / "plain-file").string(), "x");
    const fs::path before = fs::current_path();
    const DataFolderEntry entry = EnterDataFolder(
        PlanDataFolder((dir_.Path() / "plain-file/data").string(), Host(portable_, true)));
    EXPECT_FALSE(entry.ok);
    EXPECT_NE(entry.error.find("plain-file/data"), std::string::npos) << entry.error;
    EXPECT_EQ(fs::current_path(), before);
}

// The real kyto, laid out as installed: bin/ without configuration files and
// share/kyto-demo/ with them. It keeps its data in $XDG_DATA_HOME/kyto-demo.
TEST_F(DataFolderTest, InstalledKytoUsesThePerUserFolder) {
    const char* bin = std::getenv("KYTO_BIN_DIR");
    ASSERT_TRUE(bin && *bin);
    if (!fs::exists(fs::path(bin) / "kyto")) {
        GTEST_SKIP() << "kyto is not part of this build";
    }
    for (const auto& entry : fs::directory_iterator(bin)) {
        const std::string name = entry.path().filename().string();
        if (name == "kyto" || name.find(".so") != std::string::npos) {
            fs::copy_file(entry.path(), installedBin_ / name);
        }
    }
    const std::string command = "cd / && XDG_DATA_HOME='" + (dir_.Path() / "xdg").string() + "' '" +
                                (installedBin_ / "kyto").string() +
                                "' --port /dev/kyto-no-such-port version >'" +
                                (dir_.Path() / "out.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << GetFile((dir_.Path() / "out.txt").string());
    for (const std::string& name : ShippedConfigurationFiles()) {
        EXPECT_EQ(GetFile((userFolder_ / name).string()), "installed " + name);
        EXPECT_FALSE(fs::exists(installedBin_ / name));
    }
}

}  // namespace
