// Friction, gravity and path following: what moves every instance once per step.
#pragma once

namespace tb {

struct CInstance;
struct Game;
class World;

void ApplyFrictionAndGravity(CInstance& inst, const Game& game);
void StartPath(CInstance& inst, const Game& game, int path, double speed, int endaction,
               bool absolute, double scale = 1, double orientation = 0);
void EndPath(CInstance& inst);
// True when the end of the path was reached in this advance.
bool AdvanceAlongPath(CInstance& inst, const Game& game);
// The motion of one step for every instance of the room, End Of Path events included.
void RunMotion(World& w);

}  // namespace tb
