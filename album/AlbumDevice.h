#pragma once

#include <cstdint>

#include "album/AlbumImage.h"

class CImageData;

// The module commands the album operations use. Each returns the result code
// of the device protocol (0 = exchange complete) and leaves the module's
// response byte in `status` when the module answered. CDeviceAlbum maps it
// onto the device manager; tests put a scripted module behind it.
class IAlbumDevice {
public:
    virtual ~IAlbumDevice() = default;
    virtual int GetVersion(std::uint8_t& status) = 0;
    virtual int SaveAlbum(AlbumImage& image, std::uint8_t& status) = 0;
    virtual int LoadAlbum(const AlbumImage& image, std::uint8_t& status) = 0;
    virtual int WriteAlbumToFlash(std::uint8_t& status) = 0;
    virtual int ReformatAlbum(std::uint8_t& status) = 0;
    // Bit j of mask set = data number j (0..9) of the user is registered.
    virtual int GetRegisteredData(int id, std::uint16_t& mask, std::uint8_t& status) = 0;
    // The module's face picture of the new datum lands in `picture`.
    virtual int Register(int id, int dataNumber, int count, CImageData& picture,
                         std::uint8_t& status) = 0;
    virtual int DeleteData(int id, int dataNumber, int count, std::uint8_t& status) = 0;
    virtual int DeleteUser(int id, int count, std::uint8_t& status) = 0;
    virtual int DeleteAll(int count, std::uint8_t& status) = 0;
    virtual int GetAlbumType(int& type, std::uint8_t& status) = 0;
    virtual int SetAlbumType(int type, std::uint8_t& status) = 0;
    // Expected transfer times of Save Album and Load Album at the current
    // baud rate, in milliseconds (progress estimate).
    virtual int SaveAlbumMs() = 0;
    virtual int LoadAlbumMs() = 0;
};
