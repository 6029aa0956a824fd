#include "world/moves.h"

#include <cmath>

#include "resources/room.h"
#include "runner/game.h"
#include "world/instance.h"
#include "world/instance_ops.h"

namespace tb {

namespace {

// Halves to even, like every rounding of the runner.
double Round(double v) {
    return std::nearbyint(v);
}

}  // namespace

void MoveSnap(CInstance& inst, const Game& game, double hsnap, double vsnap) {
    double x = inst.x, y = inst.y;
    if (hsnap > 0) x = hsnap * Round(x / hsnap);
    if (vsnap > 0) y = vsnap * Round(y / vsnap);
    SetPosition(inst, game, x, y);
}

void MoveWrap(CInstance& inst, const Game& game, const CRoom& room, bool horizontal,
              bool vertical, double margin) {
    double x = inst.x, y = inst.y;
    if (horizontal) {
        const double width = room.Width;
        if (x < -margin)
            x += width + 2 * margin;
        else if (x > width + margin)
            x -= width + 2 * margin;
    }
    if (vertical) {
        const double height = room.Height;
        if (y < -margin)
            y += height + 2 * margin;
        else if (y > height + margin)
            y -= height + 2 * margin;
    }
    SetPosition(inst, game, x, y);
}

void MoveTowardsPoint(CInstance& inst, double x, double y, double speed) {
    SetHspeed(inst, x - inst.x);
    SetVspeed(inst, y - inst.y);
    SetSpeed(inst, speed);
}

}  // namespace tb
