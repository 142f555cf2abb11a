#include "album/PictureFile.h"

#include <cstring>

#include "base/ByteOrder.h"

void InitBlankPicture(CImageData& picture) {
    picture.Init(kPictureSide, kPictureSide, kPictureFormat, kPicturePacked);
    if (picture.Size() > 0) {
        std::memset(picture.Pixels(), 0, picture.Size());
    }
}

bool PictureByteSize(int width, int height, std::uint32_t format, std::size_t& size) {
    constexpr int kMaxSide = 65536;
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) {
        return false;
    }
    size = CImageData::ByteSize(width, height, format, kPicturePacked);
    return true;
}

std::vector<std::uint8_t> EncodePicture(const CImageData& picture) {
    std::vector<std::uint8_t> bytes(kPictureHeaderSize + picture.Size());
    StoreLe32(bytes.data(), picture.Width());
    StoreLe32(bytes.data() + 4, picture.Height());
    StoreLe32(bytes.data() + 8, static_cast<std::int32_t>(picture.Format()));
    if (picture.Size() > 0) {
        std::memcpy(bytes.data() + kPictureHeaderSize, picture.Pixels(), picture.Size());
    }
    return bytes;
}

int DecodePicture(const std::uint8_t* data, std::size_t size, CImageData& picture) {
    if (data == nullptr || size < kPictureHeaderSize) {
        return -1;
    }
    const int width = LoadLeI32(data);
    const int height = LoadLeI32(data + 4);
    const auto format = static_cast<std::uint32_t>(LoadLeI32(data + 8));
    std::size_t pixels = 0;
    if (!PictureByteSize(width, height, format, pixels) || pixels > size - kPictureHeaderSize) {
        return -1;
    }
    picture.Init(width, height, format, kPicturePacked);
    if (pixels > 0 && picture.Size() >= pixels) {
        std::memcpy(picture.Pixels(), data + kPictureHeaderSize, pixels);
    }
    return 0;
}
