// Execute answers of any shape: flags (2 bytes), image type, stabilisation,
// extended form and caller buffer size come from the first bytes, the rest is
// the payload. As in the application, only a stabilised frame has tracking
// IDs that reorder the lists: that sort of up to 255 faces costs several
// times the decoding, so the inputs without it let the decoder run that much
// more often.
// The buffers are made once: libFuzzer's own copy of the input has exactly
// its size, and each image buffer exactly its capacity, so a read or write
// past either end is still caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/RawDetectResult.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    const std::uint16_t flags = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const int imageType = data[2] % 4;
    const bool stabilised = (data[2] & 4) != 0;
    const bool extended = (data[3] & 1) != 0;
    // Caller buffers from empty to larger than any type.
    static std::vector<std::uint8_t> images[] = {
        std::vector<std::uint8_t>(0), std::vector<std::uint8_t>(1),
        std::vector<std::uint8_t>(19200), std::vector<std::uint8_t>(76800),
        std::vector<std::uint8_t>(100000)};
    std::vector<std::uint8_t>& image = images[(data[3] >> 1) % 5];
    data += 4;
    size -= 4;

    static RawDetectResult raw;
    static CFrameResult frame;
    raw.Clear();
    raw.imagePixels = image.empty() ? nullptr : image.data();
    raw.imageCapacity = image.size();
    const std::size_t used = DecodeExecute(size, data, flags, imageType, extended, raw);
    if (used > size) {
        __builtin_trap();
    }
    AppendVerifyFiller(raw);
    ToFrameResult(raw, frame);
    // Without stabilisation every tracking ID is -1 and the order stays (the
    // sort only stamps the IDs); with it the first records get IDs out of
    // order.
    int ids[35];
    for (int i = 0; i < 35; ++i) {
        ids[i] = stabilised ? (i * 7919) % 13 - 1 : -1;
    }
    SortByTrackingId(frame.bodies, ids);
    SortByTrackingId(frame.faces, ids);
    // The accessors check the index against the list: the ends and one
    // step beyond them show any slip (every face would only cost time).
    const int count = frame.FaceCount();
    for (const int i : {-1, 0, count / 2, count - 1, count}) {
        int a, b, c, d, e;
        int scores[5];
        frame.GetFaceDetect(i, a, b, c, d, e);
        frame.GetFaceExpression(i, a, b, c, scores);
        frame.GetFaceVerify(i, a, b);
    }
    return 0;
}
