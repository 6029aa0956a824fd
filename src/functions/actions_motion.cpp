// The motion and path actions.
#include <array>
#include <string_view>

#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/room.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "script/errors.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/motion.h"
#include "world/moves.h"

namespace tb {

namespace {

using namespace actions;

// The keypad layout of action_move's direction string, bottom row first; -1 is the stop key.
constexpr std::array<int, 9> kMoveAngles = {225, 270, 315, 180, -1, 0, 135, 90, 45};

TB_ACTION(action_move) {
    const std::string_view dirs = a[0].IsString() ? a[0].text.view() : std::string_view();
    if (dirs.size() != kMoveAngles.size()) {
        ShowRuntimeError(e, "Wrong argument to action_move().", false);
        return;
    }
    if (dirs.find('1') == std::string_view::npos || !self) return;
    SetSpeed(*self, Rel(e, self->speed, a[1]));
    size_t i = 0;
    do {
        i = e.random.Below(uint32_t(kMoveAngles.size()));
    } while (dirs[i] != '1');
    if (kMoveAngles[i] < 0) {
        SetDirection(*self, 0);
        SetSpeed(*self, 0);
    } else {
        SetDirection(*self, kMoveAngles[i]);
    }
}

TB_ACTION(action_set_motion) {
    if (!self) return;
    if (Relative(e)) {
        AddMotion(*self, Number(a[1]), Number(a[0]));
    } else {
        SetDirection(*self, Number(a[0]));
        SetSpeed(*self, Number(a[1]));
    }
}

TB_ACTION(action_set_hspeed) {
    if (self) SetHspeed(*self, Rel(e, self->hspeed, a[0]));
}

TB_ACTION(action_set_vspeed) {
    if (self) SetVspeed(*self, Rel(e, self->vspeed, a[0]));
}

TB_ACTION(action_set_gravity) {
    if (!self) return;
    self->gravity_direction = Rel(e, self->gravity_direction, a[0]);
    self->gravity = Rel(e, self->gravity, a[1]);
}

TB_ACTION(action_set_friction) {
    if (self) self->friction = Rel(e, self->friction, a[0]);
}

TB_ACTION(action_move_point) {
    if (self) MoveTowardsPoint(*self, RelX(e, self, a[0]), RelY(e, self, a[1]), Number(a[2]));
}

TB_ACTION(action_move_to) {
    if (self && e.game) SetPosition(*self, *e.game, RelX(e, self, a[0]), RelY(e, self, a[1]));
}

TB_ACTION(action_move_start) {
    if (self && e.game) SetPosition(*self, *e.game, self->xstart, self->ystart);
}

TB_ACTION(action_move_random) {
    if (self) MoveRandom(e, *self, Number(a[0]), Number(a[1]));
}

TB_ACTION(action_snap) {
    if (self && e.game) MoveSnap(*self, *e.game, Number(a[0]), Number(a[1]));
}

// Wraps only in the direction of motion, with the scaled sprite as the margin.
TB_ACTION(action_wrap) {
    if (!self || !e.game || !e.room) return;
    const int32_t direction = Int(a[0]);
    const CSprite* sprite = e.game->sprites.Get(self->sprite_index);
    const double w = sprite ? sprite->Width * self->image_xscale : 0;
    const double h = sprite ? sprite->Height * self->image_yscale : 0;
    const double room_w = e.room->Width, room_h = e.room->Height;
    double x = self->x, y = self->y;
    if (direction == 0 || direction == 2) {
        if (self->hspeed < 0 && x < 0)
            x += room_w + w;
        else if (self->hspeed > 0 && x >= room_w)
            x -= room_w + w;
    }
    if (direction == 1 || direction == 2) {
        if (self->vspeed < 0 && y < 0)
            y += room_h + h;
        else if (self->vspeed > 0 && y >= room_h)
            y -= room_h + h;
    }
    if (x != self->x || y != self->y) SetPosition(*self, *e.game, x, y);
}

TB_ACTION(action_reverse_xdir) {
    if (self) SetHspeed(*self, -self->hspeed);
}

TB_ACTION(action_reverse_ydir) {
    if (self) SetVspeed(*self, -self->vspeed);
}

// The menus of the contact and bounce actions: 1 all instances, anything else solid ones.
Obstacles Against(const RValue& v) {
    return Int(v) == 1 ? Obstacles::kAll : Obstacles::kSolid;
}

TB_ACTION(action_move_contact) {
    if (self) MoveContact(e, *self, Number(a[0]), Number(a[1]), Against(a[2]));
}

TB_ACTION(action_bounce) {
    if (self) MoveBounce(e, *self, Flag(a[0]), Against(a[1]));
}

TB_ACTION(action_path) {
    if (self && e.game) StartPath(*self, *e.game, Int(a[0]), Number(a[1]), Int(a[2]), Flag(a[3]));
}

TB_ACTION(action_path_end) {
    if (self) EndPath(*self);
}

TB_ACTION(action_path_position) {
    if (self) SetPathPosition(*self, Rel(e, self->path_position, a[0]));
}

TB_ACTION(action_path_speed) {
    if (self) self->path_speed = Rel(e, self->path_speed, a[0]);
}

template <const BuiltinFunction* kStep>
void Step(ScriptEngine& e, CInstance* self, CInstance* other, int, RValue& result,
          const RValue* a) {
    result = CallBuiltin<4>(*kStep, e, self, other,
                            {Real(RelX(e, self, a[0])), Real(RelY(e, self, a[1])), a[2], a[3]});
}

TB_ACTION(action_path_old) {}

}  // namespace

void RegisterMotionActions(FunctionRegistry& r) {
    r.Register("action_move", &action_move, 2);
    r.Register("action_set_motion", &action_set_motion, 2);
    r.Register("action_set_hspeed", &action_set_hspeed, 1);
    r.Register("action_set_vspeed", &action_set_vspeed, 1);
    r.Register("action_set_gravity", &action_set_gravity, 2);
    r.Register("action_set_friction", &action_set_friction, 1);
    r.Register("action_move_point", &action_move_point, 3);
    r.Register("action_move_to", &action_move_to, 2);
    r.Register("action_move_start", &action_move_start, 0);
    r.Register("action_move_random", &action_move_random, 2);
    r.Register("action_snap", &action_snap, 2);
    r.Register("action_wrap", &action_wrap, 1);
    r.Register("action_reverse_xdir", &action_reverse_xdir, 0);
    r.Register("action_reverse_ydir", &action_reverse_ydir, 0);
    r.Register("action_move_contact", &action_move_contact, 3);
    r.Register("action_bounce", &action_bounce, 2);
    r.Register("action_path", &action_path, 4);
    r.Register("action_path_end", &action_path_end, 0);
    r.Register("action_path_position", &action_path_position, 1);
    r.Register("action_path_speed", &action_path_speed, 1);
    r.Register("action_linear_step", &Step<&kMpLinearStep>, 4);
    r.Register("action_potential_step", &Step<&kMpPotentialStep>, 4);
    r.Register("action_path_old", &action_path_old, 3);
}

}  // namespace tb
