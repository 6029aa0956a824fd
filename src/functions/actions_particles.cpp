// The particle actions: one particle system, made on first use, with 16 type slots and 16
// emitter slots named by the actions' arguments.
#include "functions/actions_common.h"
#include "functions/register.h"
#include "particles/particles.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "script/errors.h"

namespace tb {

namespace {

using namespace actions;

ActionParticles& Slots(ScriptEngine& e) {
    return e.particles->actions;
}

// The action system, made when missing.
RParticleSystem& System(ScriptEngine& e) {
    ParticleState& p = *e.particles;
    ActionParticles& slots = p.actions;
    if (!p.System(slots.system)) slots.system = p.CreateSystem();
    return *p.System(slots.system);
}

// A slot number argument, or -1 outside 0 .. 15.
int32_t SlotOf(const RValue& v) {
    const int32_t slot = Int(v);
    return slot >= 0 && size_t(slot) < ActionParticles::kSlots ? slot : -1;
}

// The type id in a slot; -1 for an empty or invalid slot.
int32_t TypeIn(ScriptEngine& e, const RValue& v) {
    const int32_t slot = SlotOf(v);
    if (slot < 0) return -1;
    const int32_t id = Slots(e).types[size_t(slot)];
    return e.particles->Type(id) ? id : -1;
}

// The type of the slot, created when the slot is empty; null for an invalid slot.
CParticleType* TypeSlot(ScriptEngine& e, const RValue& v) {
    const int32_t slot = SlotOf(v);
    if (slot < 0) return nullptr;
    int32_t& id = Slots(e).types[size_t(slot)];
    if (!e.particles->Type(id)) id = e.particles->CreateType();
    return e.particles->Type(id);
}

// The emitter of the slot in the action system, or null when the slot is empty.
PartEmitter* EmitterIn(ScriptEngine& e, const RValue& v) {
    const int32_t slot = SlotOf(v);
    RParticleSystem* s = e.particles->System(Slots(e).system);
    if (slot < 0 || !s) return nullptr;
    const int32_t id = Slots(e).emitters[size_t(slot)];
    if (id < 0 || size_t(id) >= s->emitters.size() || !s->emitters[size_t(id)].exists)
        return nullptr;
    return &s->emitters[size_t(id)];
}

// Destroys the slots' types and forgets the emitters.
void EmptySlots(ScriptEngine& e) {
    ActionParticles& slots = Slots(e);
    for (int32_t& id : slots.types) {
        if (id >= 0) e.particles->DestroyType(id);
        id = -1;
    }
    slots.emitters.fill(-1);
}

TB_ACTION(action_partsyst_create) {
    RParticleSystem& s = System(e);
    s.Clear();
    s.depth = Number(a[0]);
    EmptySlots(e);
}

TB_ACTION(action_partsyst_destroy) {
    ActionParticles& slots = Slots(e);
    if (slots.system >= 0) e.particles->DestroySystem(slots.system);
    slots.system = -1;
    EmptySlots(e);
}

TB_ACTION(action_partsyst_clear) {
    if (RParticleSystem* s = e.particles->System(Slots(e).system)) s->ClearParticles();
}

// (type, shape, sprite, min size, max size, size increment): a sprite that exists replaces
// the shape.
TB_ACTION(action_parttype_create) {
    CParticleType* t = TypeSlot(e, a[0]);
    if (!t) return;
    const int32_t sprite = Int(a[2]);
    t->shape = Int(a[1]);
    t->sprite = e.game && e.game->sprites.Exists(sprite) ? sprite : -1;
    t->animate = true;
    t->stretch = false;
    t->random_image = false;
    t->size_min = Number(a[3]);
    t->size_max = Number(a[4]);
    t->size_incr = Number(a[5]);
}

// (type, shape, min size, max size, start colour, end colour).
TB_ACTION(action_parttype_create_old) {
    CParticleType* t = TypeSlot(e, a[0]);
    if (!t) return;
    t->shape = Int(a[1]);
    t->sprite = -1;
    t->size_min = Number(a[2]);
    t->size_max = Number(a[3]);
    t->color_mode = ColorMode::kTwo;
    t->colors[0] = Int(a[4]);
    t->colors[1] = Int(a[5]);
}

// (type, changing, colour 1, colour 2, start alpha, end alpha): colour 1 changing into
// colour 2 over the life (changing = 1) or a random mix of them (otherwise).
TB_ACTION(action_parttype_color) {
    CParticleType* t = TypeSlot(e, a[0]);
    if (!t) return;
    t->color_mode = Int(a[1]) == 1 ? ColorMode::kTwo : ColorMode::kMix;
    t->colors[0] = Int(a[2]);
    t->colors[1] = Int(a[3]);
    t->alpha_start = Number(a[4]);
    t->alpha_end = Number(a[5]);
    t->alpha_middle = (t->alpha_start + t->alpha_end) / 2;
}

// (type, min life, max life).
TB_ACTION(action_parttype_life) {
    CParticleType* t = TypeSlot(e, a[0]);
    if (!t) return;
    t->life_min = Int(a[1]);
    t->life_max = Int(a[2]);
}

// (type, min speed, max speed, min direction, max direction, friction).
TB_ACTION(action_parttype_speed) {
    CParticleType* t = TypeSlot(e, a[0]);
    if (!t) return;
    t->speed_min = Number(a[1]);
    t->speed_max = Number(a[2]);
    t->dir_min = Number(a[3]);
    t->dir_max = Number(a[4]);
    t->speed_incr = -Number(a[5]);
}

// (type, amount, direction).
TB_ACTION(action_parttype_gravity) {
    CParticleType* t = TypeSlot(e, a[0]);
    if (!t) return;
    t->grav_amount = Number(a[1]);
    t->grav_dir = Number(a[2]);
}

// (type, step type, step number, death type, death number): the secondary types are slots.
TB_ACTION(action_parttype_secondary) {
    if (!TypeSlot(e, a[0])) return;
    const int32_t step = TypeIn(e, a[1]), death = TypeIn(e, a[3]);
    CParticleType* t = e.particles->Type(TypeIn(e, a[0]));
    if (!t) return;
    t->step_type = step;
    t->step_number = Int(a[2]);
    t->death_type = death;
    t->death_number = Int(a[4]);
}

// (emitter, shape, xmin, xmax, ymin, ymax), with the linear distribution.
TB_ACTION(action_partemit_create) {
    const int32_t slot = SlotOf(a[0]);
    if (slot < 0) return;
    RParticleSystem& s = System(e);
    PartEmitter* em = EmitterIn(e, a[0]);
    if (!em) {
        size_t i = 0;
        while (i < s.emitters.size() && s.emitters[i].exists) ++i;
        if (i == s.emitters.size()) s.emitters.emplace_back();
        s.emitters[i] = PartEmitter{};
        Slots(e).emitters[size_t(slot)] = int32_t(i);
        em = &s.emitters[i];
    }
    em->shape = Int(a[1]);
    em->xmin = Number(a[2]);
    em->xmax = Number(a[3]);
    em->ymin = Number(a[4]);
    em->ymax = Number(a[5]);
    em->distribution = kDistrLinear;
}

TB_ACTION(action_partemit_destroy) {
    if (PartEmitter* em = EmitterIn(e, a[0])) em->exists = false;
    if (SlotOf(a[0]) >= 0) Slots(e).emitters[size_t(SlotOf(a[0]))] = -1;
}

// The emitter of the slot, or null after the error.
PartEmitter* UsedEmitter(ScriptEngine& e, const RValue& v) {
    PartEmitter* em = EmitterIn(e, v);
    if (!em) ShowRuntimeError(e, "The particle emitter must first be created.", false);
    return em;
}

// (emitter, type, number).
TB_ACTION(action_partemit_burst) {
    const PartEmitter* em = UsedEmitter(e, a[0]);
    if (!em) return;
    const PartEmitter copy = *em;
    System(e).Burst(e.particles->Types(), e.random, copy, TypeIn(e, a[1]),
                    RoundToInt64(Number(a[2])));
}

TB_ACTION(action_partemit_stream) {
    PartEmitter* em = UsedEmitter(e, a[0]);
    if (!em) return;
    em->stream_type = TypeIn(e, a[1]);
    em->stream_number = Int(a[2]);
}

}  // namespace

void RegisterParticleActions(FunctionRegistry& r) {
    r.Register("action_partsyst_create", &action_partsyst_create, 1);
    r.Register("action_partsyst_destroy", &action_partsyst_destroy, 0);
    r.Register("action_partsyst_clear", &action_partsyst_clear, 0);
    r.Register("action_parttype_create", &action_parttype_create, 6);
    r.Register("action_parttype_create_old", &action_parttype_create_old, 6);
    r.Register("action_parttype_color", &action_parttype_color, 6);
    r.Register("action_parttype_life", &action_parttype_life, 3);
    r.Register("action_parttype_speed", &action_parttype_speed, 6);
    r.Register("action_parttype_gravity", &action_parttype_gravity, 3);
    r.Register("action_parttype_secondary", &action_parttype_secondary, 5);
    r.Register("action_partemit_create", &action_partemit_create, 6);
    r.Register("action_partemit_destroy", &action_partemit_destroy, 1);
    r.Register("action_partemit_burst", &action_partemit_burst, 3);
    r.Register("action_partemit_stream", &action_partemit_stream, 3);
}

}  // namespace tb
