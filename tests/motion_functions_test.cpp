// The motion functions through scripts: setting motions, grids, wrapping, random places,
// moving into and out of contact, bouncing, starting and ending paths, reading paths.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "resources/object.h"
#include "resources/path.h"
#include "resources/sprite.h"
#include "script_harness.h"
#include "world/instance_ops.h"

namespace tb {
namespace {

struct MotionFunctions : test::FunctionTest {
    int block = -1, tall = -1, wide = -1, big = -1;  // sprites
    // objects
    int mover = -1, wall = -1, tall_wall = -1, floor = -1, ghost = -1, slab = -1, dot = -1;

    MotionFunctions() {
        w.room.Width = 200;
        w.room.Height = 100;
        block = AddSprite(16, 16);
        tall = AddSprite(16, 200);
        wide = AddSprite(200, 16);
        big = AddSprite(100, 100);
        mover = AddObject(block, false);
        wall = AddObject(block, true);
        tall_wall = AddObject(tall, true);
        floor = AddObject(wide, true);
        ghost = AddObject(tall, false);  // an obstacle only for the _all functions
        slab = AddObject(big, true);
        dot = AddObject(-1, false);
    }

    // A sprite whose box is the whole image, with the origin at its top left.
    int AddSprite(int width, int height) {
        auto s = std::make_unique<CSprite>();
        s->Width = width;
        s->Height = height;
        s->BBoxRight = width - 1;
        s->BBoxBottom = height - 1;
        s->Precise = false;
        s->frames.emplace_back(width, height, 0xFFFFFFFFu);
        return w.game.sprites.Add(std::move(s), "spr" + std::to_string(w.game.sprites.Count()));
    }
    int AddObject(int sprite, bool solid) {
        auto o = std::make_unique<CObject>();
        o->SpriteIndex = sprite;
        o->Solid = solid;
        return w.game.objects.Add(std::move(o), "obj" + std::to_string(w.game.objects.Count()));
    }
    int AddPath(std::initializer_list<PathPoint> points, bool closed = false, int kind = 0) {
        auto p = std::make_unique<CPath>();
        p->points = points;
        p->Closed = closed;
        p->Kind = kind;
        p->Recompute();
        return w.game.paths.Add(std::move(p), "path" + std::to_string(w.game.paths.Count()));
    }
    CInstance& Place(int object, double x, double y) {
        return CreateInstance(w.room, w.game, object, x, y);
    }
    void RunAs(CInstance& self, const std::string& code) {
        test::RunResult r = test::RunCode(w.engine, code, &self, &self);
        EXPECT_TRUE(r.ok) << code << "\n" << r.message;
    }
};

// --- setting motions

TEST_F(MotionFunctions, MotionSetAddAndTowardsPoint) {
    CInstance& a = Place(mover, 10, 20);
    RunAs(a, "motion_set(90, 3);");
    EXPECT_EQ(a.hspeed, 0);
    EXPECT_EQ(a.vspeed, -3);
    RunAs(a, "motion_add(0, 4);");
    EXPECT_EQ(a.hspeed, 4);
    EXPECT_EQ(a.vspeed, -3);
    EXPECT_EQ(a.speed, 5);
    EXPECT_NEAR(a.direction, 36.8698976458, 1e-9);
    // Set direction, then speed: a negative speed points backwards.
    RunAs(a, "motion_set(-90, -2);");
    EXPECT_EQ(a.direction, 270);
    EXPECT_EQ(a.vspeed, -2);

    RunAs(a, "move_towards_point(13, 24, 10);");
    EXPECT_EQ(a.hspeed, 6);
    EXPECT_EQ(a.vspeed, 8);
    EXPECT_NEAR(a.direction, 306.8698976458, 1e-9);
    EXPECT_EQ(a.x, 10);  // the motion is set, nothing moves yet
}

TEST_F(MotionFunctions, SnapRoundsHalvesToEven) {
    struct Case {
        double x, y, hsnap, vsnap, to_x, to_y;
    } cases[] = {
        {23, 9.5, 16, 0, 16, 9.5},
        {40, 25, 16, 10, 32, 20},  // 2.5 grid cells round to 2 on both axes
        {56, 35, 16, 10, 64, 40},  // 3.5 round to 4
        {-9, 7, 4, -1, -8, 7},
        {7.3, 7.3, 0.5, 2.5, 7.5, 7.5},
    };
    for (const Case& c : cases) {
        CInstance& a = Place(mover, c.x, c.y);
        RunAs(a, "move_snap(" + std::to_string(c.hsnap) + ", " + std::to_string(c.vsnap) + ");");
        EXPECT_DOUBLE_EQ(a.x, c.to_x) << c.x;
        EXPECT_DOUBLE_EQ(a.y, c.to_y) << c.y;
        EXPECT_EQ(a.bbox_left, RoundToInt32(a.x)) << "the box follows";
    }
}

TEST_F(MotionFunctions, WrapThroughTheRoomSides) {
    struct Case {
        double x, y;
        const char* args;
        double to_x, to_y;
    } cases[] = {
        {201, 50, "true, false, 0", 1, 50},
        {-1, 50, "true, false, 0", 199, 50},
        {200, 50, "true, false, 0", 200, 50},  // on the edge: inside
        {-11, 50, "true, false, 10", 209, 50},
        {-5, 50, "true, false, 10", -5, 50},  // inside the margin
        {-1, -1, "false, true, 0", -1, 99},
        {250, 130, "1, 1, 0", 50, 30},
    };
    for (const Case& c : cases) {
        CInstance& a = Place(mover, c.x, c.y);
        RunAs(a, std::string("move_wrap(") + c.args + ");");
        EXPECT_EQ(a.x, c.to_x) << c.x << " " << c.args;
        EXPECT_EQ(a.y, c.to_y) << c.y << " " << c.args;
    }
}

// --- random places

TEST_F(MotionFunctions, RandomPlacesKeepTheBoxInsideOnTheGridAndFree) {
    Place(slab, 0, 0);  // the left half of the room is taken
    CInstance& a = Place(mover, 150, 50);
    for (int i = 0; i < 50; ++i) {
        RunAs(a, "move_random(8, 4);");
        EXPECT_EQ(std::fmod(a.x, 8), 0) << a.x;
        EXPECT_EQ(std::fmod(a.y, 4), 0) << a.y;
        EXPECT_GE(a.x, 100);
        EXPECT_LE(a.x, 200 - 16);
        EXPECT_GE(a.y, 0);
        EXPECT_LE(a.y, 100 - 16);
    }
    // Without a sprite the position itself stays inside the room.
    CInstance& p = Place(dot, 300, 300);
    for (int i = 0; i < 50; ++i) {
        RunAs(p, "move_random(0, 0);");
        EXPECT_EQ(p.x, std::floor(p.x));
        EXPECT_GE(p.x, 0);
        EXPECT_LT(p.x, 200);
        EXPECT_LT(p.y, 100);
    }
}

TEST_F(MotionFunctions, RandomPlaceInAFullRoomLeavesTheInstance) {
    Place(slab, 0, 0);
    Place(slab, 100, 0);
    CInstance& a = Place(mover, 500, 500);
    const uint32_t seed = w.engine.random.Seed();
    RunAs(a, "move_random(1, 1);");
    EXPECT_EQ(a.x, 500);
    EXPECT_EQ(a.y, 500);
    EXPECT_NE(w.engine.random.Seed(), seed);  // it tried
}

// --- contact and outside

TEST_F(MotionFunctions, ContactStopsOnePixelBeforeTheObstacle) {
    struct Case {
        const char* call;
        double to_x;
    } cases[] = {
        {"move_contact_solid(0, 0)", 84},     // box 84..99 next to the wall at 100
        {"move_contact_solid(0, 10)", 10},    // at most 10 pixels
        {"move_contact_solid(0, 10.5)", 10},  // rounded, halves to even
        {"move_contact_solid(0, 11.5)", 12},
        {"move_contact_solid(0, -3)", 84},
        {"move_contact_all(0, 0)", 34},  // the ghost at 50 counts
        {"move_contact(0)", 84},
        {"move_contact_solid(180, 0)", -1000},  // nothing in the way: 1000 pixels
    };
    for (const Case& c : cases) {
        w.room.ClearInstances();
        Place(wall, 100, 0);
        Place(ghost, 50, 0);
        CInstance& a = Place(mover, 0, 0);
        RunAs(a, std::string(c.call) + ";");
        EXPECT_NEAR(a.x, c.to_x, 1e-9) << c.call;
        EXPECT_NEAR(a.y, 0, 1e-9) << c.call;
    }
    // Not from a place that is already taken.
    w.room.ClearInstances();
    Place(wall, 100, 0);
    CInstance& inside = Place(mover, 95, 0);
    RunAs(inside, "move_contact_solid(0, 0);");
    EXPECT_EQ(inside.x, 95);
}

TEST_F(MotionFunctions, OutsideMovesUntilFreeWithinTheDistance) {
    struct Case {
        const char* call;
        double to_y;
    } cases[] = {
        {"move_outside_solid(90, 10)", 90},  // 16 would be needed: only 10 made
        {"move_outside_solid(90, 0)", 84},  {"move_outside_solid(270, -1)", 116},
        {"move_contact(90)", 84},         // inside: it moves out
        {"move_outside_all(90, 0)", 84},  // the wall counts for _all too
    };
    for (const Case& c : cases) {
        w.room.ClearInstances();
        Place(wall, 100, 100);
        CInstance& a = Place(mover, 100, 100);
        RunAs(a, std::string(c.call) + ";");
        EXPECT_NEAR(a.y, c.to_y, 1e-9) << c.call;
        EXPECT_NEAR(a.x, 100, 1e-9) << c.call;
    }
    // Non-solid obstacles matter only to _all.
    w.room.ClearInstances();
    Place(ghost, 100, 0);
    CInstance& a = Place(mover, 100, 50);
    RunAs(a, "move_outside_solid(0, 0);");
    EXPECT_EQ(a.x, 100);
    RunAs(a, "move_outside_all(0, 0);");
    EXPECT_EQ(a.x, 116);
}

// --- bouncing

TEST_F(MotionFunctions, SimpleBounceReversesTheBlockedComponents) {
    enum Scene { kOpen, kVerticalWall, kCorner, kBlock, kFloor };
    struct Case {
        const char* what;
        Scene scene;
        double x, y, hspeed, vspeed;
        double to_h, to_v;
    } cases[] = {
        {"vertical wall", kVerticalWall, 84, 50, 4, 2, -4, 2},
        {"corner", kCorner, 84, 84, 4, 4, -4, -4},
        // Free sideways and downwards, but not diagonally.
        {"the edge of a block", kBlock, 84, 84, 4, 4, -4, -4},
        {"floor", kFloor, 20, 84, 3, 4, 3, -4},
        {"open space", kOpen, 20, 20, 3, 4, 3, 4},
    };
    for (const Case& c : cases) {
        w.room.ClearInstances();
        if (c.scene == kVerticalWall || c.scene == kCorner) Place(tall_wall, 100, 0);
        if (c.scene == kCorner || c.scene == kFloor) Place(floor, 0, 100);
        if (c.scene == kBlock) Place(wall, 100, 100);
        CInstance& a = Place(mover, c.x, c.y);
        SetHspeed(a, c.hspeed);
        SetVspeed(a, c.vspeed);
        RunAs(a, "move_bounce_solid(false);");
        EXPECT_EQ(a.hspeed, c.to_h) << c.what;
        EXPECT_EQ(a.vspeed, c.to_v) << c.what;
        EXPECT_EQ(a.x, c.x) << c.what;
    }
}

TEST_F(MotionFunctions, AdvancedBounceMirrorsAboutTheFreeRange) {
    struct Case {
        const char* what;
        int object;
        double ox, oy, x, y, direction, to_direction;
    } cases[] = {
        {"into a vertical wall", 0, 100, 0, 84, 50, 0, 180},
        {"down onto a floor", 1, 0, 100, 50, 84, 300, 60},
        {"up and left into a vertical wall", 0, 0, 0, 16, 50, 150, 30},
        {"along a wall, not into it", 1, 0, 100, 50, 84, 0, 0},
    };
    for (const Case& c : cases) {
        w.room.ClearInstances();
        Place(c.object == 0 ? tall_wall : floor, c.ox, c.oy);
        CInstance& a = Place(mover, c.x, c.y);
        a.direction = c.direction;
        SetSpeed(a, 4);
        RunAs(a, "move_bounce(true);");
        EXPECT_NEAR(a.direction, c.to_direction, 1e-9) << c.what;
        EXPECT_EQ(a.speed, 4) << c.what;
    }
}

TEST_F(MotionFunctions, BounceFromInsideGoesBackAndAllCountsEveryInstance) {
    Place(tall_wall, 100, 0);
    CInstance& a = Place(mover, 90, 50);  // overlapping the wall
    a.xprevious = 88;
    a.yprevious = 40;
    SetHspeed(a, 4);
    // Back at the previous place the wall is still ahead: hspeed turns.
    RunAs(a, "move_bounce_solid(0);");
    EXPECT_EQ(a.x, 88);
    EXPECT_EQ(a.y, 40);
    EXPECT_EQ(a.hspeed, -4);

    // A non-solid obstacle: only move_bounce_all turns.
    w.room.ClearInstances();
    Place(ghost, 100, 0);
    CInstance& b = Place(mover, 84, 50);
    SetHspeed(b, 4);
    RunAs(b, "move_bounce_solid(false); move_bounce(true);");
    EXPECT_EQ(b.hspeed, 4);
    RunAs(b, "move_bounce_all(false);");
    EXPECT_EQ(b.hspeed, -4);
    RunAs(b, "move_bounce_all(true);");  // now moving away from it: nothing blocks
    EXPECT_EQ(b.direction, 180);
    SetHspeed(b, 4);
    RunAs(b, "move_bounce_all(true);");
    EXPECT_NEAR(b.direction, 180, 1e-9);
}

// --- paths

TEST_F(MotionFunctions, PathStartAndEnd) {
    const int line = AddPath({{10, 20, 100}, {110, 20, 100}});
    CInstance& a = Place(mover, 300, 200);
    // absolute at exactly 0.5; the path index and end action are rounded.
    RunAs(a, "path_start(" + std::to_string(line) + ".4, -5, 2.6, 0.5);");
    EXPECT_EQ(a.path_index, line);
    EXPECT_EQ(a.path_endaction, 3);
    EXPECT_EQ(a.path_speed, -5);
    EXPECT_EQ(a.path_position, 1);
    EXPECT_EQ(a.x, 110);
    EXPECT_EQ(a.y, 20);
    RunAs(a, "path_end();");
    EXPECT_EQ(a.path_index, -1);
    EXPECT_EQ(a.path_position, 1);

    // Relative below 0.5: the origin is the instance, which stays put.
    SetPosition(a, w.game, 7, 8);
    RunAs(a, "path_start(" + std::to_string(line) + ", 2, 0, 0.49);");
    EXPECT_EQ(a.path_xorigin, 7);
    EXPECT_EQ(a.path_yorigin, 8);
    EXPECT_EQ(a.x, 7);
    // A path that does not exist ends any path being followed.
    RunAs(a, "path_start(99, 2, 0, 1); path_start(-1, 2, 0, 1);");
    EXPECT_EQ(a.path_index, -1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MotionFunctions, ReadingPaths) {
    const int smooth = AddPath({{0, 0, 100}, {100, 0, 50}, {100, 100, 200}}, false, 1);
    w.game.paths.Get(smooth)->SetPrecision(1);
    const int straight = AddPath({{0, 0, 100}, {100, 0, 50}, {100, 100, 200}}, true);
    w.game.paths.names[size_t(straight)] = "square";
    const std::string s = std::to_string(smooth), t = std::to_string(straight);
    struct Case {
        std::string expression;
        double value;
    } cases[] = {
        {"path_exists(" + s + ")", 1},
        {"path_exists(99)", 0},
        {"path_exists(-1)", 0},
        {"path_get_kind(" + s + ")", 1},
        {"path_get_closed(" + s + ")", 0},
        {"path_get_closed(" + t + ")", 1},
        {"path_get_precision(" + s + ")", 1},
        {"path_get_number(" + t + ")", 3},
        {"path_get_length(" + t + ")", 200 + 100 * std::sqrt(2.0)},
        {"path_get_point_x(" + t + ", 1)", 100},
        {"path_get_point_speed(" + t + ", 2)", 200},
        {"path_get_point_x(" + t + ", 3)", 0},  // outside: (0, 0) with speed 1
        {"path_get_point_speed(" + t + ", -1)", 1},
        {"path_get_x(" + t + ", 0.25)", 85.3553390593},  // the first leg is 100 of 341.42
        {"path_get_y(" + t + ", 0.5)", 70.7106781187},
        {"path_get_speed(" + t + ", 0.5)", 50 + 150 * 0.707106781187},
        {"path_get_x(" + s + ", 2)", 100},
        {"path_get_y(" + s + ", -1)", 0},
        // Missing paths give -1 for every number.
        {"path_get_length(99)", -1},
        {"path_get_kind(99)", -1},
        {"path_get_number(-7)", -1},
        {"path_get_point_y(99, 0)", -1},
        {"path_get_speed(99, 0.5)", -1},
    };
    for (const Case& c : cases) {
        RValue v = Eval(c.expression);
        EXPECT_FALSE(v.IsString()) << c.expression;
        EXPECT_NEAR(v.real, c.value, 1e-9) << c.expression;
    }
    EXPECT_TRUE(test::IsText(Eval("path_get_name(" + t + ")"), "square"));
    EXPECT_TRUE(test::IsText(Eval("path_name(" + t + ")"), "square"));
    EXPECT_TRUE(test::IsText(Eval("path_get_name(99)"), "<undefined>"));
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tb
