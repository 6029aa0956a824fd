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
    CStream block = ReadCompressed(s);
    uint64_t need = uint64_t(w) * uint64_t(h) * 4;
    if (block.data.size() != need) throw StreamError("bitmap data does not match its size");
    b.exists = true;
    b.width = w;
    b.height = h;
    b.pixels.resize(size_t(w) * size_t(h));
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(b.pixels.data(), block.data.data(), block.data.size());
    } else {
        for (size_t i = 0; i < b.pixels.size(); ++i) {
            const uint8_t* p = block.data.data() + 4 * i;
            b.pixels[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                          uint32_t(p[3]) << 24;
        }
    }
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
