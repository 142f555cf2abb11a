#pragma once

#include "album/AlbumDevice.h"

class CDeviceMngr;

// IAlbumDevice on the application's device manager.
class CDeviceAlbum : public IAlbumDevice {
public:
    explicit CDeviceAlbum(CDeviceMngr& device) : device_(device) {}

    int GetVersion(std::uint8_t& status) override;
    int SaveAlbum(AlbumImage& image, std::uint8_t& status) override;
    int LoadAlbum(const AlbumImage& image, std::uint8_t& status) override;
    int WriteAlbumToFlash(std::uint8_t& status) override;
    int ReformatAlbum(std::uint8_t& status) override;
    int GetRegisteredData(int id, std::uint16_t& mask, std::uint8_t& status) override;
    int Register(int id, int dataNumber, int count, CImageData& picture,
                 std::uint8_t& status) override;
    int DeleteData(int id, int dataNumber, int count, std::uint8_t& status) override;
    int DeleteUser(int id, int count, std::uint8_t& status) override;
    int DeleteAll(int count, std::uint8_t& status) override;
    int GetAlbumType(int& type, std::uint8_t& status) override;
    int SetAlbumType(int type, std::uint8_t& status) override;
    int SaveAlbumMs() override;
    int LoadAlbumMs() override;

private:
    CDeviceMngr& device_;
};
