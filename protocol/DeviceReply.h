#pragma once

// What a device operation returns: the framing result code and the module's
// one-byte response code, together, so that the response code cannot be
// forgotten without the compiler noticing ([[nodiscard]]) and success is
// asked in one place (Ok()).

#include <cstdint>

#include "protocol/ResultCodes.h"

struct [[nodiscard]] DeviceReply {
    // `status` when no module verdict arrived (result is not 0: no link, a
    // time-out, a cancelled exchange ...). It reads as 0x00, the value the
    // response code had before the exchange, so status alone never tells
    // success: ask Ok().
    static constexpr std::uint8_t kNoStatus = 0x00;

    int result = kResultOk;           // KytoResult
    std::uint8_t status = kNoStatus;  // the module's response code (0x00 = success)

    // The exchange completed and the module reported success.
    bool Ok() const { return result == kResultOk && status == 0x00; }
    // The module answered (its verdict is in status, success or not).
    bool Answered() const { return result == kResultOk; }

    static DeviceReply Failed(int result) { return {result, kNoStatus}; }
    static DeviceReply Success() { return {kResultOk, 0x00}; }
};
