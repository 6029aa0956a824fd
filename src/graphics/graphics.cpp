#include "graphics/graphics.h"

#include <algorithm>

#include "graphics/fonts.h"
#include "runner/game.h"

namespace tb {

bool InitDevice(Graphics& g, const DeviceOptions& options, int32_t width, int32_t height) {
    g.surfaces.FreeAll();
    g.textures.ClearTable();
    g.d3d.models.DropBuffers();
    return g.device.Init(options, width, height);
}

bool ResetDevice(Graphics& g) {
    if (!g.device.Exists()) return false;
    g.surfaces.FreeAll();
    return g.device.Reset();
}

void ReleaseGraphics(Graphics& g) {
    g.surfaces.FreeAll();
    g.textures.ClearTable();
    g.d3d.models.DropBuffers();
    g.game_window.Detach();
    g.device.Release();
}

void SetRegionForRoom(Graphics& g, int32_t width, int32_t height) {
    if (g.device.Exists()) {
        width = std::min(width, g.device.ScreenWidth());
        height = std::min(height, g.device.ScreenHeight());
    }
    if (width == g.window.region_width && height == g.window.region_height) return;
    g.game_window.SetRegionSize(width, height, true);
    g.game_window.Default();
    g.device.SetRegionSize(width, height);
}

void FreeSpriteTextures(TextureTable& t, CSprite& sprite) {
    for (int32_t& id : sprite.textures) {
        t.Free(id);
        id = -1;
    }
}

void CreateSpriteTextures(TextureTable& t, CSprite& sprite) {
    FreeSpriteTextures(t, sprite);
    sprite.textures.assign(sprite.frames.size(), -1);
    for (size_t i = 0; i < sprite.frames.size(); ++i) {
        sprite.textures[i] = t.FromBitmap(sprite.frames[i]);
        if (sprite.Preload) t.Preload(sprite.textures[i]);
    }
}

void FreeBackgroundTexture(TextureTable& t, CBackground& background) {
    t.Free(background.texture);
    background.texture = -1;
}

void CreateBackgroundTexture(TextureTable& t, CBackground& background) {
    FreeBackgroundTexture(t, background);
    background.texture = t.FromBitmap(background.image);
    if (background.Preload) t.Preload(background.texture);
}

void CreateResourceTextures(Graphics& g, Game& game) {
    for (int i = 0; i < game.backgrounds.Count(); ++i)
        if (CBackground* b = game.backgrounds.Get(i)) CreateBackgroundTexture(g.textures, *b);
    for (int i = 0; i < game.sprites.Count(); ++i)
        if (CSprite* s = game.sprites.Get(i)) CreateSpriteTextures(g.textures, *s);
    for (int i = 0; i < game.fonts.Count(); ++i)
        if (CFont* f = game.fonts.Get(i)) CreateFontTexture(g.textures, *f);
}

}  // namespace tb
