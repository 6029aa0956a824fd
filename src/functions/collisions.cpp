// Collision, place and position functions, and the distances and nearest instances.
#include <algorithm>
#include <cmath>
#include <string>

#include "functions/arguments.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"
#include "world/collision.h"
#include "world/instance_lifecycle.h"
#include "world/instance_sets.h"

namespace tb {

namespace {

void SetTruth(RValue& result, bool b) {
    result.SetReal(b ? 1 : 0);
}

void SetInstance(RValue& result, const CInstance* inst) {
    result.SetReal(inst ? inst->id : kNoone);
}

// --- collision_*: the first instance of obj (notme: other than the caller) the test accepts

template <class Test>
void CollisionSearch(ScriptEngine& engine, CInstance* self, RValue& result, const RValue& obj,
                     const RValue& notme, Test&& test) {
    result.SetReal(kNoone);
    if (!engine.game) return;
    const Game& game = *engine.game;
    const CInstance* skip = Flag(notme) ? self : nullptr;
    SetInstance(result, FindInTarget(engine, engine.room, TargetOf(obj), [&](CInstance& inst) {
                    return &inst != skip && test(game, inst);
                }));
}

void collision_point(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                     const RValue* args) {
    const double x = Number(args[0]), y = Number(args[1]);
    const bool precise = Flag(args[3]);
    CollisionSearch(engine, self, result, args[2], args[4], [&](const Game& g, const CInstance& i) {
        return ContainsPoint(g, i, x, y, precise);
    });
}

// The four corner arguments, the object, prec and notme of rectangle, ellipse and line.
template <class Test>
void ShapeSearch(ScriptEngine& engine, CInstance* self, RValue& result, const RValue* args,
                 Test&& test) {
    const double x1 = Number(args[0]), y1 = Number(args[1]);
    const double x2 = Number(args[2]), y2 = Number(args[3]);
    const bool precise = Flag(args[5]);
    CollisionSearch(engine, self, result, args[4], args[6], [&](const Game& g, const CInstance& i) {
        return test(g, i, x1, y1, x2, y2, precise);
    });
}

void collision_rectangle(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                         const RValue* args) {
    ShapeSearch(engine, self, result, args, MeetsRectangle);
}

void collision_ellipse(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                       const RValue* args) {
    ShapeSearch(engine, self, result, args, MeetsEllipse);
}

void collision_line(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                    const RValue* args) {
    ShapeSearch(engine, self, result, args, MeetsLine);
}

void collision_circle(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                      const RValue* args) {
    const double xc = Number(args[0]), yc = Number(args[1]), r = Number(args[2]);
    const bool precise = Flag(args[4]);
    CollisionSearch(engine, self, result, args[3], args[5], [&](const Game& g, const CInstance& i) {
        return MeetsEllipse(g, i, xc - r, yc - r, xc + r, yc + r, precise);
    });
}

// --- places: the caller tried at (x, y)

void place_free(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                const RValue* args) {
    SetTruth(result, self && PlaceFree(engine, *self, Number(args[0]), Number(args[1])));
}

void place_empty(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                 const RValue* args) {
    SetTruth(result, self && PlaceEmpty(engine, *self, Number(args[0]), Number(args[1])));
}

void place_meeting(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue& result,
                   const RValue* args) {
    const int64_t target = ResolveSelfOther(TargetOf(args[2]), self, other);
    SetTruth(result, self && PlaceMeeting(engine, *self, Number(args[0]), Number(args[1]), target));
}

void instance_place(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                    const RValue* args) {
    result.SetReal(kNoone);
    if (!self) return;
    SetInstance(result,
                InstancePlace(engine, *self, Number(args[0]), Number(args[1]), TargetOf(args[2])));
}

// On the grid: within 0.001 of a multiple of each snap value above 0.
bool Snapped(double v, double snap) {
    return !(snap > 0) || std::fabs(v - snap * std::nearbyint(v / snap)) < 0.001;
}

void place_snapped(ScriptEngine&, CInstance* self, CInstance*, int, RValue& result,
                   const RValue* args) {
    SetTruth(result,
             self && Snapped(self->x, Number(args[0])) && Snapped(self->y, Number(args[1])));
}

// --- positions: the instances containing a point (precise)

void position_empty(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    SetTruth(result, !InstancePosition(engine, Number(args[0]), Number(args[1]), kTargetAll));
}

void position_meeting(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue& result,
                      const RValue* args) {
    const int64_t target = ResolveSelfOther(TargetOf(args[2]), self, other);
    SetTruth(result, InstancePosition(engine, Number(args[0]), Number(args[1]), target));
}

void instance_position(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    SetInstance(result,
                InstancePosition(engine, Number(args[0]), Number(args[1]), TargetOf(args[2])));
}

// Every live instance containing the point when its turn comes; the count is taken at the
// start, so instances made by the events are not visited.
template <class F>
void AtPosition(ScriptEngine& engine, double x, double y, F&& f) {
    if (!engine.game) return;
    const Game& game = *engine.game;
    ForEachInTarget(engine, engine.room, kTargetAll, [&](CInstance& inst) {
        if (ContainsPoint(game, inst, x, y, true)) f(inst);
    });
}

void position_destroy(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                      const RValue* args) {
    AtPosition(engine, Number(args[0]), Number(args[1]),
               [&](CInstance& inst) { DestroyWithEvent(engine, inst); });
}

void position_change(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                     const RValue* args) {
    const int64_t object = TargetOf(args[2]);
    if (!ObjectExists(engine, object)) {
        ShowRuntimeError(
            engine, "Asking to change into non-existing object: " + std::to_string(object), false);
        return;
    }
    const bool events = Flag(args[3]);
    AtPosition(engine, Number(args[0]), Number(args[1]),
               [&](CInstance& inst) { ChangeWithEvents(engine, inst, int32_t(object), events); });
}

// --- nearest and furthest instance origins

// Over `all` or an object's family; an id (or any other value) finds nothing. `better`
// decides on squared distances, so the first of equal instances is kept.
template <class Better>
void ByDistance(ScriptEngine& engine, RValue& result, const RValue* args, double start,
                Better&& better) {
    result.SetReal(kNoone);
    const double x = Number(args[0]), y = Number(args[1]);
    const int64_t target = TargetOf(args[2]);
    if (target >= kFirstInstanceId) return;
    double best = start;
    const CInstance* found = nullptr;
    ForEachInTarget(engine, engine.room, target, [&](CInstance& inst) {
        const double dx = inst.x - x, dy = inst.y - y;
        const double d = dx * dx + dy * dy;
        if (better(d, best)) {
            best = d;
            found = &inst;
        }
    });
    SetInstance(result, found);
}

void instance_nearest(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                      const RValue* args) {
    ByDistance(engine, result, args, 1e10, [](double d, double best) { return d < best; });
}

void instance_furthest(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    ByDistance(engine, result, args, -1, [](double d, double best) { return d > best; });
}

// --- distances from the caller's box

// The gap between two intervals, 0 when they overlap.
double Gap(double low1, double high1, double low2, double high2) {
    if (low2 > high1) return low2 - high1;
    if (low1 > high2) return low1 - high2;
    return 0;
}

void distance_to_point(ScriptEngine&, CInstance* self, CInstance*, int, RValue& result,
                       const RValue* args) {
    result.SetReal(0);
    if (!self) return;
    const double x = Number(args[0]), y = Number(args[1]);
    const double dx = Gap(self->bbox_left, self->bbox_right, x, x);
    const double dy = Gap(self->bbox_top, self->bbox_bottom, y, y);
    result.SetReal(std::sqrt(dx * dx + dy * dy));
}

constexpr double kNoDistance = 1000000;

void distance_to_object(ScriptEngine& engine, CInstance* self, CInstance* other, int,
                        RValue& result, const RValue* args) {
    double best = kNoDistance;
    if (self) {
        const int64_t target = ResolveSelfOther(TargetOf(args[0]), self, other);
        ForEachInTarget(engine, engine.room, target, [&](CInstance& inst) {
            if (&inst == self) return;
            const double dx =
                Gap(self->bbox_left, self->bbox_right, inst.bbox_left, inst.bbox_right);
            const double dy =
                Gap(self->bbox_top, self->bbox_bottom, inst.bbox_top, inst.bbox_bottom);
            best = std::min(best, std::sqrt(dx * dx + dy * dy));
        });
    }
    result.SetReal(best);
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kPlaceSnapped = &place_snapped;
const BuiltinFunction kPositionDestroy = &position_destroy;

void RegisterCollisionFunctions(FunctionRegistry& r) {
    r.Register("collision_point", &collision_point, 5);
    r.Register("collision_rectangle", &collision_rectangle, 7);
    r.Register("collision_circle", &collision_circle, 6);
    r.Register("collision_ellipse", &collision_ellipse, 7);
    r.Register("collision_line", &collision_line, 7);
    r.Register("place_free", &place_free, 2);
    r.Register("place_empty", &place_empty, 2);
    r.Register("place_meeting", &place_meeting, 3);
    r.Register("place_snapped", &place_snapped, 2);
    r.Register("position_empty", &position_empty, 2);
    r.Register("position_meeting", &position_meeting, 3);
    r.Register("position_destroy", &position_destroy, 2);
    r.Register("position_change", &position_change, 4);
    r.Register("instance_place", &instance_place, 3);
    r.Register("instance_position", &instance_position, 3);
    r.Register("instance_nearest", &instance_nearest, 3);
    r.Register("instance_furthest", &instance_furthest, 3);
    r.Register("distance_to_point", &distance_to_point, 2);
    r.Register("distance_to_object", &distance_to_object, 1);
}

}  // namespace tb
