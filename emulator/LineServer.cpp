#include "emulator/LineServer.h"
#include "emulator/Replay.h"

#include <sys/socket.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "emulator/Network.h"

namespace kyto::emu {

namespace {

int RateOfSpeed(speed_t speed) {
    static constexpr struct {
        speed_t code;
        int rate;
    } kRates[] = {{B0, 0},
                  {B50, 50},
                  {B75, 75},
                  {B110, 110},
                  {B134, 134},
                  {B150, 150},
                  {B200, 200},
                  {B300, 300},
                  {B600, 600},
                  {B1200, 1200},
                  {B1800, 1800},
                  {B2400, 2400},
                  {B4800, 4800},
                  {B9600, 9600},
                  {B19200, 19200},
                  {B38400, 38400},
                  {B57600, 57600},
                  {B115200, 115200},
                  {B230400, 230400},
                  {B460800, 460800},
                  {B500000, 500000},
                  {B576000, 576000},
                  {B921600, 921600},
                  {B1000000, 1000000},
                  {B1152000, 1152000},
                  {B1500000, 1500000},
                  {B2000000, 2000000}};
    for (const auto& r : kRates) {
        if (r.code == speed) {
            return r.rate;
        }
    }
    return -1;
}

std::string Hex(std::uint8_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v);
    return text;
}

}  // namespace

namespace {
constexpr int kBaudRates[] = {9600, 38400, 115200, 230400, 460800, 921600};
}

int BaudOfIndex(int index) {
    return index >= 0 && index < 6 ? kBaudRates[index] : 0;
}

int IndexOfBaud(int rate) {
    for (int i = 0; i < 6; ++i) {
        if (kBaudRates[i] == rate) {
            return i;
        }
    }
    return -1;
}

CLineServer::CLineServer(CModule& module, const LineOptions& line, const FaultOptions& faults,
                         std::uint64_t seed)
    : module_(module), line_(line), faultOptions_(faults), faults_(faults, seed) {}

CLineServer::~CLineServer() {
    Close();
}

bool CLineServer::Open(std::string& error) {
    if (line_.udpPort >= 0) {
        udp_ = BindUdp(line_.udpPort, udpBound_, error);
        if (udp_ < 0) {
            return false;
        }
    }
    return line_.tcpListenPort >= 0 || line_.tcpConnectPort >= 0 ? OpenNetwork(error)
                                                                 : OpenPty(error);
}

bool CLineServer::OpenNetwork(std::string& error) {
    pty_ = false;
    if (line_.tcpListenPort >= 0) {
        listen_ = ListenTcp(line_.tcpListenPort, tcpBound_, error);
        if (listen_ < 0) {
            Close();
            return false;
        }
    } else {
        tcpBound_ = line_.tcpConnectPort;
        nextConnect_ = Clock::now();
    }
    portPath_ = "127.0.0.1:" + std::to_string(tcpBound_);
    const bool appListens = line_.tcpConnectPort >= 0;
    const std::uint8_t mode =
        line_.modeByte >= 0 ? static_cast<std::uint8_t>(line_.modeByte) : ModeByte(appListens);
    reply_ = DiscoveryReply(mode, appListens ? tcpBound_ : 0, appListens ? 0 : tcpBound_);
    return true;
}

void CLineServer::DropPeer() {
    if (!pty_ && io_ >= 0) {
        Log("host disconnected");
        close(io_);
        io_ = -1;
        decoder_.Reset();
        queue_.clear();
        out_.active = false;
        out_.hangUpWhenSent = false;
        const Clock::time_point now = Clock::now();
        nextConnect_ = now + ConnectRetry(now);
    }
}

// A host that has just configured the adapter is about to listen: look for
// it often for a while, then at a calm pace.
CLineServer::Clock::duration CLineServer::ConnectRetry(Clock::time_point now) const {
    return now < eagerUntil_ ? std::chrono::milliseconds(20) : std::chrono::milliseconds(200);
}

