#include "emulator/harness/EmuProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

CEmuProcess::CEmuProcess(std::vector<std::string> options) : options_(std::move(options)) {}

CEmuProcess::~CEmuProcess() {
    Stop();
}

std::string CEmuProcess::BinaryPath() {
    if (const char* dir = std::getenv("KYTO_BIN_DIR"); dir && *dir) {
        const std::filesystem::path p = std::filesystem::path(dir) / "kyto-emu";
        if (std::filesystem::exists(p)) {
            return p.string();
        }
    }
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "kyto-emu").string();
}

int CEmuProcess::Decode(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

bool CEmuProcess::Start(int timeoutMs) {
    Stop();
    error_.clear();
    portPath_.clear();
    exitStatus_ = -1;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const std::string binary = BinaryPath();
    std::vector<std::string> args{binary};
    args.insert(args.end(), options_.begin(), options_.end());
    args.push_back("--exit-with-parent");
    if (const char* verbose = std::getenv("KYTO_EMU_VERBOSE"); verbose && *verbose == '1') {
        args.push_back("--verbose");  // the emulator's command log on the test's standard error
    }
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        error_ = "cannot start " + binary + ": " + std::strerror(rc);
        close(fds[0]);
        pid_ = -1;
        return false;
    }
    stdoutFd_ = fds[0];

    // The first line of its output is the port path.
    bool ended = false;
    portPath_ = ReadLineUntil(timeoutMs, ended);
    if (portPath_.empty()) {
        error_ = ended ? "kyto-emu ended before printing its port path"
                       : "kyto-emu printed no port path in time";
        Stop();
        return false;
    }
    return true;
}

std::string CEmuProcess::ReadLine(int timeoutMs) {
    bool ended = false;
    return ReadLineUntil(timeoutMs, ended);
}

std::string CEmuProcess::ReadLineUntil(int timeoutMs, bool& ended) {
    ended = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (stdoutFd_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return {};
        }
        pollfd p{stdoutFd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char c;
        const ssize_t n = read(stdoutFd_, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ended = true;
            return {};
        }
        if (c == '\n') {
            return line;
        }
        line.push_back(c);
    }
    return {};
}

bool CEmuProcess::Running() {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        exitStatus_ = Decode(status);
        pid_ = -1;
        if (stdoutFd_ >= 0) {
            close(stdoutFd_);
            stdoutFd_ = -1;
        }
        return false;
    }
    return r == 0;
}

int CEmuProcess::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        // A stuck emulator must not hang the test: after 10 s it is killed.
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            if (poll(&p, 1, 10000) == 0) {
                kill(pid_, SIGKILL);
            }
            close(pidfd);
        }
        int status = 0;
        pid_t r;
        do {
            r = waitpid(pid_, &status, 0);
        } while (r < 0 && errno == EINTR);
        exitStatus_ = r == pid_ ? Decode(status) : -1;
        pid_ = -1;
    }
    if (stdoutFd_ >= 0) {
        close(stdoutFd_);
        stdoutFd_ = -1;
    }
    return exitStatus_;
}
