// The drawing state of one running game: the device, the window's region and view slots, the
// texture and surface tables and the draw state that scripts set. The runner owns one; the
// script engine and the world reach it through engine.graphics.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/surfaces.h"
#include "graphics/textures.h"
#include "graphics/window_state.h"

namespace tb {

struct Game;

struct Graphics {
    Graphics() : textures(device), surfaces(device, textures) {}
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    GraphicsDevice device;
    WindowState window;    // region size and scale, style flags, view slots, mapping
    TextureTable textures;
    SurfaceTable surfaces;
    DrawState draw;        // colour, alpha, font, alignment, circle precision, builder
    Game* game = nullptr;
};

// Creates the textures of every sprite, background and font of the game (start-up).
void CreateResourceTextures(Graphics& g, Game& game);

}  // namespace tb
