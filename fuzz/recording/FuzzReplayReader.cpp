// The emulator's recording reader fed arbitrary bytes, and the replay driven
// with every command code once: an accepted recording never yields an
// exchange without a command frame, and the replay never answers a command
// with another command's answer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "emulator/Replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kyto::emu;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ReplayExchange> exchanges;
    std::string error;
    if (!ParseReplay(text, exchanges, error)) {
        if (error.empty() || !exchanges.empty()) {
            std::abort();
        }
        return 0;
    }
    for (const ReplayExchange& x : exchanges) {
        if (x.command.size() < 4 || x.command[0] != kSync || x.command[1] != x.code ||
            (x.answered && x.answer.empty())) {
            std::abort();
        }
    }
    const std::vector<ReplayExchange> copy = exchanges;
    CReplay replay(std::move(exchanges));
    std::size_t played = 0;
    for (const ReplayExchange& x : copy) {
        CommandFrame command;
        command.code = x.code;
        const Response r = replay.Handle(command);
        if (replay.Played() <= played || replay.Played() > copy.size()) {
            std::abort();  // a command the recording holds must be found, further on
        }
        const ReplayExchange& used = copy[replay.Played() - 1];
        if (used.code != x.code || r.answer != used.answered ||
            (r.answer && r.raw != used.answer)) {
            std::abort();
        }
        played = replay.Played();
    }
    return 0;
}
