#pragma once

namespace kyto::link {

// Opens a serial device for the link: non-blocking, exclusive (a port another
// program or this one already holds is refused with EBUSY, for root as well),
// raw 8N1 without flow control, DTR and RTS low, stale input dropped. baud must be
// one of 9600, 38400, 115200, 230400, 460800, 921600 (else EINVAL).
// Returns the descriptor, or -1 with the errno value in error.
int OpenSerialDevice(const char* path, int baud, int& error);

// Releases the exclusive claim and closes the descriptor. The claim is a
// property of the terminal, not of the descriptor: a pseudo-terminal whose
// other end stays open would otherwise refuse the next open with EBUSY.
int CloseSerialDevice(int fd);

// True when the device could be opened exclusively right now (it is closed
// again at once).
bool CanOpenExclusively(const char* path);

}  // namespace kyto::link
