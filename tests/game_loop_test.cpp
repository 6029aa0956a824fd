// The running game: start order, room changes and persistence, the step's event order, the
// loop's timing on the virtual clock, and the room-change functions.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "runner/runner.h"
#include "script_harness.h"
#include "world/world.h"

namespace tb {
namespace {

// --- building games

CObject& AddObject(Game& g, const std::string& name) {
    g.objects.Add(std::make_unique<CObject>(), name);
    return *g.objects.Get(g.objects.Count() - 1);
}

void On(CObject& obj, int kind, int number, const std::string& code) {
    obj.GetOrCreateEvent(kind, number)->AddCodeAction(code);
}

// show_debug_message of a text expression.
std::string Say(const std::string& expr) {
    return "show_debug_message(" + expr + ");";
}

CRoom& AddRoom(Game& g, const std::string& name) {
    g.rooms.Add(std::make_unique<CRoom>(), name);
    g.room_order.push_back(g.rooms.Count() - 1);
    return *g.rooms.Get(g.rooms.Count() - 1);
}

CInstance& Place(Game& g, CRoom& room, int object, double x, double y, const std::string& code = "",
                 int32_t id = 0) {
    auto inst = std::make_unique<CInstance>();
    inst->id = id ? id : ++g.last_instance_id;
    if (inst->id > g.last_instance_id) g.last_instance_id = inst->id;
    inst->object_index = object;
    inst->x = inst->xstart = inst->xprevious = x;
    inst->y = inst->ystart = inst->yprevious = y;
    inst->creation_code = code;
    room.instances.push_back(std::move(inst));
    return *room.instances.back();
}

Game NewGame() {
    Game g = test::MinimalGame();
    g.last_instance_id = 100000;
    return g;
}

// --- running games in this process through the runner's default run

struct Outcome {
    bool started = false;
    std::vector<std::string> trace;   // show_debug_message texts
    std::vector<std::string> errors;  // error window texts
    std::vector<std::string> fails;
};

Outcome RunGameFile(const Game& g, int64_t steps, const std::function<void(World&)>& attach = {}) {
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    Outcome out;
    RunnerOptions options;
    options.headless = true;
    options.steps = steps;
    options.game_path = (dir.path / "g.bin").string();
    RunnerHost host;
    host.fail = [&](std::string_view t) { out.fails.emplace_back(t); };
    host.script.debug_message = [&](std::string_view t) { out.trace.emplace_back(t); };
    host.script.show_error = [&](std::string_view t, bool) {
        out.errors.emplace_back(t);
        return ErrorChoice::kIgnore;
    };
    RunnerStages stages;
    if (attach) stages.attach_world = [&](Runner&, World& w) { attach(w); };
    Runner runner(options, host, stages);
    out.started = runner.StartRunner();
    runner.Shutdown();
    return out;
}

using Trace = std::vector<std::string>;

// --- starting and ending

TEST(GameLoopRooms, StartAndEndRunEventsInTheirOrder) {
    Game g = NewGame();
    for (std::string n : {"A", "B"}) {
        CObject& o = AddObject(g, n);
        On(o, ev_create, 0, Say("'" + n + " create'"));
        On(o, ev_other, ev_game_start, Say("'" + n + " game start'"));
        On(o, ev_other, ev_room_start, Say("'" + n + " room start'"));
        On(o, ev_other, ev_room_end, Say("'" + n + " room end'"));
        On(o, ev_other, ev_game_end, Say("'" + n + " game end'"));
    }
    CRoom& room = *g.rooms.Get(0);
    room.CreationCode = Say("'room code ' + string(id) + ' ' + string(object_index)");
    Place(g, room, 0, 10, 10, Say("'A code'"));
    Place(g, room, 1, 20, 10);
    Outcome r = RunGameFile(g, 1);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"A code", "A create", "B create", "A game start", "B game start",
                              "room code 0 0", "A room start", "B room start", "A room end",
                              "B room end", "A game end", "B game end"}));
}

