#include "graphics/bitmap32.h"

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

}  // namespace tb
