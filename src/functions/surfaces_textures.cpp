// Textures of sprites and backgrounds and the texture states, and the drawing surfaces:
// creating, targeting, reading back, saving and copying them. Without graphics the functions
// do nothing and return their defaults.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

#include "functions/arguments.h"
#include "functions/register.h"
#include "graphics/bmp.h"
#include "graphics/graphics.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"
#include "system/file_bytes.h"
#include "system/paths.h"
#include "world/instance.h"

namespace tb {

namespace {

constexpr const char* kNoSurface = "Trying to use non-existing surface.";

// A frame number from a real: floor, kept inside the range where it can be wrapped.
int64_t FrameOf(double v) {
    if (!std::isfinite(v)) return 0;
    return int64_t(std::floor(std::clamp(v, -9.0e15, 9.0e15)));
}

// --- textures

void sprite_get_texture(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                        const RValue* args) {
    const CSprite* s = engine.game ? engine.game->sprites.Get(Int(args[0])) : nullptr;
    if (!s) {
        ShowRuntimeError(engine, "Trying to get texture from non-existing sprite.", false);
        return;
    }
    const double sub = Number(args[1]);
    const int64_t frame = sub < 0 ? (self ? FrameOf(self->image_index) : 0) : FrameOf(sub);
    result.SetReal(s->GetTexture(frame));
}

void background_get_texture(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                            const RValue* args) {
    const CBackground* b = engine.game ? engine.game->backgrounds.Get(Int(args[0])) : nullptr;
    if (!b) {
        ShowRuntimeError(engine, "Trying to get texture from non-existing background.", false);
        return;
    }
    result.SetReal(b->texture);
}

void texture_exists(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    result.SetReal(engine.graphics && engine.graphics->textures.Exists(Int(args[0])) ? 1 : 0);
}

void texture_set_interpolation(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                               const RValue* args) {
    if (engine.graphics) engine.graphics->device.SetInterpolation(Flag(args[0]));
}

void texture_set_blending(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                          const RValue* args) {
    if (engine.graphics) engine.graphics->device.SetTextureBlending(Flag(args[0]));
}

void texture_set_repeat(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                        const RValue* args) {
    if (engine.graphics) engine.graphics->device.SetTextureRepeat(Flag(args[0]));
}

// The part of the texture the image covers; 1 for a texture that does not exist.
void texture_get_width(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    result.SetReal(engine.graphics ? engine.graphics->textures.WidthFraction(Int(args[0])) : 1);
}

void texture_get_height(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                        const RValue* args) {
    result.SetReal(engine.graphics ? engine.graphics->textures.HeightFraction(Int(args[0])) : 1);
}

void texture_preload(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                     const RValue* args) {
    if (engine.graphics) engine.graphics->textures.Preload(Int(args[0]));
}

void texture_set_priority(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                          const RValue* args) {
    if (engine.graphics) engine.graphics->textures.SetPriority(Int(args[0]), Number(args[1]));
}

// --- surfaces

SurfaceTable* Surfaces(ScriptEngine& engine) {
    return engine.graphics ? &engine.graphics->surfaces : nullptr;
}

// The surface table when every id exists, else null after the error.
SurfaceTable* Using(ScriptEngine& engine, std::initializer_list<int32_t> ids) {
    SurfaceTable* s = Surfaces(engine);
    for (int32_t id : ids) {
        if (!s || !s->Exists(id)) {
            ShowRuntimeError(engine, kNoSurface, false);
            return nullptr;
        }
    }
    return s;
}

void surface_create(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    SurfaceTable* s = Surfaces(engine);
    result.SetReal(s ? s->Create(Int(args[0]), Int(args[1])) : -1);
}

void surface_free(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    if (SurfaceTable* s = Surfaces(engine)) s->Free(Int(args[0]));
}

void surface_exists(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    SurfaceTable* s = Surfaces(engine);
    result.SetReal(s && s->Exists(Int(args[0])) ? 1 : 0);
}

void surface_get_width(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    SurfaceTable* s = Surfaces(engine);
    result.SetReal(s ? s->Width(Int(args[0])) : -1);
}

void surface_get_height(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                        const RValue* args) {
    SurfaceTable* s = Surfaces(engine);
    result.SetReal(s ? s->Height(Int(args[0])) : -1);
}

void surface_get_texture(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                         const RValue* args) {
    SurfaceTable* s = Surfaces(engine);
    result.SetReal(s ? s->Texture(Int(args[0])) : -1);
}

void surface_set_target(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                        const RValue* args) {
    SurfaceTable* s = Surfaces(engine);
    result.SetReal(s && s->SetTarget(Int(args[0])) ? 1 : 0);
}

void surface_reset_target(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                          const RValue*) {
    SurfaceTable* s = Surfaces(engine);
    result.SetReal(s && s->ResetTarget() ? 1 : 0);
}

// The rectangle of the surface as a bitmap file; failures while writing are ignored.
void SavePart(ScriptEngine& engine, const RValue* args, int32_t x, int32_t y, int32_t w, int32_t h,
              bool whole) {
    const int32_t id = Int(args[0]);
    SurfaceTable* s = Using(engine, {id});
    if (!s) return;
    const std::string name = args[1].IsString() ? args[1].text.str() : std::string();
    if (name.empty()) {
        ShowRuntimeError(engine, "Trying to save surface to empty image file name.", false);
        return;
    }
    if (whole) {
        w = s->Width(id);
        h = s->Height(id);
    }
    const CBitmap32 picture = s->Capture(id, x, y, w, h);
    if (picture.exists) WriteFileAtomically(HostPath(name), EncodeBmp(picture));
}

void surface_save(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    SavePart(engine, args, 0, 0, 0, 0, true);
}

void surface_save_part(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                       const RValue* args) {
    SavePart(engine, args, Int(args[2]), Int(args[3]), Int(args[4]), Int(args[5]), false);
}

void surface_getpixel(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                      const RValue* args) {
    const int32_t id = Int(args[0]);
    if (SurfaceTable* s = Using(engine, {id}))
        result.SetReal(s->GetPixel(id, Int(args[1]), Int(args[2])));
}

void surface_copy(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    const int32_t dest = Int(args[0]), src = Int(args[3]);
    if (SurfaceTable* s = Using(engine, {dest, src}))
        s->Copy(dest, Int(args[1]), Int(args[2]), src);
}

void surface_copy_part(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                       const RValue* args) {
    const int32_t dest = Int(args[0]), src = Int(args[3]);
    if (SurfaceTable* s = Using(engine, {dest, src}))
        s->CopyPart(dest, Int(args[1]), Int(args[2]), src, Int(args[4]), Int(args[5]), Int(args[6]),
                    Int(args[7]));
}

}  // namespace

void RegisterTextureFunctions(FunctionRegistry& r) {
    r.Register("sprite_get_texture", &sprite_get_texture, 2);
    r.Register("background_get_texture", &background_get_texture, 1);
    r.Register("texture_exists", &texture_exists, 1);
    r.Register("texture_set_interpolation", &texture_set_interpolation, 1);
    r.Register("texture_set_blending", &texture_set_blending, 1);
    r.Register("texture_set_repeat", &texture_set_repeat, 1);
    r.Register("texture_get_width", &texture_get_width, 1);
    r.Register("texture_get_height", &texture_get_height, 1);
    r.Register("texture_preload", &texture_preload, 1);
    r.Register("texture_set_priority", &texture_set_priority, 2);
}

void RegisterSurfaceFunctions(FunctionRegistry& r) {
    r.Register("surface_create", &surface_create, 2);
    r.Register("surface_free", &surface_free, 1);
    r.Register("surface_exists", &surface_exists, 1);
    r.Register("surface_get_width", &surface_get_width, 1);
    r.Register("surface_get_height", &surface_get_height, 1);
    r.Register("surface_get_texture", &surface_get_texture, 1);
    r.Register("surface_set_target", &surface_set_target, 1);
    r.Register("surface_reset_target", &surface_reset_target, 0);
    r.Register("surface_save", &surface_save, 2);
    r.Register("surface_save_part", &surface_save_part, 6);
    r.Register("surface_getpixel", &surface_getpixel, 3);
    r.Register("surface_copy", &surface_copy, 4);
    r.Register("surface_copy_part", &surface_copy_part, 8);
}

}  // namespace tb
