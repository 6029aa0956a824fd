// The built-in variables of an instance: its fields, with the setters' side effects. Every
// accessor refuses a null instance; setters read the part of the value their type needs.
#include <cmath>

#include "runner/game.h"
#include "script/builtin_variables.h"
#include "script/engine.h"
#include "world/instance.h"
#include "world/instance_ops.h"

namespace tb {

namespace {

// Engines without a game (language-only use) see no sprites and no objects.
const Game& GameOf(const ScriptEngine& e) {
    static const Game kNoGame;
    return e.game ? *e.game : kNoGame;
}

const CSprite* SpriteOf(const ScriptEngine& e, const CInstance& inst) {
    return GameOf(e).sprites.Get(inst.sprite_index);
}

// The flag of a boolean variable: whether the rounded value is above 0.5.
bool Flag(const RValue& v) {
    return RoundToInt64(v.real) > 0;
}

// An alarm index outside 0 .. 11 means alarm 0.
int32_t AlarmSlot(int32_t index) {
    return index >= 0 && index < 12 ? index : 0;
}

#define TB_GET(name, expr)                                                          \
    bool Get_##name(ScriptEngine& e, CInstance* inst, int32_t index, RValue& out) { \
        (void)e;                                                                    \
        (void)index;                                                                \
        if (!inst) return false;                                                    \
        out.SetReal(double(expr));                                                  \
        return true;                                                                \
    }

#define TB_SET(name, stmt)                                                                  \
    bool Set_##name(ScriptEngine& e, CInstance* inst, int32_t index, const RValue& value) { \
        (void)e;                                                                            \
        (void)index;                                                                        \
        if (!inst) return false;                                                            \
        const double v = value.real;                                                        \
        (void)v;                                                                            \
        stmt;                                                                               \
        return true;                                                                        \
    }

// A field read as it is and written as a real.
#define TB_REAL(name) TB_GET(name, inst->name) TB_SET(name, inst->name = v)
// A field read as it is and written rounded.
#define TB_ROUNDED(name) TB_GET(name, inst->name) TB_SET(name, inst->name = RoundToInt32(v))
// A boolean field.
#define TB_FLAG(name) TB_GET(name, inst->name ? 1 : 0) TB_SET(name, inst->name = Flag(value))

TB_GET(x, inst->x)
TB_SET(x, SetPosition(*inst, GameOf(e), v, inst->y))
TB_GET(y, inst->y)
TB_SET(y, SetPosition(*inst, GameOf(e), inst->x, v))
TB_REAL(xprevious)
TB_REAL(yprevious)
TB_REAL(xstart)
TB_REAL(ystart)
TB_GET(hspeed, inst->hspeed)
TB_SET(hspeed, SetHspeed(*inst, v))
TB_GET(vspeed, inst->vspeed)
TB_SET(vspeed, SetVspeed(*inst, v))
TB_GET(direction, inst->direction)
TB_SET(direction, SetDirection(*inst, v))
TB_GET(speed, inst->speed)
TB_SET(speed, SetSpeed(*inst, v))
TB_REAL(friction)
TB_REAL(gravity)
TB_REAL(gravity_direction)
TB_GET(object_index, inst->object_index)
TB_GET(id, inst->id)
TB_GET(alarm, GetAlarm(*inst, AlarmSlot(index)))
TB_SET(alarm, SetAlarm(*inst, AlarmSlot(index), RoundToInt32(v)))
TB_FLAG(solid)
TB_FLAG(visible)
TB_FLAG(persistent)
TB_REAL(depth)
TB_GET(bbox_left, inst->bbox_left)
TB_GET(bbox_right, inst->bbox_right)
TB_GET(bbox_top, inst->bbox_top)
TB_GET(bbox_bottom, inst->bbox_bottom)
TB_GET(sprite_index, inst->sprite_index)
TB_SET(sprite_index, SetSprite(*inst, GameOf(e), RoundToInt32(v)))
TB_REAL(image_index)
TB_GET(image_single, inst->image_speed != 0 ? -1.0 : inst->image_index)
// 0 or more stops the animation on that image; anything else restarts it at speed 1.
bool Set_image_single(ScriptEngine&, CInstance* inst, int32_t, const RValue& value) {
    if (!inst) return false;
    if (value.real >= 0) {
        inst->image_index = value.real;
        inst->image_speed = 0;
    } else {
        inst->image_speed = 1;
    }
    return true;
}
TB_GET(image_number, ImageNumber(*inst, GameOf(e)))

