// The response reader fed arbitrary bytes from the link. The first two input
// bytes choose the space the caller offers and whether an observer listens;
// the rest is what the module sent. The caller's buffer has exactly the
// offered size, so any write past it is caught by AddressSanitizer.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/DeviceLink.h"
#include "link/MemoryTransport.h"
#include "protocol/KytoProtocol.h"

namespace {

class CountingObserver : public IFrameObserver {
public:
    void OnFrame(int direction, const std::string&, int length,
                 const std::uint8_t* bytes) override {
        if (direction != -1 || length < 0 || (length > 0 && bytes == nullptr)) {
            std::abort();
        }
        // Touch every reported byte.
        for (int i = 0; i < length; ++i) {
            sum_ += bytes[i];
        }
    }

private:
    unsigned sum_ = 0;
};

struct Harness {
    Harness() { link.SetTransport(&transport); }
    CMemoryTransport transport;
    CDeviceLink link;
    CKytoProtocol protocol{&link};
    CountingObserver observer;
};

bool Known(int result) {
    switch (result) {
        case kResultOk:
        case kResultTimeout:
        case kResultShortHeader:
        case kResultBadSync:
        case kResultBadLength:
        case kResultOverflow:
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Harness* harness = new Harness();
    if (size < 2) {
        return 0;
    }
    static const int kCapacities[] = {0, 1, 2, 6, 16, 255, 4096, 76847};
    const int offered = kCapacities[data[0] % 8];
    harness->protocol.SetObserver((data[1] & 1) ? &harness->observer : nullptr);
    harness->transport.Clear();
    harness->transport.Feed(data + 2, size - 2);

    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(offered));
    // Read frame after frame until the bytes run out (a time limit of 0 looks
    // once, so running dry ends at once with a time-out).
    for (int frames = 0; frames < 64; ++frames) {
        int capacity = offered;
        std::uint8_t code = 0;
        const int result = harness->protocol.ReadResponse("Execute", 0, capacity, code,
                                                          offered > 0 ? buffer.data() : nullptr);
        if (!Known(result) || capacity < 0 || capacity > offered) {
            std::abort();
        }
        if (result != kResultOk && result != kResultOverflow) {
            break;
        }
    }
    return 0;
}
