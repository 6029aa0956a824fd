#include "world/motion.h"

#include <cmath>
#include <numbers>

#include "resources/object.h"
#include "resources/path.h"
#include "resources/room.h"
#include "runner/game.h"
#include "world/events.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/world.h"

namespace tb {

namespace {

constexpr double kDegrees = std::numbers::pi / 180.0;

enum PathEndAction : int32_t { kEndStop = 0, kEndRestart = 1, kEndContinue = 2, kEndReverse = 3 };

// The path the instance follows, when it can be followed at all.
const CPath* FollowedPath(const CInstance& inst, const Game& game) {
    if (inst.path_index < 0) return nullptr;
    const CPath* path = game.paths.Get(inst.path_index);
    return path && path->Length > 0 ? path : nullptr;
}

struct Offset {
    double x, y;
};

// An offset in path coordinates turned by path_orientation (counter-clockwise on screen)
// and scaled by path_scale.
Offset TurnAndScale(const CInstance& inst, double dx, double dy) {
    const double a = inst.path_orientation * kDegrees;
    const double c = std::cos(a), s = std::sin(a);
    return {(c * dx + s * dy) * inst.path_scale, (c * dy - s * dx) * inst.path_scale};
}

// The room point of path position t: the path's first point lies at the origin.
Offset PlaceOnPath(const CInstance& inst, const CPath& path, double t) {
    const PathPoint first = path.PositionAt(0);
    const PathPoint p = path.PositionAt(t);
    const Offset o = TurnAndScale(inst, p.x - first.x, p.y - first.y);
    return {o.x + inst.path_xorigin, o.y + inst.path_yorigin};
}

// At an end of the path: which end is decided by the bound that was crossed, so a backward
// path that lands exactly on 0 is handled as having reached its start.
void HandlePathEnd(CInstance& inst, const CPath& path) {
    const bool at_far_end = inst.path_position >= 1;
    switch (inst.path_endaction) {
        case kEndRestart:
            inst.path_position += at_far_end ? -1 : 1;
            break;
        case kEndContinue: {
            const PathPoint first = path.PositionAt(0), last = path.PositionAt(1);
            const Offset e = TurnAndScale(inst, last.x - first.x, last.y - first.y);
            const double sign = at_far_end ? 1 : -1;
            inst.path_xorigin += sign * e.x;
            inst.path_yorigin += sign * e.y;
            inst.path_position -= sign;
            break;
        }
        case kEndReverse:
            if (at_far_end) {
                inst.path_position = 2 - inst.path_position;
                inst.path_speed = -std::fabs(inst.path_speed);
            } else {
                inst.path_position = 0.0 - inst.path_position;  // no -0 from exactly 0
                inst.path_speed = std::fabs(inst.path_speed);
            }
            break;
        default:
            // Stop where the path ended: a path followed backwards stays on its first point
            // instead of jumping to the last one.
            inst.path_position = at_far_end ? 1 : 0;
            inst.path_index = -1;
            break;
    }
}

}  // namespace

void ApplyFrictionAndGravity(CInstance& inst, const Game&) {
    if (inst.friction != 0) {
        const double s = inst.speed;
        const double n = s > 0 ? s - inst.friction : s + inst.friction;
        // Friction brings a motion to rest but never turns it around or starts one.
        if ((s > 0 && n < 0) || (s < 0 && n > 0))
            SetSpeed(inst, 0);
        else if (s != 0)
            SetSpeed(inst, n);
    }
    if (inst.gravity != 0) AddMotion(inst, inst.gravity, inst.gravity_direction);
}

void StartPath(CInstance& inst, const Game& game, int path, double speed, int endaction,
               bool absolute, double scale, double orientation) {
    inst.path_index = path;
    const CPath* p = FollowedPath(inst, game);
    if (!p) {
        inst.path_index = -1;
        return;
    }
    inst.path_speed = speed;
    inst.path_position = inst.path_positionprevious = speed >= 0 ? 0 : 1;
    inst.path_scale = scale;
    if (scale < 0) {
        inst.path_index = -1;
        return;
    }
    inst.path_orientation = orientation;
    inst.path_endaction = endaction;
    if (absolute) {
        const PathPoint first = p->PositionAt(0);
        inst.path_xorigin = first.x;
        inst.path_yorigin = first.y;
        const PathPoint at = p->PositionAt(inst.path_position);
        SetPosition(inst, game, at.x, at.y);
    } else {
        inst.path_xorigin = inst.x;
        inst.path_yorigin = inst.y;
    }
}

void EndPath(CInstance& inst) {
    inst.path_index = -1;
}

bool AdvanceAlongPath(CInstance& inst, const Game& game) {
    const CPath* path = FollowedPath(inst, game);
    if (!path || inst.path_speed == 0) return false;
    const double point_speed = path->SpeedAt(inst.path_position);
    // The point speed and the scale cancel out: the instance covers path_speed * s / 100
    // room pixels per step however large the path is drawn.
    inst.path_position += inst.path_speed * (point_speed / (100 * inst.path_scale)) / path->Length;
    const bool ended = inst.path_position >= 1 || inst.path_position <= 0;
    if (ended) HandlePathEnd(inst, *path);
    const Offset to = PlaceOnPath(inst, *path, inst.path_position);
    // The components of this advance give the direction; the speed itself is cleared so the
    // step's final move adds nothing.
    SetHspeed(inst, to.x - inst.x);
    SetVspeed(inst, to.y - inst.y);
    SetSpeed(inst, 0);
    SetPosition(inst, game, to.x, to.y);
    return ended;
}

void RunMotion(World& w) {
    CRoom* r = w.Room();
    if (!r) return;
    // Instances created by End Of Path events wait for the next step; deactivation may
    // shorten the list, so the index is checked at every turn.
    const size_t count = r->instances.size();
    for (size_t i = 0; i < count; ++i) {
        r = w.Room();
        if (!r || i >= r->instances.size()) break;
        CInstance* inst = r->instances[i].get();
        if (!inst) continue;
        ApplyFrictionAndGravity(*inst, w.game);
        // Destroyed instances still move with the others but run no more events.
        if (AdvanceAlongPath(*inst, w.game) && !inst->destroyed)
            Dispatch(w, inst, inst, ev_other, ev_end_of_path);
        // An instance deactivated by that event lies still until it is activated again.
        if (inst->deactivated) continue;
        SetPosition(*inst, w.game, inst->x + inst->hspeed, inst->y + inst->vspeed);
    }
}

}  // namespace tb
