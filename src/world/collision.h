// Collision tests of one instance against another instance, a point and the shapes, first by
// the bounding box and then, when asked and the instance is precise, pixel by pixel through
// its mask sprite; the place and position queries built on them; the per-step collision
// event pass.
#pragma once

#include <cstdint>

namespace tb {

struct CInstance;
struct Game;
class World;
class ScriptEngine;

// Every test is false for a destroyed instance and for one without a mask sprite (its box is
// the far-away one, which meets nothing). Shape corners may come in any order.
bool MeetsInstance(const Game& game, const CInstance& a, const CInstance& b, bool precise);
bool ContainsPoint(const Game& game, const CInstance& a, double px, double py, bool precise);
bool MeetsRectangle(const Game& game, const CInstance& a, double x1, double y1, double x2,
                    double y2, bool precise);
// The ellipse inscribed in the rectangle.
bool MeetsEllipse(const Game& game, const CInstance& a, double x1, double y1, double x2, double y2,
                  bool precise);
bool MeetsLine(const Game& game, const CInstance& a, double x1, double y1, double x2, double y2,
               bool precise);

// Place queries: `inst` is tried at (x, y) as if moved there (its box follows) and is left
// exactly as it was; the tests are precise. The instances looked at are those of the engine's
// room. `target` is an object index (its family), `all`, or an instance id; `self` and
// `other` must be resolved by the caller where they are accepted.
//
// No solid instance would be met.
bool PlaceFree(ScriptEngine& engine, CInstance& inst, double x, double y);
// No instance at all would be met.
bool PlaceEmpty(ScriptEngine& engine, CInstance& inst, double x, double y);
// The first instance of target that would be met, or null.
CInstance* InstancePlace(ScriptEngine& engine, CInstance& inst, double x, double y, int64_t target);
inline bool PlaceMeeting(ScriptEngine& engine, CInstance& inst, double x, double y,
                         int64_t target) {
    return InstancePlace(engine, inst, x, y, target) != nullptr;
}
// The first instance of target that contains the point (precise), or null.
CInstance* InstancePosition(ScriptEngine& engine, double x, double y, int64_t target);

// The collision events of one step, in the exact order of the listed object pairs. Uses the
// world's broad phase unless `World::collision_all_pairs` asks for the plain walk.
void RunCollisionEvents(World& w);

}  // namespace tb
