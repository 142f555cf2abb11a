#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/LinkTransport.h"

class CLanLink;

// The link selector: opens the serial port (libkytolink.so) or, by the name
// "LAN", the socket link, and gives the protocol layer transport-neutral byte
// access. One per device; the serial port itself is process-wide.
//
// Names: "LAN" in any letter case selects the socket link to the network
// adapter (LanLink.h; its settings are read from Application.ini at each
// ListPorts and OpenLink). Any other name is a device path; a name without "/" is taken as a device
// in /dev
// ("ttyUSB0" opens /dev/ttyUSB0). Port names of another system ("COM3") name
// nothing here: they fail as a missing device, so the user is asked to choose
// a port instead of the link opening an unrelated one.
class CDeviceLink {
public:
    static constexpr int kReceiveBufferSize = 6291456;

    CDeviceLink();
    virtual ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    bool OpenLink(const std::string& name, int baud);
    void CloseLink();
    // "LAN" first when a network adapter answers discovery or the settings
    // describe one, then the serial devices present and free right now, as
    // paths in natural order.
    std::vector<std::string> ListPorts();
    std::string SendInfo() const;  // serial mode only, else ""
    std::string RecvInfo() const;
    int LinkMode() const { return linkMode_; }  // -1 serial, 0 socket listening, 1 connecting
    int Baud() const { return baud_; }
    // The serial port is open and its device has not vanished, or the socket
    // is open and its peer has not closed it.
    bool IsPresent() const;
    // The socket link was open and its peer closed the connection: nothing
    // more arrives and nothing can be sent until it is opened again.
    bool PeerClosed() const;

    // Byte access as in ILinkTransport, on the transport in use: WaitAvailable
    // returns the available count, or ILinkTransport::kWaitInterrupted /
    // kWaitClosed when it ended because the link was interrupted, closed or
    // its device vanished.
    int Available();
    int Read(std::uint8_t* buffer, int length);
    void Clear();
    int Write(const std::uint8_t* data, int length);
    int WaitAvailable(int needed, int timeoutMs);

    // Wakes every thread waiting on the link (WaitAvailable, Write) at once and
    // keeps the link from waiting or sending until ResumeAfterInterrupt. Both
    // may be called from any thread. The state belongs to the link, not to
    // the port: it carries over a reopen and a change of transport.
    void Interrupt();
    void ResumeAfterInterrupt();
    bool IsInterrupted() const { return interrupted_.load(); }

    // errno of the last failed OpenLink, 0 if it succeeded.
    int LastOpenError() const { return lastOpenError_; }
    // A short text for an errno of LastOpenError: "missing device",
    // "permission denied (group dialout)", "busy" ...
    static std::string DescribeOpenError(int error);
    // The same for a failed OpenLink("LAN").
    static std::string DescribeLanOpenError(int error);
    // Where the socket link goes: "connect to 127.0.0.1:5000", "listen on
    // port 5000"; empty before the first discovery.
    std::string LanDescription() const;

    // Routes byte access to another transport (not owned; nullptr restores
    // the serial port). Tests and fuzz targets use an in-memory one.
    void SetTransport(ILinkTransport* transport);

private:
    int baud_ = 9600;
    int linkMode_ = -1;
    int lastOpenError_ = 0;
    bool serialOpen_ = false;
    bool lanKnown_ = false;
    std::unique_ptr<CLanLink> lan_;
    // Read by Interrupt on any thread; set by the owner.
    std::atomic<ILinkTransport*> transport_{nullptr};
    std::atomic<bool> interrupted_{false};
};
