// Discovery, configuration and opening of the socket link (see LanLink.h).
#include "link/LanLink.h"

#include <cerrno>
#include <cstring>

#include "link/KytoSocket.h"

using namespace kyto::link;

namespace {

bool ValidPort(int port) {
    return port >= 1 && port <= 65535;
}

bool IsZero(const Octets& address) {
    return address == Octets{};
}

}  // namespace

bool CLanLink::Discover(const SocketSettings& settings) {
    discovered_ = true;
    const std::optional<Octets> setting = ParseDottedAddress(settings.address);
    settingValid_ = setting.has_value();
    settingOctets_ = setting.value_or(Octets{});
    endpoint_ = LanEndpoint{};
    endpoint_.localAddress = settingOctets_;
    endpoint_.moduleAddress = settingOctets_;

    reply_.fill(0);
    const auto request = DiscoveryDatagram();
    const int got = sock_getActive(settings.discoveryAddress.c_str(), settings.discoveryPort,
                                   request.data(), static_cast<int>(request.size()), reply_.data(),
                                   static_cast<int>(reply_.size()));
    if (const auto answered =
            ParseDiscoveryReply(reply_.data(), static_cast<std::size_t>(got > 0 ? got : 0))) {
        endpoint_ = *answered;
        offered_ = true;
        return true;
    }
    // A fragment of a reply is nobody's identity: echo zeros instead.
    reply_.fill(0);
    offered_ = settings.mode != -1 && ValidPort(settings.port);
    if (offered_) {
        endpoint_.serverPort = static_cast<std::uint16_t>(settings.port);
        endpoint_.clientPort = endpoint_.serverPort;
        endpoint_.linkMode = settings.mode == 0 ? 0 : 1;
    }
    return offered_;
}

int CLanLink::Open(const SocketSettings& settings, int baud) {
    Close();
    if (!discovered_) {
        Discover(settings);
    }
    if (!offered_) {
        return ENODEV;
    }
    if (!IsConfigTag(settings.configTag)) {
        return EINVAL;
    }
    // The adapter learns where to connect (or where to wait) and at which
    // rate to talk to the module. No answer is expected; one that was lost
    // shows up as a connection that does not come about.
    const auto configuration = ConfigurationDatagram(reply_, endpoint_, settings.configTag, baud);
    sock_getActive(settings.discoveryAddress.c_str(), settings.discoveryPort, configuration.data(),
                   static_cast<int>(configuration.size()), nullptr, 0);
    int opened = 0;
    if (endpoint_.linkMode != 0) {
        if (IsZero(endpoint_.moduleAddress) || endpoint_.clientPort == 0) {
            return settingValid_ ? EADDRNOTAVAIL : EINVAL;
        }
        const std::uint32_t address = NetworkOrder(endpoint_.moduleAddress);
        opened = SocketOpen(0, 0, &address, endpoint_.clientPort);
    } else {
        if (endpoint_.serverPort == 0) {
            return EADDRNOTAVAIL;
        }
        opened = ServerOpen(0, endpoint_.serverPort);
    }
    if (opened != 1) {
        const int error = sock_last_error();
        return error != 0 ? error : EIO;
    }
    open_ = true;
    return 0;
}

void CLanLink::Close() {
    if (open_) {
        SocketClose();
        open_ = false;
    }
}

std::string CLanLink::Describe() const {
    if (endpoint_.linkMode == 0) {
        return "listen on port " + std::to_string(endpoint_.serverPort);
    }
    return "connect to " + FormatAddress(endpoint_.moduleAddress) + ":" +
           std::to_string(endpoint_.clientPort);
}

std::string CLanLink::DescribeError(int error) {
    switch (error) {
        case 0:
            return "no error";
        case ENODEV:
            return "no network adapter answered the discovery datagram, and Application.ini "
                   "names none (set PORTNUMBER, SOCKETMODE and TCPIP)";
        case EINVAL:
            return "the network settings in Application.ini are invalid (CONFIGTAG must be six "
                   "digits, TCPIP a dotted IPv4 address, PORTNUMBER 1 to 65535)";
        case EADDRNOTAVAIL:
            return "the network adapter names no usable address or port";
        case ETIMEDOUT:
            return "no connection came about within the time limit";
        case ECONNREFUSED:
            return "the connection was refused: nothing listens there";
        case EADDRINUSE:
            return "the port to listen on is in use by another program";
        case EPERM:
            return "refused: KYTO_LOOPBACK_ONLY allows only addresses in 127.0.0.0/8";
        default:
            return std::strerror(error);
    }
}
