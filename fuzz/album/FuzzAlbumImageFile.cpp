// Album image files (.kyb): short files and lengths beyond the data must be
// refused without reading past the bytes, and accepted ones round-trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "album/AlbumImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AlbumImage image;
    if (ParseAlbumImageFile(data, size, image) != 0) {
        return 0;
    }
    const std::vector<std::uint8_t> again = EncodeAlbumImageFile(image);
    if (again.size() > size || std::memcmp(again.data(), data, again.size()) != 0) {
        std::abort();
    }
    return 0;
}
