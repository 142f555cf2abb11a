#include "cli/CliCommon.h"

#include <grp.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <thread>

#include "app/AppCore.h"
#include "link/DeviceLink.h"

namespace fs = std::filesystem;

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

std::string ExecutableFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return ".";
    }
    return self.parent_path().string();
}

const std::vector<std::string>& ShippedConfigurationFiles() {
    static const std::vector<std::string> kFiles = {
        "CmdTimeout.ini",    "ExecTimeOut.ini", "ImgTimeout.ini",
        "AlbumTimeout.ini",  "RegTimeOut.ini",  "CmdInfo",
        "FullImageInfo.dat", "DefSettings.dat", "kyd00.kyb"};
    return kFiles;
}

int EnterDataFolder(const GlobalOptions& global) {
    const fs::path exeFolder = ExecutableFolder();
    const fs::path folder = global.dataDir.empty() ? exeFolder : fs::path(global.dataDir);
    std::error_code ec;
    fs::create_directories(folder, ec);
    fs::current_path(folder, ec);
    if (ec) {
        std::cerr << "kyto: cannot use the data folder " << folder << ": " << ec.message() << "\n";
        return kExitFailed;
    }
    if (global.dataDir.empty()) {
        return kExitOk;
    }
    for (const std::string& name : ShippedConfigurationFiles()) {
        const fs::path source = exeFolder / name;
        if (fs::exists(name, ec) || !fs::exists(source, ec)) {
            continue;
        }
        fs::copy_file(source, name, fs::copy_options::skip_existing, ec);
        if (ec) {
            std::cerr << "kyto: warning: could not copy " << source
                      << " into the data folder: " << ec.message() << "\n";
        }
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
        case EPERM: {
            std::string group = "dialout";
            struct stat st {};
            if (stat(path.c_str(), &st) == 0) {
                if (const struct group* g = getgrgid(st.st_gid)) {
                    group = g->gr_name;
                }
            }
            return "permission denied on " + path + ": the device belongs to the group '" + group +
                   "'. Join it with `sudo usermod -aG " + group +
                   " $USER`, then log out and in again (or run `newgrp " + group + "`).";
        }
        case EBUSY:
        case EAGAIN:
            return "the port " + path +
                   " is busy: another program holds it. Close that program (`fuser " + path +
                   "` names it) and try again.";
        case EPROTONOSUPPORT:
            return "the network link (LAN) is not available in this build; give a serial port.";
        default:
            return "the port " + path + " could not be opened: " + std::strerror(error);
    }
}

int ConnectForCommand(CAppCore& core, const std::string& port, int baud) {
    std::cerr << "kyto: connecting to " << port << " at " << baud << " baud\n";
    // Where the window asks the user again after a failed connection, the
    // command line tries again by itself: the module is first sent back to
    // 9600 baud, so that one that missed the baud switch (or was left at
    // another rate) answers the next attempt.
    int result = 0;
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        result = core.ConnectDevice(port, baud);
        const bool opened = !core.Device().Link() || core.Device().Link()->LastOpenError() == 0;
        if (result == 0 || !opened) {
            break;
        }
        core.Disconnect();
    }
    if (result != 0) {
        const int openError = core.Device().Link() ? core.Device().Link()->LastOpenError() : 0;
        if (openError != 0) {
            std::cerr << "kyto: " << DescribePortOpenFailure(port, openError) << "\n";
        } else {
            std::cerr << "kyto: the module on " << port << " did not answer at " << baud
                      << " baud (result " << result
                      << "): check that it is powered and connected, or try a lower --baud.\n";
        }
        core.Disconnect();
        return kExitNoConnection;
    }
    const int applied = core.ApplyStoredDeviceSettings();
    if (applied != 0) {
        std::cerr << "kyto: warning: the module did not take every stored device setting (result "
                  << applied << ")\n";
    }
    std::cerr << "kyto: connected to " << core.modelName << " (device ID " << core.deviceId
              << ")\n";
    return kExitOk;
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

std::mutex gStopMutex;
std::function<void()> gStopHook;
std::atomic<bool> gStopRequested{false};

}  // namespace

void SetStopHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(gStopMutex);
    gStopHook = std::move(hook);
}

bool StopRequested() {
    return gStopRequested.load();
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
            {
                // The hook runs under the lock, so that whoever removes it
                // (and then destroys what it refers to) waits for it.
                std::lock_guard<std::mutex> lock(gStopMutex);
                if (gStopHook && !again) {
                    std::cerr << "kyto: stopping after the current exchange\n";
                    gStopHook();
                    continue;
                }
            }
            std::cerr << "kyto: interrupted\n";
            std::fflush(stdout);
            std::_Exit(kExitOk);
        }
    }).detach();
}
