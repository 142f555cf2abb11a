#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/ImageData.h"

// Registration pictures: 64×64, one byte per pixel.
inline constexpr int kPictureSide = 64;
inline constexpr std::uint32_t kPictureFormat = kFormatGrey8;
// Pictures keep padded rows, as CImageData does by default.
inline constexpr bool kPicturePacked = false;
// Size of the header of a picture file: width, height, format code.
inline constexpr std::size_t kPictureHeaderSize = 12;

// A blank 64×64 registration picture.
void InitBlankPicture(CImageData& picture);

// Byte size of a picture of this geometry, computed without overflow; false
// for negative or absurd sizes (beyond 65536 pixels a side).
bool PictureByteSize(int width, int height, std::uint32_t format, std::size_t& size);

// The bytes of a picture file: 12-byte little-endian header and the pixels.
std::vector<std::uint8_t> EncodePicture(const CImageData& picture);

// Builds a picture from the bytes of a picture file. A file too short for
// its header or for the pixels its geometry needs is rejected (-1) and the
// picture is left as it was.
int DecodePicture(const std::uint8_t* data, std::size_t size, CImageData& picture);
