// Fonts: rendered glyph atlases and sprite fonts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "runner/stream.h"

namespace tb {

constexpr int32_t kFontVersion = 540;

class CFont {
  public:
    using GlyphArray = std::array<int32_t, 256>;

    CFont() { Reset(); }

    void Reset();
    // False for another version, a negative atlas size, or an alpha block that does not hold
    // exactly TextureWidth * TextureHeight bytes.
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;

    // The advance of c when First <= c <= Last, else that of the space when covered, else
    // that of First. 0 for a code outside the 256-entry table.
    int32_t Advance(int32_t c) const;

    // Everything but the texture id, which is derived.
    bool operator==(const CFont& o) const {
        return FontName == o.FontName && Size == o.Size && Bold == o.Bold && Italic == o.Italic &&
               First == o.First && Last == o.Last && SpriteIndex == o.SpriteIndex &&
               glyph_x == o.glyph_x && glyph_y == o.glyph_y && glyph_w == o.glyph_w &&
               glyph_h == o.glyph_h && glyph_advance == o.glyph_advance &&
               glyph_offset == o.glyph_offset && TextureWidth == o.TextureWidth &&
               TextureHeight == o.TextureHeight && alpha == o.alpha;
    }

    std::string FontName;
    int32_t Size = 12;
    bool Bold = false;
    bool Italic = false;
    int32_t First = 32;
    int32_t Last = 128;
    int32_t SpriteIndex = -1;  // the sprite of a sprite font; -1 for a rendered font
    // Per character code: top-left in the atlas, cell size, advance to the next character
    // and the glyph's horizontal displacement from the pen.
    GlyphArray glyph_x{};
    GlyphArray glyph_y{};
    GlyphArray glyph_w{};
    GlyphArray glyph_h{};
    GlyphArray glyph_advance{};
    GlyphArray glyph_offset{};
    int32_t TextureWidth = 0;
    int32_t TextureHeight = 0;
    std::vector<uint8_t> alpha;  // coverage, rows from the top, 255 = fully covered
    int32_t texture = -1;
};

}  // namespace tb
