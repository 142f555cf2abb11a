// Flat entry points of the serial link (see KytoLink.h).
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <system_error>

#include "link/KytoLink.h"
#include "link/PortScan.h"
#include "link/SerialLine.h"
#include "link/SerialState.h"

namespace kyto::link {

SerialState& State() {
    static SerialState* state = new SerialState();
    return *state;
}

namespace {

// Stops the receive thread. Writers blocked in com_write are released by the
// thread itself once it no longer touches their data; waiters for data are
// released here.
void StopThread(SerialState& s) {
    int wakeFd = -1;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.running = false;
        wakeFd = s.wakeFd;
    }
    s.dataArrived.notify_all();
    if (s.thread.joinable()) {
        WakeThread(wakeFd);
        s.thread.join();
    }
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.wakeFd >= 0) {
        close(s.wakeFd);
        s.wakeFd = -1;
    }
}

int CloseLocked(SerialState& s) {
    StopThread(s);
    std::lock_guard<std::mutex> guard(s.lock);
    s.present = false;
    if (s.fd < 0) {
        return -1;
    }
    const int result = CloseSerialDevice(s.fd);
    s.fd = -1;
    return result == 0 ? 1 : 0;
}

int OpenLocked(SerialState& s, const char* path, int baud) {
    CloseLocked(s);
    int error = 0;
    const int fd = OpenSerialDevice(path, baud, error);
    if (fd < 0) {
        std::lock_guard<std::mutex> guard(s.lock);
        s.lastOpenError = error;
        return 0;
    }
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        error = errno;
        CloseSerialDevice(fd);
        std::lock_guard<std::mutex> guard(s.lock);
        s.lastOpenError = error;
        return 0;
    }
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.buffer) {
            s.buffer = std::make_unique<std::uint8_t[]>(kReceiveBufferSize);
        }
        s.fd = fd;
        s.wakeFd = wakeFd;
        s.baud = baud;
        s.readIndex = 0;
        s.writeIndex = 0;
        s.pendingData = nullptr;
        s.pendingLength = 0;
        s.sendInfo[0] = '\0';
        s.recvInfo[0] = '\0';
        s.running = true;
        s.present = true;
        s.interrupted = false;
        s.lastOpenError = 0;
    }
    try {
        s.thread = std::thread(ReceiveLoop, std::ref(s), fd, wakeFd);
    } catch (const std::system_error& e) {
        {
            std::lock_guard<std::mutex> guard(s.lock);
            s.running = false;
        }
        CloseLocked(s);
        std::lock_guard<std::mutex> guard(s.lock);
        s.lastOpenError = e.code().value();
        return 0;
    }
    return 1;
}

int CopyInfo(const char* info, char* out, int size) {
    if (out == nullptr || size <= 0) {
        return 0;
    }
    const int length = std::min(static_cast<int>(std::strlen(info)), size - 1);
    std::memcpy(out, info, static_cast<std::size_t>(length));
    out[length] = '\0';
    return length;
}

}  // namespace
}  // namespace kyto::link

using kyto::link::SerialState;
using kyto::link::State;

extern "C" {

int com_init(int port, int baud) {
    SerialState& s = State();
    std::lock_guard<std::mutex> life(s.lifecycle);
    const auto paths = kyto::link::ScanSerialDevices();
    if (port < 1 || port > static_cast<int>(paths.size())) {
        kyto::link::CloseLocked(s);
        std::lock_guard<std::mutex> guard(s.lock);
        s.lastOpenError = ENOENT;
        return 0;
    }
    return kyto::link::OpenLocked(s, paths[static_cast<std::size_t>(port - 1)].c_str(), baud);
}

int com_init_path(const char* path, int baud) {
    SerialState& s = State();
    std::lock_guard<std::mutex> life(s.lifecycle);
    return kyto::link::OpenLocked(s, path, baud);
}

int com_last_error(void) {
    SerialState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.lastOpenError;
}

int com_close(void) {
    SerialState& s = State();
    std::lock_guard<std::mutex> life(s.lifecycle);
    return kyto::link::CloseLocked(s);
}

int com_read(unsigned char* buffer, int length) {
    SerialState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    const int count = std::max(0, std::min(length, s.writeIndex - s.readIndex));
    if (count > 0 && buffer != nullptr) {
        std::memcpy(buffer, s.buffer.get() + s.readIndex, static_cast<std::size_t>(count));
        s.readIndex += count;
        return count;
    }
    return 0;
}

int com_write(const unsigned char* data, int length) {
    SerialState& s = State();
    std::unique_lock<std::mutex> guard(s.lock);
    if (!s.running || s.interrupted || data == nullptr || length <= 0) {
        return length;
    }
    // One send at a time: a second writer waits for the first to finish.
    s.sendDone.wait(guard, [&] { return s.pendingLength == 0 || !s.running || s.interrupted; });
    if (!s.running || s.interrupted) {
        return length;
    }
    s.sendInfo[0] = '\0';
    s.pendingData = data;
    s.pendingLength = length;
    const std::uint64_t ticket = ++s.sendsPosted;
    kyto::link::WakeThread(s.wakeFd);
    // The thread marks the send done when it has finished with the data, also
    // when it abandons it because the port closed or vanished or the link was
    // interrupted; only then may the caller's data go away.
    s.sendDone.wait(guard, [&] { return s.sendsDone >= ticket; });
    return length;
}

int com_length(void) {
    SerialState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.writeIndex - s.readIndex;
}

void com_clear(void) {
    SerialState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.fd >= 0 && s.present) {
        tcflush(s.fd, TCIOFLUSH);
    }
    s.readIndex = 0;
    s.writeIndex = 0;
    s.recvInfo[0] = '\0';
}

