// Resource functions in a running game: events added or cleared are seen by the next step,
// parents change which events an object inherits, room resources edited at run time are seen
// at the next entry of the room, and resources deleted or changed while their own code runs
// finish that code safely.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "runner/runner.h"

namespace tb {
namespace {

using Trace = std::vector<std::string>;

struct Outcome {
    Trace trace;
    Trace errors;
};

int AddObject(Game& g, const std::string& name) {
    g.objects.Add(std::make_unique<CObject>(), name);
    return g.objects.Count() - 1;
}

void On(Game& g, int object, int kind, int number, const std::string& code) {
    g.objects.Get(object)->GetOrCreateEvent(kind, number)->AddCodeAction(code);
}

void Place(Game& g, int room, int object, double x, double y) {
    g.rooms.Get(room)->AddInstance(g.objects, g.last_instance_id, object, x, y);
}

Outcome RunGame(const Game& g, int64_t steps) {
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    Outcome out;
    RunnerOptions options;
    options.headless = true;
    options.steps = steps;
    options.game_path = (dir.path / "g.bin").string();
    RunnerHost host;
    host.script.debug_message = [&](std::string_view t) { out.trace.emplace_back(t); };
    host.script.show_error = [&](std::string_view t, bool) {
        out.errors.emplace_back(t);
        return ErrorChoice::kIgnore;
    };
    Runner runner(options, host);
    EXPECT_TRUE(runner.StartRunner());
    runner.Shutdown();
    return out;
}

Game NewGame() {
    Game g = test::MinimalGame();
    g.last_instance_id = 100000;
    return g;
}

TEST(ResourceWorld, EventsAddedAndClearedAreSeenByTheNextSteps) {
    Game g = NewGame();
    const int a = AddObject(g, "A");
    const int b = AddObject(g, "B");
    // A has no begin step event at game start; B gives it one, later takes it away, and
    // makes A the parent of C so that C inherits A's events.
    On(g, b, ev_step, ev_step_normal,
       "if (n == 0) object_event_add(A, ev_step, ev_step_begin, "
       "'show_debug_message(\"A begin \" + string(step))');"
       "if (n == 2) object_event_clear(A, ev_step, ev_step_begin);"
       "if (n == 1) { object_set_parent(C, A); with (C) alarm[0] = 1 } n += 1; step = n");
    On(g, b, ev_create, 0, "n = 0; step = 0");
    On(g, a, ev_create, 0, "step = 0");
    On(g, a, ev_alarm, 0, "show_debug_message('alarm of ' + object_get_name(object_index))");
    const int c = AddObject(g, "C");
    On(g, c, ev_create, 0, "step = 0");
    Place(g, 0, a, 0, 0);
    Place(g, 0, b, 0, 0);
    Place(g, 0, c, 0, 0);
    const Outcome out = RunGame(g, 5);
    EXPECT_EQ(out.errors, Trace{});
    // Step 2: A's new event; step 3: A's, then C's inherited from its new parent, and C's
    // alarm; step 4 on: cleared.
    EXPECT_EQ(out.trace, (Trace{"A begin 0", "A begin 0", "A begin 0", "alarm of C"}));
}

TEST(ResourceWorld, RoomEditsAreSeenAtTheNextEntry) {
    Game g = NewGame();
    const int a = AddObject(g, "A");
    On(g, a, ev_create, 0,
       "show_debug_message('A at ' + string(x) + ' in ' + room_get_name(room))");
    const int starter = AddObject(g, "Starter");
    On(g, starter, ev_create, 0,
       "r = room_add(); room_instance_add(r, 48, 16, A); room_set_caption(r, 'made');"
       "room_set_code(r, 'show_debug_message(\"code of \" + room_caption)');"
       "room_instance_add(room, 99, 99, A);"
       "room_goto(r)");
    Place(g, 0, starter, 0, 0);
    const Outcome out = RunGame(g, 3);
    EXPECT_EQ(out.errors, Trace{});
    EXPECT_EQ(out.trace, (Trace{"A at 48 in __newroom1", "code of made"}));
}

TEST(ResourceWorld, CodeRunsSafelyFromResourcesItDeletesOrChanges) {
    Game g = NewGame();
    const int a = AddObject(g, "A");
    // The running event adds to itself, clears itself and deletes its own object; the time
    // line deletes itself from inside a moment. The running action goes on to its end.
    On(g, a, ev_step, ev_step_normal,
       "repeat (20) object_event_add(A, ev_step, ev_step_normal, 'x += 1');"
       "object_event_clear(A, ev_step, ev_step_normal);"
       "object_delete(A); show_debug_message('still running')");
    On(g, a, ev_step, ev_step_normal, "show_debug_message('cleared, never runs')");
    g.timelines.Add(std::make_unique<CTimeLine>(), "T");
    CEvent& moment = g.timelines.Get(0)->AddMoment(0);
    moment.AddCodeAction("timeline_delete(T); show_debug_message('moment goes on')");
    moment.AddCodeAction("show_debug_message('next action too')");
    On(g, a, ev_create, 0, "timeline_index = T; timeline_position = 0; timeline_speed = 1");
    Place(g, 0, a, 0, 0);
    const Outcome out = RunGame(g, 4);
    EXPECT_EQ(out.errors, Trace{});
    EXPECT_EQ(out.trace, (Trace{"moment goes on", "next action too", "still running"}));
}

}  // namespace
}  // namespace tb
