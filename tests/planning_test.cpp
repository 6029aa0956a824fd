// Motion planning through the script functions: grid paths on small hand-drawn grids with
// exact point lists, cell marking by rectangles and instances, and the linear and potential
// steps and paths on simple layouts.
#include "planning/planning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "collision_fixtures.h"
#include "resources/object.h"
#include "resources/path.h"
#include "script_harness.h"
#include "world/instance_lifecycle.h"
#include "world/instance_ops.h"
#include "world/world.h"

namespace tb {
namespace {

using Points = std::vector<std::pair<double, double>>;

struct Planning : test::FunctionTest {
    int path = -1;

    Planning() {
        auto p = std::make_unique<CPath>();
        p->AddPoint(1, 2, 100);
        path = w.game.paths.Add(std::move(p), "path0");
    }
    double Num(const std::string& expr) { return Eval(expr).real; }
    CPath& Path() { return *w.game.paths.Get(path); }
    Points PathPoints() {
        Points out;
        for (const PathPoint& p : Path().points) out.emplace_back(p.x, p.y);
        return out;
    }
    // A grid of 10 x 10 pixel cells at (0, 0) from rows of '.' (free) and '#' (forbidden).
    void Grid(const std::vector<std::string>& rows) {
        const int h = int(rows[0].size()), v = int(rows.size());
        Run("global.g = mp_grid_create(0, 0, " + std::to_string(h) + ", " + std::to_string(v) +
            ", 10, 10)");
        for (int j = 0; j < v; ++j)
            for (int i = 0; i < h; ++i)
                if (rows[size_t(j)][size_t(i)] == '#')
                    Run("mp_grid_add_cell(global.g, " + std::to_string(i) + ", " +
                        std::to_string(j) + ")");
    }
    CGrid& TheGrid() { return *w.engine.planning->Grid(int32_t(Num("global.g"))); }
    std::string Cells() {
        std::string s;
        const CGrid& g = TheGrid();
        for (int j = 0; j < g.vcells; ++j) {
            for (int i = 0; i < g.hcells; ++i)
                s += g.cells[size_t(j + i * g.vcells)] == CGrid::kForbidden ? '#'
                     : g.cells[size_t(j + i * g.vcells)] == CGrid::kFree    ? '.'
                                                                            : '?';
            s += '/';
        }
        return s;
    }
    double Search(double xs, double ys, double xg, double yg, bool diag) {
        return Num("mp_grid_path(global.g, " + std::to_string(path) + ", " + std::to_string(xs) +
                   ", " + std::to_string(ys) + ", " + std::to_string(xg) + ", " +
                   std::to_string(yg) + ", " + (diag ? "1" : "0") + ")");
    }
};

TEST_F(Planning, GridPathsWithExactPoints) {
    struct Case {
        const char* name;
        std::vector<std::string> rows;
        double xs, ys, xg, yg;
        bool diag;
        double found;
        Points points;  // when found
    };
    const std::vector<Case> cases = {
        {"row", {"..."}, 5, 5, 25, 5, false, 1, {{5, 5}, {15, 5}, {25, 5}}},
        {"same cell", {".."}, 2, 3, 7, 8, false, 1, {{2, 3}, {7, 8}}},
        // Walking back from the goal prefers left, then right, up, down.
        {"square", {"..", ".."}, 5, 5, 15, 15, false, 1, {{5, 5}, {5, 15}, {15, 15}}},
        {"diagonal", {"..", ".."}, 5, 5, 15, 15, true, 1, {{5, 5}, {15, 15}}},
        // A diagonal needs both cells beside it.
        {"no corner cutting", {".#", ".."}, 5, 5, 15, 15, true, 1, {{5, 5}, {5, 15}, {15, 15}}},
        {"corner wall", {".#", "#."}, 5, 5, 15, 15, true, 0, {}},
        {"around a wall",
         {"...", "##.", "..."},
         3,
         5,
         1,
         25,
         false,
         1,
         {{3, 5}, {15, 5}, {25, 5}, {25, 15}, {25, 25}, {15, 25}, {1, 25}}},
        {"open diagonal",
         {"...", "...", "..."},
         5,
         5,
         25,
         25,
         true,
         1,
         {{5, 5}, {15, 15}, {25, 25}}},
        {"unreachable", {".#.", ".#.", ".#."}, 5, 5, 25, 5, true, 0, {}},
        {"start forbidden", {"#."}, 5, 5, 15, 5, false, 0, {}},
        {"goal forbidden", {".#"}, 5, 5, 15, 5, false, 0, {}},
        {"start outside", {".."}, -1, 5, 15, 5, false, 0, {}},
        {"goal outside", {".."}, 5, 5, 20, 5, false, 0, {}},
    };
    for (const Case& c : cases) {
        Path().points = {{1, 2, 100}};
        Grid(c.rows);
        const std::string before = Cells();
        EXPECT_EQ(Search(c.xs, c.ys, c.xg, c.yg, c.diag), c.found) << c.name;
        EXPECT_EQ(Cells(), before) << c.name << ": labels left behind";
        if (c.found == 1) {
            EXPECT_EQ(PathPoints(), c.points) << c.name;
            EXPECT_EQ(Path().Kind, 0);
            EXPECT_FALSE(Path().Closed);
            EXPECT_EQ(Path().points[0].speed, 100);
        } else {
            EXPECT_EQ(PathPoints(), (Points{{1, 2}})) << c.name << ": the path was touched";
        }
        // The same search again behaves the same.
        EXPECT_EQ(Search(c.xs, c.ys, c.xg, c.yg, c.diag), c.found) << c.name;
        Run("mp_grid_destroy(global.g)");
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Planning, MarkingCellsAndBadInput) {
    Run("global.g = mp_grid_create(0, 0, 4, 3, 10, 10)");
    struct Case {
        const char* code;
        const char* cells;
    };
    const std::vector<Case> cases = {
        {"mp_grid_add_rectangle(global.g, 35, 25, 15, 12)", "..../.###/.###/"},
        {"mp_grid_add_rectangle(global.g, -30, -30, 5, 5)", "#.../..../..../"},
        {"mp_grid_add_rectangle(global.g, 100, 100, 200, 200)", "..../..../..../"},
        {"mp_grid_add_cell(global.g, 3, 2); mp_grid_add_cell(global.g, 0, 3)", "..../..../...#/"},
        {"mp_grid_add_rectangle(global.g, 0, 0, 39, 29);"
         "mp_grid_clear_rectangle(global.g, 10, 10, 10, 10); mp_grid_clear_cell(global.g, 3, 3);"
         "mp_grid_clear_cell(global.g, 0, 0)",
         ".###/#.##/####/"},
        {"mp_grid_add_rectangle(99, 0, 0, 39, 29)", "..../..../..../"},
    };
    for (const Case& c : cases) {
        Run("mp_grid_clear_all(global.g);" + std::string(c.code));
        EXPECT_EQ(Cells(), c.cells) << c.code;
    }
    // Grids beyond memory and cells below one pixel are refused; ids of destroyed grids do
    // nothing.
    EXPECT_EQ(Num("mp_grid_create(0, 0, 100000, 100000, 1, 1)"), -1);
    EXPECT_EQ(Num("mp_grid_create(0, 0, 10, 10, 0, 4)"), -1);
    EXPECT_EQ(errors.size(), 2u);
    Run("mp_grid_destroy(global.g)");
    EXPECT_EQ(Search(5, 5, 5, 5, false), 0);
    EXPECT_EQ(Num("mp_grid_create(0, 0, 1, 1, 1, 1)"), 0);  // the slot is reused
    errors.clear();
    EXPECT_EQ(Num("mp_grid_path(0, 99, 0, 0, 0, 0, 0)"), 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Trying to assign to a non-existing path.");
}

struct Steps : Planning {
    World world{w.game, w.engine};
    int wall = -1, mover = -1;
    CInstance* me = nullptr;

    Steps() {
        const int block = test::AddBlockSprite(w.game, 10, 10);
        wall = AddObject("wall", block, true);
        mover = AddObject("mover", block, false);
        me = &CreateInstance(w.room, w.game, mover, 0, 0);
    }
    int AddObject(const std::string& name, int sprite, bool solid) {
        const int o = w.AddObject(name);
        w.game.objects.Get(o)->SpriteIndex = sprite;
        w.game.objects.Get(o)->MaskIndex = -1;
        w.game.objects.Get(o)->Solid = solid;
        return o;
    }
    double As(const std::string& expression) {
        test::RunResult r = test::RunCode(w.engine, "return " + expression + ";", me, me);
        EXPECT_TRUE(r.ok) << expression << "\n" << r.message;
        return r.result.real;
    }
};

TEST_F(Steps, LinearSteps) {
    EXPECT_EQ(As("mp_linear_step(2.5, 0, 4, 0)"), 1);  // the goal is within reach
    EXPECT_EQ(me->x, 2.5);
    EXPECT_EQ(As("mp_linear_step(2.5, 0, 4, 0)"), 1);  // already there
    EXPECT_EQ(As("mp_linear_step(2.5, 10, 4, 0)"), 0);
    EXPECT_EQ(me->y, 4);
    EXPECT_EQ(me->direction, 270);
    // A wall ahead: no move, and the path fails at once with one point.
    CreateInstance(w.room, w.game, wall, 2.5, 20);
    EXPECT_EQ(As("mp_linear_step(2.5, 40, 8, 0)"), 0);
    EXPECT_EQ(me->y, 4);
    EXPECT_EQ(As("mp_linear_path(" + std::to_string(path) + ", 2.5, 40, 8, 0)"), 0);
    EXPECT_EQ(PathPoints(), (Points{{2.5, 4}}));
    // Only solid instances block the plain variant; checkall and the object variant see others.
    CreateInstance(w.room, w.game, mover, 25, 0);
    EXPECT_EQ(As("mp_linear_step_object(22.5, 4, 8, wall)"), 0);
    EXPECT_EQ(me->x, 10.5);
    // The other mover is in the way: no move, but a goal within reach counts as reached.
    EXPECT_EQ(As("mp_linear_step(18.5, 4, 8, 1)"), 1);
    EXPECT_EQ(me->x, 10.5);
    EXPECT_EQ(As("mp_linear_step(18.5, 4, 8, 0)"), 1);
    EXPECT_EQ(me->x, 18.5);
    // A path to a free goal: every position then the goal; the instance stays where it was.
    me->direction = 45;
    EXPECT_EQ(As("mp_linear_path(" + std::to_string(path) + ", 18.5, -15, 8, 0)"), 1);
    EXPECT_EQ(PathPoints(), (Points{{18.5, 4}, {18.5, -4}, {18.5, -12}, {18.5, -15}}));
    EXPECT_EQ(me->x, 18.5);
    EXPECT_EQ(me->y, 4);
    EXPECT_EQ(me->direction, 45);
    EXPECT_EQ(As("mp_linear_path(" + std::to_string(path) + ", 18.5, -15, 0, 0)"), 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Steps, PotentialSteps) {
    const PotentialSettings& s = w.engine.planning->potential;
    Run("mp_potential_settings(0, 0, 0, false)");
    EXPECT_EQ(s.maxrot, 1);
    EXPECT_EQ(s.rotstep, 1);
    EXPECT_EQ(s.ahead, 1);
    EXPECT_FALSE(s.onspot);
    Run("mp_potential_settings(30, 10, 3, true)");
    // Heading 0 towards a goal straight up: at most 30 degrees of turn per step.
    EXPECT_EQ(As("mp_potential_step(0, -100, 4, 0)"), 0);
    EXPECT_NEAR(me->direction, 30, 1e-9);
    EXPECT_NEAR(me->x, 4 * std::cos(M_PI / 6), 1e-9);
    EXPECT_NEAR(me->y, -2, 1e-9);
    // From there the goal lies at h = 92.02 degrees: the first direction within 30 degrees of
    // 30 is h - 40.
    const double h = -std::atan2(-98.0, -4 * std::cos(M_PI / 6)) * 180 / M_PI;
    EXPECT_EQ(As("mp_potential_step(0, -100, 4, 0)"), 0);
    EXPECT_NEAR(me->direction, h - 40, 1e-9);
    // The goal within reach is taken.
    me->x = 0;
    me->y = -97;
    EXPECT_EQ(As("mp_potential_step(0, -100, 4, 0)"), 1);
    EXPECT_EQ(me->y, -100);
    EXPECT_EQ(me->direction, 90);
    // Boxed in: turns 30 degrees on the spot.
    SetPosition(*me, w.game, 100, 100);
    SetDirection(*me, 0);
    for (auto [x, y] : std::vector<std::pair<double, double>>{{113, 100},
                                                              {100, 113},
                                                              {87, 100},
                                                              {100, 87},
                                                              {111, 111},
                                                              {89, 89},
                                                              {111, 89},
                                                              {89, 111}})
        CreateInstance(w.room, w.game, wall, x, y);
    EXPECT_EQ(As("mp_potential_step(200, 100, 4, 0)"), 0);
    EXPECT_EQ(me->x, 100);
    EXPECT_NEAR(me->direction, 30, 1e-9);
    // A path that cannot get anywhere fails and puts the instance back.
    EXPECT_EQ(As("mp_potential_path(" + std::to_string(path) + ", 200, 100, 4, 10, 0)"), 0);
    EXPECT_EQ(me->x, 100);
    EXPECT_NEAR(me->direction, 30, 1e-9);
    EXPECT_EQ(As("mp_potential_path(" + std::to_string(path) + ", 200, 100, 4, 0.5, 0)"), 0);
}

TEST_F(Steps, PotentialPathsAroundAWall) {
    // A wall across the straight way: a detour is found with a generous factor only.
    for (int y = -20; y <= 20; y += 10) CreateInstance(w.room, w.game, wall, 50, y);
    SetDirection(*me, 0);
    EXPECT_EQ(As("mp_potential_path(" + std::to_string(path) + ", 100, 0, 4, 1, 0)"), 0);
    EXPECT_EQ(As("mp_potential_path(" + std::to_string(path) + ", 100, 0, 4, 4, 0)"), 1);
    const Points points = PathPoints();
    EXPECT_EQ(points.front(), (std::pair<double, double>{0, 0}));
    EXPECT_EQ(points.back(), (std::pair<double, double>{100, 0}));
    EXPECT_EQ(me->x, 0);
    EXPECT_EQ(me->direction, 0);
    // The object variant ignores walls when asked about movers only.
    EXPECT_EQ(As("mp_potential_path_object(" + std::to_string(path) + ", 100, 0, 4, 1, mover)"), 1);
}

TEST_F(Steps, GridCellsOfInstances) {
    Run("global.g = mp_grid_create(0, 0, 4, 2, 10, 10)");
    CreateInstance(w.room, w.game, wall, 12, 3);  // box 12 .. 21 x 3 .. 12
    Run("mp_grid_add_instances(global.g, wall, 0)");
    EXPECT_EQ(Cells(), ".##./.##./");
    // Precise: the same box meets cells (1, 0), (2, 0), (1, 1), (2, 1) as rectangles too.
    Run("mp_grid_clear_all(global.g); mp_grid_add_instances(global.g, all, 1)");
    EXPECT_EQ(Cells(), "###./.##./");  // the mover at (0, 0) covers cell (0, 0)
    Run("mp_grid_clear_all(global.g)");
    test::RunCode(w.engine, "mp_grid_add_instances(global.g, self, 1)", me, me);
    EXPECT_EQ(Cells(), "#.../..../");
}

}  // namespace
}  // namespace tb
