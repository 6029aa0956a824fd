// Particle types, systems, particles, emitters, attractors, destroyers, deflectors, changers
// and the simple effects. None of them reports an error: a missing type, system or element
// makes the call do nothing.
#include "particles/particles.h"

#include <cstdint>
#include <vector>

#include "functions/arguments.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/colors.h"
#include "graphics/graphics.h"
#include "particles/effects.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/registry.h"
#include "world/world.h"

namespace tb {

namespace {

#define TB_PART(name)                                                             \
    void name([[maybe_unused]] ScriptEngine& engine, CInstance*, CInstance*, int, \
              [[maybe_unused]] RValue& result, [[maybe_unused]] const RValue* a)

ParticleState& State(ScriptEngine& e) {
    return *e.particles;
}

// Counts of particles: reals beyond the 64-bit range are clamped before rounding.
int64_t Count(const RValue& v) {
    const double d = Number(v);
    if (!(d > -9e18)) return d != d ? 0 : INT64_MIN / 2;
    if (d > 9e18) return INT64_MAX / 2;
    return int64_t(std::nearbyint(d));
}

CParticleType* TypeArg(ScriptEngine& e, const RValue& v) {
    return State(e).Type(Int(v));
}

RParticleSystem* SystemArg(ScriptEngine& e, const RValue& v) {
    return State(e).System(Int(v));
}

// Element `ind` of one of a system's lists, or null.
template <class T>
T* Element(std::vector<T>& list, const RValue& v) {
    const int32_t i = Int(v);
    if (i < 0 || size_t(i) >= list.size() || !list[size_t(i)].exists) return nullptr;
    return &list[size_t(i)];
}

template <class T>
int32_t CreateElement(std::vector<T>& list) {
    size_t i = 0;
    while (i < list.size() && list[i].exists) ++i;
    if (i == list.size()) list.emplace_back();
    list[i] = T{};
    return int32_t(i);
}

// --- types

TB_PART(part_type_create) {
    result.SetReal(State(engine).CreateType());
}
TB_PART(part_type_destroy) {
    State(engine).DestroyType(Int(a[0]));
}
TB_PART(part_type_exists) {
    result.SetReal(State(engine).TypeExists(Int(a[0])) ? 1 : 0);
}
TB_PART(part_type_clear) {
    if (CParticleType* t = TypeArg(engine, a[0])) t->Clear();
}
TB_PART(part_type_shape) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->shape = Int(a[1]);
        t->sprite = -1;
    }
}
TB_PART(part_type_sprite) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->sprite = Int(a[1]);
        t->animate = Flag(a[2]);
        t->stretch = Flag(a[3]);
        t->random_image = Flag(a[4]);
    }
}
TB_PART(part_type_size) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->size_min = Number(a[1]);
        t->size_max = Number(a[2]);
        t->size_incr = Number(a[3]);
        t->size_wiggle = Number(a[4]);
    }
}
TB_PART(part_type_scale) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->xscale = Number(a[1]);
        t->yscale = Number(a[2]);
    }
}
TB_PART(part_type_life) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->life_min = Int(a[1]);
        t->life_max = Int(a[2]);
    }
}
TB_PART(part_type_step) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->step_number = Int(a[1]);
        t->step_type = Int(a[2]);
    }
}
TB_PART(part_type_death) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->death_number = Int(a[1]);
        t->death_type = Int(a[2]);
    }
}
TB_PART(part_type_speed) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->speed_min = Number(a[1]);
        t->speed_max = Number(a[2]);
        t->speed_incr = Number(a[3]);
        t->speed_wiggle = Number(a[4]);
    }
}
TB_PART(part_type_direction) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->dir_min = Number(a[1]);
        t->dir_max = Number(a[2]);
        t->dir_incr = Number(a[3]);
        t->dir_wiggle = Number(a[4]);
    }
}
TB_PART(part_type_orientation) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->ang_min = Number(a[1]);
        t->ang_max = Number(a[2]);
        t->ang_incr = Number(a[3]);
        t->ang_wiggle = Number(a[4]);
        t->ang_relative = Flag(a[5]);
    }
}
TB_PART(part_type_gravity) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->grav_amount = Number(a[1]);
        t->grav_dir = Number(a[2]);
    }
}

// The colour setters: the mode and the first n values.
void SetColors(ScriptEngine& engine, const RValue* a, ColorMode mode, int n) {
    CParticleType* t = TypeArg(engine, a[0]);
    if (!t) return;
    t->color_mode = mode;
    for (int i = 0; i < n; ++i) t->colors[size_t(i)] = Number(a[i + 1]);
}

