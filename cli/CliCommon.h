#pragma once

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/DeviceWorker.h"

class CAppCore;
class IFrameObserver;

// Exit statuses of every command.
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,        // a module or file operation failed
    kExitUsage = 2,         // the command line was wrong
    kExitNoConnection = 3,  // the port did not open or the module did not answer
    // 128 + the signal (130 SIGINT, 143 SIGTERM): a stop signal ended an
    // operation before it finished (see InterruptedExit).
};

// Options in front of the command.
struct GlobalOptions {
    std::string dataDir;  // empty: chosen by the data folder rule
    std::string port;     // empty: "COMPortName" of Application.ini
    int baud = 0;         // 0: "BaudRate" of Application.ini
    std::string
        trace;  // empty: no trace; else an absolute path (made so before the folder changes)
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

// Makes the data folder the working directory (the rule of base/DataFolder.h:
// --data-dir, else the portable program folder, else the per-user folder),
// creating it and copying the shipped configuration files it lacks (never
// overwriting). kExitOk or kExitFailed.
int EnterDataFolder(const GlobalOptions& global);

// With --trace, writes every frame the core's module link sends or receives
// to the trace file as JSON lines from here on (the file lives as long as the
// process, so it outlasts the core). kExitOk, or kExitFailed with the reason
// on standard error.
int AttachTrace(const GlobalOptions& global, CAppCore& core);
// The trace file's observer for a command that chains observers of its own
// (null without --trace); kExitOk or kExitFailed as AttachTrace.
int OpenTrace(const GlobalOptions& global, IFrameObserver*& trace);

// Port and baud of the command line, else of Application.ini (the core must
// have loaded its settings). kExitOk or kExitUsage.
int ResolvePort(const GlobalOptions& global, const CAppCore& core, std::string& port, int& baud);

// Connects as the application does at start-up (baud switch, version, device
// data, stored device settings) on the worker (which owns `core`) and
// explains failures on standard error. kExitOk; kExitNoConnection with the
// link closed; or, when a stop signal interrupted it, InterruptedExit with
// the module sent back to 9600 baud and the link closed.
int ConnectForCommand(CDeviceWorker& worker, const std::string& port, int baud);
// The same for a caller without a worker: one runs for the connection only,
// and the core is the caller's again when this returns.
int ConnectForCommand(CAppCore& core, const std::string& port, int baud);

// A sentence a Linux user can act on, for a port that would not open.
std::string DescribePortOpenFailure(const std::string& port, int error);

// SIGINT and SIGTERM: blocked in every thread (BlockStopSignals, first thing
// in main) and taken by one watcher thread (StartStopSignalWatcher).
//
// While the command's CCliWorker exists and one of its jobs is watched
// (CJobWatch), the first signal stops it after its
// current step (StopMode::kStop: `detect --continuous`, which then ends
// normally) or cancels it, ending the exchange in flight at once
// (StopMode::kCancel: everything else); the command then cleans up and
// returns InterruptedExit(...). A signal that arrives between two watched
// jobs is applied to the next one as soon as it is watched. Without a
// CCliWorker (a command that is not on the worker), or at a second signal,
// the process ends at once with 128 + the signal, after printing the note
// set with SetInterruptNote.
void BlockStopSignals();
void StartStopSignalWatcher();
bool StopRequested();
int StopSignal();  // the first stop signal received, 0 none

enum class StopMode {
    kCancel,  // a stop signal cancels the job
    kStop,    // a stop signal asks the job (a loop) to stop after its current step
    kFinish,  // clean-up (disconnecting): only a second signal ends it, by ending the process
};

// The command's device worker; at most one at a time. Quits on destruction.
class CCliWorker : public CDeviceWorker {
public:
    explicit CCliWorker(CAppCore& core);
    ~CCliWorker();

private:
    CDeviceWorker* previous_ = nullptr;
};

// Watches a job of the command's worker (no effect for another worker).
class CJobWatch {
public:
    CJobWatch(CDeviceWorker& worker, JobId id, StopMode mode);
    ~CJobWatch();
    CJobWatch(const CJobWatch&) = delete;
    CJobWatch& operator=(const CJobWatch&) = delete;
};

// Runs `work` on the worker and waits for its end, watched with `mode`.
template <class Work>
auto RunJob(CDeviceWorker& worker, std::string name, Work work, StopMode mode = StopMode::kCancel)
    -> JobResult<std::invoke_result_t<Work&, CJobContext&>> {
    using R = std::invoke_result_t<Work&, CJobContext&>;
    auto promise = std::make_shared<std::promise<JobResult<R>>>();
    std::future<JobResult<R>> future = promise->get_future();
    const JobId id =
        worker.Post(std::move(name), std::move(work), InlinePoster(),
                    [promise](JobResult<R> done) { promise->set_value(std::move(done)); });
    CJobWatch watch(worker, id, mode);
    return future.get();
}

// What the process leaves behind if a signal ends it at once (printed after
// "kyto: interrupted"); empty for nothing to say.
void SetInterruptNote(std::string note);

// Reports an operation that a stop signal ended before it finished, with the
// state it left ("the module was sent back to 9600 baud ..."), and returns
// the exit status 128 + the signal.
int InterruptedExit(const std::string& stateLeft);
