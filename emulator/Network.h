#pragma once

#include <array>
#include <cstdint>
#include <string>

// The module behind a network adapter: TCP on the loopback interface instead
// of the pseudo-terminal, and the adapter's UDP discovery answer.
namespace kyto::emu {

// A listening TCP socket on 127.0.0.1:port (0 = any free port); -1 on error.
int ListenTcp(int port, int& boundPort, std::string& error);
// The next waiting connection of a listener, non-blocking; -1 if none.
int AcceptTcp(int listener);
// A connected TCP socket to 127.0.0.1:port, or -1 (nobody listening yet).
int ConnectTcp(int port);
// A UDP socket bound to 127.0.0.1:port (0 = any free port); -1 on error.
int BindUdp(int port, int& boundPort, std::string& error);

constexpr std::size_t kDiscoveryBytes = 40;  // "0123456789" four times
constexpr std::size_t kDiscoveryReplyBytes = 35;
constexpr std::size_t kConfigurationBytes = 40;
constexpr std::uint8_t kAdapterIdentity[6] = {'K', 'Y', 'E', 'M', 'U', '1'};
// The six digits this adapter expects in its configuration datagram.
constexpr const char* kDefaultConfigTag = "123456";

using Reply = std::array<std::uint8_t, kDiscoveryReplyBytes>;

bool IsDiscoveryRequest(const std::uint8_t* data, std::size_t size);
// The mode byte (reply byte 23) that tells the host to listen or connect.
std::uint8_t ModeByte(bool appListens);
// The adapter's answer: addresses 127.0.0.1; the application listens on
// serverPort when the low four bits of modeByte are 1, else connects to
// clientPort. The bytes the adapter keeps for itself (19..22, 24..34) hold a
// fixed pattern, so that a host that does not echo them is caught.
Reply DiscoveryReply(std::uint8_t modeByte, int serverPort, int clientPort);

// What a configuration datagram did for the adapter that sent reply.
struct Configuration {
    bool addressed = false;  // bytes 0..5 are this adapter's identity
    bool valid = false;      // every byte as expected
    int baud = 0;            // bytes 29..31
    std::string problem;     // the first byte that differs, for the log
};
// Checks every byte of a configuration datagram against the one a host must
// build from reply and tag (the baud rate is the caller's to judge).
Configuration CheckConfiguration(const std::uint8_t* data, std::size_t size, const Reply& reply,
                                 const std::string& tag);

}  // namespace kyto::emu