TB_PART(part_type_color_mix) {
    SetColors(engine, a, ColorMode::kMix, 2);
}
TB_PART(part_type_color_rgb) {
    SetColors(engine, a, ColorMode::kRgb, 6);
}
TB_PART(part_type_color_hsv) {
    SetColors(engine, a, ColorMode::kHsv, 6);
}
TB_PART(part_type_color1) {
    SetColors(engine, a, ColorMode::kOne, 1);
}
TB_PART(part_type_color2) {
    SetColors(engine, a, ColorMode::kTwo, 2);
}
TB_PART(part_type_color3) {
    SetColors(engine, a, ColorMode::kThree, 3);
}
TB_PART(part_type_alpha1) {
    if (CParticleType* t = TypeArg(engine, a[0]))
        t->alpha_start = t->alpha_middle = t->alpha_end = Number(a[1]);
}
TB_PART(part_type_alpha2) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->alpha_start = Number(a[1]);
        t->alpha_end = Number(a[2]);
        t->alpha_middle = (t->alpha_start + t->alpha_end) / 2;
    }
}
TB_PART(part_type_alpha3) {
    if (CParticleType* t = TypeArg(engine, a[0])) {
        t->alpha_start = Number(a[1]);
        t->alpha_middle = Number(a[2]);
        t->alpha_end = Number(a[3]);
    }
}
TB_PART(part_type_blend) {
    if (CParticleType* t = TypeArg(engine, a[0])) t->additive = Flag(a[1]);
}

// --- systems

TB_PART(part_system_create) {
    result.SetReal(State(engine).CreateSystem());
}
TB_PART(part_system_destroy) {
    State(engine).DestroySystem(Int(a[0]));
}
TB_PART(part_system_exists) {
    result.SetReal(SystemArg(engine, a[0]) ? 1 : 0);
}
TB_PART(part_system_clear) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) s->Clear();
}
TB_PART(part_system_draw_order) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) s->old_to_new = Flag(a[1]);
}
TB_PART(part_system_depth) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) s->depth = Number(a[1]);
}
TB_PART(part_system_position) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) {
        s->x = Number(a[1]);
        s->y = Number(a[2]);
    }
}
TB_PART(part_system_automatic_update) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) s->auto_update = Flag(a[1]);
}
TB_PART(part_system_automatic_draw) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) s->auto_draw = Flag(a[1]);
}
TB_PART(part_system_update) {
    State(engine).Update(Int(a[0]), engine.random);
}
TB_PART(part_system_drawit) {
    if (engine.graphics) State(engine).Draw(*engine.graphics, engine.game, Int(a[0]));
}

// --- particles

TB_PART(part_particles_create) {
    if (RParticleSystem* s = SystemArg(engine, a[0]))
        s->CreateParticles(State(engine).Types(), engine.random, Number(a[1]), Number(a[2]),
                           Int(a[3]), Count(a[4]));
}
TB_PART(part_particles_create_color) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) {
        const uint32_t color = ColorArgument(Number(a[4]));
        s->CreateParticles(State(engine).Types(), engine.random, Number(a[1]), Number(a[2]),
                           Int(a[3]), Count(a[5]), &color);
    }
}
TB_PART(part_particles_clear) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) s->ClearParticles();
}
TB_PART(part_particles_count) {
    const RParticleSystem* s = SystemArg(engine, a[0]);
    result.SetReal(s ? double(s->particles.size()) : 0);
}

// --- the five kinds of elements: create, destroy, destroy all, exists, clear

template <auto List>
void ElementCreate(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                   const RValue* a) {
    RParticleSystem* s = SystemArg(engine, a[0]);
    result.SetReal(s ? CreateElement(s->*List) : -1);
}
template <auto List>
void ElementDestroy(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* a) {
    if (RParticleSystem* s = SystemArg(engine, a[0]))
        if (auto* e = Element(s->*List, a[1])) e->exists = false;
}
template <auto List>
void ElementDestroyAll(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                       const RValue* a) {
    if (RParticleSystem* s = SystemArg(engine, a[0])) (s->*List).clear();
}
template <auto List>
void ElementExists(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                   const RValue* a) {
    RParticleSystem* s = SystemArg(engine, a[0]);
    result.SetReal(s && Element(s->*List, a[1]) ? 1 : 0);
}
template <auto List>
void ElementClear(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* a) {
    if (RParticleSystem* s = SystemArg(engine, a[0]))
        if (auto* e = Element(s->*List, a[1])) *e = {};
}

