// 32-bit images: sprite and background frames, loading pictures, captures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tb {

class CStream;

// Pixels are 0xAARRGGBB, rows from the top; in memory the bytes blue, green, red, alpha.
class CBitmap32 {
public:
    CBitmap32() = default;
    CBitmap32(int32_t w, int32_t h, uint32_t fill = 0)
        : exists(true), width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

    uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    uint32_t& At(int32_t x, int32_t y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    bool operator==(const CBitmap32&) const = default;

    bool exists = false;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

constexpr int32_t kBitmapVersion = 540;

// Stream form: version 540, boolean exists, then width, height and a compressed block of
// exactly width * height * 4 bytes. Another version gives a missing image and reads no more.
// A block of the wrong size, or a negative size, raises StreamError.
CBitmap32 ReadBitmap32(CStream& s);
void WriteBitmap32(CStream& s, const CBitmap32& b);

}  // namespace tb
