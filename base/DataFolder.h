#pragma once

// Where a program keeps its settings, logs and module data (the data folder),
// and how it gets there at start-up. Every relative path of the application
// is taken from the working directory, so each program (kyto, kyto-demo)
// chooses its data folder first thing and changes into it:
//
//  1. `--data-dir DIR` wins: DIR, created when missing.
//  2. Otherwise the executable's own folder, when it holds the shipped
//     configuration files and the program may write there: a build folder or
//     an unpacked archive keeps everything beside the program (portable).
//  3. Otherwise (installed: the executable in bin/, its configuration in
//     share/kyto-demo) the per-user folder $XDG_DATA_HOME/kyto-demo, by
//     default ~/.local/share/kyto-demo.
//
// Whatever the folder, shipped configuration files it lacks are copied into
// it; a file that is there already is never replaced, so a user's edited
// time-out file survives every start and every upgrade.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The configuration files the build places beside the executables and the
// install places in share/kyto-demo (the contents of data/).
const std::vector<std::string>& ShippedConfigurationFiles();

// What the data folder rule looks at. FromProcess() describes the running
// program; tests build their own to put the executable anywhere and to say
// whether its folder is writable (they may run as root, where permission bits
// stop no write).
struct DataFolderHost {
    std::filesystem::path executableFolder;
    // Where an installed program finds its shipped configuration files.
    std::filesystem::path installedDataFolder;
    std::string xdgDataHome;  // $XDG_DATA_HOME, empty when unset
    std::string home;         // $HOME, else the user database's home folder
    std::function<bool(const std::filesystem::path&)> isWritable;

    static DataFolderHost FromProcess();
};

enum class DataFolderKind {
    kGiven,          // --data-dir
    kProgramFolder,  // the executable's folder (portable)
    kUserFolder,     // $XDG_DATA_HOME/kyto-demo
};

struct DataFolderPlan {
    DataFolderKind kind = DataFolderKind::kGiven;
    std::filesystem::path folder;
    // Where missing shipped configuration files are copied from; empty when
    // there is nothing to copy (the folder is their home already, or they
    // are nowhere to be found).
    std::filesystem::path shippedFrom;
    // Set when no folder can be chosen (no home folder for the per-user one).
    std::string error;
};

// Applies the rule above; `givenDir` is the --data-dir value, empty if none.
DataFolderPlan PlanDataFolder(const std::string& givenDir, const DataFolderHost& host);

struct DataFolderEntry {
    bool ok = false;
    std::string error;                  // why the folder cannot be used
    std::vector<std::string> copied;    // shipped files copied in this time
    std::vector<std::string> warnings;  // shipped files that could not be copied
};

// Creates the planned folder, copies the shipped configuration files it lacks
// (each one appears whole or not at all, and an existing file, even one
// created meanwhile by another start, is never replaced) and makes it the
// working directory. A file that cannot be copied is a warning: the program
// then runs on its defaults for that file.
DataFolderEntry EnterDataFolder(const DataFolderPlan& plan);

// The rule in a few lines for a program's --help.
std::string DescribeDataFolderRule();
