#include "graphics/bmp.h"

#include <bit>
#include <cstring>

namespace tb {

namespace {

uint32_t U16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t U32(const uint8_t* p) {
    return U16(p) | U16(p + 2) << 16;
}

// Expands a masked channel to 8 bits.
uint8_t Channel(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    int shift = std::countr_zero(mask);
    int bits = std::popcount(mask);
    uint32_t c = (v & mask) >> shift;
    uint32_t maxv = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return uint8_t((uint64_t(c) * 255 + maxv / 2) / maxv);
}

void Put16(std::vector<uint8_t>& o, uint32_t v) {
    o.push_back(uint8_t(v));
    o.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& o, uint32_t v) {
    Put16(o, v & 0xFFFF);
    Put16(o, v >> 16);
}

}  // namespace

CBitmap32 DecodeBmp(const uint8_t* d, size_t size) {
    CBitmap32 none;
    if (size < 26 || d[0] != 'B' || d[1] != 'M') return none;
    uint32_t offset = U32(d + 10);
    uint32_t header = U32(d + 14);
    int64_t w, h;
    uint32_t bpp, compression = 0, colors = 0;
    uint32_t rmask = 0, gmask = 0, bmask = 0, amask = 0;
    if (header == 12) {  // OS/2 core header
        w = int16_t(U16(d + 18));
        h = int16_t(U16(d + 20));
        bpp = U16(d + 24);
    } else {
        if (header < 40 || size < 14 + size_t(header)) return none;
        w = int32_t(U32(d + 18));
        h = int32_t(U32(d + 22));
        bpp = U16(d + 28);
        compression = U32(d + 30);
        colors = U32(d + 46);
        if (compression == 3 || compression == 6) {  // bit fields, in the header or after it
            const uint8_t* m = d + 54;
            if (size < 54 + 12) return none;
            rmask = U32(m), gmask = U32(m + 4), bmask = U32(m + 8);
            if ((header >= 56 || compression == 6) && size >= 54 + 16) amask = U32(m + 12);
        } else if (compression != 0) {
            return none;  // run-length encodings are not used by game files
        }
    }
    bool top_down = h < 0;
    if (top_down) h = -h;
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535) return none;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return none;

    // Palette for the indexed depths.
    uint32_t palette[256] = {};
    if (bpp <= 8) {
        size_t entry = header == 12 ? 3 : 4;
        size_t n = colors ? colors : (1u << bpp);
        if (n > 256) n = 256;
        size_t at = 14 + header + (compression == 3 ? 12 : 0);
        for (size_t i = 0; i < n && at + entry <= size; ++i, at += entry)
            palette[i] = 0xFF000000u | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 1]) << 8 | d[at];
    }
    if (bpp == 16 && compression == 0) rmask = 0x7C00, gmask = 0x03E0, bmask = 0x001F;
    bool masked = (bpp == 16 || bpp == 32) && (rmask | gmask | bmask);

    size_t stride = ((size_t(w) * bpp + 31) / 32) * 4;
    if (offset > size || stride * size_t(h) > size - offset) return none;

    CBitmap32 b{int32_t(w), int32_t(h)};
    for (int64_t row = 0; row < h; ++row) {
        const uint8_t* src = d + offset + stride * size_t(row);
        int64_t y = top_down ? row : h - 1 - row;
        uint32_t* dst = &b.At(0, int32_t(y));
        for (int64_t x = 0; x < w; ++x) {
            uint32_t px;
            switch (bpp) {
                case 1:
                    px = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
                    break;
                case 4:
                    px = palette[(src[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
                    break;
                case 8:
                    px = palette[src[x]];
                    break;
                case 24:
                    px = 0xFF000000u | uint32_t(src[3 * x + 2]) << 16 |
                         uint32_t(src[3 * x + 1]) << 8 | src[3 * x];
                    break;
                default: {
                    uint32_t v = bpp == 16 ? U16(src + 2 * x) : U32(src + 4 * x);
                    if (masked) {
                        uint8_t a = amask ? Channel(v, amask) : 255;
                        px = uint32_t(a) << 24 | uint32_t(Channel(v, rmask)) << 16 |
                             uint32_t(Channel(v, gmask)) << 8 | Channel(v, bmask);
                    } else {  // plain 32-bit: blue, green, red, and a byte we keep as alpha
                        px = v;
                    }
                }
            }
            dst[x] = px;
        }
    }
    // Many writers leave the fourth byte of plain 32-bit pixels at 0: that means opaque.
    if (bpp == 32 && !masked) {
        bool any_alpha = false;
        for (uint32_t p : b.pixels) any_alpha |= (p >> 24) != 0;
        if (!any_alpha)
            for (uint32_t& p : b.pixels) p |= 0xFF000000u;
    }
    return b;
}

std::vector<uint8_t> EncodeBmp(const CBitmap32& b, bool with_alpha) {
    uint32_t bpp = with_alpha ? 32 : 24;
    size_t stride = ((size_t(b.width) * bpp + 31) / 32) * 4;
    uint32_t image = uint32_t(stride * size_t(b.height));
    std::vector<uint8_t> o;
    o.reserve(54 + image);
    o.push_back('B');
    o.push_back('M');
    Put32(o, 54 + image);
    Put32(o, 0);
    Put32(o, 54);
    Put32(o, 40);
    Put32(o, uint32_t(b.width));
    Put32(o, uint32_t(b.height));
    Put16(o, 1);
    Put16(o, bpp);
    Put32(o, 0);
    Put32(o, image);
    Put32(o, 2835);  // 72 dpi
    Put32(o, 2835);
    Put32(o, 0);
    Put32(o, 0);
    for (int32_t y = b.height - 1; y >= 0; --y) {
        size_t start = o.size();
        for (int32_t x = 0; x < b.width; ++x) {
            uint32_t v = b.At(x, y);
            o.push_back(uint8_t(v));
            o.push_back(uint8_t(v >> 8));
            o.push_back(uint8_t(v >> 16));
            if (with_alpha) o.push_back(uint8_t(v >> 24));
        }
        o.resize(start + stride, 0);
    }
    return o;
}

}  // namespace tb
