// Fonts at run time: atlas textures, fonts rasterised from system fonts, sprite fonts, and
// the default font of text drawing.
#pragma once

#include <cstdint>
#include <string_view>

#include "resources/resource_list.h"

namespace tb {

class CFont;
class CSprite;
class TextureTable;
struct Graphics;
struct Game;

// The default font: created on first use.
inline constexpr std::string_view kDefaultFontName = "Arial";
constexpr int32_t kDefaultFontSize = 12;
constexpr int32_t kDefaultFontFirst = 32;
constexpr int32_t kDefaultFontLast = 127;

// Frees the font's atlas texture; a rendered font with a name gets a new one from its alpha
// bytes. Sprite fonts have no texture of their own.
void CreateFontTexture(TextureTable& textures, CFont& font);
void FreeFontTexture(TextureTable& textures, CFont& font);

// Sets the fields (first at least 0, last at most 255) and rasterises the glyph atlas from
// the best matching system font. False when no system font could be opened; the font then
// has no glyphs. The texture is left to CreateFontTexture.
bool RasterizeFont(CFont& font, std::string_view name, int32_t size, bool bold, bool italic,
                   int32_t first, int32_t last);
// RasterizeFont, then the texture (when there are textures to make it in).
bool CreateRenderedFont(TextureTable* textures, CFont& font, std::string_view name, int32_t size,
                        bool bold, bool italic, int32_t first, int32_t last);
// One character per frame of the sprite; nothing happens when the sprite does not exist.
void CreateFontFromSprite(CFont& font, const ResourceList<CSprite>& sprites, int32_t sprite,
                          int32_t first, bool proportional, int32_t separation);

// The font text is drawn and measured with: the current font when it exists, else the
// default font (rasterised, with its texture, on first use).
const CFont& CurrentFont(Graphics& g, const Game* game);

}  // namespace tb
