#include "album/AlbumImage.h"

#include <cstring>

#include "album/PictureFile.h"
#include "base/AtomicFile.h"
#include "base/ByteOrder.h"
#include "settings/FileOperate.h"

int ParseAlbumImageFile(const std::uint8_t* bytes, std::size_t size, AlbumImage& image) {
    if (bytes == nullptr || size < kMinAlbumImageFile) {
        return -1;
    }
    const auto length = static_cast<std::uint32_t>(LoadLeI32(bytes));
    if (length > size - kAlbumImageHeaderSize) {
        return -1;
    }
    image.attribute = bytes[4];
    std::memcpy(image.reserved, bytes + 5, 3);
    image.data.assign(bytes + kAlbumImageHeaderSize, bytes + kAlbumImageHeaderSize + length);
    return 0;
}

std::vector<std::uint8_t> EncodeAlbumImageFile(const AlbumImage& image) {
    std::vector<std::uint8_t> bytes(kAlbumImageHeaderSize + image.data.size());
    StoreLe32(bytes.data(), static_cast<std::int32_t>(image.data.size()));
    bytes[4] = image.attribute;
    std::memcpy(bytes.data() + 5, image.reserved, 3);
    if (!image.data.empty()) {
        std::memcpy(bytes.data() + kAlbumImageHeaderSize, image.data.data(), image.data.size());
    }
    return bytes;
}

int ReadAlbumImageFile(const std::string& path, AlbumImage& image) {
    std::vector<std::uint8_t> bytes;
    if (CFileOperate::ReadFileBytes(path, bytes, kMaxAlbumImageFile) != 0) {
        return -1;
    }
    return ParseAlbumImageFile(bytes.data(), bytes.size(), image);
}

int WriteAlbumImageFile(const std::string& path, const AlbumImage& image) {
    if (image.data.size() < kMinAlbumImageData || image.data.size() > 0x7FFFFFFF) {
        return -1;
    }
    const std::vector<std::uint8_t> bytes = EncodeAlbumImageFile(image);
    return WriteFileAtomically(path, bytes.data(), bytes.size());
}