void CLineServer::TryConnect(Clock::time_point now) {
    if (pty_ || io_ >= 0 || line_.tcpConnectPort < 0 || now < nextConnect_ ||
        (line_.udpPort >= 0 && !configured_)) {
        return;
    }
    io_ = ConnectTcp(line_.tcpConnectPort);
    if (io_ >= 0) {
        Log("connected to the host");
    } else {
        nextConnect_ = now + ConnectRetry(now);
    }
}

void CLineServer::OnConfiguration(const std::uint8_t* data, std::size_t size) {
    Configuration c = CheckConfiguration(data, size, reply_, line_.configTag);
    if (!c.addressed) {
        Log("ignored a datagram not addressed to this adapter");
        return;
    }
    if (c.valid && IndexOfBaud(c.baud) < 0) {
        c.valid = false;
        c.problem = "baud rate " + std::to_string(c.baud) + " is not one the module offers";
    }
    if (!c.valid) {
        // Always told: a host that builds this datagram wrongly leaves a real
        // adapter unconfigured, and the tests must see why.
        std::fprintf(stderr, "kyto-emu: configuration datagram refused: %s\n", c.problem.c_str());
        return;
    }
    Log("adapter configured for " + std::to_string(c.baud) + " baud");
    configured_ = true;
    adapterRate_ = c.baud;
    const Clock::time_point now = Clock::now();
    eagerUntil_ = now + std::chrono::seconds(2);
    nextConnect_ = std::min(nextConnect_, now);
}

void CLineServer::AnswerDatagrams() {
    std::uint8_t buffer[512];
    for (;;) {
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = recvfrom(udp_, buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            return;
        }
        if (IsDiscoveryRequest(buffer, static_cast<std::size_t>(n))) {
            sendto(udp_, reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&from),
                   fromLength);
            Log("answered a discovery request");
        } else {
            OnConfiguration(buffer, static_cast<std::size_t>(n));
        }
    }
}

bool CLineServer::OpenPty(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    char name[256];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("ptsname: ") + std::strerror(errno);
        Close();
        return false;
    }
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error = slavePath_ + ": " + std::strerror(errno);
        Close();
        return false;
    }
    // A raw 9600-baud line until the host says otherwise. EXTPROC makes the
    // kernel report every change of the host's line settings to the packet-
    // mode master, so bytes sent just before a rate change are judged by the
    // rate they were sent at.
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    t.c_lflag |= EXTPROC;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(slave_, TCSANOW, &t);
    int on = 1;
    if (ioctl(master_, TIOCPKT, &on) != 0) {
        error = std::string("packet mode: ") + std::strerror(errno);
        Close();
        return false;
    }
    io_ = master_;
    portPath_ = slavePath_;
    lastSeenHostRate_ = HostRate();
    settingsRate_ = lastSeenHostRate_;
    if (!line_.linkPath.empty()) {
        struct stat st {};
        if (lstat(line_.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            unlink(line_.linkPath.c_str());
        }
        if (symlink(slavePath_.c_str(), line_.linkPath.c_str()) != 0) {
            error = line_.linkPath + ": " + std::strerror(errno);
            Close();
            return false;
        }
    }
    return true;
}

