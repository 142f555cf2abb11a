// The network adapter's discovery reply: bytes from the network, of any
// length and content. The reply is handed over in an area of exactly its
// size (AddressSanitizer catches any read past it); whatever it says must
// give a mode of 0 or 1 and a configuration datagram built from it alone.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "link/Discovery.h"

using namespace kyto::link;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto reply = std::make_unique<std::uint8_t[]>(size);
    if (size > 0) {
        std::memcpy(reply.get(), data, size);
    }
    const std::optional<LanEndpoint> endpoint = ParseDiscoveryReply(reply.get(), size);
    if (endpoint.has_value() != (size >= kDiscoveryReplyBytes)) {
        std::abort();
    }
    if (!endpoint) {
        return 0;
    }
    if (endpoint->linkMode != 0 && endpoint->linkMode != 1) {
        std::abort();
    }
    DiscoveryReply stored{};
    std::memcpy(stored.data(), reply.get(), stored.size());
    const auto configuration = ConfigurationDatagram(stored, *endpoint, "123456", 921600);
    // The identity goes back unchanged; the address fields are the reply's.
    if (std::memcmp(configuration.data(), reply.get(), 6) != 0 || configuration[12] != reply[10] ||
        configuration[21] != reply[13] ||
        (configuration[16] | configuration[17] << 8) != endpoint->serverPort) {
        std::abort();
    }
    return 0;
}