int com_wait_available(int needed, int timeout_ms) {
    SerialState& s = State();
    std::unique_lock<std::mutex> guard(s.lock);
    const auto enough = [&] { return s.writeIndex - s.readIndex >= needed; };
    // Every change of these is notified on dataArrived: the closing thread
    // (StopThread), the receive thread (a vanished port) and com_interrupt.
    const auto done = [&] { return s.interrupted || enough() || !s.running || !s.present; };
    if (timeout_ms != 0 && !done()) {
        const int wanted = std::max(needed, 1);
        s.wakeAt = s.waiters == 0 ? wanted : std::min(s.wakeAt, wanted);
        ++s.waiters;
        if (timeout_ms < 0) {
            s.dataArrived.wait(guard, done);
        } else {
            s.dataArrived.wait_for(guard, std::chrono::milliseconds(timeout_ms), done);
        }
        if (--s.waiters == 0) {
            s.wakeAt = 1;
        }
    }
    if (s.interrupted) {
        return KYTO_WAIT_INTERRUPTED;
    }
    if (!enough() && (!s.running || !s.present)) {
        return KYTO_WAIT_CLOSED;
    }
    return s.writeIndex - s.readIndex;
}

void com_interrupt(void) {
    SerialState& s = State();
    int wakeFd = -1;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.interrupted = true;
        wakeFd = s.wakeFd;
    }
    s.dataArrived.notify_all();
    s.sendDone.notify_all();
    // The receive thread abandons a send in progress when it wakes.
    if (wakeFd >= 0) {
        kyto::link::WakeThread(wakeFd);
    }
}

void com_resume(void) {
    SerialState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.interrupted = false;
}

int com_getActive(unsigned char* ports, int max) {
    if (ports == nullptr || max <= 0) {
        return 0;
    }
    const auto paths = kyto::link::ScanSerialDevices();
    int count = 0;
    const int last = std::min(static_cast<int>(paths.size()), 255);
    for (int n = 1; n <= last && count < max; ++n) {
        if (kyto::link::CanOpenExclusively(paths[static_cast<std::size_t>(n - 1)].c_str())) {
            ports[count++] = static_cast<unsigned char>(n);
        }
    }
    return count;
}

int com_port_path(int port, char* path, int size) {
    const auto paths = kyto::link::ScanSerialDevices();
    if (port < 1 || port > static_cast<int>(paths.size()) || path == nullptr) {
        return -1;
    }
    const std::string& found = paths[static_cast<std::size_t>(port - 1)];
    if (static_cast<int>(found.size()) >= size) {
        return -1;
    }
    std::memcpy(path, found.c_str(), found.size() + 1);
    return static_cast<int>(found.size());
}

int com_is_present(void) {
    SerialState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.present ? 1 : 0;
}

const char* GetSendComInfo(void) {
    return State().sendInfo;
}

const char* GetRecvComInfo(void) {
    return State().recvInfo;
}

int com_copy_send_info(char* out, int size) {
    SerialState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return kyto::link::CopyInfo(s.sendInfo, out, size);
}

int com_copy_recv_info(char* out, int size) {
    SerialState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return kyto::link::CopyInfo(s.recvInfo, out, size);
}

}  // extern "C"
