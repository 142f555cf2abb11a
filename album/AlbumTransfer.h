#pragma once

// The Album as it crosses the line. A Save Album answer and a Load Album
// payload hold the album size S (32-bit), the attribute byte, three zero
// bytes and the S album bytes; S is at most the module's album area. The
// device manager moves these bytes; this file gives them their meaning.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "album/AlbumImage.h"

// The module's album area: the largest album it holds.
inline constexpr std::size_t kAlbumAreaSize = 816032;
static_assert(kMaxAlbumImageFile == kAlbumImageHeaderSize + kAlbumAreaSize,
              "an album image file holds at most the module's album area");
// Size, attribute and three zero bytes in front of the album bytes.
inline constexpr std::size_t kAlbumTransferHeaderSize = 8;
// The smallest answer that holds an album (32 album bytes).
inline constexpr std::size_t kAlbumTransferMin = 40;

// 0 with the album in `image` (reserved bytes zero), or kResultCommError
// (-30) when the answer holds no album: shorter than kAlbumTransferMin, or an
// album size beyond the bytes that arrived or the module's area. The image
// is then unchanged. Bytes after the album are ignored.
int DecodeAlbumTransfer(const std::uint8_t* payload, std::size_t size, AlbumImage& image);

// The Load Album payload of the image (the reserved bytes go out as zeros);
// false, with the payload untouched, when the album exceeds the module's area.
bool EncodeAlbumTransfer(const AlbumImage& image, std::vector<std::uint8_t>& payload);
