// The instance and sprite actions.
#include <array>
#include <string>

#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/object.h"
#include "runner/game.h"
#include "script/errors.h"
#include "world/events.h"
#include "world/instance.h"
#include "world/instance_lifecycle.h"
#include "world/instance_ops.h"
#include "world/instance_sets.h"

namespace tb {

namespace {

using namespace actions;

// The object argument when it names an existing object; -1 after the error otherwise.
int32_t ObjectToCreate(ScriptEngine& e, const RValue& v) {
    const int64_t object = TargetOf(v);
    if (ObjectExists(e, object)) return int32_t(object);
    ShowRuntimeError(e, "Creating instance for non-existing object: " + std::to_string(object),
                     false);
    return -1;
}

TB_ACTION(action_create_object) {
    const int32_t object = ObjectToCreate(e, a[0]);
    if (object >= 0) CreateWithEvent(e, object, RelX(e, self, a[1]), RelY(e, self, a[2]));
}

// The speed and direction are set before the Create event runs.
TB_ACTION(action_create_object_motion) {
    const int32_t object = ObjectToCreate(e, a[0]);
    if (object < 0 || !e.room || !e.game) return;
    CInstance& inst =
        CreateInstance(*e.room, *e.game, object, RelX(e, self, a[1]), RelY(e, self, a[2]));
    SetSpeed(inst, Number(a[3]));
    SetDirection(inst, Number(a[4]));
    if (e.world) Dispatch(*e.world, &inst, &inst, ev_create, 0);
}

TB_ACTION(action_create_object_random) {
    std::array<bool, 4> exists{};
    bool any = false;
    for (size_t i = 0; i < exists.size(); ++i) {
        exists[i] = ObjectExists(e, TargetOf(a[i]));
        any = any || exists[i];
    }
    if (!any) return;
    size_t pick = 0;
    do {
        pick = e.random.Below(4);
    } while (!exists[pick]);
    CreateWithEvent(e, int32_t(TargetOf(a[pick])), RelX(e, self, a[4]), RelY(e, self, a[5]));
}

// The events run only when the rounded value is above 0.5.
TB_ACTION(action_change_object) {
    const bool events = RoundToInt64(Number(a[1])) > 0;
    CallBuiltin<2>(kInstanceChange, e, self, other, {a[0], Real(events ? 1 : 0)});
}

TB_ACTION(action_kill_object) {
    if (self) DestroyWithEvent(e, *self);
}

TB_ACTION(action_kill_position) {
    CallBuiltin<2>(kPositionDestroy, e, self, other,
                   {Real(RelX(e, self, a[0])), Real(RelY(e, self, a[1]))});
}

TB_ACTION(action_set_sprite) {
    CallBuiltin<1>(kInstanceSprite, e, self, other, {a[0]});
    const double scale = Number(a[1]);
    if (!self || !e.game || !(scale > 0)) return;
    SetXScale(*self, *e.game, scale);
    SetYScale(*self, *e.game, scale);
}

TB_ACTION(action_sprite_set) {
    CallBuiltin<1>(kInstanceSprite, e, self, other, {a[0]});
    if (!self) return;
    if (Number(a[1]) >= 0) self->image_index = Number(a[1]);
    self->image_speed = Number(a[2]);
}

TB_ACTION(action_sprite_transform) {
    if (!self || !e.game) return;
    const int32_t mirror = Int(a[3]);
    const double xscale = Number(a[0]), yscale = Number(a[1]);
    SetXScale(*self, *e.game, mirror == 1 || mirror == 3 ? -xscale : xscale);
    SetYScale(*self, *e.game, mirror == 2 || mirror == 3 ? -yscale : yscale);
    SetAngle(*self, *e.game, Number(a[2]));
}

TB_ACTION(action_sprite_color) {
    if (!self) return;
    self->image_blend = Int(a[0]);
    self->image_alpha = Number(a[1]);
}

}  // namespace

void RegisterInstanceActions(FunctionRegistry& r) {
    r.Register("action_create_object", &action_create_object, 3);
    r.Register("action_create_object_motion", &action_create_object_motion, 5);
    r.Register("action_create_object_random", &action_create_object_random, 6);
    r.Register("action_change_object", &action_change_object, 2);
    r.Register("action_kill_object", &action_kill_object, 0);
    r.Register("action_kill_position", &action_kill_position, 2);
    r.Register("action_set_sprite", &action_set_sprite, 2);
    r.Register("action_sprite_set", &action_sprite_set, 3);
    r.Register("action_sprite_transform", &action_sprite_transform, 4);
    r.Register("action_sprite_color", &action_sprite_color, 2);
}

}  // namespace tb
