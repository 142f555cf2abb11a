// kyto-emu: the Kyto module played on a pseudo-terminal, for trying the
// application and for its end-to-end tests without hardware.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "emulator/Album.h"
#include "emulator/LineServer.h"
#include "emulator/Options.h"
#include "emulator/Replay.h"
#include "emulator/StateFile.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kyto::emu;
    EmulatorOptions options;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "kyto-emu: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (!options.printEmptyAlbum.empty()) {
        if (!WriteWholeFileAtomically(options.printEmptyAlbum,
                                      CAlbum(options.module.albumType).Serialize(), error)) {
            std::fprintf(stderr, "kyto-emu: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }

    if (options.exitWithParent) {
        // A test that dies without stopping its emulator must not leave it
        // serving for ever.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == 1) {
            return 0;  // the parent ended before the request took hold
        }
    }

    CModule module(options.module);
    if (!module.RestoreFlash(error)) {
        std::fprintf(stderr, "kyto-emu: %s\n", error.c_str());
        return 1;
    }

    // The stop signals are blocked except while the server waits, so a stop
    // request is never lost between a check and the wait.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGHUP);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<CReplay> replay;
    if (!options.replay.empty()) {
        replay = LoadReplay(options.replay, error);
        if (!replay) {
            std::fprintf(stderr, "kyto-emu: %s: %s\n", options.replay.c_str(), error.c_str());
            return 1;
        }
    }

    CLineServer server(module, options.line, options.faults, options.module.seed);
    server.SetReplay(replay.get());
    if (!server.Open(error)) {
        std::fprintf(stderr, "kyto-emu: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.PortPath().c_str());
    if (options.line.udpPort >= 0) {
        std::printf("127.0.0.1:%d\n", server.UdpPort());
    }
    std::fflush(stdout);
    const int code = server.Run(&g_stop, &waitMask);
    server.Close();
    return code;
}
