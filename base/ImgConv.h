#pragma once

#include <cstdint>

#include "base/ImageData.h"

// Pixel-format converter. Only grey (one byte per pixel) to 24-bit colour is
// supported; every other pair reports an error.
class CImgConv {
public:
    CImgConv(int width, int height, std::uint32_t sourceFormat, std::uint32_t destFormat);

    // 0 on success, -1 for an unsupported pair or a buffer that is too small
    // (rows shorter than the width, or a description whose stated width and
    // height are smaller than the converter's).
    int Convert(const IMGCONVINFO& source, IMGCONVINFO* dest, bool reserved = false) const;
    // Byte size of the destination image (rows padded to 4 bytes).
    int GetConvertImgSize(int* size, int* rowBytes, int* planes, bool reserved = false) const;

private:
    bool Covers(const IMGCONVINFO& info) const;

    int width_;
    int height_;
    std::uint32_t source_;
    std::uint32_t dest_;
};
