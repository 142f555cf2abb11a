#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts kyto-emu as a child process for end-to-end tests, waits for the port
// path it prints first, and stops it again (SIGTERM, then waits for it;
// SIGKILL after 10 s).
//
//   CEmuProcess emu({"--no-line-timing", "--seed", "7"});
//   ASSERT_TRUE(emu.Start()) << emu.Error();
//   device.Connect(emu.PortPath(), 921600);
//
// The program is looked up in $KYTO_BIN_DIR (set by CTest), else beside the
// running executable. KYTO_EMU_VERBOSE=1 adds the emulator's command log
// to the test's standard error.
class CEmuProcess {
public:
    explicit CEmuProcess(std::vector<std::string> options = {});
    ~CEmuProcess();
    CEmuProcess(const CEmuProcess&) = delete;
    CEmuProcess& operator=(const CEmuProcess&) = delete;

    // Launches the emulator and waits up to timeoutMs for its port path.
    bool Start(int timeoutMs = 10000);
    // A further line of the emulator's standard output (the UDP address
    // with --udp-discovery), without its newline; empty on time-out or end.
    std::string ReadLine(int timeoutMs = 5000);
    // SIGTERM (SIGKILL after 10 s) and wait; returns the exit status as waitpid reports it
    // decoded (exit code, or 128 + signal), -1 when nothing was running.
    int Stop();
    // True while the child has not exited (reaps it when it has).
    bool Running();

    const std::string& PortPath() const { return portPath_; }
    const std::string& Error() const { return error_; }
    pid_t Pid() const { return pid_; }
    // Exit status once the child has ended (see Stop), else -1.
    int ExitStatus() const { return exitStatus_; }

    static std::string BinaryPath();

private:
    int Decode(int status);
    std::string ReadLineUntil(int timeoutMs, bool& ended);

    std::vector<std::string> options_;
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    int exitStatus_ = -1;
    std::string portPath_;
    std::string error_;
};
