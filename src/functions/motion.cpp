// Moving the calling instance, starting and ending its path, and reading paths.
#include "world/motion.h"

#include <cstdint>

#include "functions/register.h"
#include "resources/path.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/registry.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/moves.h"

namespace tb {

namespace {

bool Flag(const RValue& v) {
    return v.real >= 0.5;
}

// An index argument that fits an int, or -1 (which names nothing).
int IndexOf(const RValue& v) {
    const int64_t i = RoundToInt64(v.real);
    return i >= INT32_MIN && i <= INT32_MAX ? int(i) : -1;
}

// --- motion

void move_random(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                 const RValue* args) {
    if (self) MoveRandom(engine, *self, args[0].real, args[1].real);
}

void move_snap(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
               const RValue* args) {
    if (self && engine.game) MoveSnap(*self, *engine.game, args[0].real, args[1].real);
}

void move_wrap(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
               const RValue* args) {
    if (!self || !engine.game || !engine.room) return;
    MoveWrap(*self, *engine.game, *engine.room, Flag(args[0]), Flag(args[1]), args[2].real);
}

void move_towards_point(ScriptEngine&, CInstance* self, CInstance*, int, RValue&,
                        const RValue* args) {
    if (self) MoveTowardsPoint(*self, args[0].real, args[1].real, args[2].real);
}

void move_contact(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                  const RValue* args) {
    if (self) MoveContactOrOutside(engine, *self, args[0].real);
}

template <Obstacles kObstacles>
void MoveContactTo(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                   const RValue* args) {
    if (self) MoveContact(engine, *self, args[0].real, args[1].real, kObstacles);
}

template <Obstacles kObstacles>
void MoveOutsideOf(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                   const RValue* args) {
    if (self) MoveOutside(engine, *self, args[0].real, args[1].real, kObstacles);
}

template <Obstacles kObstacles>
void BounceAgainst(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                   const RValue* args) {
    if (self) MoveBounce(engine, *self, Flag(args[0]), kObstacles);
}

void motion_set(ScriptEngine&, CInstance* self, CInstance*, int, RValue&, const RValue* args) {
    if (!self) return;
    SetDirection(*self, args[0].real);
    SetSpeed(*self, args[1].real);
}

void motion_add(ScriptEngine&, CInstance* self, CInstance*, int, RValue&, const RValue* args) {
    if (self) AddMotion(*self, args[1].real, args[0].real);
}

// --- following paths

void path_start(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue&,
                const RValue* args) {
    if (!self || !engine.game) return;
    StartPath(*self, *engine.game, IndexOf(args[0]), args[1].real, RoundToInt32(args[2].real),
              Flag(args[3]));
}

void path_end(ScriptEngine&, CInstance* self, CInstance*, int, RValue&, const RValue*) {
    if (self) EndPath(*self);
}

// --- reading paths

const CPath* PathOf(const ScriptEngine& engine, const RValue& index) {
    return engine.game ? engine.game->paths.Get(IndexOf(index)) : nullptr;
}

void path_exists(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                 const RValue* args) {
    result.SetReal(PathOf(engine, args[0]) ? 1 : 0);
}

void path_get_name(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                   const RValue* args) {
    if (!engine.game) {
        result.SetString(RString(kUndefinedName));
        return;
    }
    result.SetString(RString(engine.game->paths.Name(IndexOf(args[0]))));
}

// A numeric field of the path, -1 for a path that does not exist.
template <double (*Field)(const CPath&)>
void PathField(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
               const RValue* args) {
    const CPath* path = PathOf(engine, args[0]);
    result.SetReal(path ? Field(*path) : -1);
}

double LengthOf(const CPath& p) {
    return p.Length;
}
double KindOf(const CPath& p) {
    return p.Kind;
}
double ClosedOf(const CPath& p) {
    return p.Closed ? 1 : 0;
}
double PrecisionOf(const CPath& p) {
    return p.Precision;
}
double NumberOf(const CPath& p) {
    return p.Count();
}

// (ind, n): a defining point; a point outside the path reads as (0, 0) with speed 1.
template <double PathPoint::*Member>
void PathPointField(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    const CPath* path = PathOf(engine, args[0]);
    result.SetReal(path ? path->GetPoint(IndexOf(args[1])).*Member : -1);
}

// (ind, pos): the point of the polyline at position pos.
template <double PathPoint::*Member>
void PathPositionField(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    const CPath* path = PathOf(engine, args[0]);
    result.SetReal(path ? path->PositionAt(args[1].real).*Member : -1);
}

}  // namespace

void RegisterMotionFunctions(FunctionRegistry& r) {
    r.Register("move_random", &move_random, 2);
    r.Register("move_snap", &move_snap, 2);
    r.Register("move_towards_point", &move_towards_point, 3);
    r.Register("move_contact", &move_contact, 1);
    r.Register("move_contact_solid", &MoveContactTo<Obstacles::kSolid>, 2);
    r.Register("move_contact_all", &MoveContactTo<Obstacles::kAll>, 2);
    r.Register("move_outside_solid", &MoveOutsideOf<Obstacles::kSolid>, 2);
    r.Register("move_outside_all", &MoveOutsideOf<Obstacles::kAll>, 2);
    r.Register("move_bounce", &BounceAgainst<Obstacles::kSolid>, 1);
    r.Register("move_bounce_solid", &BounceAgainst<Obstacles::kSolid>, 1);
    r.Register("move_bounce_all", &BounceAgainst<Obstacles::kAll>, 1);
    r.Register("move_wrap", &move_wrap, 3);
    r.Register("motion_set", &motion_set, 2);
    r.Register("motion_add", &motion_add, 2);
    r.Register("path_start", &path_start, 4);
    r.Register("path_end", &path_end, 0);
    r.Register("path_exists", &path_exists, 1);
    r.Register("path_name", &path_get_name, 1);
    r.Register("path_get_name", &path_get_name, 1);
    r.Register("path_get_length", &PathField<&LengthOf>, 1);
    r.Register("path_get_kind", &PathField<&KindOf>, 1);
    r.Register("path_get_closed", &PathField<&ClosedOf>, 1);
    r.Register("path_get_precision", &PathField<&PrecisionOf>, 1);
    r.Register("path_get_number", &PathField<&NumberOf>, 1);
    r.Register("path_get_point_x", &PathPointField<&PathPoint::x>, 2);
    r.Register("path_get_point_y", &PathPointField<&PathPoint::y>, 2);
    r.Register("path_get_point_speed", &PathPointField<&PathPoint::speed>, 2);
    r.Register("path_get_x", &PathPositionField<&PathPoint::x>, 2);
    r.Register("path_get_y", &PathPositionField<&PathPoint::y>, 2);
    r.Register("path_get_speed", &PathPositionField<&PathPoint::speed>, 2);
}

}  // namespace tb
