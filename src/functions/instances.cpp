// Creating, destroying, finding, changing and (de)activating instances.
#include <string>

#include "functions/arguments.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"
#include "world/instance_lifecycle.h"
#include "world/instance_ops.h"
#include "world/instance_sets.h"

namespace tb {

namespace {

void ReportWithNumber(ScriptEngine& engine, const char* text, int64_t n) {
    ShowRuntimeError(engine, std::string(text) + std::to_string(n), false);
}

// --- finding

void instance_find(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                   const RValue* args) {
    const CInstance* inst =
        NthInTarget(engine, engine.room, TargetOf(args[0]), RoundToInt64(Number(args[1])));
    result.SetReal(inst ? inst->id : kNoone);
}

void instance_exists(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue& result,
                     const RValue* args) {
    const int64_t target = ResolveSelfOther(TargetOf(args[0]), self, other);
    const bool found =
        FindInTarget(engine, engine.room, target, [](CInstance&) { return true; }) != nullptr;
    result.SetReal(found ? 1 : 0);
}

void instance_number(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue& result,
                     const RValue* args) {
    const int64_t target = ResolveSelfOther(TargetOf(args[0]), self, other);
    result.SetReal(CountInTarget(engine, engine.room, target));
}

// --- creating, changing, destroying

void instance_create(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                     const RValue* args) {
    result.SetReal(kNoone);
    const int64_t object = TargetOf(args[2]);
    if (!ObjectExists(engine, object)) {
        ReportWithNumber(engine, "Creating instance for non-existing object: ", object);
        return;
    }
    // The instance outlives its Create event (even one that destroys or changes it, which
    // keeps the id), so its id can be read afterwards.
    const CInstance* inst =
        CreateWithEvent(engine, int32_t(object), Number(args[0]), Number(args[1]));
    if (inst) result.SetReal(inst->id);
}

void instance_copy(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                   const RValue* args) {
    result.SetReal(kNoone);
    if (!self) return;
    if (const CInstance* copy = CopyWithEvent(engine, *self, Flag(args[0])))
        result.SetReal(copy->id);
}

void instance_change(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                     const RValue* args) {
    const int64_t object = TargetOf(args[0]);
    if (!ObjectExists(engine, object)) {
        ReportWithNumber(engine, "Asking to change into non-existing object: ", object);
        return;
    }
    if (self) ChangeWithEvents(engine, *self, int32_t(object), Flag(args[1]));
}

void instance_destroy(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                      const RValue*) {
    if (self) DestroyWithEvent(engine, *self);
}

void instance_sprite(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                     const RValue* args) {
    const int64_t sprite = TargetOf(args[0]);
    if (!engine.game || sprite < 0 || sprite >= engine.game->sprites.Count() ||
        !engine.game->sprites.Exists(int(sprite))) {
        ReportWithNumber(engine, "Setting instance to non-existing sprite: ", sprite);
        return;
    }
    if (self) SetSprite(*self, *engine.game, int32_t(sprite));
}

// --- deactivation and activation: marks, then the room moves the instances at once

void ApplyActivation(ScriptEngine& engine) {
    if (engine.room && engine.game) engine.room->ApplyActivation(engine.game->objects);
}

// Marks the active, live instances the predicate picks.
template <class Pick>
void DeactivateWhere(ScriptEngine& engine, Pick&& pick) {
    if (!engine.room) return;
    for (const auto& inst : engine.room->instances)
        if (inst && !inst->destroyed && pick(*inst)) inst->deactivated = true;
    ApplyActivation(engine);
}

// Clears the marks of the inactive instances the predicate picks.
template <class Pick>
void ActivateWhere(ScriptEngine& engine, Pick&& pick) {
    if (!engine.room) return;
    for (const auto& inst : engine.room->inactive_instances)
        if (inst && pick(*inst)) inst->deactivated = false;
    ApplyActivation(engine);
}

struct Region {
    double left, top, width, height;
    bool inside;
};

Region RegionOf(const RValue* args) {
    return {Number(args[0]), Number(args[1]), Number(args[2]), Number(args[3]), Flag(args[4])};
}

void instance_deactivate_all(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                             const RValue* args) {
    const CInstance* keep = Flag(args[0]) ? self : nullptr;
    DeactivateWhere(engine, [keep](const CInstance& inst) { return &inst != keep; });
}

void instance_deactivate_object(ScriptEngine& engine, CInstance* self, CInstance* other, int,
                                RValue&, const RValue* args) {
    const int64_t target = ResolveSelfOther(TargetOf(args[0]), self, other);
    // Marking runs no code, so the walk sees a list that does not change.
    ForEachInTarget(engine, engine.room, target, [](CInstance& inst) { inst.deactivated = true; });
    ApplyActivation(engine);
}

void instance_deactivate_region(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                                const RValue* args) {
    if (!engine.game) return;
    const Region r = RegionOf(args);
    const CInstance* keep = Flag(args[5]) ? self : nullptr;
    const Game& game = *engine.game;
    DeactivateWhere(engine, [&](const CInstance& inst) {
        return &inst != keep && InRegion(game, inst, r.left, r.top, r.width, r.height) == r.inside;
    });
}

void instance_activate_all(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                           const RValue*) {
    ActivateWhere(engine, [](const CInstance&) { return true; });
}

void instance_activate_object(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue&,
                              const RValue* args) {
    const int64_t target = TargetOf(args[0]);
    if (target == kTargetSelf || target == kTargetOther) {
        CInstance* inst = target == kTargetSelf ? self : other;
        if (inst) inst->deactivated = false;
        ApplyActivation(engine);
        return;
    }
    if (!engine.game) return;
    const ObjectList& objects = engine.game->objects;
    if (target == kTargetAll) {
        ActivateWhere(engine, [](const CInstance&) { return true; });
    } else if (target >= kFirstInstanceId) {
        ActivateWhere(engine, [target](const CInstance& inst) { return inst.id == target; });
    } else if (target >= 0 && target <= INT32_MAX) {
        const int32_t object = int32_t(target);
        ActivateWhere(engine,
                      [&](const CInstance& inst) { return InFamily(objects, inst, object); });
    }
}

void instance_activate_region(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                              const RValue* args) {
    if (!engine.game) return;
    const Region r = RegionOf(args);
    const Game& game = *engine.game;
    ActivateWhere(engine, [&](const CInstance& inst) {
        return InRegion(game, inst, r.left, r.top, r.width, r.height) == r.inside;
    });
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kInstanceChange = &instance_change;
const BuiltinFunction kInstanceSprite = &instance_sprite;

void RegisterInstanceFunctions(FunctionRegistry& r) {
    r.Register("instance_find", &instance_find, 2);
    r.Register("instance_exists", &instance_exists, 1);
    r.Register("instance_number", &instance_number, 1);
    r.Register("instance_create", &instance_create, 3);
    r.Register("instance_copy", &instance_copy, 1);
    r.Register("instance_change", &instance_change, 2);
    r.Register("instance_destroy", &instance_destroy, 0);
    r.Register("instance_sprite", &instance_sprite, 1);
    r.Register("instance_deactivate_all", &instance_deactivate_all, 1);
    r.Register("instance_deactivate_object", &instance_deactivate_object, 1);
    r.Register("instance_deactivate_region", &instance_deactivate_region, 6);
    r.Register("instance_activate_all", &instance_activate_all, 0);
    r.Register("instance_activate_object", &instance_activate_object, 1);
    r.Register("instance_activate_region", &instance_activate_region, 5);
}

}  // namespace tb
