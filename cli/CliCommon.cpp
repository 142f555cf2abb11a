#include "cli/CliCommon.h"

#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include "app/AppCore.h"
#include "base/DataFolder.h"
#include "base/PortPermission.h"
#include "link/DeviceLink.h"
#include "protocol/FrameTrace.h"

namespace {
constexpr int kConnectAttempts = 3;
}  // namespace

int CliRegistry::RunChosen() {
    for (Entry& entry : commands_) {
        if (entry.command->parsed()) {
            return entry.run();
        }
    }
    std::cerr << "kyto: no command given\n" << app_.help();
    return kExitUsage;
}

int OpenTrace(const GlobalOptions& global, IFrameObserver*& observer) {
    observer = nullptr;
    if (global.trace.empty()) {
        return kExitOk;
    }
    // Never destroyed before a core: every core is gone when main returns.
    static CJsonLinesTrace trace;
    static bool open = false;
    if (!open) {
        if (!trace.Open(global.trace)) {
            std::cerr << "kyto: cannot write the trace " << global.trace << ": "
                      << std::strerror(errno) << "\n";
            return kExitFailed;
        }
        open = true;
    }
    observer = &trace;
    return kExitOk;
}

int AttachTrace(const GlobalOptions& global, CAppCore& core) {
    IFrameObserver* trace = nullptr;
    const int status = OpenTrace(global, trace);
    if (trace != nullptr) {
        core.Device().SetFrameObserver(trace);
    }
    return status;
}

