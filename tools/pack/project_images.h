// Project folder form of sprites, backgrounds and fonts: a JSON file with the fields and
// PNG side files for the pictures.
#pragma once

#include <filesystem>

#include "resources/background.h"
#include "resources/font.h"
#include "resources/sprite.h"

namespace tb::pack {

// base.json; frames as base_0.png, base_1.png ... ("frames" lists the file names, null for a
// frame that does not exist).
void SaveSprite(const CSprite& x, const std::filesystem::path& base);
void LoadSprite(const std::filesystem::path& base, CSprite& x);

// base.json, and base.png when the background has an image.
void SaveBackground(const CBackground& x, const std::filesystem::path& base);
void LoadBackground(const std::filesystem::path& base, CBackground& x);

// base.json with the glyph table ("glyphs": character code -> [x, y, w, h, advance, offset],
// only codes with a non-zero metric); the coverage atlas as a grey picture base_atlas.png.
void SaveFont(const CFont& x, const std::filesystem::path& base);
void LoadFont(const std::filesystem::path& base, CFont& x);

}  // namespace tb::pack
