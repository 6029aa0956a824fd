#include "world/instance_ops.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "runner/game.h"
#include "world/instance.h"

namespace tb {
namespace {

constexpr double kDegrees = std::numbers::pi / 180.0;
constexpr double kSnap = 0.0001;

// Halves to even (the default rounding mode).
double Round(double v) {
    return std::nearbyint(v);
}

// Near-integers become the integer; the + 0.0 keeps a snapped -0 from reading as "-0".
double Snap(double v) {
    const double r = Round(v);
    return std::fabs(v - r) < kSnap ? r + 0.0 : v;
}

// Into [0, 360). The floor formula alone can give 360 for a tiny negative angle.
double WrapDirection(double d) {
    d -= 360.0 * std::floor(d / 360.0);
    return d >= 360.0 ? d - 360.0 : d;
}

// A box edge in room pixels: saturated instead of wrapped, so a far-away instance keeps a
// far-away box; an edge that is not a number gets the no-sprite value.
int32_t BoxEdge(double v) {
    if (std::isnan(v)) return kNoBox;
    const double r = Round(v);
    if (r <= double(INT32_MIN)) return INT32_MIN;
    if (r >= double(INT32_MAX)) return INT32_MAX;
    return int32_t(r);
}

void DeriveDirectionAndSpeed(CInstance& inst) {
    double d;
    if (inst.hspeed != 0) {
        const double a = std::atan2(inst.vspeed, inst.hspeed) / kDegrees;
        d = a > 0 ? 360.0 - a : -a;
    } else if (inst.vspeed > 0) {
        d = 270;
    } else if (inst.vspeed < 0) {
        d = 90;
    } else {
        d = 0;
    }
    inst.direction = WrapDirection(Snap(d));
    inst.speed = Snap(std::sqrt(inst.hspeed * inst.hspeed + inst.vspeed * inst.vspeed));
}

void DeriveComponents(CInstance& inst) {
    const double r = inst.direction * kDegrees;
    inst.hspeed = Snap(std::cos(r) * inst.speed);
    inst.vspeed = Snap(-std::sin(r) * inst.speed);
}

// The object's part of Set object, without the box (callers compute it once).
void SetObjectFields(CInstance& inst, const Game& game, int32_t object) {
    inst.object_index = object;
    inst.object = game.objects.Get(object);
    if (!inst.object) return;
    const CObject& o = *inst.object;
    inst.sprite_index = o.SpriteIndex;
    if (std::floor(inst.image_index) >= ImageNumber(inst, game)) inst.image_index = 0;
    inst.mask_index = o.MaskIndex;
    inst.depth = o.Depth;
    inst.solid = o.Solid;
    inst.visible = o.Visible;
    inst.persistent = o.Persistent;
}

void PlaceAt(CInstance& inst, double x, double y) {
    inst.x = inst.xstart = inst.xprevious = x;
    inst.y = inst.ystart = inst.yprevious = y;
}

}  // namespace

void InitInstance(CInstance& inst, const Game& game, int32_t id, int32_t object, double x,
                  double y) {
    inst = CInstance();
    inst.id = id;
    SetObjectFields(inst, game, object);
    PlaceAt(inst, x, y);
    ComputeBoundingBox(inst, game);
}

CInstance& CreateInstance(CRoom& room, Game& game, int32_t object, double x, double y) {
    // Adding gives the id, the object reference, the position and the table entries.
    CInstance& inst = room.AddInstance(game.objects, game.last_instance_id, object, x, y);
    SetObjectFields(inst, game, object);
    ComputeBoundingBox(inst, game);
    return inst;
}

void SetObject(CInstance& inst, const Game& game, int32_t object) {
    SetObjectFields(inst, game, object);
    if (inst.object) ComputeBoundingBox(inst, game);
}

void SetSprite(CInstance& inst, const Game& game, int32_t sprite) {
    inst.sprite_index = sprite;
    if (std::floor(inst.image_index) >= ImageNumber(inst, game)) inst.image_index = 0;
    ComputeBoundingBox(inst, game);
}

void SetMask(CInstance& inst, const Game& game, int32_t mask) {
    inst.mask_index = mask;
    ComputeBoundingBox(inst, game);
}

void SetXScale(CInstance& inst, const Game& game, double v) {
    if (v == inst.image_xscale) return;
    inst.image_xscale = v;
    ComputeBoundingBox(inst, game);
}

void SetYScale(CInstance& inst, const Game& game, double v) {
    if (v == inst.image_yscale) return;
    inst.image_yscale = v;
    ComputeBoundingBox(inst, game);
}

void SetAngle(CInstance& inst, const Game& game, double v) {
    if (v == inst.image_angle) return;
    inst.image_angle = v;
    ComputeBoundingBox(inst, game);
}

void SetPosition(CInstance& inst, const Game& game, double x, double y) {
    if (x == inst.x && y == inst.y) return;
    inst.x = x;
    inst.y = y;
    ComputeBoundingBox(inst, game);
}

void ComputeBoundingBox(CInstance& inst, const Game& game) {
    if (game.box_changes) game.box_changes->push_back(&inst);
    const CSprite* s = game.sprites.Get(inst.mask_index >= 0 ? inst.mask_index : inst.sprite_index);
    if (!s) {
        inst.bbox_left = inst.bbox_top = inst.bbox_right = inst.bbox_bottom = kNoBox;
        inst.precise = false;
        return;
    }
    const double sx = inst.image_xscale;
    const double sy = inst.image_yscale;
    const double left = s->BBoxLeft - s->XOrigin;
    const double top = s->BBoxTop - s->YOrigin;
    if (inst.image_angle == 0) {
        inst.bbox_left = BoxEdge(left * sx + inst.x);
        inst.bbox_right = BoxEdge(inst.x + sx * (s->BBoxRight - s->XOrigin + 1) - 1);
        if (inst.bbox_right < inst.bbox_left) std::swap(inst.bbox_left, inst.bbox_right);
        inst.bbox_top = BoxEdge(inst.y + sy * top);
        inst.bbox_bottom = BoxEdge(inst.y + sy * (s->BBoxBottom - s->YOrigin + 1) - 1);
        if (inst.bbox_bottom < inst.bbox_top) std::swap(inst.bbox_top, inst.bbox_bottom);
    } else {
        const double r = inst.image_angle * kDegrees;
        const double c = std::cos(r);
        const double sn = std::sin(r);
        const double uL = (std::min(s->BBoxLeft, s->BBoxRight) - s->XOrigin) * sx;
        const double uR = (std::max(s->BBoxLeft, s->BBoxRight) - s->XOrigin + 1) * sx - 1;
        const double vT = (std::min(s->BBoxTop, s->BBoxBottom) - s->YOrigin) * sy;
        const double vB = (std::max(s->BBoxTop, s->BBoxBottom) - s->YOrigin + 1) * sy - 1;
        inst.bbox_left = BoxEdge(std::min(c * uL, c * uR) + inst.x + std::min(sn * vT, sn * vB));
        inst.bbox_right = BoxEdge(std::max(c * uL, c * uR) + inst.x + std::max(sn * vT, sn * vB));
        inst.bbox_top = BoxEdge(std::min(c * vT, c * vB) + inst.y - std::max(sn * uL, sn * uR));
        inst.bbox_bottom = BoxEdge(std::max(c * vT, c * vB) + inst.y - std::min(sn * uL, sn * uR));
    }
    inst.precise = s->Precise;
}

void SetHspeed(CInstance& inst, double v) {
    if (v == inst.hspeed) return;
    inst.hspeed = v;
    DeriveDirectionAndSpeed(inst);
}

void SetVspeed(CInstance& inst, double v) {
    if (v == inst.vspeed) return;
    inst.vspeed = v;
    DeriveDirectionAndSpeed(inst);
}

void SetDirection(CInstance& inst, double v) {
    if (v == inst.direction) return;
    inst.direction = WrapDirection(v);
    DeriveComponents(inst);
}

void SetSpeed(CInstance& inst, double v) {
    if (v == inst.speed) return;
    inst.speed = v;
    DeriveComponents(inst);
}

void AddMotion(CInstance& inst, double amount, double direction) {
    const double r = direction * kDegrees;
    inst.hspeed += std::cos(r) * amount;
    inst.vspeed -= std::sin(r) * amount;
    DeriveDirectionAndSpeed(inst);
}

int32_t GetAlarm(const CInstance& inst, int32_t i) {
    return i >= 0 && i < int32_t(inst.alarm.size()) ? inst.alarm[size_t(i)] : -1;
}

void SetAlarm(CInstance& inst, int32_t i, int32_t v) {
    if (i >= 0 && i < int32_t(inst.alarm.size())) inst.alarm[size_t(i)] = v;
}

namespace {
double ClampUnit(double v) {
    if (!(v >= 0)) return 0;  // NaN too
    return v > 1 ? 1 : v;
}
}  // namespace

void SetPathPosition(CInstance& inst, double v) {
    inst.path_position = ClampUnit(v);
}

void SetPathPositionPrevious(CInstance& inst, double v) {
    inst.path_positionprevious = ClampUnit(v);
}

int32_t ImageNumber(const CInstance& inst, const Game& game) {
    const CSprite* s = game.sprites.Get(inst.sprite_index);
    return s ? s->FrameCount() : 0;
}

void CopyState(CInstance& to, const CInstance& from) {
    if (&to == &from) return;
    const double xorigin = to.path_xorigin;
    const double yorigin = to.path_yorigin;
    to = from;
    to.path_xorigin = xorigin;
    to.path_yorigin = yorigin;
}

void WriteInstanceRecord(CStream& s, const CInstance& inst) {
    WriteInteger(s, inst.id);
    WriteInteger(s, inst.sprite_index);
    for (double v : {inst.image_index, inst.image_speed, inst.image_xscale, inst.image_yscale,
                     inst.image_angle, inst.image_alpha})
        WriteReal(s, v);
    WriteInteger(s, inst.image_blend);
    WriteInteger(s, inst.mask_index);
    WriteReal(s, inst.depth);
    WriteBoolean(s, inst.precise);
    for (double v : {inst.x, inst.y, inst.xstart, inst.ystart, inst.xprevious, inst.yprevious,
                     inst.direction, inst.speed, inst.friction, inst.gravity_direction,
                     inst.gravity, inst.hspeed, inst.vspeed})
        WriteReal(s, v);
    for (int32_t v : {inst.bbox_left, inst.bbox_right, inst.bbox_top, inst.bbox_bottom})
        WriteInteger(s, v);
    WriteBoolean(s, inst.visible);
    WriteBoolean(s, inst.solid);
    WriteBoolean(s, inst.persistent);
    WriteInteger(s, inst.object_index);
    for (int32_t a : inst.alarm) WriteInteger(s, a);
    WriteBoolean(s, inst.destroyed);
    WriteBoolean(s, inst.deactivated);
    WriteInteger(s, inst.path_index);
    for (double v : {inst.path_position, inst.path_positionprevious, inst.path_speed,
                     inst.path_scale, inst.path_orientation})
        WriteReal(s, v);
    WriteInteger(s, inst.path_endaction);
    WriteReal(s, inst.path_xorigin);
    WriteReal(s, inst.path_yorigin);
    WriteInteger(s, inst.timeline_index);
    WriteReal(s, inst.timeline_position);
    WriteReal(s, inst.timeline_speed);
    WriteString(s, inst.creation_code);
    inst.variables.Save(s);
}

void ReadInstanceRecord(CStream& s, const ObjectList& objects, CInstance& inst) {
    inst.id = ReadInteger(s);
    inst.sprite_index = ReadInteger(s);
    for (double* v : {&inst.image_index, &inst.image_speed, &inst.image_xscale, &inst.image_yscale,
                      &inst.image_angle, &inst.image_alpha})
        *v = ReadReal(s);
    inst.image_blend = ReadInteger(s);
    inst.mask_index = ReadInteger(s);
    inst.depth = ReadReal(s);
    inst.precise = ReadBoolean(s);
    for (double* v : {&inst.x, &inst.y, &inst.xstart, &inst.ystart, &inst.xprevious,
                      &inst.yprevious, &inst.direction, &inst.speed, &inst.friction,
                      &inst.gravity_direction, &inst.gravity, &inst.hspeed, &inst.vspeed})
        *v = ReadReal(s);
    for (int32_t* v : {&inst.bbox_left, &inst.bbox_right, &inst.bbox_top, &inst.bbox_bottom})
        *v = ReadInteger(s);
    inst.visible = ReadBoolean(s);
    inst.solid = ReadBoolean(s);
    inst.persistent = ReadBoolean(s);
    inst.object_index = ReadInteger(s);
    inst.object = objects.Get(inst.object_index);
    for (int32_t& a : inst.alarm) a = ReadInteger(s);
    inst.destroyed = ReadBoolean(s);
    inst.deactivated = ReadBoolean(s);
    inst.path_index = ReadInteger(s);
    for (double* v : {&inst.path_position, &inst.path_positionprevious, &inst.path_speed,
                      &inst.path_scale, &inst.path_orientation})
        *v = ReadReal(s);
    inst.path_endaction = ReadInteger(s);
    inst.path_xorigin = ReadReal(s);
    inst.path_yorigin = ReadReal(s);
    inst.timeline_index = ReadInteger(s);
    inst.timeline_position = ReadReal(s);
    inst.timeline_speed = ReadReal(s);
    inst.creation_code = ReadString(s);
    inst.variables.Load(s);
}

InstanceStateReader StandardInstanceReader(const ObjectList& objects) {
    return [&objects](CStream& s, CInstance& inst) {
        ReadInstanceRecord(s, objects, inst);
        return true;
    };
}

InstanceStateWriter StandardInstanceWriter() {
    return [](CStream& s, const CInstance& inst) { WriteInstanceRecord(s, inst); };
}

}  // namespace tb
