// The TCPIP setting's address text: whatever the user typed or the INI file
// holds. An accepted text must be one to four decimal octets with blanks
// around only, give exactly those octets, and come back unchanged through
// FormatAddress; blanks added around it never change the answer.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "link/Discovery.h"

using namespace kyto::link;

namespace {

// The octets the text names, read the plain way, or nullopt when it is no
// address; blank text is all zeros.
bool PlainParts(const std::string& text, Octets& octets) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        octets = Octets{};
        return true;
    }
    const std::size_t last = text.find_last_not_of(" \t");
    const std::string dotted = text.substr(first, last - first + 1);
    octets = Octets{};
    int parts = 0;
    int value = 0;
    int digits = 0;
    for (std::size_t i = 0; i <= dotted.size(); ++i) {
        if (i < dotted.size() && dotted[i] >= '0' && dotted[i] <= '9') {
            value = value * 10 + (dotted[i] - '0');
            if (++digits > 3 || value > 255) {
                return false;
            }
            continue;
        }
        if (digits == 0 || parts == 4 || (i < dotted.size() && dotted[i] != '.')) {
            return false;
        }
        octets[3 - parts++] = static_cast<std::uint8_t>(value);
        value = 0;
        digits = 0;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<Octets> parsed = ParseDottedAddress(text);
    Octets expected{};
    if (parsed.has_value() != PlainParts(text, expected)) {
        std::abort();
    }
    if (ParseDottedAddress(" \t" + text + "\t ") != parsed) {
        std::abort();
    }
    if (!parsed) {
        return 0;
    }
    if (*parsed != expected) {
        std::abort();
    }
    const std::string formatted = FormatAddress(*parsed);
    const std::optional<Octets> again = ParseDottedAddress(formatted);
    if (!again || *again != *parsed || FormatAddress(*again) != formatted) {
        std::abort();
    }
    return 0;
}
