// The moves of the interaction functions and their actions: random free places, grids,
// wrapping, heading for a point, moving into and out of contact, bouncing.
#pragma once

namespace tb {

struct CInstance;
struct Game;
class CRoom;
class ScriptEngine;

// What counts as an obstacle: solid instances only, or every instance.
enum class Obstacles { kSolid, kAll };

// Up to 100 random places in the room (keeping the box inside it where there is one) on the
// grid of round(hsnap) x round(vsnap); the first one free of solid instances is taken. The
// moves that test places look at the engine's room.
void MoveRandom(ScriptEngine& engine, CInstance& inst, double hsnap, double vsnap);
// The position rounded to the grid on each axis whose snap is > 0.
void MoveSnap(CInstance& inst, const Game& game, double hsnap, double vsnap);
// Through one side of the room (widened by margin) and back in at the other.
void MoveWrap(CInstance& inst, const Game& game, const CRoom& room, bool horizontal, bool vertical,
              double margin);
// Direction towards (x, y) and the given speed.
void MoveTowardsPoint(CInstance& inst, double x, double y, double speed);

// From a free place, pixel by pixel in `direction` until the next step would not be free, at
// most round(maxdist) pixels (1000 when maxdist <= 0). Nothing from a place that is not free.
void MoveContact(ScriptEngine& engine, CInstance& inst, double direction, double maxdist,
                 Obstacles obstacles);
// From a place that is not free, pixel by pixel in `direction` until it is, with the same
// bound on the distance.
void MoveOutside(ScriptEngine& engine, CInstance& inst, double direction, double maxdist,
                 Obstacles obstacles);
// move_contact: into contact with solid instances from a free place, out of it otherwise.
void MoveContactOrOutside(ScriptEngine& engine, CInstance& inst, double direction);
// Reverses the motion against the obstacles: by the free directions around the motion
// (advanced) or by the blocked speed components (simple).
void MoveBounce(ScriptEngine& engine, CInstance& inst, bool advanced, Obstacles obstacles);

}  // namespace tb
