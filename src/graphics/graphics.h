// The drawing state of one running game: the device, the window's region and view slots, the
// texture and surface tables and the draw state that scripts set. The runner owns one; the
// script engine and the world reach it through engine.graphics.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/d3d.h"
#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/game_window.h"
#include "graphics/surfaces.h"
#include "graphics/textures.h"
#include "graphics/window_state.h"

namespace tb {

struct Game;
class CSprite;
class CBackground;

struct Graphics {
    Graphics()
        : game_window(device, window), textures(device), surfaces(device, textures), d3d(device) {}
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    GraphicsDevice device;
    WindowState window;      // region size and scale, style flags, view slots, mapping
    GameWindow game_window;  // the window itself: acts on `window` and keeps it current
    TextureTable textures;
    SurfaceTable surfaces;
    DrawState draw;  // colour, alpha, font, alignment, circle precision, builder
    D3DState d3d;    // transform stack, 3D builder, models
    Game* game = nullptr;
};

// Creates the device (the texture and surface tables start empty); false with the reason in
// g.device.LastError().
bool InitDevice(Graphics& g, const DeviceOptions& options, int32_t width, int32_t height);
// Rebuilds the device: every surface is freed, textures stay.
bool ResetDevice(Graphics& g);
// Frees every surface and texture and the device (end of the run).
void ReleaseGraphics(Graphics& g);
// Region size at room start: both capped to the screen; when it differs from the window's
// region, the window region is set (adapting the window), the window takes its default size
// and place, and the device region follows.
void SetRegionForRoom(Graphics& g, int32_t width, int32_t height);

// Creates the textures of every background, then every sprite, then every font (start-up).
void CreateResourceTextures(Graphics& g, Game& game);
// Each frees the resource's old textures and makes new ones (preloaded when the resource
// asks); a missing frame or image gets -1. Fonts: graphics/fonts.h.
void CreateSpriteTextures(TextureTable& t, CSprite& sprite);
void CreateBackgroundTexture(TextureTable& t, CBackground& background);
void FreeSpriteTextures(TextureTable& t, CSprite& sprite);
void FreeBackgroundTexture(TextureTable& t, CBackground& background);

}  // namespace tb