TEST(GameLoopRooms, CreationCodeCompileErrorsAreReportedAndTheRoomStillStarts) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_create, 0, Say("'A create'"));
    On(a, ev_other, ev_room_start, Say("'A room start'"));
    CRoom& room = *g.rooms.Get(0);
    room.CreationCode = "x = ;";
    Place(g, room, 0, 0, 0, "y = = 2;");
    Outcome r = RunGameFile(g, 1);
    EXPECT_EQ(r.trace, (Trace{"A create", "A room start"}));
    ASSERT_EQ(r.errors.size(), 2u);
    EXPECT_NE(r.errors[0].find("COMPILATION ERROR in initialization code for instance\r"),
              std::string::npos)
        << r.errors[0];
    EXPECT_NE(r.errors[1].find("COMPILATION ERROR in room script\r"), std::string::npos)
        << r.errors[1];
}

TEST(GameLoopRooms, GotoInAnEventStopsTheRestOfTheStepAndShowsNoFrame) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_step, ev_step_normal, Say("'A step'") + "room_goto(room1);");
    a.GetOrCreateEvent(ev_step, ev_step_normal)->AddCodeAction(Say("'second action'"));
    On(a, ev_step, ev_step_end, Say("'A end step'"));
    On(a, ev_other, ev_room_end, Say("'A room end'"));
    CObject& b = AddObject(g, "B");
    On(b, ev_step, ev_step_normal, Say("'B step ' + string(room)"));
    On(b, ev_create, 0, Say("'B create'"));
    Place(g, *g.rooms.Get(0), 0, 0, 0);
    Place(g, *g.rooms.Get(0), 1, 0, 0);
    CRoom& second = AddRoom(g, "room1");
    Place(g, second, 1, 0, 0);
    std::vector<int32_t> rooms_at_frames;
    Outcome r = RunGameFile(g, 2, [&](World& w) {
        w.hooks.show_frame = [&w, &rooms_at_frames] { rooms_at_frames.push_back(w.room); };
    });
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"B create", "A step", "A room end", "B create", "B step 1"}));
    EXPECT_EQ(rooms_at_frames, (std::vector<int32_t>{1}));  // the first step shows none
}

TEST(GameLoopRooms, PersistentRoomIsReenteredWithoutCreateEvents) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_create, 0, Say("'A create'"));
    On(a, ev_other, ev_room_start, Say("'A start ' + string(x)"));
    On(a, ev_step, ev_step_normal, "x += 1; if (x == 3) room_goto(room1);");
    CObject& b = AddObject(g, "B");
    On(b, ev_create, 0, Say("'B create'"));
    On(b, ev_step, ev_step_normal, "room_goto(room0);");
    g.rooms.Get(0)->Persistent = true;
    g.rooms.Get(0)->CreationCode = Say("'room0 code'");
    Place(g, *g.rooms.Get(0), 0, 0, 0, Say("'A code'"));
    CRoom& second = AddRoom(g, "room1");
    Place(g, second, 1, 0, 0);
    Outcome r = RunGameFile(g, 6);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace,
              (Trace{"A code", "A create", "room0 code", "A start 0", "B create", "A start 3"}));
}

TEST(GameLoopRooms, CarriedPersistentInstanceReplacesTheOneWithItsId) {
    Game g = NewGame();
    CObject& p = AddObject(g, "P");
    p.Persistent = true;
    On(p, ev_create, 0, Say("'P create'"));
    On(p, ev_other, ev_room_start, Say("'P start ' + string(id) + ' ' + string(x)"));
    On(p, ev_step, ev_step_normal, "if (room == room0) { x = 7; room_goto(room1); }");
    CObject& q = AddObject(g, "Q");
    On(q, ev_create, 0, Say("'Q create ' + string(id)"));
    On(q, ev_step, ev_step_normal, Say("'Q step ' + string(id)"));
    Place(g, *g.rooms.Get(0), 0, 0, 0, "", 100001);
    CRoom& second = AddRoom(g, "room1");
    Place(g, second, 1, 0, 0, Say("'Q code'"), 100002);
    Place(g, second, 1, 0, 0, Say("'Q code'"), 100001);
    std::vector<std::vector<int32_t>> ids;  // per step that runs to its end
    Outcome r = RunGameFile(g, 2, [&](World& w) {
        w.hooks.debug_refresh = [&w, &ids] {
            ids.emplace_back();
            for (const auto& inst : w.Room()->instances) ids.back().push_back(inst->id);
        };
    });
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"P create", "P start 100001 0", "Q code", "Q create 100002",
                              "P start 100001 7", "Q step 100002"}));
    // The first step ended at the room change. The second removed room1's own instance
    // 100001; the carried one comes last.
    EXPECT_EQ(ids, (std::vector<std::vector<int32_t>>{{100002, 100001}}));
}