int EnterDataFolder(const GlobalOptions& global) {
    const DataFolderEntry entry =
        EnterDataFolder(PlanDataFolder(global.dataDir, DataFolderHost::FromProcess()));
    for (const std::string& warning : entry.warnings) {
        std::cerr << "kyto: warning: " << warning << "\n";
    }
    if (!entry.ok) {
        std::cerr << "kyto: " << entry.error << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int ResolvePort(const GlobalOptions& global, const CAppCore& core, std::string& port, int& baud) {
    port = global.port.empty() ? core.portName : global.port;
    baud = global.baud != 0 ? global.baud : core.baudRate;
    if (port.empty()) {
        std::cerr << "kyto: no port: give one with --port NAME (see `kyto ports`), "
                     "or set COMPortName in Application.ini\n";
        return kExitUsage;
    }
    static const int kRates[] = {9600, 38400, 115200, 230400, 460800, 921600};
    for (int rate : kRates) {
        if (rate == baud) {
            return kExitOk;
        }
    }
    std::cerr << "kyto: unsupported baud rate " << baud
              << " (use 9600, 38400, 115200, 230400, 460800 or 921600)\n";
    return kExitUsage;
}

std::string DescribePortOpenFailure(const std::string& port, int error) {
    if (strcasecmp(port.c_str(), "LAN") == 0) {
        return "the network link (LAN) did not open: " + CDeviceLink::DescribeLanOpenError(error) +
               ". See \"Reaching a module over the network\" in the README.";
    }
    std::string path = port;
    if (path.find('/') == std::string::npos) {
        path = "/dev/" + path;
    }
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "the port " + path +
                   " does not exist: is the module plugged in? `kyto ports` lists the serial "
                   "ports present.";
        case EACCES:
        case EPERM:
            return DescribePortPermission(path);
        case EBUSY:
        case EAGAIN:
            return "the port " + path +
                   " is busy: another program holds it. Close that program (`fuser " + path +
                   "` names it) and try again.";
        default:
            return "the port " + path + " could not be opened: " + std::strerror(error);
    }
}

namespace {

struct ConnectAttempt {
    int result = 0;
    int openError = 0;  // errno of a port that would not open
    std::string route;  // " over the network: connect to ..." for the socket link
};

// Where the window asks the user again after a failed connection, the
// command line tries again by itself: the module is first sent back to 9600
// baud, so that one that missed the baud switch (or was left at another
// rate) answers the next attempt.
ConnectAttempt ConnectAttempts(CJobContext& job, const std::string& port, int baud) {
    CAppCore& core = job.Core();
    ConnectAttempt attempt;
    for (int i = 0; i < kConnectAttempts && !job.StopRequested(); ++i) {
        attempt.result = core.ConnectDevice(port, baud);
        const CDeviceLink* link = core.Device().Link();
        attempt.openError = link ? link->LastOpenError() : 0;
        if (attempt.result == 0 && link && link->LinkMode() >= 0) {
            attempt.route = " over the network: " + link->LanDescription();
        }
        if (attempt.result == 0 || attempt.openError != 0) {
            break;
        }
        core.Disconnect();
    }
    // A cancelled connection is closed by the next job, once the cancel is
    // lifted, so that the module still hears the switch back to 9600 baud.
    if (attempt.result != 0 && !job.StopRequested()) {
        core.Disconnect();
    }
    return attempt;
}

void DisconnectOnWorker(CDeviceWorker& worker) {
    RunJob(
        worker, "Disconnect", [](CJobContext& job) { job.Core().Disconnect(); }, StopMode::kFinish);
}

}  // namespace

int ConnectForCommand(CDeviceWorker& worker, const std::string& port, int baud) {
    std::cerr << "kyto: connecting to " << port << " at " << baud << " baud\n";
    SetInterruptNote("the port was closed while connecting; the module may be left at " +
                     std::to_string(baud) + " baud (the next connection sends it back to 9600)");
    const JobResult<ConnectAttempt> connect = RunJob(
        worker, "Connect", [&](CJobContext& job) { return ConnectAttempts(job, port, baud); });
    if (!connect.Ran() || connect.end == JobEnd::kCancelled || StopSignal() != 0) {
        DisconnectOnWorker(worker);
        return InterruptedExit(
            "connecting was interrupted; the module was sent back to 9600 baud "
            "and the port closed");
    }
    const ConnectAttempt& attempt = connect.value;
    if (attempt.result != 0) {
        if (attempt.openError != 0) {
            std::cerr << "kyto: " << DescribePortOpenFailure(port, attempt.openError) << "\n";
        } else {
            std::cerr << "kyto: the module on " << port << " did not answer at " << baud
                      << " baud (result " << attempt.result
                      << "): check that it is powered and connected, or try a lower --baud.\n";
        }
        return kExitNoConnection;
    }
    const JobResult<int> applied = RunJob(worker, "Apply device settings", [](CJobContext& job) {
        return job.Core().ApplyStoredDeviceSettings();
    });
    if (!applied.Ran() || applied.end == JobEnd::kCancelled || StopSignal() != 0) {
        DisconnectOnWorker(worker);
        return InterruptedExit(
            "sending the stored device settings was interrupted; the module "
            "was sent back to 9600 baud and the port closed");
    }
    if (applied.value != 0) {
        std::cerr << "kyto: warning: the module did not take every stored device setting (result "
                  << applied.value << ")\n";
    }
    const auto status = worker.Status();
    std::cerr << "kyto: connected to " << status->modelName << " (device ID " << status->deviceId
              << ")" << attempt.route << "\n";
    SetInterruptNote("the port was closed; the module was left at " + std::to_string(baud) +
                     " baud (the next connection sends it back to 9600)");
    return kExitOk;
}

int ConnectForCommand(CAppCore& core, const std::string& port, int baud) {
    int status = kExitOk;
    {
        CCliWorker worker(core);
        worker.Start();
        status = ConnectForCommand(worker, port, baud);
    }
    return status;
}

namespace {

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void BlockStopSignals() {
    const sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A closed standard output ends the run through a write error instead.
    signal(SIGPIPE, SIG_IGN);
}

namespace {

// The watcher and the watched job meet under this lock, so that a watch that
// ends (and the worker it names) is never used by a late signal.
std::mutex gStopMutex;
CDeviceWorker* gWorker = nullptr;  // the command's CCliWorker, while it exists
JobId gWatchedJob = 0;
StopMode gWatchedMode = StopMode::kCancel;
std::string gInterruptNote;
std::atomic<bool> gStopRequested{false};
std::atomic<int> gStopSignal{0};

const char* SignalName(int signal) {
    return signal == SIGTERM ? "SIGTERM" : "SIGINT";
}

// Under gStopMutex.
void ApplyStopToWatchedJob() {
    if (!gWorker || gWatchedJob == 0) {
        return;
    }
    if (gWatchedMode == StopMode::kCancel) {
        gWorker->Cancel(gWatchedJob);
    } else if (gWatchedMode == StopMode::kStop) {
        gWorker->RequestStop(gWatchedJob);
    }
}

}  // namespace

CCliWorker::CCliWorker(CAppCore& core) : CDeviceWorker(core) {
    std::lock_guard<std::mutex> lock(gStopMutex);
    previous_ = gWorker;
    gWorker = this;
}

CCliWorker::~CCliWorker() {
    Quit();
    std::lock_guard<std::mutex> lock(gStopMutex);
    gWorker = previous_;
}

CJobWatch::CJobWatch(CDeviceWorker& worker, JobId id, StopMode mode) {
    std::lock_guard<std::mutex> lock(gStopMutex);
    if (&worker != gWorker) {
        return;  // not the command's worker: signals end the process as usual
    }
    gWatchedJob = id;
    gWatchedMode = mode;
    if (gStopRequested.load()) {
        ApplyStopToWatchedJob();  // the signal came before the job was watched
    }
}

CJobWatch::~CJobWatch() {
    std::lock_guard<std::mutex> lock(gStopMutex);
    gWatchedJob = 0;
}

bool StopRequested() {
    return gStopRequested.load();
}

int StopSignal() {
    return gStopSignal.load();
}

void SetInterruptNote(std::string note) {
    std::lock_guard<std::mutex> lock(gStopMutex);
    gInterruptNote = std::move(note);
}

int InterruptedExit(const std::string& stateLeft) {
    const int signal = StopSignal() != 0 ? StopSignal() : SIGINT;
    std::cerr << "kyto: interrupted by " << SignalName(signal) << ": " << stateLeft << "\n";
    return 128 + signal;
}

void StartStopSignalWatcher() {
    std::thread([] {
        const sigset_t set = StopSignalSet();
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) {
                continue;
            }
            const bool again = gStopRequested.exchange(true);
            if (!again) {
                gStopSignal = signal;
            }
            std::lock_guard<std::mutex> lock(gStopMutex);
            if (!again && gWorker) {
                // The command stops in order: the watched job now, or the
                // next one as soon as it is watched; clean-up finishes.
                if (gWatchedJob != 0 && gWatchedMode != StopMode::kFinish) {
                    std::cerr << (gWatchedMode == StopMode::kStop
                                      ? "kyto: stopping after the current exchange\n"
                                      : "kyto: stopping\n");
                    ApplyStopToWatchedJob();
                }
                continue;
            }
            // Nothing that could stop in order, or the user insists.
            std::cerr << "kyto: interrupted by " << SignalName(signal)
                      << (gInterruptNote.empty() ? "" : ": " + gInterruptNote) << "\n";
            std::fflush(stdout);
            std::_Exit(128 + signal);
        }
    }).detach();
}
