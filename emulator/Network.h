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
constexpr std::uint8_t kAdapterIdentity[6] = {'K', 'Y', 'E', 'M', 'U', '1'};

bool IsDiscoveryRequest(const std::uint8_t* data, std::size_t size);
// The adapter's answer: addresses 127.0.0.1; the application listens on
// serverPort when appListens, else connects to clientPort.
std::array<std::uint8_t, kDiscoveryReplyBytes> DiscoveryReply(bool appListens, int serverPort,
                                                              int clientPort);
// A configuration datagram addressed to this adapter; its baud rate out.
bool IsConfiguration(const std::uint8_t* data, std::size_t size, int& baud);

}  // namespace kyto::emu
