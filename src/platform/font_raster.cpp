#include "platform/font_raster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

namespace tb {

namespace {

// Unicode of the code page's 0x80 .. 0x9F; 0 where the code page has no character.
constexpr std::array<uint16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t Unicode(uint8_t code) {
    if (code >= 0x80 && code < 0xA0) return kHighControls[code - 0x80u];
    return code;
}

// The font file fontconfig picks for the family and style, with the face index in it.
bool MatchFile(std::string_view family, bool bold, bool italic, std::string& file, int& index) {
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    const std::string name(family);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (found) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return found;
}

struct CachedGlyph {
    GlyphMetrics metrics;
    GlyphImage image;
    bool has_image = false;
};

}  // namespace

struct FontRasterizer::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    bool embolden = false, oblique = false;
    int32_t ascent = 0, descent = 0;
    std::array<std::optional<CachedGlyph>, 256> glyphs;

    ~Impl() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    const CachedGlyph& Glyph(uint8_t code) {
        std::optional<CachedGlyph>& slot = glyphs[code];
        if (slot) return *slot;
        slot.emplace();
        CachedGlyph& g = *slot;
        const uint32_t unicode = Unicode(code);
        const FT_UInt index = unicode ? FT_Get_Char_Index(face, unicode) : 0;
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return g;
        FT_GlyphSlot s = face->glyph;
        if (s->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (oblique) FT_GlyphSlot_Oblique(s);
            if (embolden) FT_GlyphSlot_Embolden(s);
        }
        const int32_t advance = int32_t((s->advance.x + 32) >> 6);
        if (FT_Render_Glyph(s, FT_RENDER_MODE_NORMAL) != 0) {
            g.metrics.width = advance;
            return g;
        }
        const FT_Bitmap& bm = s->bitmap;
        g.image.left = s->bitmap_left;
        g.image.top = ascent - s->bitmap_top;
        g.image.width = int32_t(bm.width);
        g.image.height = int32_t(bm.rows);
        g.image.coverage.assign(size_t(bm.width) * bm.rows, 0);
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.buffer) {
            for (unsigned row = 0; row < bm.rows; ++row) {
                const unsigned char* src = bm.buffer + ptrdiff_t(row) * bm.pitch;
                for (unsigned col = 0; col < bm.width; ++col)
                    g.image.coverage[size_t(row) * bm.width + col] = uint8_t(
                        bm.num_grays == 256 ? src[col] : src[col] * 255 / (bm.num_grays - 1));
            }
        }
        g.has_image = true;
        g.metrics.width = advance;
        if (FT_IS_SCALABLE(face)) {
            g.metrics.has_abc = true;
            g.metrics.a = g.image.left;
            g.metrics.b = g.image.width;
            g.metrics.c = advance - g.image.left - g.image.width;
        }
        return g;
    }
};

FontRasterizer::FontRasterizer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FontRasterizer::~FontRasterizer() = default;

std::unique_ptr<FontRasterizer> FontRasterizer::Open(std::string_view family, int32_t points,
                                                     bool bold, bool italic) {
    std::string file;
    int index = 0;
    if (!MatchFile(family, bold, italic, file, index)) return nullptr;
    auto impl = std::make_unique<Impl>();
    if (FT_Init_FreeType(&impl->library) != 0) return nullptr;
    if (FT_New_Face(impl->library, file.c_str(), index, &impl->face) != 0) return nullptr;
    FT_Face face = impl->face;
    // Points at 96 pixels per inch, rounded to whole pixels of the em square.
    const int32_t pixels = std::max<int32_t>(1, int32_t(std::lround(points * 96.0 / 72.0)));
    if (FT_IS_SCALABLE(face)) {
        if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels)) != 0) return nullptr;
    } else if (face->num_fixed_sizes > 0) {
        if (FT_Select_Size(face, 0) != 0) return nullptr;
    } else {
        return nullptr;
    }
    impl->embolden = bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    impl->oblique = italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (FT_IS_SCALABLE(face) && os2 && face->units_per_EM > 0 &&
        os2->usWinAscent + os2->usWinDescent > 0) {
        // The line cell of the metrics that desktop text layout uses.
        const double scale = double(pixels) / face->units_per_EM;
        impl->ascent = int32_t(std::ceil(os2->usWinAscent * scale - 1e-9));
        impl->descent = int32_t(std::lround(os2->usWinDescent * scale));
    } else {
        impl->ascent = int32_t((face->size->metrics.ascender + 63) >> 6);
        impl->descent = int32_t((-face->size->metrics.descender + 63) >> 6);
    }
    return std::unique_ptr<FontRasterizer>(new FontRasterizer(std::move(impl)));
}

int32_t FontRasterizer::TextHeight() const {
    return impl_->ascent + impl_->descent;
}

GlyphMetrics FontRasterizer::Metrics(uint8_t code) {
    return impl_->Glyph(code).metrics;
}

bool FontRasterizer::Render(uint8_t code, GlyphImage& out) {
    const CachedGlyph& g = impl_->Glyph(code);
    if (!g.has_image) return false;
    out = g.image;
    return true;
}

}  // namespace tb
