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
#include "world/query_index.h"

namespace tb {

namespace {

void SetTruth(RValue& result, bool b) {
    result.SetReal(b ? 1 : 0);
}

void SetInstance(RValue& result, const CInstance* inst) {
    result.SetReal(inst ? inst->id : kNoone);
}

// --- collision_*: the first instance of obj (notme: other than the caller) the test accepts

// `box` holds every instance the test can accept; `boxed` false: no such box (a coordinate
// is not a number), every instance is tried.
template <class Test>
void CollisionSearch(ScriptEngine& engine, CInstance* self, RValue& result, const RValue& obj,
                     const RValue& notme, bool boxed, const QueryBox& box, Test&& test) {
    result.SetReal(kNoone);
    if (!engine.game) return;
    const Game& game = *engine.game;
    const CInstance* skip = Flag(notme) ? self : nullptr;
    auto accept = [&](CInstance& inst) { return &inst != skip && test(game, inst); };
    const int64_t target = TargetOf(obj);
    SetInstance(result, boxed ? FindNear(engine, engine.room, target, box, accept)
                              : FindInTarget(engine, engine.room, target, accept));
}

void collision_point(ScriptEngine& engine, CInstance* self, CInstance*, int, RValue& result,
                     const RValue* args) {
    const double x = Number(args[0]), y = Number(args[1]);
    const bool precise = Flag(args[3]);
    QueryBox box;
    const bool boxed = PointBox(x, y, box);
    CollisionSearch(
        engine, self, result, args[2], args[4], boxed, box,
        [&](const Game& g, const CInstance& i) { return ContainsPoint(g, i, x, y, precise); });
}

// The four corner arguments, the object, prec and notme of rectangle, ellipse and line.
template <class Test>
void ShapeSearch(ScriptEngine& engine, CInstance* self, RValue& result, const RValue* args,
                 Test&& test) {
    const double x1 = Number(args[0]), y1 = Number(args[1]);
    const double x2 = Number(args[2]), y2 = Number(args[3]);
    const bool precise = Flag(args[5]);
    QueryBox box;
    const bool boxed = ShapeBox(x1, y1, x2, y2, box);
    CollisionSearch(
        engine, self, result, args[4], args[6], boxed, box,
        [&](const Game& g, const CInstance& i) { return test(g, i, x1, y1, x2, y2, precise); });
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
    const double x1 = xc - r, y1 = yc - r, x2 = xc + r, y2 = yc + r;
    QueryBox box;
    const bool boxed = ShapeBox(x1, y1, x2, y2, box);
    CollisionSearch(engine, self, result, args[3], args[5], boxed, box,
                    [&](const Game& g, const CInstance& i) {
                        return MeetsEllipse(g, i, x1, y1, x2, y2, precise);
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
    if (!engine.game || !engine.room) return;
    const Game& game = *engine.game;
    CRoom& room = *engine.room;
    QueryBox box;
    if (!PointBox(x, y, box)) return;  // no instance contains such a point
    // The walk of `all`, one instance found at a time: f runs events that may move, make or
    // remove instances, so the candidates are looked up again after each.
    const size_t count = room.instances.size();
    size_t next = 0;
    while (next < count) {
        CInstance* hit = nullptr;
        if (QueryIndex* index = QueryIndex::Of(engine, room)) {
            for (uint32_t k : index->Near(room, kTargetAll, box)) {
                if (k < next) continue;
                if (k >= count) break;
                CInstance* inst = room.instances[k].get();
                if (!inst->destroyed && ContainsPoint(game, *inst, x, y, true)) {
                    hit = inst;
                    next = k + 1;
                    break;
                }
            }
        } else {
            for (; next < count && next < room.instances.size() && !hit; ++next) {
                CInstance* inst = room.instances[next].get();
                if (inst && !inst->destroyed && ContainsPoint(game, *inst, x, y, true)) hit = inst;
            }
        }
        if (!hit) return;
        f(*hit);
    }
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

// Origins farther than this from the point are never nearest.
constexpr double kNearestReach = 1e10;

void instance_nearest(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                      const RValue* args) {
    const double x = Number(args[0]), y = Number(args[1]);
    const int64_t target = TargetOf(args[2]);
    QueryIndex* index = nullptr;
    if (engine.room && (target == kTargetAll || (target >= 0 && target < kFirstInstanceId)) &&
        std::fabs(x) <= 1e9 && std::fabs(y) <= 1e9)
        index = QueryIndex::Of(engine, *engine.room);
    if (!index) {
        ByDistance(engine, result, args, kNearestReach,
                   [](double d, double best) { return d < best; });
        return;
    }
    // Squares around the point, growing until the nearest origin found lies within the
    // square's inscribed circle: no origin outside can then be nearer, and those as near
    // come in the order of the walk.
    const CRoom& room = *engine.room;
    const CInstance* found = nullptr;
    for (double r = 64;; r *= 4) {
        double best = kNearestReach;
        found = nullptr;
        QueryBox box;
        ShapeBox(x - r, y - r, x + r, y + r, box);
        for (uint32_t k : index->Near(room, target, box, true)) {
            const CInstance* inst = QueryIndex::ListAt(room, target, k);
            if (!inst || inst->destroyed) continue;
            const double dx = inst->x - x, dy = inst->y - y;
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                found = inst;
            }
        }
        if ((found && best <= r * r) || r * r >= kNearestReach) break;
    }
    SetInstance(result, found);
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
    auto closer = [&](const CInstance& inst) {
        if (&inst == self) return;
        const double dx = Gap(self->bbox_left, self->bbox_right, inst.bbox_left, inst.bbox_right);
        const double dy = Gap(self->bbox_top, self->bbox_bottom, inst.bbox_top, inst.bbox_bottom);
        best = std::min(best, std::sqrt(dx * dx + dy * dy));
    };
    if (self) {
        const int64_t target = ResolveSelfOther(TargetOf(args[0]), self, other);
        QueryIndex* index = nullptr;
        if (engine.room && (target == kTargetAll || (target >= 0 && target < kFirstInstanceId)))
            index = QueryIndex::Of(engine, *engine.room);
        if (!index) {
            ForEachInTarget(engine, engine.room, target, [&](CInstance& inst) { closer(inst); });
        } else {
            // Boxes within a margin of the caller's, the margin growing until the nearest box
            // found lies within it: every nearer box lies within it too.
            const CRoom& room = *engine.room;
            for (int64_t r = 64;; r *= 4) {
                best = kNoDistance;
                const QueryBox box{int64_t(self->bbox_left) - r, int64_t(self->bbox_top) - r,
                                   int64_t(self->bbox_right) + r, int64_t(self->bbox_bottom) + r};
                for (uint32_t k : index->Near(room, target, box)) {
                    const CInstance* inst = QueryIndex::ListAt(room, target, k);
                    if (inst && !inst->destroyed) closer(*inst);
                }
                if (best <= double(r) || double(r) >= kNoDistance) break;
            }
        }
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
