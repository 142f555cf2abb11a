#pragma once

// The loopback-only guard of the socket link (KYTO_LOOPBACK_ONLY, see
// KytoSocket.h): tests, benchmarks and demos run with it so that no datagram
// or connection of theirs can leave the machine, whatever a settings file
// says.

#include <netinet/in.h>

namespace kyto::link {

// The guard is on: KYTO_LOOPBACK_ONLY is set and not "0".
bool LoopbackOnly();
// The address (network byte order) may be sent to or connected with.
bool DestinationAllowed(in_addr_t address);

}  // namespace kyto::link
