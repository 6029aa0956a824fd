// The linear and potential-field planners, the grids' table and the cells of instances.
#include <cmath>
#include <numbers>
#include <vector>

#include "planning/planning.h"
#include "resources/path.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/collision.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/instance_sets.h"

namespace tb {

namespace {

constexpr double kRad = std::numbers::pi / 180;
// A path search ends unfound after this many steps (a tiny step size over a long way would
// otherwise run for hours and fill memory with points).
constexpr int64_t kMaxPathSteps = 1000000;
// Turning on the spot for more than this many degrees in a row cannot lead anywhere new.
constexpr double kMaxTurnOnSpot = 720;

bool FreeAt(ScriptEngine& engine, CInstance& inst, double x, double y, const Obstacles& o) {
    switch (o.kind) {
        case Obstacles::kAny:
            return PlaceEmpty(engine, inst, x, y);
        case Obstacles::kTarget:
            return InstancePlace(engine, inst, x, y, o.target) == nullptr;
        default:
            return PlaceFree(engine, inst, x, y);
    }
}

// The direction of a move from (x0, y0) to (x1, y1), unsnapped.
double MoveDirection(double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0;
    if (dx == 0) return dy > 0 ? 270 : dy < 0 ? 90 : 0;
    const double a = std::atan2(dy, dx) / kRad;
    return a > 0 ? 360 - a : -a;
}

double Normal(double d) {
    d = std::fmod(d, 360);
    return d < 0 ? d + 360 : d;
}

double AngleBetween(double a, double b) {
    const double d = std::abs(Normal(a) - Normal(b));
    return d > 180 ? 360 - d : d;
}

void Move(ScriptEngine& engine, CInstance& inst, double direction, double x, double y) {
    SetDirection(inst, direction);
    SetPosition(inst, *engine.game, x, y);
}

// Puts the instance back where a path search found it.
struct Restore {
    ScriptEngine& engine;
    CInstance& inst;
    double x, y, direction;
    Restore(ScriptEngine& e, CInstance& i)
        : engine(e), inst(i), x(i.x), y(i.y), direction(i.direction) {}
    ~Restore() {
        SetPosition(inst, *engine.game, x, y);
        SetDirection(inst, direction);
    }
};

void WritePath(CPath& path, std::vector<PathPoint>& points) {
    path.points = std::move(points);
    path.Kind = 0;
    path.Closed = false;
    path.Recompute();
}

}  // namespace

// --- the table

int32_t PlanningState::CreateGrid(int32_t left, int32_t top, int32_t hcells, int32_t vcells,
                                  int32_t cell_width, int32_t cell_height) {
    auto grid = std::make_unique<CGrid>();
    if (!grid->Create(left, top, hcells, vcells, cell_width, cell_height)) return -1;
    size_t id = 0;
    while (id < grids.size() && grids[id]) ++id;
    if (id == grids.size()) grids.emplace_back();
    grids[id] = std::move(grid);
    return int32_t(id);
}

CGrid* PlanningState::Grid(int32_t id) const {
    return id >= 0 && size_t(id) < grids.size() ? grids[size_t(id)].get() : nullptr;
}

void PlanningState::DestroyGrid(int32_t id) {
    if (Grid(id)) grids[size_t(id)].reset();
}

void AddInstancesToGrid(ScriptEngine& engine, CGrid& grid, int64_t target, bool precise) {
    if (!engine.game) return;
    const Game& game = *engine.game;
    ForEachInTarget(engine, engine.room, target, [&](CInstance& inst) {
        int64_t i0, j0, i1, j1;
        if (!grid.Range(inst.bbox_left, inst.bbox_top, inst.bbox_right, inst.bbox_bottom, i0, j0,
                        i1, j1))
            return;
        for (int64_t i = i0; i <= i1; ++i)
            for (int64_t j = j0; j <= j1; ++j) {
                int32_t& cell = grid.At(i, j);
                if (!precise) {
                    cell = CGrid::kForbidden;
                    continue;
                }
                if (cell == CGrid::kForbidden) continue;
                const double x1 = double(i * grid.cell_width + grid.left);
                const double y1 = double(j * grid.cell_height + grid.top);
                if (MeetsRectangle(game, inst, x1, y1, x1 + grid.cell_width - 1,
                                   y1 + grid.cell_height - 1, true))
                    cell = CGrid::kForbidden;
            }
    });
}

// --- linear

bool LinearStep(ScriptEngine& engine, CInstance& inst, double gx, double gy, double step,
                const Obstacles& obstacles) {
    if (inst.x == gx && inst.y == gy) return true;
    const double dx = gx - inst.x, dy = gy - inst.y;
    const double d = std::sqrt(dx * dx + dy * dy);
    double tx = gx, ty = gy;
    bool reached = true;
    if (d > step) {
        tx = inst.x + dx * step / d;
        ty = inst.y + dy * step / d;
        reached = false;
    }
    if (FreeAt(engine, inst, tx, ty, obstacles))
        Move(engine, inst, MoveDirection(inst.x, inst.y, tx, ty), tx, ty);
    return reached;
}

bool LinearPath(ScriptEngine& engine, CInstance& inst, CPath& path, double gx, double gy,
                double step, const Obstacles& obstacles) {
    if (!(step > 0) || !engine.game) return false;
    Restore restore(engine, inst);
    std::vector<PathPoint> points;
    bool found = false;
    for (int64_t n = 0; n < kMaxPathSteps; ++n) {
        points.push_back({inst.x, inst.y, 100});
        const double x = inst.x, y = inst.y;
        if (LinearStep(engine, inst, gx, gy, step, obstacles)) {
            points.push_back({gx, gy, 100});
            found = true;
            break;
        }
        if (inst.x == x && inst.y == y) break;
    }
    WritePath(path, points);
    return found;
}

// --- potential field

bool PotentialStep(ScriptEngine& engine, CInstance& inst, const PotentialSettings& settings,
                   double gx, double gy, double step, const Obstacles& obstacles) {
    if (inst.x == gx && inst.y == gy) return true;
    const double dx = gx - inst.x, dy = gy - inst.y;
    if (std::sqrt(dx * dx + dy * dy) <= step) {
        if (FreeAt(engine, inst, gx, gy, obstacles))
            Move(engine, inst, MoveDirection(inst.x, inst.y, gx, gy), gx, gy);
        return true;
    }
    const double heading = MoveDirection(inst.x, inst.y, gx, gy);
    const auto attempt = [&](double a) {
        if (AngleBetween(a, inst.direction) > settings.maxrot) return false;
        const double c = std::cos(a * kRad), s = std::sin(a * kRad);
        const double reach = step * settings.ahead;
        if (!FreeAt(engine, inst, inst.x + c * reach, inst.y - s * reach, obstacles)) return false;
        const double nx = inst.x + c * step, ny = inst.y - s * step;
        if (!FreeAt(engine, inst, nx, ny, obstacles)) return false;
        Move(engine, inst, a, nx, ny);
        return true;
    };
    for (double m = 0; m < 180; m += settings.rotstep)
        if (attempt(heading - m) || attempt(heading + m)) return false;
    if (settings.onspot) SetDirection(inst, inst.direction + settings.maxrot);
    return false;
}

bool PotentialPath(ScriptEngine& engine, CInstance& inst, const PotentialSettings& settings,
                   CPath& path, double gx, double gy, double step, double factor,
                   const Obstacles& obstacles) {
    if (factor < 1 || !(step > 0) || !engine.game) return false;
    Restore restore(engine, inst);
    std::vector<PathPoint> points;
    points.push_back({inst.x, inst.y, 100});
    const double limit = factor * std::hypot(gx - inst.x, gy - inst.y);
    double length = 0, turned = 0;
    bool found = false;
    for (int64_t n = 0; n < kMaxPathSteps; ++n) {
        const double x = inst.x, y = inst.y, direction = inst.direction;
        if (PotentialStep(engine, inst, settings, gx, gy, step, obstacles)) {
            points.push_back({gx, gy, 100});
            found = true;
            break;
        }
        points.push_back({inst.x, inst.y, 100});
        length += std::hypot(inst.x - x, inst.y - y);
        if (length > limit) break;
        // Standing still: nothing will ever change, or only the heading keeps turning.
        if (inst.x == x && inst.y == y) {
            if (inst.direction == direction) break;
            turned += settings.maxrot;
            if (turned > kMaxTurnOnSpot) break;
        } else {
            turned = 0;
        }
    }
    WritePath(path, points);
    return found;
}

}  // namespace tb
