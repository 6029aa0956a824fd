// Friction, gravity, starting and following paths (end actions, placement, scale,
// orientation, point speeds) and the motion part of the step with its End Of Path events.
#include "world/motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "resources/object.h"
#include "resources/path.h"
#include "resources/room.h"
#include "runner/compile_stages.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/events.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/world.h"

namespace tb {
namespace {

int AddPath(Game& game, std::initializer_list<PathPoint> points, bool closed = false,
            int32_t kind = 0) {
    auto p = std::make_unique<CPath>();
    p->Kind = kind;
    p->Closed = closed;
    p->points = points;
    p->Recompute();
    return game.paths.Add(std::move(p), "path" + std::to_string(game.paths.Count()));
}

// --- friction and gravity

TEST(FrictionAndGravity, SpeedsStepByStep) {
    struct Case {
        double speed, direction, friction, gravity, gravity_direction;
        std::vector<double> speeds;  // after each application
        double direction_after;
    } cases[] = {
        {1.2, 0, 0.5, 0, 270, {0.7, 0.2, 0, 0}, 0},
        // A backward motion slows down the same way and keeps its direction.
        {-1.2, 0, 0.5, 0, 270, {-0.7, -0.2, 0}, 0},
        // Friction never starts a motion.
        {0, 45, 0.5, 0, 270, {0, 0}, 45},
        // Negative friction speeds up.
        {1, 90, -0.5, 0, 270, {1.5, 2}, 90},
        {0, 0, 0, 0.5, 270, {0.5, 1, 1.5}, 270},
        // Friction first (1 -> 0.5 to the right), then gravity (0.5 down).
        {1, 0, 0.5, 0.5, 270, {std::sqrt(0.5)}, 315},
    };
    Game game;
    for (const Case& c : cases) {
        CInstance inst;
        inst.direction = c.direction;
        SetSpeed(inst, c.speed);
        inst.friction = c.friction;
        inst.gravity = c.gravity;
        inst.gravity_direction = c.gravity_direction;
        for (size_t i = 0; i < c.speeds.size(); ++i) {
            ApplyFrictionAndGravity(inst, game);
            EXPECT_NEAR(inst.speed, c.speeds[i], 1e-9) << c.speed << " step " << i;
        }
        EXPECT_NEAR(inst.direction, c.direction_after, 1e-9) << c.speed;
        // The components follow the speed in every case.
        const double r = inst.direction * std::numbers::pi / 180;
        EXPECT_NEAR(inst.hspeed, std::cos(r) * inst.speed, 1e-9) << c.speed;
        EXPECT_NEAR(inst.vspeed, -std::sin(r) * inst.speed, 1e-9) << c.speed;
    }
}

// --- starting and following paths

struct PathFollowing : ::testing::Test {
    Game game;
    CInstance inst;
    int line = AddPath(game, {{0, 0, 100}, {128, 0, 100}});  // 128 pixels to the right
    int ten = AddPath(game, {{0, 0, 100}, {100, 0, 100}});

