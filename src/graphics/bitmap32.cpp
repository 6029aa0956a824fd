#include "graphics/bitmap32.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "runner/stream.h"

namespace tb {

CBitmap32 ReadBitmap32(CStream& s) {
    CBitmap32 b;
    if (ReadInteger(s) != kBitmapVersion) return b;
    if (!ReadBoolean(s)) return b;
    int32_t w = ReadInteger(s);
    int32_t h = ReadInteger(s);
    if (w < 0 || h < 0) throw StreamError("negative bitmap size");
    uint64_t need = uint64_t(w) * uint64_t(h) * 4;
    if (need > s.Remaining() * uint64_t(1032) + 64)  // more than deflate can encode in it
        throw StreamError("bitmap larger than its data");
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    ReadCompressedInto(s, pixels.data(), size_t(need));
    if constexpr (std::endian::native != std::endian::little) {
        for (uint32_t& v : pixels) {
            const uint8_t* p = reinterpret_cast<const uint8_t*>(&v);
            v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        }
    }
    b.exists = true;
    b.width = w;
    b.height = h;
    b.pixels = std::move(pixels);
    return b;
}

void WriteBitmap32(CStream& s, const CBitmap32& b) {
    WriteInteger(s, kBitmapVersion);
    WriteBoolean(s, b.exists);
    if (!b.exists) return;
    WriteInteger(s, b.width);
    WriteInteger(s, b.height);
    std::vector<uint8_t> bytes(b.pixels.size() * 4);
    for (size_t i = 0; i < b.pixels.size(); ++i) {
        uint32_t v = b.pixels[i];
        bytes[4 * i] = uint8_t(v);
        bytes[4 * i + 1] = uint8_t(v >> 8);
        bytes[4 * i + 2] = uint8_t(v >> 16);
        bytes[4 * i + 3] = uint8_t(v >> 24);
    }
    WriteCompressed(s, bytes.data(), bytes.size());
}

BitmapRect OpaqueBounds(const CBitmap32& b) {
    if (!b.exists || b.width <= 0 || b.height <= 0) return {};
    BitmapRect r{b.width - 1, b.height - 1, 0, 0};
    for (int32_t y = 0; y < b.height; ++y) {
        for (int32_t x = 0; x < b.width; ++x) {
            if (PixelAlpha(b.At(x, y)) == 0) continue;
            r.left = std::min(r.left, x);
            r.right = std::max(r.right, x);
            r.top = std::min(r.top, y);
            r.bottom = std::max(r.bottom, y);
        }
    }
    return r;
}

CBitmap32 SolidBitmap(int32_t w, int32_t h, uint32_t bgr) {
    uint32_t argb = 0xFF000000u | (bgr & 0xFFu) << 16 | (bgr & 0xFF00u) | (bgr >> 16 & 0xFFu);
    return CBitmap32(std::max(w, 1), std::max(h, 1), argb);
}

CBitmap32 ResizeBitmap(const CBitmap32& b, int32_t w, int32_t h) {
    if (!b.exists) return {};
    w = std::max(w, 0);
    h = std::max(h, 0);
    CBitmap32 out(w, h);
    if (b.width <= 0 || b.height <= 0) return out;  // nothing to sample: stays transparent
    for (int32_t j = 0; j < h; ++j) {
        int32_t sy = int32_t(int64_t(j) * b.height / h);
        for (int32_t i = 0; i < w; ++i) {
            int32_t sx = int32_t(int64_t(i) * b.width / w);
            out.At(i, j) = b.At(sx, sy);
        }
    }
    return out;
}

void MakeTransparent(CBitmap32& b) {
    if (!b.exists || b.width <= 0 || b.height <= 0) return;
    const uint32_t key = b.At(0, b.height - 1) & 0xFFFFFFu;
    for (uint32_t& p : b.pixels)
        if ((p & 0xFFFFFFu) == key) p &= 0xFFFFFFu;
    auto opaque = [&](int32_t x, int32_t y) {
        return x >= 0 && y >= 0 && x < b.width && y < b.height && PixelAlpha(b.At(x, y)) != 0;
    };
    const int32_t dx[4] = {-1, 1, 0, 0};
    const int32_t dy[4] = {0, 0, -1, 1};
    for (int32_t y = 0; y < b.height; ++y) {
        for (int32_t x = 0; x < b.width; ++x) {
            uint32_t& p = b.At(x, y);
            if (PixelAlpha(p) != 0) continue;
            for (int k = 0; k < 4; ++k) {
                if (!opaque(x + dx[k], y + dy[k])) continue;
                p = b.At(x + dx[k], y + dy[k]) & 0xFFFFFFu;
                break;
            }
        }
    }
}

void SmoothEdges(CBitmap32& b) {
    if (!b.exists) return;
    for (int32_t y = 0; y < b.height; ++y) {
        for (int32_t x = 0; x < b.width; ++x) {
            if (PixelAlpha(b.At(x, y)) != 0) continue;
            for (int32_t ny = std::max(y - 1, 0); ny <= std::min(y + 1, b.height - 1); ++ny) {
                for (int32_t nx = std::max(x - 1, 0); nx <= std::min(x + 1, b.width - 1); ++nx) {
                    uint32_t& q = b.At(nx, ny);
                    if (q > 0x1FFFFFFFu) q -= 0x20000000u;
                }
            }
        }
    }
}

void SetAlphaFrom(CBitmap32& b, const CBitmap32& other) {
    if (!b.exists || !other.exists) return;
    int32_t w = std::min(b.width, other.width);
    int32_t h = std::min(b.height, other.height);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint32_t o = other.At(x, y);
            uint32_t grey = ((o >> 16 & 0xFFu) + (o >> 8 & 0xFFu) + (o & 0xFFu)) / 3;
            uint32_t& p = b.At(x, y);
            if (grey < PixelAlpha(p)) p = (p & 0xFFFFFFu) | grey << 24;
        }
    }
}

}  // namespace tb
