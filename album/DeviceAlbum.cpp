#include "album/DeviceAlbum.h"

#include <algorithm>
#include <cstring>

#include "album/AlbumTransfer.h"
#include "album/PictureFile.h"
#include "base/ImageData.h"
#include "protocol/DeviceMngr.h"
#include "protocol/ResultCodes.h"

namespace {

// The interface still hands the status back through a reference.
int Split(const DeviceReply& reply, std::uint8_t& status) {
    status = reply.status;
    return reply.result;
}

}  // namespace

int CDeviceAlbum::GetVersion(std::uint8_t& status) {
    VersionInfo version;
    return Split(device_.GetVersion(version), status);
}

int CDeviceAlbum::SaveAlbum(AlbumImage& image, std::uint8_t& status) {
    // A model without Save Album has an empty album to give.
    if (!device_.IsSupported(kCmdSaveAlbum)) {
        image = AlbumImage{};
        return Split(DeviceReply::Success(), status);
    }
    std::vector<std::uint8_t> payload;
    const int result = Split(device_.SaveAlbum(payload), status);
    if (result != 0 || status != 0) {
        return result;
    }
    return DecodeAlbumTransfer(payload.data(), payload.size(), image);
}

int CDeviceAlbum::LoadAlbum(const AlbumImage& image, std::uint8_t& status) {
    std::vector<std::uint8_t> payload;
    if (!EncodeAlbumTransfer(image, payload)) {
        return kResultOverflow;
    }
    return Split(device_.LoadAlbum(payload.data(), payload.size()), status);
}

int CDeviceAlbum::WriteAlbumToFlash(std::uint8_t& status) {
    return Split(device_.WriteAlbumToFlash(), status);
}

int CDeviceAlbum::ReformatAlbum(std::uint8_t& status) {
    return Split(device_.ReformatAlbum(), status);
}

int CDeviceAlbum::GetRegisteredData(int id, std::uint16_t& mask, std::uint8_t& status) {
    std::uint8_t flags[10] = {};
    const int result = Split(device_.GetRegisteredData(id, flags), status);
    mask = 0;
    for (int j = 0; j < 10; ++j) {
        if (flags[j]) {
            mask = static_cast<std::uint16_t>(mask | (1u << j));
        }
    }
    return result;
}

int CDeviceAlbum::Register(int id, int dataNumber, int count, CImageData& picture,
                           std::uint8_t& status) {
    FacePicture face;
    int width = 0;
    int height = 0;
    const int result = Split(device_.Register(id, dataNumber, count, face, width, height), status);
    if (result != 0 || status != 0) {
        return result;
    }
    std::size_t size = 0;
    if (width <= 0 || height <= 0 || !PictureByteSize(width, height, kPictureFormat, size)) {
        return result;  // no picture: the caller's blank one stays
    }
    picture.Init(width, height, kPictureFormat, kPicturePacked);
    std::memset(picture.Pixels(), 0, picture.Size());
    // The module sends rows without padding; stop at what it delivered.
    const int delivered = std::clamp(face.bytes, 0, FacePicture::kCapacity);
    for (int row = 0; row < height; ++row) {
        const int start = row * width;
        if (start >= delivered) {
            break;
        }
        const int n = std::min(width, delivered - start);
        std::memcpy(picture.Pixels() + static_cast<std::size_t>(row) * picture.RowBytes(),
                    face.pixels.data() + start, static_cast<std::size_t>(n));
    }
    return result;
}

int CDeviceAlbum::DeleteData(int id, int dataNumber, int count, std::uint8_t& status) {
    return Split(device_.DeleteData(id, dataNumber, count), status);
}

int CDeviceAlbum::DeleteUser(int id, int count, std::uint8_t& status) {
    return Split(device_.DeleteUser(id, count), status);
}

int CDeviceAlbum::DeleteAll(int count, std::uint8_t& status) {
    return Split(device_.DeleteAll(count), status);
}

int CDeviceAlbum::GetAlbumType(int& type, std::uint8_t& status) {
    return Split(device_.GetAlbumType(type), status);
}

int CDeviceAlbum::SetAlbumType(int type, std::uint8_t& status) {
    return Split(device_.SetAlbumType(type), status);
}

int CDeviceAlbum::SaveAlbumMs() {
    return device_.LookupTimeLimit(kCmdSaveAlbum);
}

int CDeviceAlbum::LoadAlbumMs() {
    return device_.LookupTimeLimit(kCmdLoadAlbum);
}
