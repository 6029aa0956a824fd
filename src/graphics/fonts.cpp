#include "graphics/fonts.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "graphics/graphics.h"
#include "platform/font_raster.h"
#include "resources/font.h"
#include "resources/sprite.h"
#include "runner/game.h"

namespace tb {

namespace {

// Larger fonts would only make atlases of hundreds of megabytes.
constexpr int32_t kMaxRasterPoints = 400;
// The atlas stops growing here, whatever the layout still asks for.
constexpr int32_t kMaxAtlasWidth = 1 << 15;

struct Cell {
    int32_t w = 0, advance = 0, offset = 0;
    bool abc = false;
};

void ClearGlyphs(CFont& f) {
    for (CFont::GlyphArray* a :
         {&f.glyph_x, &f.glyph_y, &f.glyph_w, &f.glyph_h, &f.glyph_advance, &f.glyph_offset})
        a->fill(0);
    f.TextureWidth = f.TextureHeight = 0;
    f.alpha.clear();
}

// Rows of cells H + 1 apart and cells one pixel apart, in an atlas of width `width`; the
// height needed, and whether some cell sticks out on the right.
int32_t Layout(CFont& f, const std::array<Cell, 256>& cells, int32_t height, int32_t width,
               bool& too_wide) {
    int32_t pen = 0, row = 0;
    too_wide = false;
    for (int32_t c = f.First; c <= f.Last; ++c) {
        const Cell& cell = cells[size_t(c)];
        if (pen != 0 && pen + cell.w >= width) {
            row += height + 1;
            pen = 0;
        }
        f.glyph_x[size_t(c)] = pen;
        f.glyph_y[size_t(c)] = row;
        if (pen + cell.w > width) too_wide = true;
        pen += cell.w + 1;
    }
    return row + height + 1;
}

// White-on-black and black-on-white passes over the atlas; where glyphs overlap the later
// one is composed over the earlier one, as a text renderer with a transparent background
// does.
void DrawCoverage(CFont& f, FontRasterizer& r, const std::array<Cell, 256>& cells) {
    const int32_t w = f.TextureWidth, h = f.TextureHeight;
    std::vector<uint8_t> light(size_t(w) * size_t(h), 0), dark(size_t(w) * size_t(h), 255);
    GlyphImage image;
    for (int32_t c = f.First; c <= f.Last; ++c) {
        if (!r.Render(uint8_t(c), image)) continue;
        const Cell& cell = cells[size_t(c)];
        const int32_t ox = f.glyph_x[size_t(c)] - (cell.abc ? cell.offset : 0) + image.left;
        const int32_t oy = f.glyph_y[size_t(c)] + image.top;
        for (int32_t j = 0; j < image.height; ++j) {
            const int32_t py = oy + j;
            if (py < 0 || py >= h) continue;
            for (int32_t i = 0; i < image.width; ++i) {
                const int32_t px = ox + i;
                if (px < 0 || px >= w) continue;
                const uint32_t a = image.coverage[size_t(j) * size_t(image.width) + size_t(i)];
                const size_t p = size_t(py) * size_t(w) + size_t(px);
                light[p] = uint8_t(light[p] + ((255u - light[p]) * a + 127) / 255);
                dark[p] = uint8_t((dark[p] * (255u - a) + 127) / 255);
            }
        }
    }
    f.alpha.resize(light.size());
    for (size_t p = 0; p < light.size(); ++p)
        f.alpha[p] = uint8_t((int32_t(light[p]) - int32_t(dark[p]) + 255) / 2);
}

}  // namespace

void FreeFontTexture(TextureTable& textures, CFont& font) {
    if (font.texture >= 0) textures.Free(font.texture);
    font.texture = -1;
}

void CreateFontTexture(TextureTable& textures, CFont& font) {
    FreeFontTexture(textures, font);
    if (font.SpriteIndex >= 0 || font.FontName.empty()) return;
    if (font.TextureWidth <= 0 || font.TextureHeight <= 0) return;
    if (font.alpha.size() != size_t(font.TextureWidth) * size_t(font.TextureHeight)) return;
    font.texture = textures.FromAlpha(font.TextureWidth, font.TextureHeight, font.alpha.data());
}

bool RasterizeFont(CFont& f, std::string_view name, int32_t size, bool bold, bool italic,
                   int32_t first, int32_t last) {
    f.FontName = std::string(name);
    f.Size = size;
    f.Bold = bold;
    f.Italic = italic;
    f.First = std::max(0, first);
    f.Last = std::min(255, last);
    f.SpriteIndex = -1;
    ClearGlyphs(f);
    std::unique_ptr<FontRasterizer> r =
        FontRasterizer::Open(name, std::clamp(size, 1, kMaxRasterPoints), bold, italic);
    if (!r) return false;

    const int32_t height = r->TextHeight();
    std::array<Cell, 256> cells{};
    for (int32_t c = f.First; c <= f.Last; ++c) {
        const GlyphMetrics m = r->Metrics(uint8_t(c));
        Cell& cell = cells[size_t(c)];
        cell.abc = m.has_abc;
        if (m.has_abc) {
            cell.w = m.b + 1;
            cell.advance = m.a + m.b + m.c;
            cell.offset = m.a;
        } else {
            cell.w = m.width + 1 + (italic ? height / 2 + 1 : 0);
            cell.advance = m.width;
            cell.offset = 0;
        }
        f.glyph_w[size_t(c)] = cell.w;
        f.glyph_h[size_t(c)] = height;
        f.glyph_advance[size_t(c)] = cell.advance;
        f.glyph_offset[size_t(c)] = cell.offset;
    }
    // The narrowest power of two from 128 at which the atlas is at least as wide as high
    // (and every cell fits across).
    int32_t width = 128, needed = 0;
    for (;;) {
        bool too_wide = false;
        needed = Layout(f, cells, height, width, too_wide);
        if ((width >= needed && !too_wide) || width >= kMaxAtlasWidth) break;
        width *= 2;
    }
    f.TextureWidth = width;
    f.TextureHeight = needed;
    DrawCoverage(f, *r, cells);
    return true;
}

bool CreateRenderedFont(TextureTable* textures, CFont& font, std::string_view name, int32_t size,
                        bool bold, bool italic, int32_t first, int32_t last) {
    if (textures) FreeFontTexture(*textures, font);
    const bool ok = RasterizeFont(font, name, size, bold, italic, first, last);
    if (textures) CreateFontTexture(*textures, font);
    return ok;
}

void CreateFontFromSprite(CFont& font, const ResourceList<CSprite>& sprites, int32_t sprite,
                          int32_t first, bool proportional, int32_t separation) {
    const CSprite* s = sprites.Get(sprite);
    if (!s) return;
    font.SpriteIndex = sprite;
    font.First = std::clamp(first, 0, 255);
    font.Last = std::min(255, font.First + s->FrameCount() - 1);
    for (int32_t c = font.First; c <= font.Last; ++c) {
        int32_t left = 0, right = s->Width;
        if (proportional) {
            const BitmapRect b = s->GetFrameBounds(c - font.First);
            // A frame without a visible pixel has no bounds; it advances a whole cell
            // rather than backwards.
            if (b.left <= b.right) left = b.left, right = b.right;
        }
        const size_t i = size_t(c);
        font.glyph_x[i] = 0;
        font.glyph_y[i] = 0;
        font.glyph_w[i] = s->Width;
        font.glyph_h[i] = s->Height;
        font.glyph_advance[i] = right - left + separation;
        font.glyph_offset[i] = -left;
    }
}

const CFont& CurrentFont(Graphics& g, const Game* game) {
    if (game && g.draw.font >= 0) {
        if (const CFont* f = game->fonts.Get(g.draw.font)) return *f;
    }
    DrawState& d = g.draw;
    if (!d.default_font) {
        d.default_font = std::make_unique<CFont>();
        RasterizeFont(*d.default_font, kDefaultFontName, kDefaultFontSize, false, false,
                      kDefaultFontFirst, kDefaultFontLast);
    }
    // Made again once there is a device to make it on.
    if (d.default_font->texture < 0 && g.device.Exists())
        CreateFontTexture(g.textures, *d.default_font);
    return *d.default_font;
}

}  // namespace tb