// The element named by (ps, ind), or null.
template <auto List>
auto* ElementArg(ScriptEngine& engine, const RValue* a) {
    RParticleSystem* s = SystemArg(engine, a[0]);
    return s ? Element(s->*List, a[1]) : nullptr;
}

constexpr auto kEmitters = &RParticleSystem::emitters;
constexpr auto kAttractors = &RParticleSystem::attractors;
constexpr auto kDestroyers = &RParticleSystem::destroyers;
constexpr auto kDeflectors = &RParticleSystem::deflectors;
constexpr auto kChangers = &RParticleSystem::changers;

// xmin, xmax, ymin, ymax from a[2] on.
template <class T>
void SetRegion(T& e, const RValue* a) {
    e.xmin = Number(a[2]);
    e.xmax = Number(a[3]);
    e.ymin = Number(a[4]);
    e.ymax = Number(a[5]);
}

TB_PART(part_emitter_region) {
    if (PartEmitter* e = ElementArg<kEmitters>(engine, a)) {
        SetRegion(*e, a);
        e->shape = Int(a[6]);
        e->distribution = Int(a[7]);
    }
}
TB_PART(part_emitter_burst) {
    RParticleSystem* s = SystemArg(engine, a[0]);
    if (!s) return;
    if (PartEmitter* e = Element(s->emitters, a[1])) {
        const PartEmitter copy = *e;
        s->Burst(State(engine).Types(), engine.random, copy, Int(a[2]), Count(a[3]));
    }
}
TB_PART(part_emitter_stream) {
    if (PartEmitter* e = ElementArg<kEmitters>(engine, a)) {
        e->stream_type = Int(a[2]);
        e->stream_number = Int(a[3]);
    }
}
TB_PART(part_attractor_position) {
    if (PartAttractor* e = ElementArg<kAttractors>(engine, a)) {
        e->x = Number(a[2]);
        e->y = Number(a[3]);
    }
}
TB_PART(part_attractor_force) {
    if (PartAttractor* e = ElementArg<kAttractors>(engine, a)) {
        e->force = Number(a[2]);
        e->distance = Number(a[3]);
        e->kind = Int(a[4]);
        e->additive = Flag(a[5]);
    }
}
TB_PART(part_destroyer_region) {
    if (PartDestroyer* e = ElementArg<kDestroyers>(engine, a)) {
        SetRegion(*e, a);
        e->shape = Int(a[6]);
    }
}
TB_PART(part_deflector_region) {
    if (PartDeflector* e = ElementArg<kDeflectors>(engine, a)) SetRegion(*e, a);
}
TB_PART(part_deflector_kind) {
    if (PartDeflector* e = ElementArg<kDeflectors>(engine, a)) e->kind = Int(a[2]);
}
TB_PART(part_deflector_friction) {
    if (PartDeflector* e = ElementArg<kDeflectors>(engine, a)) e->friction = Number(a[2]);
}
TB_PART(part_changer_region) {
    if (PartChanger* e = ElementArg<kChangers>(engine, a)) {
        SetRegion(*e, a);
        e->shape = Int(a[6]);
    }
}
TB_PART(part_changer_kind) {
    if (PartChanger* e = ElementArg<kChangers>(engine, a)) e->kind = Int(a[2]);
}
TB_PART(part_changer_types) {
    if (PartChanger* e = ElementArg<kChangers>(engine, a)) {
        e->from = Int(a[2]);
        e->to = Int(a[3]);
    }
}

// --- simple effects

void Effect(ScriptEngine& engine, const RValue* a, bool above) {
    EffectCall call;
    call.kind = Int(a[0]);
    call.x = Number(a[1]);
    call.y = Number(a[2]);
    call.size = Int(a[3]);
    call.color = ColorArgument(Number(a[4]));
    call.above = above;
    if (engine.room) {
        call.room_width = engine.room->Width;
        call.room_height = engine.room->Height;
    }
    const double speed = engine.room ? engine.room->Speed : 30;
    const double fps = engine.world ? engine.world->fps : 0;
    call.speed_factor = EffectSpeedFactor(speed, fps);
    CreateEffect(State(engine), engine.random, call);
}

TB_PART(effect_create_below) {
    Effect(engine, a, false);
}
TB_PART(effect_create_above) {
    Effect(engine, a, true);
}
TB_PART(effect_clear) {
    ClearEffects(State(engine));
}

