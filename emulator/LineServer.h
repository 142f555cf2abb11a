#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "emulator/Faults.h"
#include "emulator/Frames.h"
#include "emulator/Module.h"
#include "emulator/Network.h"

// The module's serial line on a pseudo-terminal (or, behind a network
// adapter, a TCP connection on the loopback interface).
//
// Like a UART, the line has its own rate: 9600 baud at start, changed by the
// baud command (0x0E, never answered). The host's rate is what it set on its
// end of the pty. While the two differ, the host's bytes are lost (a UART
// drops characters with framing errors) and so are the module's. Responses
// leave at the line rate, 10 bits per byte, unless line timing is off.
//
// The emulator keeps its own descriptor of the terminal end open, so a host
// may close and reopen the port at will (as a connect with a baud switch
// does) and the pty never hangs up.
namespace kyto::emu {

class CReplay;

struct LineOptions {
    bool lineTiming = true;
    std::string linkPath;    // symlink to the terminal end, made at open and removed at close
    int framePauseMs = 200;  // a pause this long inside a command frame abandons it
    bool verbose = false;    // one line per command on standard error
    // Network adapter instead of the pty: listen for the host, or connect to
    // it (both on 127.0.0.1; port 0 = any free port for listening), and
    // answer discovery datagrams on a UDP port. -1 = off.
    int tcpListenPort = -1;
    int tcpConnectPort = -1;
    int udpPort = -1;
    // The adapter's six-digit configuration tag, and the mode byte of its
    // discovery reply (-1: 0x01 when it connects, 0x02 when it listens).
    std::string configTag = kDefaultConfigTag;
    int modeByte = -1;
};

// Baud index of the 0x0E command → rate; 0 for an invalid index.
int BaudOfIndex(int index);
// Rate → baud index, -1 when the module does not offer the rate.
int IndexOfBaud(int rate);

class CLineServer {
public:
    CLineServer(CModule& module, const LineOptions& line, const FaultOptions& faults,
                std::uint64_t seed);
    ~CLineServer();
    CLineServer(const CLineServer&) = delete;
    CLineServer& operator=(const CLineServer&) = delete;

    bool Open(std::string& error);
    // The pty path, or "127.0.0.1:port" for TCP.
    const std::string& PortPath() const { return portPath_; }
    int UdpPort() const { return udpBound_; }

    // Serves until *stop becomes non-zero (checked whenever a signal
    // interrupts the wait; the caller blocks its stop signals and passes the
    // mask to use while waiting) or the port vanishes by fault injection.
    // Returns the process exit code.
    int Run(const volatile std::sig_atomic_t* stop, const sigset_t* waitMask);

    void Close();
    int LineRate() const { return rate_; }
    // Commands are answered from a recording instead of by the module.
    void SetReplay(CReplay* replay) { replay_ = replay; }

private:
    using Clock = std::chrono::steady_clock;

    struct Pending {
        CommandFrame command;
    };
    struct Output {
        std::vector<std::uint8_t> bytes;
        std::size_t sent = 0;
        Clock::time_point start;      // processing finished, first byte may leave
        Clock::time_point lineClock;  // when everything sent so far has left the line
        bool active = false;
        bool waitWritable = false;
        bool hangUpWhenSent = false;  // the hang-up fault: close once this has left
    };

    bool OpenPty(std::string& error);
    bool OpenNetwork(std::string& error);
    void DropPeer();
    void TryConnect(Clock::time_point now);
    Clock::duration ConnectRetry(Clock::time_point now) const;
    void AnswerDatagrams();
    void OnConfiguration(const std::uint8_t* data, std::size_t size);
    int HostRate() const;
    void ReadInput(Clock::time_point now);
    void OnHostSettings(std::uint8_t status, Clock::time_point now);
    void TakeFrames(std::vector<CommandFrame>& frames);
    void StartNextCommand(Clock::time_point now);
    void PumpOutput(Clock::time_point now);
    std::size_t ChunkBytes() const;
    Clock::duration ByteTime() const;
    void Log(const std::string& text) const;

    CModule& module_;
    CReplay* replay_ = nullptr;
    LineOptions line_;
    FaultOptions faultOptions_;
    CFaultInjector faults_;
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string portPath_;
    int io_ = -1;  // where the host's bytes come from: the pty master or the TCP peer
    bool pty_ = true;
    int listen_ = -1;
    int udp_ = -1;
    int tcpBound_ = 0;
    int udpBound_ = 0;
    Clock::time_point nextConnect_;
    // The network adapter: its discovery reply, and what the last valid
    // configuration datagram set. Before the first one its UART follows
    // the module's rate; after it, it runs at the configured rate. With
    // discovery on, the adapter serves hosts (accepts or connects to them)
    // only once configured.
    Reply reply_{};
    bool configured_ = false;
    int adapterRate_ = 0;
    Clock::time_point eagerUntil_;  // retry connecting quickly after a configuration
    bool hangUpDue_ = false;
    bool hungUp_ = false;
    int rate_ = 9600;
    int lastSeenHostRate_ = 0;
    // What the host did with its line settings (see OnHostSettings).
    bool haveSettings_ = false;
    int settingsRate_ = 0;
    Clock::time_point settingsTime_;
    bool dataSinceSettings_ = false;
    bool switchCandidate_ = false;
    Clock::time_point candidateTime_;
    CCommandDecoder decoder_;
    Clock::time_point lastInput_;
    std::deque<Pending> queue_;
    Output out_;
    long long framesRequested_ = 0;
    bool silent_ = false;
    bool vanish_ = false;
};

}  // namespace kyto::emu
