// Album files (.kyl) from anywhere: the reader must stay inside the bytes it
// has, and whatever it accepts must encode back to a file it reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "album/AlbumFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AlbumFileData parsed;
    if (ParseAlbumFile(data, size, parsed) != 0) {
        return 0;
    }
    const std::vector<std::uint8_t> again = EncodeAlbumFile(parsed, {});
    AlbumFileData reread;
    if (ParseAlbumFile(again.data(), again.size(), reread) != 0 ||
        reread.users.size() != parsed.users.size() || !(reread.image == parsed.image) ||
        reread.registCount != parsed.registCount) {
        std::abort();
    }
    return 0;
}
