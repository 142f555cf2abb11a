#include "base/ImgConv.h"

#include <cstring>

CImgConv::CImgConv(int width, int height, std::uint32_t sourceFormat, std::uint32_t destFormat)
    : width_(width), height_(height), source_(sourceFormat), dest_(destFormat) {}

int CImgConv::GetConvertImgSize(int* size, int* rowBytes, int* planes, bool) const {
    const int row = CImageData::RowBytes(width_, dest_, false);
    if (row == 0 || height_ <= 0) {
        return -1;
    }
    if (size) {
        *size = row * height_;
    }
    if (rowBytes) {
        *rowBytes = row;
    }
    if (planes) {
        *planes = 1;
    }
    return 0;
}

bool CImgConv::Covers(const IMGCONVINFO& info) const {
    const bool sized = info.width > 0 || info.height > 0;
    return !sized || (info.width >= width_ && info.height >= height_);
}

int CImgConv::Convert(const IMGCONVINFO& source, IMGCONVINFO* dest, bool) const {
    if (!dest || source_ != kFormatGrey8 || dest_ != kFormatRgb24) {
        return -1;
    }
    if (width_ <= 0 || height_ <= 0) {
        return 0;
    }
    if (!source.plane[0] || !dest->plane[0] || source.rowBytes[0] < width_ ||
        dest->rowBytes[0] / 3 < width_) {
        return -1;
    }
    // Descriptions that state their size (CImageData::Info does) must cover
    // the converter's geometry, so a mismatched pair cannot run past a buffer.
    if (!Covers(source) || !Covers(*dest)) {
        return -1;
    }
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* in = source.plane[0] + static_cast<std::size_t>(y) * source.rowBytes[0];
        std::uint8_t* out = dest->plane[0] + static_cast<std::size_t>(y) * dest->rowBytes[0];
        for (int x = 0; x < width_; ++x) {
            std::memset(out + 3 * x, in[x], 3);
        }
    }
    return 0;
}
