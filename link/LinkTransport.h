#pragma once

#include <cstdint>

// Byte access the protocol layer needs from a transport. The serial port is
// the built-in one; others (an in-memory pipe for tests and fuzzing, later the
// socket link) plug into CDeviceLink through this interface.
class ILinkTransport {
public:
    virtual ~ILinkTransport() = default;
    virtual int Available() = 0;
    virtual int Read(std::uint8_t* buffer, int length) = 0;
    virtual void Clear() = 0;
    virtual int Write(const std::uint8_t* data, int length) = 0;
    // Blocks until Available() >= needed or timeoutMs passed (-1: no limit,
    // 0: look once); returns Available().
    virtual int WaitAvailable(int needed, int timeoutMs) = 0;
};