    // Advances n times; true when the last one reached the end (and no earlier one did).
    bool Advance(int n) {
        bool ended = false;
        for (int i = 0; i < n; ++i) {
            EXPECT_FALSE(ended) << "ended early, before advance " << i + 1;
            ended = AdvanceAlongPath(inst, game);
        }
        return ended;
    }
};

TEST_F(PathFollowing, AbsoluteStartAndTheEndOfAStoppingPath) {
    SetPosition(inst, game, 50, 50);
    StartPath(inst, game, line, 4, 0, true);
    EXPECT_EQ(inst.x, 0);
    EXPECT_EQ(inst.y, 0);
    EXPECT_FALSE(Advance(1));
    EXPECT_EQ(inst.path_position, 0.03125);
    EXPECT_EQ(inst.x, 4);
    EXPECT_TRUE(Advance(31));  // the 32nd advance ends it
    EXPECT_EQ(inst.path_index, -1);
    EXPECT_EQ(inst.path_position, 1);
    EXPECT_EQ(inst.x, 128);
    // The advance leaves its direction but no speed for the step's final move.
    EXPECT_EQ(inst.speed, 0);
    EXPECT_EQ(inst.hspeed, 0);
    EXPECT_EQ(inst.direction, 0);
    EXPECT_FALSE(AdvanceAlongPath(inst, game));
    EXPECT_EQ(inst.x, 128);
}

TEST_F(PathFollowing, ScaleKeepsThePixelSpeed) {
    SetPosition(inst, game, 10, 10);
    StartPath(inst, game, line, 4, 0, false, 2);
    Advance(1);
    EXPECT_EQ(inst.x, 14);
    EXPECT_TRUE(Advance(63));
    EXPECT_EQ(inst.x, 10 + 256);
}

TEST_F(PathFollowing, RelativePathsTurnCounterClockwise) {
    struct Case {
        double orientation;
        double x1, y1, x2, y2, direction;
    } cases[] = {{0, 304, 200, 308, 200, 0},
                 {90, 300, 196, 300, 192, 90},
                 {180, 296, 200, 292, 200, 180},
                 {270, 300, 204, 300, 208, 270}};
    for (const Case& c : cases) {
        inst = CInstance();
        SetPosition(inst, game, 300, 200);
        StartPath(inst, game, ten, 4, 0, false, 1, c.orientation);
        EXPECT_EQ(inst.x, 300);  // a relative start does not move
        Advance(1);
        EXPECT_NEAR(inst.x, c.x1, 1e-9) << c.orientation;
        EXPECT_NEAR(inst.y, c.y1, 1e-9) << c.orientation;
        Advance(1);
        EXPECT_NEAR(inst.x, c.x2, 1e-9) << c.orientation;
        EXPECT_NEAR(inst.y, c.y2, 1e-9) << c.orientation;
        EXPECT_NEAR(inst.direction, c.direction, 1e-9) << c.orientation;
    }
}

TEST_F(PathFollowing, EndActionsAtBothEnds) {
    // Steps of 0.3 on the 100-pixel path: the fourth advance passes the end by 0.2.
    struct Case {
        double speed;
        int32_t endaction;
        double position, x, xorigin, speed_after;
        bool still_following;
    } cases[] = {
        {30, 0, 1, 100, 0, 30, false},
        {30, 1, 0.2, 20, 0, 30, true},
        {30, 2, 0.2, 120, 100, 30, true},
        {30, 3, 0.8, 80, 0, -30, true},
        {30, 7, 1, 100, 0, 30, false},  // unknown actions stop
        // Backwards from the last point: 0.7, 0.4, 0.1, then -0.2.
        {-30, 0, 0, 0, 0, -30, false},  // stays on the first point
        {-30, 1, 0.8, 80, 0, -30, true},
        {-30, 2, 0.8, -20, -100, -30, true},
        {-30, 3, 0.2, 20, 0, 30, true},
    };
    for (const Case& c : cases) {
        inst = CInstance();
        StartPath(inst, game, ten, c.speed, c.endaction, true);
        EXPECT_TRUE(Advance(4)) << c.speed << " " << c.endaction;
        EXPECT_NEAR(inst.path_position, c.position, 1e-9) << c.speed << " " << c.endaction;
        EXPECT_NEAR(inst.x, c.x, 1e-9) << c.speed << " " << c.endaction;
        EXPECT_EQ(inst.path_xorigin, c.xorigin) << c.speed << " " << c.endaction;
        EXPECT_EQ(inst.path_speed, c.speed_after) << c.speed << " " << c.endaction;
        EXPECT_EQ(inst.path_index == ten, c.still_following) << c.speed << " " << c.endaction;
    }
}

TEST_F(PathFollowing, RestartLoopsAndReverseSwingsForEver) {
    int closed = AddPath(game, {{0, 0, 100}, {50, 0, 100}, {50, 50, 100}}, true);
    StartPath(inst, game, closed, 5, 1, true);
    int ends = 0;
    for (int i = 0; i < 200; ++i) ends += AdvanceAlongPath(inst, game);
    EXPECT_GE(ends, 5);
    EXPECT_EQ(inst.path_index, closed);

    inst = CInstance();
    StartPath(inst, game, ten, 30, 3, true);
    std::vector<double> turns;
    for (int i = 0; i < 20; ++i) {
        if (AdvanceAlongPath(inst, game)) turns.push_back(inst.path_speed);
        EXPECT_GE(inst.x, 0);
        EXPECT_LE(inst.x, 100);
    }
    ASSERT_GE(turns.size(), 5u);
    for (size_t i = 0; i < turns.size(); ++i) EXPECT_EQ(turns[i], i % 2 ? 30 : -30) << i;
}

TEST_F(PathFollowing, ABackwardPathLandingExactlyOnItsStartTurnsAtTheStart) {
    // Steps of 0.25 reach exactly 0: that is the start, not the far end.
    StartPath(inst, game, ten, -25, 1, true);
    EXPECT_TRUE(Advance(4));
    EXPECT_EQ(inst.path_position, 1);
    EXPECT_EQ(inst.x, 100);

    inst = CInstance();
    StartPath(inst, game, ten, -25, 3, true);
    EXPECT_TRUE(Advance(4));
    EXPECT_EQ(inst.path_position, 0);
    EXPECT_FALSE(std::signbit(inst.path_position));
    EXPECT_EQ(inst.path_speed, 25);
    EXPECT_FALSE(Advance(1));
    EXPECT_EQ(inst.x, 25);
}

TEST_F(PathFollowing, ContinueShiftsTheTurnedPath) {
    StartPath(inst, game, ten, 30, 2, false, 1, 90);
    EXPECT_TRUE(Advance(4));
    EXPECT_NEAR(inst.path_xorigin, 0, 1e-9);
    EXPECT_NEAR(inst.path_yorigin, -100, 1e-9);
    EXPECT_NEAR(inst.x, 0, 1e-9);
    EXPECT_NEAR(inst.y, -120, 1e-9);
}

TEST_F(PathFollowing, PointSpeedsScaleTheStep) {
    int ramp = AddPath(game, {{0, 0, 50}, {100, 0, 150}});
    StartPath(inst, game, ramp, 10, 0, true);
    Advance(1);
    EXPECT_NEAR(inst.x, 5, 1e-9);  // 10 px at 50 %
    Advance(1);
    EXPECT_NEAR(inst.x, 10.5, 1e-9);  // the speed at x = 5 is 55 %
}

TEST_F(PathFollowing, NegativeSpeeds) {
    // Absolute: placed on the last point, then backwards along the path's own coordinates.
    SetPosition(inst, game, 7, 7);
    StartPath(inst, game, line, -4, 0, true);
    EXPECT_EQ(inst.path_position, 1);
    EXPECT_EQ(inst.x, 128);
    EXPECT_EQ(inst.y, 0);
    Advance(1);
    EXPECT_EQ(inst.x, 124);
    EXPECT_EQ(inst.direction, 180);

    // Relative: the first point is put at the instance, so the first advance jumps ahead.
    inst = CInstance();
    SetPosition(inst, game, 300, 200);
    StartPath(inst, game, line, -4, 0, false);
    EXPECT_EQ(inst.x, 300);
    Advance(1);
    EXPECT_EQ(inst.x, 424);
}

TEST_F(PathFollowing, StartsThatFail) {
    const int empty = AddPath(game, {});
    const int dot = AddPath(game, {{5, 5, 100}});
    for (int path : {-1, 99, empty, dot}) {
        inst = CInstance();
        inst.path_speed = 7;
        inst.path_position = 0.5;
        StartPath(inst, game, path, 4, 1, true);
        EXPECT_EQ(inst.path_index, -1) << path;
        EXPECT_EQ(inst.path_speed, 7) << path;
        EXPECT_EQ(inst.path_position, 0.5) << path;
        EXPECT_EQ(inst.path_endaction, 0) << path;
    }
    // A negative scale stops after the speed, position and scale were taken.
    inst = CInstance();
    inst.path_orientation = 33;
    SetPosition(inst, game, 9, 9);
    StartPath(inst, game, line, -4, 1, true, -1, 45);
    EXPECT_EQ(inst.path_index, -1);
    EXPECT_EQ(inst.path_speed, -4);
    EXPECT_EQ(inst.path_position, 1);
    EXPECT_EQ(inst.path_scale, -1);
    EXPECT_EQ(inst.path_orientation, 33);
    EXPECT_EQ(inst.path_endaction, 0);
    EXPECT_EQ(inst.x, 9);
}

TEST_F(PathFollowing, FieldsChangedOnTheWayTakeEffectAtTheNextAdvance) {
    StartPath(inst, game, line, 4, 0, true);
    Advance(2);
    SetPathPosition(inst, 0.5);
    inst.path_speed = 8;
    Advance(1);
    EXPECT_EQ(inst.x, 72);
    EndPath(inst);
    EXPECT_EQ(inst.path_index, -1);
    EXPECT_EQ(inst.path_position, 0.5625);
    // Not following a path: the advance leaves the motion alone.
    SetHspeed(inst, 3);
    EXPECT_FALSE(AdvanceAlongPath(inst, game));
    EXPECT_EQ(inst.hspeed, 3);
    EXPECT_EQ(inst.x, 72);

    StartPath(inst, game, line, 0, 0, true);
    EXPECT_FALSE(AdvanceAlongPath(inst, game));  // speed 0 does nothing
    EXPECT_EQ(inst.path_index, line);
}

// --- the motion of the step

struct MotionStep : ::testing::Test {
    Game game;
    ScriptEngine engine;
    World world{game, engine};
    CRoom* room = nullptr;
    std::vector<std::string> trace;
    int obj = -1;

