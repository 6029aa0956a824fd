// Sprites drawn as text and instances placed with them, for the collision tests.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "world/instance.h"
#include "world/instance_ops.h"

namespace tb::test {

// One frame: a string per row, '#' opaque, anything else transparent.
inline CBitmap32 Art(std::initializer_list<const char*> rows) {
    const std::vector<std::string> lines(rows.begin(), rows.end());
    CBitmap32 b(int32_t(lines.empty() ? 0 : lines[0].size()), int32_t(lines.size()), 0x00FFFFFF);
    for (int32_t y = 0; y < b.height; ++y)
        for (int32_t x = 0; x < b.width; ++x)
            if (lines[size_t(y)][size_t(x)] == '#') b.At(x, y) = 0xFF000000;
    return b;
}

struct SpriteArt {
    std::vector<CBitmap32> frames;
    int32_t xorig = 0, yorig = 0;
    bool precise = true;
    bool transparent = true;
};

// The box is computed from the frames and the masks are built, as loading does.
inline int AddArtSprite(Game& g, const SpriteArt& a) {
    auto sp = std::make_unique<CSprite>();
    sp->frames = a.frames;
    if (!a.frames.empty()) {
        sp->Width = a.frames[0].width;
        sp->Height = a.frames[0].height;
    }
    sp->XOrigin = a.xorig;
    sp->YOrigin = a.yorig;
    sp->Precise = a.precise;
    sp->Transparent = a.transparent;
    sp->textures.assign(sp->frames.size(), -1);
    sp->ComputeBoundingBox();
    sp->BuildMasks();
    return g.sprites.Add(std::move(sp), "spr" + std::to_string(g.sprites.Count()));
}

// A full opaque w x h block without masks.
inline int AddBlockSprite(Game& g, int32_t w, int32_t h, bool precise = false) {
    return AddArtSprite(g, {{CBitmap32(w, h, 0xFF000000)}, 0, 0, precise});
}

struct Pose {
    double x = 0, y = 0;
    double xscale = 1, yscale = 1, angle = 0;
    double image_index = 0;
};

// An instance of no object showing `sprite` (its own mask) in the pose, box computed.
inline CInstance PlaceSprite(const Game& g, int sprite, const Pose& p) {
    CInstance inst;
    inst.sprite_index = sprite;
    inst.mask_index = -1;
    inst.x = p.x;
    inst.y = p.y;
    inst.image_xscale = p.xscale;
    inst.image_yscale = p.yscale;
    inst.image_angle = p.angle;
    inst.image_index = p.image_index;
    ComputeBoundingBox(inst, g);
    return inst;
}

}  // namespace tb::test
