#pragma once

#include <cstdint>

// Byte access the protocol layer needs from a transport. The serial port is
// the built-in one; others (an in-memory pipe for tests and fuzzing, the
// socket link) plug into CDeviceLink through this interface.
//
// Waking. No thread may stay blocked on a transport that cannot deliver any
// more: WaitAvailable and Write end at once (within a few milliseconds) when
//  - the transport is interrupted: Interrupt() wakes every waiter and writer
//    and keeps them from blocking again until ResumeAfterInterrupt(); a send
//    in progress is abandoned (bytes not yet out are dropped);
//  - the transport is closed, or its device or peer has gone away.
// Interrupt() and ResumeAfterInterrupt() may be called from any thread; the
// interruption is sticky so that a waiter that starts just after Interrupt()
// does not block either. CDeviceMngr::Cancel() ends exchanges this way.
class ILinkTransport {
public:
    // WaitAvailable results besides the available count.
    static constexpr int kWaitClosed = -1;       // closed or gone; nothing more will come
    static constexpr int kWaitInterrupted = -2;  // Interrupt() until ResumeAfterInterrupt()

    virtual ~ILinkTransport() = default;
    virtual int Available() = 0;
    virtual int Read(std::uint8_t* buffer, int length) = 0;
    virtual void Clear() = 0;
    // Returns length once the bytes went out or were abandoned (see above);
    // while interrupted nothing is sent.
    virtual int Write(const std::uint8_t* data, int length) = 0;
    // Blocks until Available() >= needed or timeoutMs passed (-1: no limit,
    // 0: look once) and returns Available(); ends early with kWaitInterrupted
    // or (when fewer than needed bytes are there) kWaitClosed.
    virtual int WaitAvailable(int needed, int timeoutMs) = 0;
    virtual void Interrupt() = 0;
    virtual void ResumeAfterInterrupt() = 0;
};
