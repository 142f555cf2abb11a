#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

class CAppCore;

// Exit statuses of every command.
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,        // a module or file operation failed
    kExitUsage = 2,         // the command line was wrong
    kExitNoConnection = 3,  // the port did not open or the module did not answer
};

// Options in front of the command.
struct GlobalOptions {
    std::string dataDir;  // empty: the executable's folder
    std::string port;     // empty: "COMPortName" of Application.ini
    int baud = 0;         // 0: "BaudRate" of Application.ini
};

// What every command gets: the global options and a place to register.
class CliRegistry {
public:
    CliRegistry(CLI::App& app, GlobalOptions& global) : app_(app), global_(global) {}
    CLI::App& App() { return app_; }
    GlobalOptions& Global() { return global_; }
    // A subcommand and what runs when it was chosen (returns the exit status).
    void Add(CLI::App* command, std::function<int()> run) {
        commands_.push_back({command, std::move(run)});
    }
    // Runs the chosen subcommand; kExitUsage when none was.
    int RunChosen();

private:
    struct Entry {
        CLI::App* command;
        std::function<int()> run;
    };
    CLI::App& app_;
    GlobalOptions& global_;
    std::vector<Entry> commands_;
};

// The command groups (one file each).
void AddPortsCommand(CliRegistry& registry);
void AddVersionCommand(CliRegistry& registry);
void AddDetectCommand(CliRegistry& registry);

// The folder the executable lives in.
std::string ExecutableFolder();
// Shipped configuration files copied into a data folder that lacks them.
const std::vector<std::string>& ShippedConfigurationFiles();
// Makes the data folder (given, or the executable's) the working directory,
// creating it when needed and copying missing shipped configuration files
// from the executable's folder (never overwriting). kExitOk or kExitFailed.
int EnterDataFolder(const GlobalOptions& global);

// Port and baud of the command line, else of Application.ini (the core must
// have loaded its settings). kExitOk or kExitUsage.
int ResolvePort(const GlobalOptions& global, const CAppCore& core, std::string& port, int& baud);

// Connects as the application does at start-up (baud switch, version, device
// data, stored device settings) and explains failures on standard error.
// kExitOk, or kExitNoConnection with the link closed.
int ConnectForCommand(CAppCore& core, const std::string& port, int baud);

// A sentence a Linux user can act on, for a port that would not open.
std::string DescribePortOpenFailure(const std::string& port, int error);

// SIGINT and SIGTERM: blocked in every thread (BlockStopSignals, first thing
// in main) and taken by one watcher thread (StartStopSignalWatcher). While a
// stop hook is set (a detection run), the first signal calls it: the run
// stops after the current exchange and the command ends normally. Without a
// hook (connecting, or a command without a loop), or at a second signal, the
// process ends at once with status 0.
void BlockStopSignals();
void StartStopSignalWatcher();
void SetStopHook(std::function<void()> hook);  // an empty function removes it
bool StopRequested();