    MotionStep() {
        engine.game = &game;
        game.last_instance_id = 100000;
        world.rooms.push_back(std::make_unique<CRoom>());
        world.room = 0;
        room = world.rooms[0].get();
        engine.room = room;
        engine.host.debug_message = [this](std::string_view t) { trace.emplace_back(t); };
        engine.host.show_error = [this](std::string_view t, bool) {
            ADD_FAILURE() << t;
            return ErrorChoice::kIgnore;
        };
        obj = AddObject();
    }
    int AddObject() {
        return game.objects.Add(std::make_unique<CObject>(),
                                "obj" + std::to_string(game.objects.Count()));
    }
    void On(int object, int kind, int number, const std::string& code) {
        CAction& a = game.objects.Get(object)->GetOrCreateEvent(kind, number)->AddCodeAction(code);
        ASSERT_TRUE(CompileAction(engine, a)) << code;
    }
    CInstance& Place(double x, double y, int object = 0) {
        return CreateInstance(*room, game, object, x, y);
    }
};

TEST_F(MotionStep, EndOfPathRunsBeforeTheFinalMoveOfItsInstance) {
    const int path = AddPath(game, {{0, 0, 100}, {8, 0, 100}});
    On(obj, ev_other, ev_end_of_path, "show_debug_message('end ' + string(x)); hspeed = 5;");
    CInstance& a = Place(0, 0);
    StartPath(a, game, path, 4, 0, false);
    RunMotion(world);
    EXPECT_EQ(a.x, 4);
    EXPECT_TRUE(trace.empty());
    RunMotion(world);
    EXPECT_EQ(trace, (std::vector<std::string>{"end 8"}));
    EXPECT_EQ(a.x, 13);
    RunMotion(world);
    EXPECT_EQ(a.x, 18);
}

TEST_F(MotionStep, FreeMotionFrictionAndGravityMoveEveryInstance) {
    CInstance& falling = Place(0, 0);
    falling.gravity = 0.5;
    CInstance& sliding = Place(0, 0);
    SetHspeed(sliding, 3);
    sliding.friction = 1;
    // Following a path: friction and gravity act on a speed that the advance clears.
    const int path = AddPath(game, {{0, 0, 100}, {0, 100, 100}});
    CInstance& guided = Place(50, 0);
    StartPath(guided, game, path, 2, 0, false);
    guided.gravity = 1;
    for (int i = 0; i < 3; ++i) RunMotion(world);
    EXPECT_EQ(falling.y, 0.5 + 1 + 1.5);
    EXPECT_EQ(falling.direction, 270);
    EXPECT_EQ(sliding.x, 2 + 1 + 0);
    EXPECT_EQ(guided.x, 50);
    EXPECT_EQ(guided.y, 6);
}

TEST_F(MotionStep, DestroyedDeactivatedAndNewInstances) {
    const int path = AddPath(game, {{0, 0, 100}, {4, 0, 100}});
    const int other_obj = AddObject();
    On(obj, ev_other, ev_end_of_path,
       "show_debug_message('end ' + string(id)); hspeed = 5; instance_create(0, 0, " +
           std::to_string(other_obj) + "); instance_deactivate_object(self);");
    On(other_obj, ev_create, 0, "hspeed = 3;");
    CInstance& gone = Place(0, 0);
    CInstance& still = Place(0, 0);
    StartPath(gone, game, path, 4, 0, false);
    StartPath(still, game, path, 4, 0, false);
    gone.destroyed = true;
    RunMotion(world);
    // The destroyed instance moved along its path but ran no more events; the other one was
    // deactivated by its event and did not make the final move.
    EXPECT_EQ(trace, (std::vector<std::string>{"end " + std::to_string(still.id)}));
    EXPECT_EQ(gone.x, 4);
    EXPECT_EQ(still.x, 4);
    EXPECT_EQ(still.hspeed, 5);
    // The instance made by the event waits for the next step.
    ASSERT_EQ(room->InstancesOfObject(other_obj).size(), 1u);
    EXPECT_EQ(room->InstancesOfObject(other_obj)[0]->x, 0);
    RunMotion(world);
    EXPECT_EQ(room->InstancesOfObject(other_obj)[0]->x, 3);
}

TEST_F(MotionStep, TheStepMovesAfterStepAndBeforeEndStep) {
    On(obj, ev_step, ev_step_begin, "show_debug_message('begin ' + string(x));");
    On(obj, ev_step, ev_step_normal, "hspeed = 2;");
    On(obj, ev_step, ev_step_end, "show_debug_message('end ' + string(x));");
    Place(10, 0);
    BuildEventLists(game, world.events);
    world.automatic_draw = false;
    Step(world);
    Step(world);
    EXPECT_EQ(trace, (std::vector<std::string>{"begin 10", "end 12", "begin 12", "end 14"}));
}

}  // namespace
}  // namespace tb
