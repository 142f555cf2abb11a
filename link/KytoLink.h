#pragma once

// Flat entry points of libkytolink.so: one process-wide serial port with a
// receive thread that drains the port into a 6 MiB linear buffer and performs
// every transmission.
//
// Port numbers. Device names here are paths (/dev/ttyUSB0, /dev/ttyACM0,
// /dev/pts/7). The numbered entry points (com_init, com_getActive) number the
// serial devices found under /sys/class/tty in natural order, starting at 1:
// port n is the n-th device of that list whether or not it is free at the
// moment, so a number returned by com_getActive opens the same device with
// com_init as long as no device is plugged in or out in between.
// com_port_path turns a number into its path; com_init_path opens any path,
// including pseudo-terminals, which are never listed.

#ifdef __cplusplus
extern "C" {
#endif

#define KYTO_LINK_API __attribute__((visibility("default")))

// Size of the receive buffer: bytes received since the last clear beyond
// this are dropped.
#define KYTO_LINK_RECEIVE_BUFFER 6291456

// Opens port n (see above) at one of 9600, 38400, 115200, 230400, 460800,
// 921600 baud: raw 8N1, no flow control, DTR and RTS low, exclusive.
// 1 on success, 0 on failure with everything closed again.
KYTO_LINK_API int com_init(int port, int baud);
// The same for a device path.
KYTO_LINK_API int com_init_path(const char* path, int baud);
// errno of the last failed com_init / com_init_path, 0 after a success.
KYTO_LINK_API int com_last_error(void);
// -1 if no port was open, else 1 when the port was closed (0 if close failed).
KYTO_LINK_API int com_close(void);
// Copies min(length, available) received bytes out; returns the count.
KYTO_LINK_API int com_read(unsigned char* buffer, int length);
// Hands the bytes to the receive thread and returns length once they were
// transmitted or abandoned: the port was closed or vanished meanwhile, or the
// link was interrupted (com_interrupt), which abandons the send between two
// chunks. While the link is interrupted nothing is sent and the call returns
// at once.
KYTO_LINK_API int com_write(const unsigned char* data, int length);
// Received bytes not yet read.
KYTO_LINK_API int com_length(void);
// Discards the driver's queues and all received bytes.
KYTO_LINK_API void com_clear(void);
// Blocks until at least needed bytes are available or timeout_ms passed
// (-1: no limit, 0: look once), and returns the available count. No waiter
// outlives the link: the wait ends at once, whatever its limit, with
// KYTO_WAIT_INTERRUPTED while the link is interrupted, and with KYTO_WAIT_CLOSED
// when no port is open or the port has been closed or has vanished (bytes
// already received still count: enough of them are returned as usual).
KYTO_LINK_API int com_wait_available(int needed, int timeout_ms);
#define KYTO_WAIT_CLOSED (-1)
#define KYTO_WAIT_INTERRUPTED (-2)
// Interrupts the link: wakes every thread waiting in com_wait_available or
// com_write at once, abandons the send in progress, and keeps both from
// waiting or sending until com_resume. Callable from any thread (a window
// that closes, a user who cancels a transfer). Opening a port (com_init,
// com_init_path) starts it uninterrupted.
KYTO_LINK_API void com_interrupt(void);
KYTO_LINK_API void com_resume(void);
// Port numbers of the listed devices that can be opened exclusively right
// now, ascending, at most max of them; returns how many were stored.
KYTO_LINK_API int com_getActive(unsigned char* ports, int max);
// Writes the device path of port n (terminated) into path; returns its length,
// or -1 when there is no such port or it does not fit.
KYTO_LINK_API int com_port_path(int port, char* path, int size);
// 1 when a port is open and still present, 0 when none is open or it vanished.
KYTO_LINK_API int com_is_present(void);
// Diagnostic line of the last send / of the last read that returned data.
// The pointers stay valid, but the thread may rewrite the text at any time;
// com_copy_*_info take a consistent copy (returns its length).
KYTO_LINK_API const char* GetSendComInfo(void);
KYTO_LINK_API const char* GetRecvComInfo(void);
KYTO_LINK_API int com_copy_send_info(char* out, int size);
KYTO_LINK_API int com_copy_recv_info(char* out, int size);

#ifdef __cplusplus
}
#endif
