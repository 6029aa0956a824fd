// Fonts made at run time: rasterised system fonts (their atlas layout and coverage) and
// sprite fonts.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "graphics/fonts.h"
#include "graphics/text.h"
#include "platform/font_raster.h"
#include "resources/font.h"
#include "resources/sprite.h"

namespace tb {
namespace {

bool PowerOfTwo(int32_t v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Every cell lies inside the atlas, no two cells share a pixel, and nothing is covered
// outside the cells (true for upright fonts, whose ink stays inside its cell).
void ExpectSoundAtlas(const CFont& f) {
    ASSERT_EQ(f.alpha.size(), size_t(f.TextureWidth) * size_t(f.TextureHeight));
    std::vector<int> owner(f.alpha.size(), -1);
    for (int c = f.First; c <= f.Last; ++c) {
        const size_t i = size_t(c);
        ASSERT_GE(f.glyph_x[i], 0);
        ASSERT_LE(f.glyph_x[i] + f.glyph_w[i], f.TextureWidth) << c;
        ASSERT_LE(f.glyph_y[i] + f.glyph_h[i], f.TextureHeight) << c;
        for (int y = f.glyph_y[i]; y < f.glyph_y[i] + f.glyph_h[i]; ++y)
            for (int x = f.glyph_x[i]; x < f.glyph_x[i] + f.glyph_w[i]; ++x) {
                int& o = owner[size_t(y) * size_t(f.TextureWidth) + size_t(x)];
                ASSERT_EQ(o, -1) << "cells " << o << " and " << c << " overlap";
                o = c;
            }
    }
    for (size_t p = 0; p < f.alpha.size(); ++p)
        if (owner[p] < 0) {
            ASSERT_EQ(f.alpha[p], 0) << "ink outside every cell at " << p;
        }
}

int CellCoverage(const CFont& f, int c) {
    int sum = 0;
    const size_t i = size_t(c);
    for (int y = f.glyph_y[i]; y < f.glyph_y[i] + f.glyph_h[i]; ++y)
        for (int x = f.glyph_x[i]; x < f.glyph_x[i] + f.glyph_w[i]; ++x)
            sum += f.alpha[size_t(y) * size_t(f.TextureWidth) + size_t(x)];
    return sum;
}

TEST(RasterizedFont, DefaultFontHasASoundAtlas) {
    CFont f;
    ASSERT_TRUE(RasterizeFont(f, "Arial", 12, false, false, 32, 127));
    EXPECT_EQ(f.FontName, "Arial");
    EXPECT_EQ(f.Size, 12);
    EXPECT_EQ(f.SpriteIndex, -1);
    EXPECT_TRUE(PowerOfTwo(f.TextureWidth));
    EXPECT_GE(f.TextureWidth, 128);
    EXPECT_GE(f.TextureWidth, f.TextureHeight);
    ExpectSoundAtlas(f);
    // Twelve points at 96 pixels per inch: an em of 16 pixels, a line a little taller.
    EXPECT_GE(FontLineHeight(f), 16);
    EXPECT_LE(FontLineHeight(f), 20);
    EXPECT_GT(f.Advance('W'), f.Advance('i'));
    EXPECT_EQ(f.Advance(' '), f.Advance(200));
    EXPECT_EQ(CellCoverage(f, ' '), 0);
    EXPECT_GT(CellCoverage(f, 'W'), CellCoverage(f, '.'));
    // A stroke of 'l' is fully covered somewhere.
    const size_t l = 'l';
    bool full = false;
    for (int y = f.glyph_y[l]; y < f.glyph_y[l] + f.glyph_h[l]; ++y)
        for (int x = f.glyph_x[l]; x < f.glyph_x[l] + f.glyph_w[l]; ++x)
            full |= f.alpha[size_t(y) * size_t(f.TextureWidth) + size_t(x)] == 255;
    EXPECT_TRUE(full);
}

TEST(RasterizedFont, RangeIsClampedAndLargeFontsWidenTheAtlas) {
    CFont f;
    ASSERT_TRUE(RasterizeFont(f, "Liberation Serif", 48, true, false, -5, 300));
    EXPECT_EQ(f.First, 0);
    EXPECT_EQ(f.Last, 255);
    EXPECT_TRUE(PowerOfTwo(f.TextureWidth));
    EXPECT_GT(f.TextureWidth, 128);
    EXPECT_GE(f.TextureWidth, f.TextureHeight);
    ExpectSoundAtlas(f);
}

TEST(RasterizedFont, ItalicAndEmptyRanges) {
    CFont f;
    ASSERT_TRUE(RasterizeFont(f, "Arial", 14, false, true, 65, 90));
    EXPECT_TRUE(f.Italic);
    EXPECT_GT(CellCoverage(f, 'M'), 0);
    CFont empty;
    ASSERT_TRUE(RasterizeFont(empty, "Arial", 12, false, false, 100, 50));
    EXPECT_EQ(empty.TextureWidth, 128);
    const auto raster = FontRasterizer::Open("Arial", 12, false, false);
    ASSERT_TRUE(raster);
    EXPECT_EQ(empty.TextureHeight, raster->TextHeight() + 1);
}

TEST(Rasterizer, ScalableGlyphsReportWidthsThatAddUpToTheAdvance) {
    const auto r = FontRasterizer::Open("Arial", 12, false, false);
    ASSERT_TRUE(r);
    for (uint8_t c : {uint8_t('A'), uint8_t('j'), uint8_t(' '), uint8_t(0xE9)}) {
        const GlyphMetrics m = r->Metrics(c);
        EXPECT_TRUE(m.has_abc) << int(c);
        EXPECT_EQ(m.a + m.b + m.c, m.width) << int(c);
        GlyphImage image;
        ASSERT_TRUE(r->Render(c, image)) << int(c);
        EXPECT_EQ(image.width, m.b) << int(c);
        EXPECT_EQ(image.coverage.size(), size_t(image.width) * size_t(image.height));
    }
    // The code page's euro sign at 0x80 has a glyph of its own.
    GlyphImage euro;
    ASSERT_TRUE(r->Render(0x80, euro));
    EXPECT_GT(euro.width, 0);
}

// A sprite of `frames` frames, 16 x 8, each opaque in columns 3 .. 10 except frame 1, which
// is wholly transparent.
CSprite FontSprite(int frames) {
    CSprite s;
    s.Width = 16;
    s.Height = 8;
    for (int i = 0; i < frames; ++i) {
        CBitmap32 b(16, 8, 0);
        if (i != 1)
            for (int y = 0; y < 8; ++y)
                for (int x = 3; x <= 10; ++x) b.At(x, y) = 0xFF000000;
        s.frames.push_back(b);
    }
    s.textures.assign(size_t(frames), -1);
    return s;
}

TEST(SpriteFont, RangeAdvancesAndOffsets) {
    ResourceList<CSprite> sprites;
    sprites.Add(std::make_unique<CSprite>(FontSprite(10)), "spr");
    CFont fixed;
    CreateFontFromSprite(fixed, sprites, 0, 65, false, 2);
    EXPECT_EQ(fixed.SpriteIndex, 0);
    EXPECT_EQ(fixed.First, 65);
    EXPECT_EQ(fixed.Last, 74);
    EXPECT_EQ(fixed.Advance('A'), 18);
    EXPECT_EQ(fixed.glyph_offset['A'], 0);
    EXPECT_EQ(FontLineHeight(fixed), 8);

    CFont proportional;
    CreateFontFromSprite(proportional, sprites, 0, 65, true, 2);
    EXPECT_EQ(proportional.Advance('A'), 9);  // right 10 - left 3 + 2
    EXPECT_EQ(proportional.glyph_offset['A'], -3);
    // A frame with nothing visible advances a whole cell.
    EXPECT_EQ(proportional.Advance('B'), 18);
    EXPECT_EQ(proportional.glyph_offset['B'], 0);

    CFont high;
    CreateFontFromSprite(high, sprites, 0, 250, false, 0);
    EXPECT_EQ(high.First, 250);
    EXPECT_EQ(high.Last, 255);

    CFont untouched;
    CreateFontFromSprite(untouched, sprites, 5, 65, false, 0);
    EXPECT_EQ(untouched.SpriteIndex, -1);
    EXPECT_EQ(untouched.First, 32);
}

}  // namespace
}  // namespace tb
