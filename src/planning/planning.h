// Motion planning: the grids of a run, the potential-field settings, and the step-wise
// linear and potential planners that move an instance towards a goal.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "planning/grid.h"

namespace tb {

class CPath;
class ScriptEngine;
struct CInstance;

struct PotentialSettings {
    double maxrot = 30;
    double rotstep = 10;
    double ahead = 3;
    bool onspot = true;
};

struct PlanningState {
    std::vector<std::unique_ptr<CGrid>> grids;  // null: an empty slot
    PotentialSettings potential;

    // The first empty slot, or a new one; -1 when the grid is refused.
    int32_t CreateGrid(int32_t left, int32_t top, int32_t hcells, int32_t vcells,
                       int32_t cell_width, int32_t cell_height);
    CGrid* Grid(int32_t id) const;
    void DestroyGrid(int32_t id);
};

// What a place must be free of: solid instances (place_free), any instance (place_empty),
// or the instances of one target (instance_place finds nothing).
struct Obstacles {
    enum Kind { kSolid, kAny, kTarget } kind = kSolid;
    int64_t target = 0;
};

// The planners, for `inst` in the engine's room. Each step returns true when the goal is
// reached; each path returns true when one was found and leaves the instance as it was.
bool LinearStep(ScriptEngine& engine, CInstance& inst, double gx, double gy, double step,
                const Obstacles& obstacles);
bool LinearPath(ScriptEngine& engine, CInstance& inst, CPath& path, double gx, double gy,
                double step, const Obstacles& obstacles);
bool PotentialStep(ScriptEngine& engine, CInstance& inst, const PotentialSettings& settings,
                   double gx, double gy, double step, const Obstacles& obstacles);
bool PotentialPath(ScriptEngine& engine, CInstance& inst, const PotentialSettings& settings,
                   CPath& path, double gx, double gy, double step, double factor,
                   const Obstacles& obstacles);

// Marks the cells that the target's instances cover, by their boxes or, with `precise`, by
// the precise rectangle test of each cell.
void AddInstancesToGrid(ScriptEngine& engine, CGrid& grid, int64_t target, bool precise);

}  // namespace tb