void CLineServer::Close() {
    if (!line_.linkPath.empty() && !slavePath_.empty()) {
        char target[256];
        const ssize_t n = readlink(line_.linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_) {
            unlink(line_.linkPath.c_str());
        }
    }
    if (slave_ >= 0) {
        close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
    if (!pty_ && io_ >= 0) {
        close(io_);
    }
    io_ = -1;
    for (int* fd : {&listen_, &udp_}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

int CLineServer::HostRate() const {
    if (!pty_) {
        return adapterRate_ > 0 ? adapterRate_ : rate_;
    }
    termios t{};
    if (tcgetattr(io_, &t) != 0) {
        return -1;
    }
    return RateOfSpeed(cfgetospeed(&t));
}

void CLineServer::Log(const std::string& text) const {
    if (line_.verbose) {
        std::fprintf(stderr, "kyto-emu: %s\n", text.c_str());
    }
}

CLineServer::Clock::duration CLineServer::ByteTime() const {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(10.0 / rate_));
}

std::size_t CLineServer::ChunkBytes() const {
    // About 2 ms of line time per write: precise enough, few wake-ups.
    return std::max<std::size_t>(1, static_cast<std::size_t>(rate_ / 10 / 500));
}

void CLineServer::ReadInput(Clock::time_point now) {
    std::uint8_t buffer[65536 + 1];
    // The host rates seen since the last read: bytes read together with a
    // change of rate may have been sent before it, so they are judged by
    // every rate of the batch, the one before the change included.
    bool rateChanged = false;
    bool matchedBefore = settingsRate_ == rate_ || lastSeenHostRate_ == rate_;
    for (;;) {
        if (io_ < 0) {
            return;
        }
        // The pty master reads in packet mode: a leading status byte, data
        // only after TIOCPKT_DATA. A socket gives plain data; put it after a
        // made-up data byte so both look alike below.
        const ssize_t got =
            pty_ ? read(io_, buffer, sizeof buffer) : read(io_, buffer + 1, sizeof buffer - 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (!pty_ && (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK))) {
            DropPeer();
            return;
        }
        if (got <= 0) {
            break;
        }
        ssize_t n = got;
        if (!pty_) {
            buffer[0] = TIOCPKT_DATA;
            ++n;
        }
        if (buffer[0] != TIOCPKT_DATA) {
            // The host (re)opened or reconfigured its end. A host that claims
            // the port exclusively would find that claim still standing when
            // it reopens, because this side keeps the terminal alive between
            // its opens: release it, as closing a real port would.
            ioctl(slave_, TIOCNXCL);
            const int before = settingsRate_;
            OnHostSettings(buffer[0], now);
            rateChanged = rateChanged || settingsRate_ != before;
            matchedBefore = matchedBefore || settingsRate_ == rate_;
            continue;
        }
        dataSinceSettings_ = true;
        const int host = HostRate();
        // (A change that went unreported shows as a rate unlike the last one.)
        const bool changed = rateChanged || host != lastSeenHostRate_;
        // (Over TCP the rate is set by a datagram that came before the
        // bytes: nothing to judge twice.)
        const bool accepted = host == rate_ || (pty_ && changed && matchedBefore);
        lastSeenHostRate_ = host;
        rateChanged = false;
        matchedBefore = host == rate_;
        const std::size_t count = static_cast<std::size_t>(n - 1);
        if (silent_) {
            continue;
        }
        if (!accepted) {
            if (decoder_.InFrame()) {
                decoder_.Reset();
            }
            Log("lost " + std::to_string(count) + " bytes: host at " + std::to_string(host) +
                " baud, line at " + std::to_string(rate_));
            continue;
        }
        lastInput_ = now;
        std::vector<CommandFrame> frames;
        decoder_.Feed(buffer + 1, count, frames);
        TakeFrames(frames);
        if (vanish_) {
            return;
        }
    }
    if (rateChanged) {
        lastSeenHostRate_ = HostRate();
    }
}

void CLineServer::OnHostSettings(std::uint8_t status, Clock::time_point now) {
    // On a real line, bytes that left the host are gone from it. On a pty
    // they wait in the kernel until this side reads them, and a host that
    // flushes its output when it reopens the port (as it may to start
    // clean) destroys them if it is quicker than this side. The bytes a host
    // sends just before reopening at another rate are the baud command: when
    // a flush comes with such a move away from the line's rate, take the
    // host's new rate as the command it sent.
    const int host = HostRate();
    if (host != settingsRate_) {
        // Moving to 9600 is how every connection starts, so the lost bytes
        // were "back to 9600" (a disconnect); moving elsewhere after a silent
        // session at the line's rate is a connect whose switch was lost.
        const bool silentSession =
            haveSettings_ && !dataSinceSettings_ && now - settingsTime_ < std::chrono::seconds(2);
        switchCandidate_ = settingsRate_ == rate_ && host != rate_ && IndexOfBaud(host) >= 0 &&
                           (host == 9600 || silentSession);
        candidateTime_ = now;
        settingsRate_ = host;
    }
    haveSettings_ = true;
    settingsTime_ = now;
    dataSinceSettings_ = false;
    if ((status & TIOCPKT_FLUSHWRITE) && switchCandidate_ && host == settingsRate_ &&
        now - candidateTime_ < std::chrono::milliseconds(200)) {
        Log("host flushed unread bytes while moving to " + std::to_string(host) +
            " baud: taken as its baud command");
        rate_ = host;
        switchCandidate_ = false;
    }
}

void CLineServer::TakeFrames(std::vector<CommandFrame>& frames) {
    for (CommandFrame& f : frames) {
        if (silent_ || vanish_) {
            return;
        }
        if (f.code == kSetBaudRate) {
            // Taken at once, as the UART is reprogrammed on reception: the
            // host reopens its port at the new rate right after sending it.
            const int rate = f.payload.size() == 1 ? BaudOfIndex(f.payload[0]) : 0;
            if (rate > 0) {
                Log("line rate " + std::to_string(rate_) + " -> " + std::to_string(rate));
                rate_ = rate;
            } else {
                Log("ignored invalid baud command");
            }
            continue;
        }
        if (f.code == kExecute || f.code == kExecuteEx) {
            ++framesRequested_;
            if (faultOptions_.hangupAfter >= 0 && !hungUp_ &&
                framesRequested_ > faultOptions_.hangupAfter) {
                hangUpDue_ = true;
                hungUp_ = true;
            }
            if (faultOptions_.vanishAfter >= 0 && framesRequested_ > faultOptions_.vanishAfter) {
                vanish_ = true;
                return;
            }
            if (faultOptions_.silentAfter >= 0 && framesRequested_ > faultOptions_.silentAfter) {
                Log("silent from now on");
                silent_ = true;
                queue_.clear();
                return;
            }
        }
        queue_.push_back(Pending{std::move(f)});
    }
}

void CLineServer::StartNextCommand(Clock::time_point now) {
    while (!out_.active && !queue_.empty()) {
        Pending p = std::move(queue_.front());
        queue_.pop_front();
        const std::uint8_t code = p.command.code;
        Response r = replay_ != nullptr ? replay_->Handle(p.command) : module_.Handle(p.command);
        if (const std::string& note = replay_ != nullptr ? replay_->Note() : module_.Note();
            !note.empty()) {
            Log(note);
        }
        if (!r.answer) {
            continue;
        }
        Log("command " + Hex(code) + " (" + std::to_string(p.command.payload.size()) +
            " bytes) -> " + Hex(r.code) + " with " + std::to_string(r.payload.size()) + " bytes");
        out_.bytes = faults_.Apply(r.raw.empty() ? EncodeResponse(r.code, r.payload) : r.raw);
        out_.hangUpWhenSent = hangUpDue_ && r.frame;
        if (out_.hangUpWhenSent) {
            hangUpDue_ = false;
            out_.bytes.resize(out_.bytes.size() / 2);
        }
        out_.sent = 0;
        out_.start = now;
        if (r.frame && faultOptions_.delayMs > 0) {
            out_.start += std::chrono::milliseconds(faultOptions_.delayMs);
        }
        out_.lineClock = out_.start;
        out_.active = true;
        out_.waitWritable = false;
    }
}

void CLineServer::PumpOutput(Clock::time_point now) {
    while (out_.active) {
        if (now < out_.start) {
            return;
        }
        const std::size_t remaining = out_.bytes.size() - out_.sent;
        if (remaining == 0) {
            out_.active = false;
            if (out_.hangUpWhenSent) {
                Log("hanging up in the middle of a response");
                DropPeer();
            }
            return;
        }
        std::size_t chunk = remaining;
        if (line_.lineTiming) {
            chunk = std::min(remaining, ChunkBytes());
            const Clock::time_point due = out_.lineClock + static_cast<long>(chunk) * ByteTime();
            if (now < due) {
                return;
            }
        }
        std::size_t done = chunk;
        if (io_ >= 0 && HostRate() == rate_) {
            const ssize_t n = pty_ ? write(io_, out_.bytes.data() + out_.sent, chunk)
                                   : send(io_, out_.bytes.data() + out_.sent, chunk, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                // The host is not reading (or has closed the port): wait for room.
                out_.waitWritable = (errno == EAGAIN || errno == EWOULDBLOCK);
                if (!out_.waitWritable) {
                    Log(std::string("write failed: ") + std::strerror(errno));
                    out_.active = false;
                }
                return;
            }
            done = static_cast<std::size_t>(n);
        }
        // Else the host listens at another rate (or nobody is connected):
        // these bytes are lost on the line.
        out_.waitWritable = false;
        out_.sent += done;
        // The bytes left on the line's schedule, however late this wake-up was.
        out_.lineClock += static_cast<long>(done) * ByteTime();
    }
}

int CLineServer::Run(const volatile std::sig_atomic_t* stop, const sigset_t* waitMask) {
    while (!*stop) {
        const Clock::time_point now = Clock::now();
        StartNextCommand(now);
        PumpOutput(now);

        // Sleep until the next thing that is due, or until input arrives.
        Clock::time_point wake = Clock::time_point::max();
        if (out_.active && !out_.waitWritable) {
            Clock::time_point due = out_.start;
            if (line_.lineTiming && now >= out_.start) {
                const std::size_t chunk = std::min(out_.bytes.size() - out_.sent, ChunkBytes());
                due = out_.lineClock + static_cast<long>(chunk) * ByteTime();
            }
            wake = std::min(wake, due);
        }
        if (decoder_.InFrame()) {
            wake = std::min(wake, lastInput_ + std::chrono::milliseconds(line_.framePauseMs));
        }
        TryConnect(now);
        if (!pty_ && io_ < 0 && line_.tcpConnectPort >= 0 && (line_.udpPort < 0 || configured_)) {
            wake = std::min(wake, nextConnect_);
        }
        pollfd fds[3];
        nfds_t count = 0;
        pollfd* io = nullptr;
        pollfd* listener = nullptr;
        pollfd* datagrams = nullptr;
        if (io_ >= 0) {
            io = &fds[count++];
            *io = {io_, static_cast<short>(POLLIN | POLLPRI | (out_.waitWritable ? POLLOUT : 0)),
                   0};
        } else if (listen_ >= 0 && (line_.udpPort < 0 || configured_)) {
            listener = &fds[count++];
            *listener = {listen_, POLLIN, 0};
        }
        if (udp_ >= 0) {
            datagrams = &fds[count++];
            *datagrams = {udp_, POLLIN, 0};
        }
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wake != Clock::time_point::max()) {
            const auto left = std::max(Clock::duration::zero(), wake - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
            timeoutPtr = &timeout;
        }
        const int ready = ppoll(fds, count, timeoutPtr, waitMask);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::fprintf(stderr, "kyto-emu: poll: %s\n", std::strerror(errno));
            return 1;
        }
        const Clock::time_point after = Clock::now();
        if (listener && (listener->revents & POLLIN)) {
            io_ = AcceptTcp(listen_);
            if (io_ >= 0) {
                Log("host connected");
            }
        }
        if (datagrams && (datagrams->revents & POLLIN)) {
            AnswerDatagrams();
        }
        if (io && (io->revents & (POLLIN | POLLPRI | POLLHUP | POLLERR))) {
            ReadInput(after);
            if (vanish_) {
                std::fprintf(stderr, "kyto-emu: vanishing after %lld frames\n",
                             faultOptions_.vanishAfter);
                Close();
                return 0;
            }
        }
        if (decoder_.InFrame() &&
            after - lastInput_ >= std::chrono::milliseconds(line_.framePauseMs)) {
            Log("abandoned an incomplete command frame");
            decoder_.Reset();
        }
        if (io && (io->revents & POLLOUT)) {
            // After a stall (the host did not read) the line resumes at its
            // rate instead of catching up with what it could not send.
            out_.waitWritable = false;
            out_.lineClock =
                std::max(out_.lineClock, after - static_cast<long>(ChunkBytes()) * ByteTime());
        }
    }
    return 0;
}

}  // namespace kyto::emu
