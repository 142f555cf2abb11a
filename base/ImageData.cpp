#include "base/ImageData.h"

#include <climits>

int BytesPerPixel(std::uint32_t format) {
    switch (format) {
        case kFormatGrey8:
        case 0x21C03044:
        case 0x81000004:
        case 0x81C03044:
            return 1;
        case kFormatRgb565:
        case 0x4D051555:
            return 2;
        case kFormatRgb24:
            return 3;
        case kFormatRgb32:
            return 4;
        default:
            return 0;
    }
}

int CImageData::RowBytes(int width, std::uint32_t format, bool packed) {
    const int bpp = BytesPerPixel(format);
    // Widths whose padded row would not fit an int are refused like unknown
    // formats rather than wrapping into a small buffer.
    if (width <= 0 || bpp == 0 || width > (INT_MAX - 3) / bpp) {
        return 0;
    }
    const int raw = width * bpp;
    return packed ? raw : (raw + 3) / 4 * 4;
}

std::size_t CImageData::ByteSize(int width, int height, std::uint32_t format, bool packed) {
    if (height <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(RowBytes(width, format, packed)) *
           static_cast<std::size_t>(height);
}

bool CImageData::Init(int width, int height, std::uint32_t format, bool packed) {
    if (initialised_ && width == width_ && height == height_ && format == format_ &&
        packed == packed_) {
        return false;
    }
    width_ = width;
    height_ = height;
    format_ = format;
    packed_ = packed;
    initialised_ = true;
    rowBytes_ = RowBytes(width, format, packed);
    pixels_.assign(ByteSize(width, height, format, packed), 0);
    return true;
}

IMGCONVINFO CImageData::Info() const {
    IMGCONVINFO info;
    // The description is also used for sources; the converter never writes
    // through a source plane.
    info.plane[0] = pixels_.empty() ? nullptr : const_cast<std::uint8_t*>(pixels_.data());
    info.rowBytes[0] = rowBytes_;
    info.width = width_;
    info.height = height_;
    info.format = format_;
    return info;
}
