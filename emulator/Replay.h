// Playing a recording back as the module: each command the host sends is
// answered with the answer recorded for the same command, in the order of
// the recording, so a run seen once (on real hardware too) can be repeated
// without it. The recording is read here with the emulator's own reader:
// like the rest of the emulator it shares no code with the application, only
// the file format (kyto-recording version 1, see emulator/README.md).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/Frames.h"
#include "emulator/Module.h"

namespace kyto::emu {

// One command of the recording and what the host read back, if anything.
struct ReplayExchange {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> command;  // the whole frame as the host sent it
    bool answered = false;
    std::vector<std::uint8_t> answer;  // the whole frame as the host read it
};

// The exchanges of a recording. Sent bytes that are no command frame (the
// host's resynchronisation) are left out: the module never sees a command in
// them. false with "line N: why" for anything else than a version-1
// recording.
bool ParseReplay(std::string_view text, std::vector<ReplayExchange>& exchanges, std::string& error);

class CReplay {
public:
    explicit CReplay(std::vector<ReplayExchange> exchanges) : exchanges_(std::move(exchanges)) {}

    // The next recorded exchange of this command code after the last one
    // played; recorded commands the host skipped stay behind. A command the
    // rest of the recording does not hold gets no answer (the host sees a
    // time-out) and a note on standard error.
    Response Handle(const CommandFrame& command);
    // What the last Handle did, for the log; says plainly when the recording
    // ran out.
    const std::string& Note() const { return note_; }
    std::size_t Played() const { return next_; }
    std::size_t Size() const { return exchanges_.size(); }

private:
    std::vector<ReplayExchange> exchanges_;
    std::size_t next_ = 0;
    std::string note_;
};

// Reads and parses the recording at `path`; null with the reason in `error`.
std::unique_ptr<CReplay> LoadReplay(const std::string& path, std::string& error);

}  // namespace kyto::emu
