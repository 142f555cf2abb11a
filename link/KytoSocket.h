#pragma once

// Flat entry points of the socket side of libkytolink.so: one process-wide TCP
// connection to the module's network adapter, as client or as server, with a
// receive thread that fills a 3 MiB ring, and the UDP exchange with which the
// adapter is discovered and configured.
//
// The receive thread sleeps in poll() and notices a peer that closes the
// connection; waiters (sock_wait_available) are woken then, and
// sock_is_connected reports it. No thread stays blocked on a link that
// cannot deliver: closing, a peer that has gone, a full ring and
// sock_interrupt end every wait at once (the codes of KytoLink.h). A full ring stops storing: the
// bytes that arrive while it is full, and all after them until the next sock_clear, are dropped
// (sock_overflowed tells), so the response in progress is never spliced from two parts of the
// stream; it cannot complete and its reader fails instead of reading corrupted bytes.
//
// KYTO_LOOPBACK_ONLY: when this environment variable is set (and not "0"),
// every datagram and connection to an address outside 127.0.0.0/8 is refused
// with EPERM and a server listens on 127.0.0.1 only. Tests, benchmarks and
// demos set it so that nothing leaves the machine.

#include <stdint.h>

#include "link/KytoLink.h"

#ifdef __cplusplus
extern "C" {
#endif

// Size of the receive ring.
#define KYTO_SOCKET_RING_SIZE 3145728

// Connects to address (IPv4, network byte order) and port, retrying while
// the connection is refused, for at most the open limit (10 s). The first
// two arguments are ignored. 1 connected, 0 failed (see sock_last_error).
// Opening starts the link uninterrupted; sock_interrupt during the open ends
// it (ECANCELED).
KYTO_LINK_API int SocketOpen(int reserved1, int reserved2, const uint32_t* address, int port);
// Listens on port (any local address) and takes the first peer that connects
// within the open limit. The first argument is ignored. 1 or 0.
KYTO_LINK_API int ServerOpen(int reserved, int port);
// Sends the bytes, at most 1024 at a time with at least 1 ms between the
// starts of two pieces; waits in poll() while the socket is full (giving up
// after 1 s without progress). An interrupt abandons the rest; while
// interrupted nothing is sent. Returns the bytes sent.
KYTO_LINK_API int SocketWrite(const unsigned char* data, unsigned length);
// Reads what the socket holds right now, bypassing the ring; returns the count.
KYTO_LINK_API int SocketRead(unsigned char* buffer, int length);
// -1 if no socket was open, else 0 or the error of closing it.
KYTO_LINK_API int SocketClose(void);
// Copies min(length, count) bytes out of the ring; returns the count.
KYTO_LINK_API int sock_read(unsigned char* buffer, int length);
// Unread bytes in the ring.
KYTO_LINK_API int sock_length(void);
// Empties the ring and ends an overflow.
KYTO_LINK_API void sock_clear(void);
// One UDP exchange: sends the datagram to address (dotted IPv4 text) and
// port, then collects replies into reply (zeroed first) until replySize
// bytes arrived or 100 ms passed. A datagram longer than the room left is
// cut to it. Returns the bytes of reply received (0 when the send failed).
KYTO_LINK_API int sock_getActive(const char* address, int port, const unsigned char* datagram,
                                 int datagramLength, unsigned char* reply, int replySize);

// Blocks until at least needed bytes are in the ring or timeout_ms passed
// (-1: no limit, 0: look once), and returns the count in the ring. Ends at
// once with KYTO_WAIT_INTERRUPTED while the link is interrupted, and with
// KYTO_WAIT_CLOSED when fewer than needed bytes are there and no more can
// come: no socket is open, its peer has gone, or the ring overflowed.
KYTO_LINK_API int sock_wait_available(int needed, int timeout_ms);
// Wakes every thread waiting in sock_wait_available, SocketWrite or an open
// at once and keeps them from waiting or sending until sock_resume.
// Callable from any thread.
KYTO_LINK_API void sock_interrupt(void);
KYTO_LINK_API void sock_resume(void);
// 1 while a socket is open and its peer has not closed the connection.
KYTO_LINK_API int sock_is_connected(void);
// 1 when the ring overflowed since the last clear.
KYTO_LINK_API int sock_overflowed(void);
// errno of the last failed open (ETIMEDOUT when nobody answered within the
// limit, EPERM when refused by KYTO_LOOPBACK_ONLY), 0 after a success.
KYTO_LINK_API int sock_last_error(void);
// Sets how long SocketOpen and ServerOpen may take (ms, default 10000);
// returns the previous limit. Values below 1 are taken as 1.
KYTO_LINK_API int sock_set_open_limit(int ms);

#ifdef __cplusplus
}
#endif
