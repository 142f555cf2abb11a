// Face picture files of the store: any header, any length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "album/PictureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CImageData picture;
    if (DecodePicture(data, size, picture) != 0) {
        return 0;
    }
    if (picture.Size() + kPictureHeaderSize > size) {
        std::abort();  // more pixels than the file held
    }
    const std::vector<std::uint8_t> again = EncodePicture(picture);
    CImageData reread;
    if (DecodePicture(again.data(), again.size(), reread) != 0 || reread.Size() != picture.Size()) {
        std::abort();
    }
    return 0;
}
