#include "resources/font.h"

namespace tb {

void CFont::Reset() {
    FontName.clear();
    Size = 12;
    Bold = Italic = false;
    First = 32;
    Last = 128;
    SpriteIndex = -1;
    for (GlyphArray* a : {&glyph_x, &glyph_y, &glyph_w, &glyph_h, &glyph_advance, &glyph_offset})
        a->fill(0);
    TextureWidth = TextureHeight = 0;
    alpha.clear();
    texture = -1;
}

bool CFont::LoadFromStream(CStream& s) {
    Reset();
    if (ReadInteger(s) != kFontVersion) return false;
    FontName = ReadString(s);
    Size = ReadInteger(s);
    Bold = ReadBoolean(s);
    Italic = ReadBoolean(s);
    First = ReadInteger(s);
    Last = ReadInteger(s);
    for (size_t c = 0; c < 256; ++c) {
        glyph_x[c] = ReadInteger(s);
        glyph_y[c] = ReadInteger(s);
        glyph_w[c] = ReadInteger(s);
        glyph_h[c] = ReadInteger(s);
        glyph_advance[c] = ReadInteger(s);
        glyph_offset[c] = ReadInteger(s);
    }
    TextureWidth = ReadInteger(s);
    TextureHeight = ReadInteger(s);
    CStream block = ReadCompressed(s);
    if (TextureWidth < 0 || TextureHeight < 0) return false;
    if (block.data.size() != uint64_t(TextureWidth) * uint64_t(TextureHeight)) return false;
    alpha = std::move(block.data);
    return true;
}

void CFont::WriteToStream(CStream& s) const {
    WriteInteger(s, kFontVersion);
    WriteString(s, FontName);
    WriteInteger(s, Size);
    WriteBoolean(s, Bold);
    WriteBoolean(s, Italic);
    WriteInteger(s, First);
    WriteInteger(s, Last);
    for (size_t c = 0; c < 256; ++c) {
        WriteInteger(s, glyph_x[c]);
        WriteInteger(s, glyph_y[c]);
        WriteInteger(s, glyph_w[c]);
        WriteInteger(s, glyph_h[c]);
        WriteInteger(s, glyph_advance[c]);
        WriteInteger(s, glyph_offset[c]);
    }
    WriteInteger(s, TextureWidth);
    WriteInteger(s, TextureHeight);
    WriteCompressed(s, alpha.data(), alpha.size());
}

int32_t CFont::Advance(int32_t c) const {
    int32_t code = First;
    if (c >= First && c <= Last)
        code = c;
    else if (First <= 32 && 32 <= Last)
        code = 32;
    // First and Last come from the file unchecked; never index outside the table.
    if (code < 0 || code > 255) return 0;
    return glyph_advance[size_t(code)];
}

}  // namespace tb
