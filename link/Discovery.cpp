// The adapter's datagrams, byte by byte (layout in Discovery.h).
#include "link/Discovery.h"

#include <algorithm>
#include <cstring>

namespace kyto::link {
namespace {

// Reply offsets.
constexpr std::size_t kReplyLocal = 7;
constexpr std::size_t kReplyServerPort = 11;
constexpr std::size_t kReplyModule = 13;
constexpr std::size_t kReplyClientPort = 17;
constexpr std::size_t kReplyMode = 23;
constexpr std::size_t kIdentityBytes = 6;
// The configuration datagram copies reply bytes from here on, starting at
// its byte 12.
constexpr std::size_t kEchoFrom = 7;
constexpr std::size_t kEchoTo = 12;

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void PutLe16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

Octets OctetsAt(const std::uint8_t* p) {
    return {p[0], p[1], p[2], p[3]};
}

}  // namespace

std::array<std::uint8_t, kDiscoveryBytes> DiscoveryDatagram() {
    std::array<std::uint8_t, kDiscoveryBytes> datagram{};
    for (std::size_t i = 0; i < datagram.size(); ++i) {
        datagram[i] = static_cast<std::uint8_t>('0' + i % 10);
    }
    return datagram;
}

std::optional<LanEndpoint> ParseDiscoveryReply(const std::uint8_t* reply, std::size_t length) {
    if (reply == nullptr || length < kDiscoveryReplyBytes) {
        return std::nullopt;
    }
    LanEndpoint endpoint;
    endpoint.localAddress = OctetsAt(reply + kReplyLocal);
    endpoint.serverPort = Le16(reply + kReplyServerPort);
    endpoint.moduleAddress = OctetsAt(reply + kReplyModule);
    endpoint.clientPort = Le16(reply + kReplyClientPort);
    // Low four bits 1: the adapter connects, so this program listens.
    endpoint.linkMode = (reply[kReplyMode] & 0x0F) == 1 ? 0 : 1;
    return endpoint;
}

std::optional<Octets> ParseDottedAddress(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return Octets{};
    }
    const std::size_t last = text.find_last_not_of(" \t");
    const std::string dotted = text.substr(first, last - first + 1);
    std::uint8_t inOrder[4] = {0, 0, 0, 0};
    std::size_t part = 0;
    std::size_t at = 0;
    for (;;) {
        std::size_t end = at;
        int value = 0;
        while (end < dotted.size() && end - at < 3 && dotted[end] >= '0' && dotted[end] <= '9') {
            value = value * 10 + (dotted[end] - '0');
            ++end;
        }
        if (end == at || value > 255 || part == 4) {
            return std::nullopt;
        }
        inOrder[part++] = static_cast<std::uint8_t>(value);
        if (end == dotted.size()) {
            break;
        }
        if (dotted[end] != '.') {
            return std::nullopt;
        }
        at = end + 1;
    }
    return Octets{inOrder[3], inOrder[2], inOrder[1], inOrder[0]};
}

std::string FormatAddress(const Octets& a) {
    return std::to_string(a[3]) + "." + std::to_string(a[2]) + "." + std::to_string(a[1]) + "." +
           std::to_string(a[0]);
}

std::uint32_t NetworkOrder(const Octets& a) {
    // In memory: first octet first, whatever the host's byte order.
    const std::uint8_t bytes[4] = {a[3], a[2], a[1], a[0]};
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

bool IsConfigTag(const std::string& tag) {
    if (tag.size() != kConfigTagDigits) {
        return false;
    }
    for (const char c : tag) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::array<std::uint8_t, kConfigurationBytes> ConfigurationDatagram(const DiscoveryReply& reply,
                                                                    const LanEndpoint& endpoint,
                                                                    const std::string& tag,
                                                                    int baud) {
    std::array<std::uint8_t, kConfigurationBytes> d{};
    std::memcpy(d.data(), reply.data(), kIdentityBytes);
    std::memcpy(d.data() + kIdentityBytes, tag.data(), std::min(tag.size(), kConfigTagDigits));
    // The bytes the adapter gave and this program does not interpret go back
    // as they came.
    std::memcpy(d.data() + kEchoTo, reply.data() + kEchoFrom, kConfigurationBytes - kEchoTo);
    const Octets& l = endpoint.localAddress;
    const Octets& m = endpoint.moduleAddress;
    d[12] = l[3];
    d[13] = l[2];
    d[14] = l[1];
    d[15] = l[0];
    PutLe16(&d[16], endpoint.serverPort);
    d[18] = m[3];
    d[19] = m[2];
    d[20] = m[1];
    d[21] = m[0];
    PutLe16(&d[22], endpoint.clientPort);
    d[24] = l[1];
    d[25] = l[0];
    d[26] = l[3];
    d[27] = l[2];
    d[28] = endpoint.linkMode != 0 ? 3 : 1;
    d[29] = static_cast<std::uint8_t>(baud);
    d[30] = static_cast<std::uint8_t>(baud >> 8);
    d[31] = static_cast<std::uint8_t>(baud >> 16);
    d[32] = 3;
    d[35] = 0x80;
    return d;
}

}  // namespace kyto::link
