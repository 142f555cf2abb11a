#pragma once

#include <cstdint>
#include <vector>

// Pixel-format codes shared with the converter and stored in picture files.
enum : std::uint32_t {
    kFormatGrey8 = 0x21000044,   // one byte per pixel: the module's image format
    kFormatRgb24 = 0x45068888,   // 24-bit colour, B G R in memory
    kFormatRgb32 = 0x41088888,   // 32-bit colour
    kFormatRgb565 = 0x49050565,  // 16-bit 5-6-5 colour
};

// Description of up to three pixel planes, as handed to the converter.
struct IMGCONVINFO {
    std::uint8_t* plane[3] = {nullptr, nullptr, nullptr};
    int rowBytes[3] = {0, 0, 0};
    int width = 0;
    int height = 0;
    std::uint32_t format = 0;
};

// Bytes per pixel of the formats this application knows, 0 for others.
int BytesPerPixel(std::uint32_t format);

// A pixel buffer described by width, height and format code. Only the first
// plane is used by the formats above.
class CImageData {
public:
    CImageData() = default;
    virtual ~CImageData() = default;

    // Keeps the buffer when all four values are unchanged; otherwise stores
    // them, computes the row bytes and allocates a zero-filled buffer.
    // Returns true when the buffer was (re)allocated.
    bool Init(int width, int height, std::uint32_t format, bool packed);

    // Bytes per row of plane 0: width × bytes per pixel, padded to a multiple
    // of 4 unless packed. 0 for unknown formats or empty images.
    static int RowBytes(int width, std::uint32_t format, bool packed);
    // Whole byte size of an image of this geometry (0 when unknown).
    static std::size_t ByteSize(int width, int height, std::uint32_t format, bool packed);

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint32_t Format() const { return format_; }
    bool Packed() const { return packed_; }
    int RowBytes() const { return rowBytes_; }
    std::size_t Size() const { return pixels_.size(); }
    std::uint8_t* Pixels() { return pixels_.data(); }
    const std::uint8_t* Pixels() const { return pixels_.data(); }

    // The width and height the last decoded frame carried (0 when it had no
    // image); kept apart from the buffer geometry, which Init owns.
    void SetImageSize(int width, int height) {
        imageWidth_ = width;
        imageHeight_ = height;
    }
    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }

    // Description of the buffer for the converter (plane 0 null when empty).
    IMGCONVINFO Info() const;

private:
    std::vector<std::uint8_t> pixels_;
    int width_ = 0;
    int height_ = 0;
    std::uint32_t format_ = 0;
    bool packed_ = false;
    bool initialised_ = false;
    int rowBytes_ = 0;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
};
