// Motion planning: grids with their path search, and the linear and potential-field steps.
#include "planning/planning.h"

#include <algorithm>
#include <cstdint>

#include "functions/arguments.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/graphics.h"
#include "resources/path.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"
#include "world/instance_sets.h"

namespace tb {

namespace {

#define TB_MP(name)                                                                    \
    void name([[maybe_unused]] ScriptEngine& engine, [[maybe_unused]] CInstance* self, \
              [[maybe_unused]] CInstance* other, int, [[maybe_unused]] RValue& result, \
              [[maybe_unused]] const RValue* a)

constexpr const char* kNoPath = "Trying to assign to a non-existing path.";
constexpr const char* kGridTooLarge = "Cannot create a motion planning grid of that size.";

PlanningState& State(ScriptEngine& e) {
    return *e.planning;
}

CGrid* GridArg(ScriptEngine& e, const RValue& v) {
    return State(e).Grid(Int(v));
}

// A coordinate rounded to a whole pixel; reals beyond the 32-bit range are clamped.
int64_t Coord(const RValue& v) {
    return Int(v);
}

// The path argument, or null after the message.
CPath* PathArg(ScriptEngine& e, const RValue& v) {
    CPath* path = e.game ? e.game->paths.Get(Int(v)) : nullptr;
    if (!path) ShowRuntimeError(e, kNoPath, false);
    return path;
}

Obstacles Check(const RValue& checkall) {
    Obstacles o;
    o.kind = Flag(checkall) ? Obstacles::kAny : Obstacles::kSolid;
    return o;
}

Obstacles ObjectCheck(const RValue& obj) {
    Obstacles o;
    o.kind = Obstacles::kTarget;
    o.target = TargetOf(obj);
    return o;
}

// --- grids

TB_MP(mp_grid_create) {
    const int32_t id =
        State(engine).CreateGrid(Int(a[0]), Int(a[1]), Int(a[2]), Int(a[3]), Int(a[4]), Int(a[5]));
    if (id < 0) ShowRuntimeError(engine, kGridTooLarge, false);
    result.SetReal(id);
}
TB_MP(mp_grid_destroy) {
    State(engine).DestroyGrid(Int(a[0]));
}
TB_MP(mp_grid_clear_all) {
    if (CGrid* g = GridArg(engine, a[0])) g->ClearAll();
}
TB_MP(mp_grid_clear_cell) {
    if (CGrid* g = GridArg(engine, a[0])) g->SetCell(Int(a[1]), Int(a[2]), CGrid::kFree);
}
TB_MP(mp_grid_add_cell) {
    if (CGrid* g = GridArg(engine, a[0])) g->SetCell(Int(a[1]), Int(a[2]), CGrid::kForbidden);
}
TB_MP(mp_grid_clear_rectangle) {
    if (CGrid* g = GridArg(engine, a[0]))
        g->SetRectangle(Coord(a[1]), Coord(a[2]), Coord(a[3]), Coord(a[4]), CGrid::kFree);
}
TB_MP(mp_grid_add_rectangle) {
    if (CGrid* g = GridArg(engine, a[0]))
        g->SetRectangle(Coord(a[1]), Coord(a[2]), Coord(a[3]), Coord(a[4]), CGrid::kForbidden);
}
TB_MP(mp_grid_add_instances) {
    if (CGrid* g = GridArg(engine, a[0]))
        AddInstancesToGrid(engine, *g, ResolveSelfOther(TargetOf(a[1]), self, other), Flag(a[2]));
}
TB_MP(mp_grid_path) {
    CGrid* g = GridArg(engine, a[0]);
    if (!g) return;
    CPath* path = PathArg(engine, a[1]);
    if (!path) return;
    result.SetReal(
        g->FindPath(*path, Coord(a[2]), Coord(a[3]), Coord(a[4]), Coord(a[5]), Flag(a[6])) ? 1 : 0);
}
TB_MP(mp_grid_draw) {
    if (CGrid* g = GridArg(engine, a[0]))
        if (engine.graphics) g->Draw(*engine.graphics);
}

// --- linear and potential steps

void Truth(RValue& result, bool b) {
    result.SetReal(b ? 1 : 0);
}

TB_MP(mp_linear_step) {
    if (self && engine.game)
        Truth(result,
              LinearStep(engine, *self, Number(a[0]), Number(a[1]), Number(a[2]), Check(a[3])));
}
TB_MP(mp_linear_step_object) {
    if (self && engine.game)
        Truth(result, LinearStep(engine, *self, Number(a[0]), Number(a[1]), Number(a[2]),
                                 ObjectCheck(a[3])));
}
TB_MP(mp_linear_path) {
    CPath* path = PathArg(engine, a[0]);
    if (path && self)
        Truth(result, LinearPath(engine, *self, *path, Number(a[1]), Number(a[2]), Number(a[3]),
                                 Check(a[4])));
}
TB_MP(mp_linear_path_object) {
    CPath* path = PathArg(engine, a[0]);
    if (path && self)
        Truth(result, LinearPath(engine, *self, *path, Number(a[1]), Number(a[2]), Number(a[3]),
                                 ObjectCheck(a[4])));
}
TB_MP(mp_potential_settings) {
    PotentialSettings& s = State(engine).potential;
    s.maxrot = std::max(1.0, Number(a[0]));
    s.rotstep = std::max(1.0, Number(a[1]));
    s.ahead = std::max(1.0, Number(a[2]));
    s.onspot = Flag(a[3]);
}
TB_MP(mp_potential_step) {
    if (self && engine.game)
        Truth(result, PotentialStep(engine, *self, State(engine).potential, Number(a[0]),
                                    Number(a[1]), Number(a[2]), Check(a[3])));
}
TB_MP(mp_potential_step_object) {
    if (self && engine.game)
        Truth(result, PotentialStep(engine, *self, State(engine).potential, Number(a[0]),
                                    Number(a[1]), Number(a[2]), ObjectCheck(a[3])));
}
TB_MP(mp_potential_path) {
    CPath* path = PathArg(engine, a[0]);
    if (path && self)
        Truth(result, PotentialPath(engine, *self, State(engine).potential, *path, Number(a[1]),
                                    Number(a[2]), Number(a[3]), Number(a[4]), Check(a[5])));
}
TB_MP(mp_potential_path_object) {
    CPath* path = PathArg(engine, a[0]);
    if (path && self)
        Truth(result, PotentialPath(engine, *self, State(engine).potential, *path, Number(a[1]),
                                    Number(a[2]), Number(a[3]), Number(a[4]), ObjectCheck(a[5])));
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kMpLinearStep = &mp_linear_step;
const BuiltinFunction kMpPotentialStep = &mp_potential_step;

void RegisterPlanningFunctions(FunctionRegistry& r) {
    r.Register("mp_grid_create", &mp_grid_create, 6);
    r.Register("mp_grid_destroy", &mp_grid_destroy, 1);
    r.Register("mp_grid_clear_all", &mp_grid_clear_all, 1);
    r.Register("mp_grid_clear_cell", &mp_grid_clear_cell, 3);
    r.Register("mp_grid_add_cell", &mp_grid_add_cell, 3);
    r.Register("mp_grid_clear_rectangle", &mp_grid_clear_rectangle, 5);
    r.Register("mp_grid_add_rectangle", &mp_grid_add_rectangle, 5);
    r.Register("mp_grid_add_instances", &mp_grid_add_instances, 3);
    r.Register("mp_grid_path", &mp_grid_path, 7);
    r.Register("mp_grid_draw", &mp_grid_draw, 1);
    r.Register("mp_linear_step", &mp_linear_step, 4);
    r.Register("mp_linear_step_object", &mp_linear_step_object, 4);
    r.Register("mp_linear_path", &mp_linear_path, 5);
    r.Register("mp_linear_path_object", &mp_linear_path_object, 5);
    r.Register("mp_potential_settings", &mp_potential_settings, 4);
    r.Register("mp_potential_step", &mp_potential_step, 4);
    r.Register("mp_potential_step_object", &mp_potential_step_object, 4);
    r.Register("mp_potential_path", &mp_potential_path, 6);
    r.Register("mp_potential_path_object", &mp_potential_path_object, 6);
}

}  // namespace tb
