#include "world/moves.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/collision.h"
#include "world/instance.h"
#include "world/instance_ops.h"

namespace tb {

namespace {

constexpr double kDegrees = std::numbers::pi / 180.0;
constexpr int kRandomTries = 100;
constexpr int64_t kDefaultContactDistance = 1000;
constexpr int kBounceTurns = 35;

// Halves to even, like every rounding of the runner.
double Round(double v) {
    return std::nearbyint(v);
}

bool FreeAt(ScriptEngine& engine, CInstance& inst, double x, double y, Obstacles obstacles) {
    return obstacles == Obstacles::kSolid ? PlaceFree(engine, inst, x, y)
                                          : PlaceEmpty(engine, inst, x, y);
}

// A whole number in [0, n); one draw even when the range is empty, so the sequence of
// draws does not depend on the room.
double RandomBelow(RandomGenerator& random, double n) {
    const double bound = n >= 1 ? std::min(std::floor(n), 4294967295.0) : 0;
    return random.Below(uint32_t(bound));
}

// Steps of maxdist: round(maxdist) when positive, else the default.
int64_t ContactSteps(double maxdist) {
    return maxdist > 0 ? RoundToInt64(maxdist) : kDefaultContactDistance;
}

}  // namespace

void MoveRandom(ScriptEngine& engine, CInstance& inst, double hsnap, double vsnap) {
    if (!engine.game || !engine.room) return;
    const Game& game = *engine.game;
    const CRoom& room = *engine.room;
    double xlow = 0, xhigh = room.Width, ylow = 0, yhigh = room.Height;
    // With a box, the box (not the origin) has to stay inside the room.
    if (game.sprites.Exists(inst.mask_index >= 0 ? inst.mask_index : inst.sprite_index)) {
        xlow = Round(inst.x - inst.bbox_left);
        xhigh = Round(room.Width + inst.x - inst.bbox_right);
        ylow = Round(inst.y - inst.bbox_top);
        yhigh = Round(room.Height + inst.y - inst.bbox_bottom);
    }
    const double h = Round(hsnap), v = Round(vsnap);
    for (int i = 0; i < kRandomTries; ++i) {
        double x = xlow + RandomBelow(engine.random, xhigh - xlow);
        if (h > 0) x = h * std::floor(x / h);
        double y = ylow + RandomBelow(engine.random, yhigh - ylow);
        if (v > 0) y = v * std::floor(y / v);
        if (PlaceFree(engine, inst, x, y)) {
            SetPosition(inst, game, x, y);
            return;
        }
    }
}

void MoveSnap(CInstance& inst, const Game& game, double hsnap, double vsnap) {
    double x = inst.x, y = inst.y;
    if (hsnap > 0) x = hsnap * Round(x / hsnap);
    if (vsnap > 0) y = vsnap * Round(y / vsnap);
    SetPosition(inst, game, x, y);
}

void MoveWrap(CInstance& inst, const Game& game, const CRoom& room, bool horizontal, bool vertical,
              double margin) {
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

void MoveContact(ScriptEngine& engine, CInstance& inst, double direction, double maxdist,
                 Obstacles obstacles) {
    if (!engine.game) return;
    const double dx = std::cos(direction * kDegrees), dy = -std::sin(direction * kDegrees);
    if (!FreeAt(engine, inst, inst.x, inst.y, obstacles)) return;
    const int64_t steps = ContactSteps(maxdist);
    for (int64_t i = 0; i < steps; ++i) {
        const double x = inst.x + dx, y = inst.y + dy;
        if (!FreeAt(engine, inst, x, y, obstacles)) return;
        SetPosition(inst, *engine.game, x, y);
    }
}

void MoveOutside(ScriptEngine& engine, CInstance& inst, double direction, double maxdist,
                 Obstacles obstacles) {
    if (!engine.game) return;
    const double dx = std::cos(direction * kDegrees), dy = -std::sin(direction * kDegrees);
    const int64_t steps = ContactSteps(maxdist);
    for (int64_t i = 0; i < steps && !FreeAt(engine, inst, inst.x, inst.y, obstacles); ++i)
        SetPosition(inst, *engine.game, inst.x + dx, inst.y + dy);
}

void MoveContactOrOutside(ScriptEngine& engine, CInstance& inst, double direction) {
    if (PlaceFree(engine, inst, inst.x, inst.y))
        MoveContact(engine, inst, direction, -1, Obstacles::kSolid);
    else
        MoveOutside(engine, inst, direction, -1, Obstacles::kSolid);
}

void MoveBounce(ScriptEngine& engine, CInstance& inst, bool advanced, Obstacles obstacles) {
    if (!engine.game) return;
    bool blocked = false;
    if (!FreeAt(engine, inst, inst.x, inst.y, obstacles)) {
        SetPosition(inst, *engine.game, inst.xprevious, inst.yprevious);
        blocked = true;
    }
    if (advanced) {
        // The free directions on either side of the motion (in steps of 10 degrees); the
        // new direction is the old one mirrored about the middle of that free range.
        auto free_towards = [&](double a) {
            const double r = a * kDegrees;
            return FreeAt(engine, inst, inst.x + std::cos(r) * inst.speed,
                          inst.y - std::sin(r) * inst.speed, obstacles);
        };
        const double m = 10 * Round(inst.direction / 10);
        double a = m, b = m;
        for (int i = 0; i < kBounceTurns && !free_towards(a); ++i, a -= 10) blocked = true;
        for (int i = 0; i < kBounceTurns && !free_towards(b); ++i, b += 10) blocked = true;
        if (blocked) SetDirection(inst, a + b + 180 - m);
        return;
    }
    const double hs = inst.hspeed, vs = inst.vspeed;
    const bool h = FreeAt(engine, inst, inst.x + hs, inst.y, obstacles);
    const bool v = FreeAt(engine, inst, inst.x, inst.y + vs, obstacles);
    const bool d = FreeAt(engine, inst, inst.x + hs, inst.y + vs, obstacles);
    if ((!h && !v) || (h && v && !d)) {
        SetHspeed(inst, -hs);
        SetVspeed(inst, -vs);
    } else if (!h) {
        SetHspeed(inst, -hs);
    } else if (!v) {
        SetVspeed(inst, -vs);
    }
}

}  // namespace tb
