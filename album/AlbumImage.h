#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The module's Album as exchanged by Save Album and Load Album: an opaque
// block of data with the attribute byte the module sends along. The
// application stores, compares and returns it unchanged.
struct AlbumImage {
    std::uint8_t attribute = 0;
    std::uint8_t reserved[3] = {0, 0, 0};  // kept, never compared
    std::vector<std::uint8_t> data;

    std::size_t Length() const { return data.size(); }
    bool operator==(const AlbumImage& other) const {
        return attribute == other.attribute && data == other.data;
    }
};

// Album image files (.kyb): 4-byte little-endian length N, attribute byte,
// three reserved bytes, N data bytes.
inline constexpr std::size_t kAlbumImageHeaderSize = 8;
inline constexpr std::size_t kMinAlbumImageData = 32;
inline constexpr std::size_t kMinAlbumImageFile = kAlbumImageHeaderSize + kMinAlbumImageData;
// The largest one the reader takes: the header and the module's whole album
// area (816,032 bytes, as kAlbumAreaSize of AlbumTransfer.h).
inline constexpr std::size_t kMaxAlbumImageFile = kAlbumImageHeaderSize + 816032;

// -1 for files shorter than 40 bytes or shorter than their header says; the
// image is then unchanged. Bytes after the data are ignored.
int ParseAlbumImageFile(const std::uint8_t* bytes, std::size_t size, AlbumImage& image);
std::vector<std::uint8_t> EncodeAlbumImageFile(const AlbumImage& image);

int ReadAlbumImageFile(const std::string& path, AlbumImage& image);
// Refuses images of fewer than 32 data bytes (-1, no file); atomic replace.
int WriteAlbumImageFile(const std::string& path, const AlbumImage& image);
