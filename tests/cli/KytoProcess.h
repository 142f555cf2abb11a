#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// Runs the kyto program with its output in files of the current folder.
class KytoProcess {
public:
    explicit KytoProcess(std::vector<std::string> args) : args_(std::move(args)) {}

    static std::string Binary() {
        const char* bin = std::getenv("KYTO_BIN_DIR");
        return (std::filesystem::path(bin ? bin : ".") / "kyto").string();
    }

    bool Start() {
        static int serial = 0;
        ++serial;
        outPath_ = "kyto-out." + std::to_string(serial);
        errPath_ = "kyto-err." + std::to_string(serial);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all = {Binary()};
        all.insert(all.end(), args_.begin(), args_.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0;
    }

    // Exit code (128 + signal when killed).
    int Wait() {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int Run() { return Start() ? Wait() : -1; }

    void Signal(int sig) {
        if (pid_ > 0) {
            kill(pid_, sig);
        }
    }

    // Waits until standard output (standard error) holds the text; false
    // after timeoutMs. The files are all there is to wait on, so they are
    // looked at every 20 ms.
    bool WaitForOutput(const std::string& text, int timeoutMs) {
        return WaitForText(outPath_, text, timeoutMs);
    }
    bool WaitForError(const std::string& text, int timeoutMs) {
        return WaitForText(errPath_, text, timeoutMs);
    }

    std::string Out() const { return ReadFile(outPath_); }
    std::string Err() const { return ReadFile(errPath_); }

    ~KytoProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    static bool WaitForText(const std::string& path, const std::string& text, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            if (ReadFile(path).find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::vector<std::string> args_;
    pid_t pid_ = -1;
    std::string outPath_;
    std::string errPath_;
};