template <auto List>
void RegisterElements(FunctionRegistry& r, const char* kind) {
    const std::string p = std::string("part_") + kind;
    r.Register(p + "_create", &ElementCreate<List>, 1);
    r.Register(p + "_destroy", &ElementDestroy<List>, 2);
    r.Register(p + "_destroy_all", &ElementDestroyAll<List>, 1);
    r.Register(p + "_exists", &ElementExists<List>, 2);
    r.Register(p + "_clear", &ElementClear<List>, 2);
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kEffectCreateBelow = &effect_create_below;
const BuiltinFunction kEffectCreateAbove = &effect_create_above;

void RegisterParticleFunctions(FunctionRegistry& r) {
    r.Register("part_type_create", &part_type_create, 0);
    r.Register("part_type_destroy", &part_type_destroy, 1);
    r.Register("part_type_exists", &part_type_exists, 1);
    r.Register("part_type_clear", &part_type_clear, 1);
    r.Register("part_type_shape", &part_type_shape, 2);
    r.Register("part_type_sprite", &part_type_sprite, 5);
    r.Register("part_type_size", &part_type_size, 5);
    r.Register("part_type_scale", &part_type_scale, 3);
    r.Register("part_type_life", &part_type_life, 3);
    r.Register("part_type_step", &part_type_step, 3);
    r.Register("part_type_death", &part_type_death, 3);
    r.Register("part_type_speed", &part_type_speed, 5);
    r.Register("part_type_direction", &part_type_direction, 5);
    r.Register("part_type_orientation", &part_type_orientation, 6);
    r.Register("part_type_gravity", &part_type_gravity, 3);
    r.Register("part_type_color_mix", &part_type_color_mix, 3);
    r.Register("part_type_color_rgb", &part_type_color_rgb, 7);
    r.Register("part_type_color_hsv", &part_type_color_hsv, 7);
    r.Register("part_type_color1", &part_type_color1, 2);
    r.Register("part_type_color2", &part_type_color2, 3);
    r.Register("part_type_color3", &part_type_color3, 4);
    r.Register("part_type_color", &part_type_color3, 4);
    r.Register("part_type_alpha1", &part_type_alpha1, 2);
    r.Register("part_type_alpha2", &part_type_alpha2, 3);
    r.Register("part_type_alpha3", &part_type_alpha3, 4);
    r.Register("part_type_alpha", &part_type_alpha3, 4);
    r.Register("part_type_blend", &part_type_blend, 2);

    r.Register("part_system_create", &part_system_create, 0);
    r.Register("part_system_destroy", &part_system_destroy, 1);
    r.Register("part_system_exists", &part_system_exists, 1);
    r.Register("part_system_clear", &part_system_clear, 1);
    r.Register("part_system_draw_order", &part_system_draw_order, 2);
    r.Register("part_system_depth", &part_system_depth, 2);
    r.Register("part_system_position", &part_system_position, 3);
    r.Register("part_system_automatic_update", &part_system_automatic_update, 2);
    r.Register("part_system_automatic_draw", &part_system_automatic_draw, 2);
    r.Register("part_system_update", &part_system_update, 1);
    r.Register("part_system_drawit", &part_system_drawit, 1);

    r.Register("part_particles_create", &part_particles_create, 5);
    r.Register("part_particles_create_color", &part_particles_create_color, 6);
    r.Register("part_particles_clear", &part_particles_clear, 1);
    r.Register("part_particles_count", &part_particles_count, 1);

    RegisterElements<kEmitters>(r, "emitter");
    r.Register("part_emitter_region", &part_emitter_region, 8);
    r.Register("part_emitter_burst", &part_emitter_burst, 4);
    r.Register("part_emitter_stream", &part_emitter_stream, 4);

    RegisterElements<kAttractors>(r, "attractor");
    r.Register("part_attractor_position", &part_attractor_position, 4);
    r.Register("part_attractor_force", &part_attractor_force, 6);

    RegisterElements<kDestroyers>(r, "destroyer");
    r.Register("part_destroyer_region", &part_destroyer_region, 7);

    RegisterElements<kDeflectors>(r, "deflector");
    r.Register("part_deflector_region", &part_deflector_region, 6);
    r.Register("part_deflector_kind", &part_deflector_kind, 3);
    r.Register("part_deflector_friction", &part_deflector_friction, 3);

    RegisterElements<kChangers>(r, "changer");
    r.Register("part_changer_region", &part_changer_region, 7);
    r.Register("part_changer_kind", &part_changer_kind, 3);
    r.Register("part_changer_types", &part_changer_types, 4);

    r.Register("effect_create_below", &effect_create_below, 5);
    r.Register("effect_create_above", &effect_create_above, 5);
    r.Register("effect_clear", &effect_clear, 0);
}

}  // namespace tb