TEST(GameLoopRooms, RestartRebuildsTheRoomWithItsStoredIds) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_create, 0, Say("'create ' + string(id)"));
    On(a, ev_other, ev_game_start, "global.n = 0;");
    On(a, ev_step, ev_step_normal, "global.n += 1; x = 50; if (global.n == 1) room_restart();");
    On(a, ev_other, ev_room_start, Say("'start ' + string(x) + ' ' + string(global.n)"));
    Place(g, *g.rooms.Get(0), 0, 5, 0, Say("'code ' + string(id)"), 100005);
    Place(g, *g.rooms.Get(0), 0, 5, 0, "", 100009);
    Outcome r = RunGameFile(g, 2);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace,
              (Trace{"code 100005", "create 100005", "create 100009", "start 5 0", "start 5 0",
                     "code 100005", "create 100005", "create 100009", "start 5 1", "start 5 1"}));
}

TEST(GameLoopRooms, GameRestartStartsAgainFromTheFirstRoom) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_other, ev_game_start, Say("'game start'"));
    On(a, ev_other, ev_game_end, Say("'game end'"));
    On(a, ev_step, ev_step_normal, Say("'step ' + string(room)") + "room_goto_next();");
    Place(g, *g.rooms.Get(0), 0, 0, 0);
    CObject& b = AddObject(g, "B");
    On(b, ev_step, ev_step_normal, Say("'B step ' + string(room)") + "game_restart();");
    On(b, ev_other, ev_game_end, Say("'B game end'"));
    Place(g, AddRoom(g, "room1"), 1, 0, 0);
    Outcome r = RunGameFile(g, 3);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"game start", "step 0", "B step 1", "B game end", "game start",
                              "step 0", "B game end"}));
}

// --- the step

TEST(GameLoopStep, EventsRunInTheStepOrder) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_create, 0, "alarm[0] = 1; alarm[1] = 0; image_speed = 0;");
    On(a, ev_step, ev_step_begin, Say("'begin'"));
    On(a, ev_alarm, 0, Say("'alarm 0'"));
    On(a, ev_alarm, 1, Say("'alarm 1'"));
    On(a, ev_step, ev_step_normal, Say("'step'"));
    On(a, ev_other, ev_outside, Say("'outside'"));
    On(a, ev_step, ev_step_end, Say("'end'") + "x += 100;");
    On(a, ev_other, ev_animation_end, Say("'animation end'"));
    Place(g, *g.rooms.Get(0), 0, 600, 10);
    Outcome r = RunGameFile(g, 2);
    EXPECT_EQ(r.errors, Trace{});
    // Without a sprite an instance has no images: animation end fires every step. It is
    // outside the room (no box: its position) from the second step on.
    EXPECT_EQ(r.trace, (Trace{"begin", "alarm 0", "step", "end", "animation end", "begin", "step",
                              "outside", "end", "animation end"}));
}

TEST(GameLoopStep, InstancesGetEventsGroupedByObject) {
    Game g = NewGame();
    CObject& parent = AddObject(g, "Parent");
    On(parent, ev_step, ev_step_normal, Say("'step ' + string(id)"));
    CObject& child = AddObject(g, "Child");
    child.ParentIndex = 0;
    child.GetOrCreateEvent(ev_step, ev_step_normal);  // defined without actions
    CRoom& room = *g.rooms.Get(0);
    Place(g, room, 1, 0, 0, "", 100001);
    Place(g, room, 0, 0, 0, "", 100002);
    Place(g, room, 1, 0, 0, "", 100003);
    Outcome r = RunGameFile(g, 1);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"step 100002", "step 100001", "step 100003"}));
}

