// The loopback-only guard: one environment check, read at each use so that a
// test may set it before its first connection.
#include "link/NetGuard.h"

#include <cstdlib>
#include <cstring>

namespace kyto::link {

bool LoopbackOnly() {
    const char* value = std::getenv("KYTO_LOOPBACK_ONLY");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

bool DestinationAllowed(in_addr_t address) {
    return !LoopbackOnly() || (ntohl(address) >> 24) == 127;
}

}  // namespace kyto::link
