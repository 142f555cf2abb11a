#pragma once

// The one socket connection of the process, shared by the flat entry points
// (SocketPort.cpp) and the receive thread (SocketReceive.cpp).

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "link/ByteRing.h"
#include "link/KytoSocket.h"

namespace kyto::link {

// `lifecycle` keeps opens and closes from overlapping; `lock` guards
// everything after it.
struct SocketState {
    std::mutex lifecycle;
    std::thread thread;

    std::mutex lock;
    std::condition_variable changed;      // bytes arrived, the peer went, a close began
    std::condition_variable writersDone;  // the last SocketWrite / SocketRead left
    int fd = -1;
    // eventfd written once when a close begins and never drained: the
    // receive thread and blocked writers see it in every poll() after that.
    int stopFd = -1;
    bool running = false;   // the receive thread may run
    bool peerOpen = false;  // connected and the peer has not closed
    bool interrupted = false;
    // eventfd readable while interrupted (written by sock_interrupt, drained
    // by sock_resume), so that writers and opens blocked in poll() wake.
    // Made once and kept for the life of the process.
    int interruptFd = -1;
    int users = 0;                  // SocketWrite / SocketRead calls using fd right now
    std::optional<CByteRing> ring;  // made at the first open
    int lastError = 0;
    int openLimitMs = 10000;
};

// Never destroyed: the receive thread must not outlive its state at exit.
SocketState& Socket();

// Body of the receive thread: drains fd into the ring until stopFd is
// signalled; marks the peer gone when it closes the connection.
void SocketReceiveLoop(SocketState& state, int fd, int stopFd);

}  // namespace kyto::link