TEST(GameLoopStep, KeyboardWalksSeeHeldPressedAndReleasedKeys) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_keyboard, 65, Say("'hold A'"));
    On(a, ev_keyboard, 0, Say("'no key'"));
    On(a, ev_keyboard, 1, Say("'any key'"));
    On(a, ev_keypress, 65, Say("'press A'"));
    On(a, ev_keypress, 1, Say("'press any'"));
    On(a, ev_keypress, 0, Say("'press none'"));
    On(a, ev_keyrelease, 65, Say("'release A'"));
    On(a, ev_keyrelease, 0, Say("'release none'"));
    On(a, ev_step, ev_step_begin, Say("'--'"));
    Place(g, *g.rooms.Get(0), 0, 0, 0);
    int step = 0;
    Outcome r = RunGameFile(g, 3, [&step](World& w) {
        // The input subsystem's place: feeds the keys of the step before its events run.
        w.hooks.runner_keys = [&w, &step] {
            ++step;
            InputState& in = w.input;
            if (step == 1) in.key_held[65] = in.key_pressed[65] = in.key_pressed[186] = true;
            if (step == 3) {
                in.key_held[65] = false;
                in.key_released[65] = true;
            }
        };
    });
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"--", "hold A", "any key", "press A", "press any", "release none",
                              "--", "hold A", "any key", "press none", "release none", "--",
                              "no key", "press none", "release A"}));
}

// --- timing

struct Timing {
    std::vector<int64_t> starts;  // clock at the start of each step
    std::vector<int32_t> fps;
};

Timing TimeSteps(int32_t speed, int64_t steps, int64_t slow_step = -1) {
    Game g = NewGame();
    g.rooms.Get(0)->Speed = speed;
    Timing t;
    RunGameFile(g, steps, [&](World& w) {
        w.hooks.runner_keys = [&w, &t] {
            t.starts.push_back(w.clock.Now());
            t.fps.push_back(w.fps);
        };
        // A step that takes 50 ms of the virtual clock.
        w.hooks.particles = [&w, &t, slow_step] {
            if (int64_t(t.starts.size()) == slow_step) w.clock.virtual_now += 50000;
        };
    });
    return t;
}

TEST(GameLoopTiming, StepsFollowTheRoomSpeedOnTheVirtualClock) {
    struct Case {
        int32_t speed;
        int64_t period;
    } cases[] = {{30, 33333}, {60, 16666}, {1, 1000000}, {0, 1000000}, {-5, 1000000}};
    for (const Case& c : cases) {
        Timing t = TimeSteps(c.speed, 3);
        EXPECT_EQ(t.starts, (std::vector<int64_t>{0, c.period, 2 * c.period})) << c.speed;
    }
}

TEST(GameLoopTiming, ASlowStepIsNotMadeUpLater) {
    Timing t = TimeSteps(30, 4, 2);
    EXPECT_EQ(t.starts, (std::vector<int64_t>{0, 33333, 83333, 116666}));
}

TEST(GameLoopTiming, FpsChangesWhenAWholeSecondPasses) {
    Timing t = TimeSteps(30, 33);
    ASSERT_EQ(t.fps.size(), 33u);
    // Step 31 ends past the first second: from step 32 on fps holds that second's 30 steps.
    EXPECT_EQ(t.fps[30], 0);
    EXPECT_EQ(t.fps[31], 30);
    EXPECT_EQ(t.fps[32], 30);
}

TEST(GameLoopTiming, SleepWaitsOnTheLoopClock) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_step, ev_step_normal, "sleep(10); sleep(0); sleep(-4);");
    Place(g, *g.rooms.Get(0), 0, 0, 0);
    std::vector<int64_t> ends;
    RunGameFile(g, 2, [&ends](World& w) {
        w.hooks.debug_refresh = [&w, &ends] { ends.push_back(w.clock.Now()); };
    });
    EXPECT_EQ(ends, (std::vector<int64_t>{10000, 43333}));
}

