#pragma once

// The datagrams of the network adapter: the discovery request, the parser of
// its reply and the configuration datagram built from that reply. Pure byte
// work, separate from the sockets so that it can be tested and fuzzed alone.
//
// Addresses are kept as the adapter stores them: four octets, last first
// (127.0.0.1 is {1, 0, 0, 127}), so that read as a little-endian number they
// give the address in host byte order.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kyto::link {

constexpr std::size_t kDiscoveryBytes = 40;       // "0123456789" four times
constexpr std::size_t kDiscoveryReplyBytes = 35;  // the part of the reply that is used
constexpr std::size_t kConfigurationBytes = 40;
constexpr std::size_t kConfigTagDigits = 6;
constexpr int kDiscoveryUdpPort = 1500;

using Octets = std::array<std::uint8_t, 4>;  // last octet first
using DiscoveryReply = std::array<std::uint8_t, kDiscoveryReplyBytes>;

// Where the socket link goes: the adapter's view of both ends and who
// connects to whom. linkMode 0: this program listens on serverPort;
// 1: it connects to moduleAddress:clientPort.
struct LanEndpoint {
    Octets localAddress{};
    Octets moduleAddress{};
    std::uint16_t serverPort = 0;
    std::uint16_t clientPort = 0;
    int linkMode = 1;
};

std::array<std::uint8_t, kDiscoveryBytes> DiscoveryDatagram();

// The endpoint a reply describes, when at least kDiscoveryReplyBytes came
// back (only those are used); anything shorter (nothing, a fragment) is no
// reply. Every value is taken from its own bytes, so any content gives a
// port of 16 bits, four octets and a mode of 0 or 1.
std::optional<LanEndpoint> ParseDiscoveryReply(const std::uint8_t* reply, std::size_t length);

// Dotted text as the TCPIP setting holds it: one to four decimal octets
// (missing ones are 0), each 0..255, blanks around the text ignored. Empty
// text is all zeros; anything else is nullopt.
std::optional<Octets> ParseDottedAddress(const std::string& text);
std::string FormatAddress(const Octets& address);
// The address as SocketOpen takes it (network byte order).
std::uint32_t NetworkOrder(const Octets& address);

// Exactly kConfigTagDigits ASCII decimal digits.
bool IsConfigTag(const std::string& tag);

// The configuration datagram: the reply's identity, the tag, a copy of reply
// bytes 7..34 with the endpoint, the mode and the baud rate written over it.
// tag must satisfy IsConfigTag.
std::array<std::uint8_t, kConfigurationBytes> ConfigurationDatagram(const DiscoveryReply& reply,
                                                                    const LanEndpoint& endpoint,
                                                                    const std::string& tag,
                                                                    int baud);

}  // namespace kyto::link
