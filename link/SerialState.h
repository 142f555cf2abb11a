#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "link/KytoLink.h"

namespace kyto::link {

constexpr int kReceiveBufferSize = KYTO_LINK_RECEIVE_BUFFER;
constexpr int kInfoSize = 256;

// The one serial port of the process. `lock` guards everything from `fd` on;
// `lifecycle` keeps opens and closes from overlapping each other.
struct SerialState {
    std::mutex lifecycle;
    std::thread thread;

    std::mutex lock;
    std::condition_variable dataArrived;  // the write index grew
    std::condition_variable sendDone;     // a send finished or was abandoned
    int fd = -1;
    int wakeFd = -1;       // eventfd that interrupts the thread's poll()
    bool running = false;  // the receive thread may run
    bool present = false;  // open and not vanished
    // com_interrupt until com_resume. Written under `lock`; the receive
    // thread also reads it between chunks of a send without the lock.
    std::atomic<bool> interrupted{false};
    int baud = 9600;
    std::unique_ptr<std::uint8_t[]> buffer;  // linear, never wraps
    int readIndex = 0;
    int writeIndex = 0;
    // Threads in com_wait_available and the smallest count one of them asks
    // for: the receive thread notifies only once that many bytes are there,
    // so a waiter for a 76,800-byte image is not woken for every few hundred
    // bytes the port delivers.
    int waiters = 0;
    int wakeAt = 1;
    const std::uint8_t* pendingData = nullptr;
    int pendingLength = 0;
    std::uint64_t sendsPosted = 0;
    std::uint64_t sendsDone = 0;
    char sendInfo[kInfoSize] = {};
    char recvInfo[kInfoSize] = {};
    int lastOpenError = 0;
};

// Never destroyed: the receive thread must not outlive its state at exit.
SerialState& State();

// Body of the receive thread: drains fd into the buffer and performs the
// requested sends until `running` is cleared.
void ReceiveLoop(SerialState& state, int fd, int wakeFd);

// Interrupts the thread's poll().
void WakeThread(int wakeFd);

}  // namespace kyto::link
