// Drawing sprites, backgrounds and surfaces: nine forms each, all onto the textured quads.
#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/colors.h"
#include "graphics/graphics.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "world/instance.h"

namespace tb {

namespace {

using Args = const RValue*;

constexpr uint32_t kWhite = 0xFFFFFF;

enum class Source { kSprite, kBackground, kSurface };

// What one of the forms draws with: the texture, its image size and the origin.
struct Image {
    int32_t texture = -1;
    double width = 0, height = 0;
    double xorig = 0, yorig = 0;
};

int32_t Int(const RValue& v) {
    return int32_t(std::clamp<int64_t>(RoundToInt64(v.real), INT32_MIN, INT32_MAX));
}
uint32_t Col(const RValue& v) {
    return ColorArgument(v.real);
}

// The arguments after the resource (and a sprite's sub-image).
template <Source S>
constexpr int kSkip = S == Source::kSprite ? 2 : 1;

// The image named by the first arguments; false after the error for a missing one.
template <Source S>
bool Resolve(ScriptEngine& e, CInstance* self, Args a, Image& img) {
    const int32_t id = Int(a[0]);
    if constexpr (S == Source::kSprite) {
        const CSprite* s = e.game ? e.game->sprites.Get(id) : nullptr;
        if (!s) {
            ShowRuntimeError(e, "Trying to draw non-existing sprite.", false);
            return false;
        }
        int64_t frame = RoundToInt64(a[1].real);
        if (a[1].real < 0) frame = self ? RoundToInt64(std::floor(self->image_index)) : 0;
        img.texture = s->GetTexture(frame);
        img.width = s->Width;
        img.height = s->Height;
        img.xorig = s->XOrigin;
        img.yorig = s->YOrigin;
    } else if constexpr (S == Source::kBackground) {
        const CBackground* b = e.game ? e.game->backgrounds.Get(id) : nullptr;
        if (!b) {
            ShowRuntimeError(e, "Trying to draw non-existing background.", false);
            return false;
        }
        img.texture = b->texture;
        img.width = b->Width;
        img.height = b->Height;
    } else {
        const SurfaceTable& t = e.graphics->surfaces;
        if (!t.Exists(id)) {
            ShowRuntimeError(e, "Trying to use non-existing surface.", false);
            return false;
        }
        img.texture = t.Texture(id);
        img.width = t.Width(id);
        img.height = t.Height(id);
    }
    return true;
}

// The graphics and the image, or null (nothing to draw on, or the error was shown).
template <Source S>
Graphics* Prepare(ScriptEngine& e, CInstance* self, Args a, Image& img) {
    if (!e.graphics || !Resolve<S>(e, self, a, img)) return nullptr;
    return e.graphics;
}

// Tiles cover the room.
void RoomSize(const ScriptEngine& e, const Graphics& g, double& w, double& h) {
    if (e.room) {
        w = e.room->Width;
        h = e.room->Height;
    } else {
        w = g.device.RegionWidth();
        h = g.device.RegionHeight();
    }
}

template <Source S>
void Simple(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    Graphics* g = Prepare<S>(e, self, a, m);
    if (!g) return;
    const Args p = a + kSkip<S>;
    g->textures.DrawSimple(m.texture, p[0].real - m.xorig, p[1].real - m.yorig);
}

template <Source S>
void Ext(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    Graphics* g = Prepare<S>(e, self, a, m);
    if (!g) return;
    const Args p = a + kSkip<S>;
    g->textures.DrawExt(m.texture, m.xorig, m.yorig, p[0].real, p[1].real, p[2].real, p[3].real,
                        p[4].real, Col(p[5]), p[6].real);
}

void Stretched(Graphics& g, const Image& m, Args p, uint32_t color, double alpha) {
    const double w = p[2].real, h = p[3].real;
    if (!(w > 0 && h > 0 && m.width > 0 && m.height > 0)) return;
    g.textures.DrawExt(m.texture, 0, 0, p[0].real, p[1].real, w / m.width, h / m.height, 0, color,
                       alpha);
}

template <Source S>
void StretchedPlain(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    if (Graphics* g = Prepare<S>(e, self, a, m)) Stretched(*g, m, a + kSkip<S>, kWhite, 1);
}

template <Source S>
void StretchedExt(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    Graphics* g = Prepare<S>(e, self, a, m);
    if (!g) return;
    const Args p = a + kSkip<S>;
    Stretched(*g, m, p, Col(p[4]), p[5].real);
}

template <Source S>
void Part(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    Graphics* g = Prepare<S>(e, self, a, m);
    if (!g) return;
    const Args p = a + kSkip<S>;
    g->textures.DrawPart(m.texture, p[0].real, p[1].real, p[2].real, p[3].real, p[4].real,
                         p[5].real, 1, 1, 0, kWhite, 1);
}

template <Source S>
void PartExt(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    Graphics* g = Prepare<S>(e, self, a, m);
    if (!g) return;
    const Args p = a + kSkip<S>;
    g->textures.DrawPart(m.texture, p[0].real, p[1].real, p[2].real, p[3].real, p[4].real,
                         p[5].real, p[6].real, p[7].real, 0, Col(p[8]), p[9].real);
}

template <Source S>
void General(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    Graphics* g = Prepare<S>(e, self, a, m);
    if (!g) return;
    const Args p = a + kSkip<S>;
    g->textures.DrawGeneral(m.texture, p[0].real, p[1].real, p[2].real, p[3].real, p[4].real,
                            p[5].real, p[6].real, p[7].real, p[8].real, Col(p[9]), Col(p[10]),
                            Col(p[11]), Col(p[12]), p[13].real);
}

void Tiled(ScriptEngine& e, Graphics& g, const Image& m, double x, double y, double xscale,
           double yscale, uint32_t color, double alpha) {
    double w = 0, h = 0;
    RoomSize(e, g, w, h);
    g.textures.DrawTiled(m.texture, true, true, m.xorig, m.yorig, x, y, xscale, yscale, 0, 0, w, h,
                         color, alpha);
}

template <Source S>
void TiledPlain(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    Graphics* g = Prepare<S>(e, self, a, m);
    if (!g) return;
    const Args p = a + kSkip<S>;
    Tiled(e, *g, m, p[0].real, p[1].real, 1, 1, kWhite, 1);
}

template <Source S>
void TiledExt(ScriptEngine& e, CInstance* self, CInstance*, int, RValue&, Args a) {
    Image m;
    Graphics* g = Prepare<S>(e, self, a, m);
    if (!g) return;
    const Args p = a + kSkip<S>;
    Tiled(e, *g, m, p[0].real, p[1].real, p[2].real, p[3].real, Col(p[4]), p[5].real);
}

// The nine forms of one source, with the argument counts of the sprite forms less `fewer`.
template <Source S>
void RegisterForms(FunctionRegistry& r, const char* prefix) {
    constexpr int fewer = S == Source::kSprite ? 0 : 1;
    const std::string p = prefix;
    r.Register(p, &Simple<S>, 4 - fewer);
    r.Register(p + "_ext", &Ext<S>, 9 - fewer);
    r.Register(p + "_stretched", &StretchedPlain<S>, 6 - fewer);
    r.Register(p + "_stretched_ext", &StretchedExt<S>, 8 - fewer);
    r.Register(p + "_part", &Part<S>, 8 - fewer);
    r.Register(p + "_part_ext", &PartExt<S>, 12 - fewer);
    r.Register(p + "_general", &General<S>, 16 - fewer);
    r.Register(p + "_tiled", &TiledPlain<S>, 4 - fewer);
    r.Register(p + "_tiled_ext", &TiledExt<S>, 8 - fewer);
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kDrawSprite = &Simple<Source::kSprite>;
const BuiltinFunction kDrawBackground = &Simple<Source::kBackground>;
const BuiltinFunction kDrawBackgroundTiled = &TiledPlain<Source::kBackground>;

void RegisterDrawImageFunctions(FunctionRegistry& r) {
    RegisterForms<Source::kSprite>(r, "draw_sprite");
    RegisterForms<Source::kBackground>(r, "draw_background");
    RegisterForms<Source::kSurface>(r, "draw_surface");
}

}  // namespace tb
