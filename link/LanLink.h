#pragma once

// The socket side of the link selector: finds the network adapter (its
// discovery reply, or else the endpoint the settings describe), sends it the
// configuration datagram and opens the TCP connection in the direction the
// adapter asks for. The connection itself is the process-wide one of
// libkytolink.so (KytoSocket.h).

#include <string>

#include "link/Discovery.h"
#include "settings/Settings.h"

class CLanLink {
public:
    // Runs discovery; true when "LAN" is to be offered: the adapter answered,
    // or SOCKETMODE is not -1 and PORTNUMBER names a port.
    bool Discover(const SocketSettings& settings);
    // Opens the connection at this baud rate (discovering first if this
    // object never did). 0 when open, else an errno that DescribeError
    // explains.
    int Open(const SocketSettings& settings, int baud);
    void Close();

    bool IsOpen() const { return open_; }
    // 0: this program listens; 1: it connects.
    int LinkMode() const { return endpoint_.linkMode; }
    const kyto::link::LanEndpoint& Endpoint() const { return endpoint_; }
    // "connect to 127.0.0.1:5000" or "listen on port 5000".
    std::string Describe() const;
    static std::string DescribeError(int error);

private:
    kyto::link::Octets settingOctets_{};  // from TCPIP
    kyto::link::DiscoveryReply reply_{};
    kyto::link::LanEndpoint endpoint_;
    bool settingValid_ = true;
    bool discovered_ = false;
    bool offered_ = false;
    bool open_ = false;
};
