// Save Album answers and Load Album payloads.
#include "album/AlbumTransfer.h"

#include <cstring>

#include "base/ByteOrder.h"
#include "protocol/ResultCodes.h"

int DecodeAlbumTransfer(const std::uint8_t* payload, std::size_t size, AlbumImage& image) {
    if (payload == nullptr || size < kAlbumTransferMin) {
        return kResultCommError;
    }
    // An album size past the bytes received or the area would copy stale or
    // foreign memory: the answer is corrupt.
    const std::uint32_t length = LoadLe32(payload);
    if (length > size - kAlbumTransferHeaderSize || length > kAlbumAreaSize) {
        return kResultCommError;
    }
    image.attribute = payload[4];
    image.reserved[0] = image.reserved[1] = image.reserved[2] = 0;
    image.data.assign(payload + kAlbumTransferHeaderSize,
                      payload + kAlbumTransferHeaderSize + length);
    return kResultOk;
}

bool EncodeAlbumTransfer(const AlbumImage& image, std::vector<std::uint8_t>& payload) {
    if (image.data.size() > kAlbumAreaSize) {
        return false;
    }
    payload.assign(kAlbumTransferHeaderSize + image.data.size(), 0);
    StoreLe32(payload.data(), static_cast<std::uint32_t>(image.data.size()));
    payload[4] = image.attribute;
    if (!image.data.empty()) {
        std::memcpy(payload.data() + kAlbumTransferHeaderSize, image.data.data(),
                    image.data.size());
    }
    return true;
}
