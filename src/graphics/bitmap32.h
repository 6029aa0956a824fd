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

    uint32_t At(int32_t x, int32_t y) const {
        return pixels[size_t(y) * size_t(width) + size_t(x)];
    }
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

// An inclusive pixel rectangle.
struct BitmapRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const BitmapRect&) const = default;
};

inline uint8_t PixelAlpha(uint32_t p) {
    return uint8_t(p >> 24);
}

// Smallest rectangle holding every pixel with non-zero alpha; 0, 0, 0, 0 for a missing or
// empty bitmap. With no visible pixel the result is inverted: width - 1, height - 1, 0, 0,
// so that widening a box with it changes nothing.
BitmapRect OpaqueBounds(const CBitmap32& b);

// Every pixel the platform colour 0x00BBGGRR with alpha 255; both sides at least 1.
CBitmap32 SolidBitmap(int32_t w, int32_t h, uint32_t bgr);

// Nearest neighbour: target pixel (i, j) takes source pixel (i * old width / w,
// j * old height / h). A missing source gives a missing result; sizes below 0 count as 0.
CBitmap32 ResizeBitmap(const CBitmap32& b, int32_t w, int32_t h);

// The colour of the bottom-left pixel becomes transparent (alpha 0, colour bits kept); then
// every transparent pixel takes the colour of an opaque neighbour (left, right, above, below)
// so that filtering does not pull the key colour into the edges.
void MakeTransparent(CBitmap32& b);

// Softens the border of the transparent region: for each transparent pixel, row by row, every
// pixel of its 3 x 3 neighbourhood with alpha of at least 32 loses 32 of alpha. Works in place,
// so a pixel brought down to 0 counts as transparent when it is visited later.
void SmoothEdges(CBitmap32& b);

// Over the common area: alpha = min(alpha, (red + green + blue) / 3 of the other's pixel).
void SetAlphaFrom(CBitmap32& b, const CBitmap32& other);

}  // namespace tb