// --- the room-change functions

TEST(GameLoopFunctions, FatalRoomErrorsEndTheGame) {
    struct Case {
        std::string code;
        std::string error;
    } cases[] = {
        {"room_goto(7);", "Unexisting room number: 7"},
        {"room_goto_next();", "Moving to next room after the last room."},
        {"room_goto_previous();", "Moving to previous room before the first room."},
    };
    for (const Case& c : cases) {
        Game g = NewGame();
        CObject& a = AddObject(g, "A");
        On(a, ev_step, ev_step_normal, c.code + Say("'after'"));
        On(a, ev_step, ev_step_end, Say("'end step'"));
        On(a, ev_other, ev_game_end, Say("'game end'"));
        Place(g, *g.rooms.Get(0), 0, 0, 0);
        Outcome r = RunGameFile(g, 5);
        EXPECT_TRUE(r.started);
        // The running code goes on to its end; nothing else of the game runs.
        EXPECT_EQ(r.trace, (Trace{"after", "game end"})) << c.code;
        ASSERT_EQ(r.errors.size(), 1u) << c.code;
        EXPECT_NE(r.errors[0].find(c.error), std::string::npos) << r.errors[0];
        EXPECT_NE(r.errors[0].find("FATAL"), std::string::npos) << r.errors[0];
    }
}

TEST(GameLoopFunctions, PreviousAndNextFollowTheRoomOrder) {
    test::ScriptWorld w;
    for (std::string n : {"r0", "r1", "r2"}) w.game.rooms.Add(std::make_unique<CRoom>(), n);
    w.game.rooms.Add(nullptr, "");
    w.game.room_order = {2, 0, 1};
    struct Case {
        const char* expr;
        double value;
    } cases[] = {
        {"room_next(2)", 0},      {"room_next(0)", 1},     {"room_next(1)", -1},
        {"room_previous(2)", -1}, {"room_previous(1)", 0}, {"room_previous(0.4)", 2},
        {"room_next(3)", -1},     {"room_next(-1)", -1},   {"room_previous(99)", -1},
    };
    for (const Case& c : cases) {
        test::RunResult r = w.Eval(c.expr);
        ASSERT_TRUE(r.ok) << c.expr << ": " << r.message;
        EXPECT_EQ(r.result.real, c.value) << c.expr;
    }
}

TEST(GameLoopFunctions, GotoNextAndPreviousWalkTheOrder) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_other, ev_room_start, Say("'room ' + string(room)"));
    On(a, ev_step, ev_step_normal,
       "if (room == room1) room_goto_previous(); else room_goto_next();");
    AddRoom(g, "room1");
    Place(g, AddRoom(g, "room2"), 0, 0, 0);
    a.Persistent = true;
    g.room_order = {2, 1, 0};
    // The first room is 2; its next is 1, whose previous is 2.
    Outcome r = RunGameFile(g, 3);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"room 2", "room 1", "room 2", "room 1"}));
}

// --- the runner binary

TEST(GameLoopRunner, HeadlessRunsEndWithStatusZero) {
    Game g = NewGame();
    CObject& a = AddObject(g, "A");
    On(a, ev_step, ev_step_normal, Say("'step'"));
    On(a, ev_other, ev_game_end, Say("'game end'"));
    Place(g, *g.rooms.Get(0), 0, 0, 0);
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "steps.bin", pack::WriteGameFile(g));
    On(a, ev_step, ev_step_normal, "global.n += 1; if (global.n == 2) game_end();");
    On(a, ev_create, 0, "global.n = 0;");
    test::WriteBytes(dir.path / "ends.bin", pack::WriteGameFile(g));

    test::ProcessResult r = test::RunTamberlo({"--headless", "--steps", "3", dir / "steps.bin"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "step\nstep\nstep\ngame end\n");
    r = test::RunTamberlo({"--headless", dir / "ends.bin"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "step\nstep\ngame end\n");
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace tb