bool Get_sprite_width(ScriptEngine& e, CInstance* inst, int32_t, RValue& out) {
    if (!inst) return false;
    const CSprite* s = SpriteOf(e, *inst);
    out.SetReal(s ? s->Width * inst->image_xscale : 0.0);
    return true;
}
bool Get_sprite_height(ScriptEngine& e, CInstance* inst, int32_t, RValue& out) {
    if (!inst) return false;
    const CSprite* s = SpriteOf(e, *inst);
    out.SetReal(s ? s->Height * inst->image_yscale : 0.0);
    return true;
}
bool Get_sprite_xoffset(ScriptEngine& e, CInstance* inst, int32_t, RValue& out) {
    if (!inst) return false;
    const CSprite* s = SpriteOf(e, *inst);
    out.SetReal(s ? s->XOrigin * inst->image_xscale : 0.0);
    return true;
}
bool Get_sprite_yoffset(ScriptEngine& e, CInstance* inst, int32_t, RValue& out) {
    if (!inst) return false;
    const CSprite* s = SpriteOf(e, *inst);
    out.SetReal(s ? s->YOrigin * inst->image_yscale : 0.0);
    return true;
}

TB_GET(image_xscale, inst->image_xscale)
TB_SET(image_xscale, SetXScale(*inst, GameOf(e), v))
TB_GET(image_yscale, inst->image_yscale)
TB_SET(image_yscale, SetYScale(*inst, GameOf(e), v))
TB_GET(image_angle, inst->image_angle)
TB_SET(image_angle, SetAngle(*inst, GameOf(e), v))
TB_REAL(image_alpha)
TB_ROUNDED(image_blend)
TB_REAL(image_speed)
TB_GET(mask_index, inst->mask_index)
TB_SET(mask_index, SetMask(*inst, GameOf(e), RoundToInt32(v)))
TB_GET(path_index, inst->path_index)
TB_GET(path_position, inst->path_position)
TB_SET(path_position, SetPathPosition(*inst, v))
TB_GET(path_positionprevious, inst->path_positionprevious)
TB_SET(path_positionprevious, SetPathPositionPrevious(*inst, v))
TB_REAL(path_speed)
TB_REAL(path_scale)
TB_REAL(path_orientation)
TB_ROUNDED(path_endaction)
TB_ROUNDED(timeline_index)
TB_REAL(timeline_position)
TB_REAL(timeline_speed)

#undef TB_FLAG
#undef TB_ROUNDED
#undef TB_REAL
#undef TB_SET
#undef TB_GET

struct Entry {
    const char* name;
    BuiltinGetter get;
    BuiltinSetter set;  // null: read-only
};

#define TB_RW(name) \
    { #name, &Get_##name, &Set_##name }
#define TB_RO(name) \
    { #name, &Get_##name, nullptr }

// In their fixed order: a variable's id is its position.
constexpr Entry kVariables[] = {
    TB_RW(x),
    TB_RW(y),
    TB_RW(xprevious),
    TB_RW(yprevious),
    TB_RW(xstart),
    TB_RW(ystart),
    TB_RW(hspeed),
    TB_RW(vspeed),
    TB_RW(direction),
    TB_RW(speed),
    TB_RW(friction),
    TB_RW(gravity),
    TB_RW(gravity_direction),
    TB_RO(object_index),
    TB_RO(id),
    TB_RW(alarm),
    TB_RW(solid),
    TB_RW(visible),
    TB_RW(persistent),
    TB_RW(depth),
    TB_RO(bbox_left),
    TB_RO(bbox_right),
    TB_RO(bbox_top),
    TB_RO(bbox_bottom),
    TB_RW(sprite_index),
    TB_RW(image_index),
    TB_RW(image_single),
    TB_RO(image_number),
    TB_RO(sprite_width),
    TB_RO(sprite_height),
    TB_RO(sprite_xoffset),
    TB_RO(sprite_yoffset),
    TB_RW(image_xscale),
    TB_RW(image_yscale),
    TB_RW(image_angle),
    TB_RW(image_alpha),
    TB_RW(image_blend),
    TB_RW(image_speed),
    TB_RW(mask_index),
    TB_RO(path_index),
    TB_RW(path_position),
    TB_RW(path_positionprevious),
    TB_RW(path_speed),
    TB_RW(path_scale),
    TB_RW(path_orientation),
    TB_RW(path_endaction),
    TB_RW(timeline_index),
    TB_RW(timeline_position),
    TB_RW(timeline_speed),
};

#undef TB_RO
#undef TB_RW

}  // namespace

void RegisterInstanceVariables(ScriptEngine& engine) {
    BuiltinVariableTable& table = engine.builtin_variables;
    for (const Entry& e : kVariables) table.Register(e.name, e.get, e.set);
}

}  // namespace tb
