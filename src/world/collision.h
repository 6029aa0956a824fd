// Collision tests of one instance against another instance, a point and the shapes, first by
// the bounding box and then, when asked and the instance is precise, pixel by pixel through
// its mask sprite; the per-step collision event pass.
#pragma once

#include <cstdint>

namespace tb {

struct CInstance;
struct Game;
class World;

bool MeetsInstance(const Game& game, const CInstance& a, const CInstance& b, bool precise);
bool ContainsPoint(const Game& game, const CInstance& a, double px, double py, bool precise);
bool MeetsRectangle(const Game& game, const CInstance& a, double x1, double y1, double x2,
                    double y2, bool precise);
bool MeetsEllipse(const Game& game, const CInstance& a, double x1, double y1, double x2,
                  double y2, bool precise);
bool MeetsLine(const Game& game, const CInstance& a, double x1, double y1, double x2, double y2,
               bool precise);

// The collision events of one step, in the exact order of the listed object pairs.
void RunCollisionEvents(World& w);

}  // namespace tb
