// The action library through action lists: each row is a game whose first instance runs an
// action list in its Create event, then reports what it sees with show_debug_message.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "collision_fixtures.h"
#include "graphics/bmp.h"
#include "harness.h"
#include "resources/object.h"
#include "resources/room.h"
#include "resources/script.h"
#include "runner/game.h"
#include "runner/runner.h"
#include "script/registry.h"

namespace tb::test {
namespace {

// --- action lists

// A library action calling `function` with expression arguments.
CAction Act(const std::string& function, std::vector<std::string> args = {}) {
    CAction a;
    a.ExecType = 1;
    a.FunctionName = function;
    a.UseRelative = true;
    a.UseApplyTo = true;
    a.ArgumentCount = int32_t(args.size());
    a.ArgumentKinds.assign(args.size(), 0);
    a.ArgumentTexts = std::move(args);
    return a;
}
// The same with the editor's argument kinds: 1 and 15 constant text, 2 text or (quoted) an
// expression, every other kind an expression.
CAction Kinds(const std::string& function, std::vector<std::string> args,
              std::vector<int32_t> kinds) {
    CAction a = Act(function, std::move(args));
    a.ArgumentKinds = std::move(kinds);
    return a;
}
CAction Question(CAction a) {
    a.IsQuestion = true;
    return a;
}
CAction Rel(const std::string& function, std::vector<std::string> args = {}) {
    CAction a = Act(function, std::move(args));
    a.Relative = true;
    return a;
}
CAction Ask(const std::string& function, std::vector<std::string> args = {}, bool negate = false) {
    CAction a = Act(function, std::move(args));
    a.IsQuestion = true;
    a.Not = negate;
    return a;
}
CAction Not(const std::string& function, std::vector<std::string> args = {}) {
    return Ask(function, std::move(args), true);
}
CAction To(int32_t applies_to, CAction a) {
    a.AppliesTo = applies_to;
    return a;
}
CAction Kind(int32_t kind, std::vector<std::string> args = {}) {
    CAction a;
    a.Kind = kind;
    a.ArgumentCount = int32_t(args.size());
    a.ArgumentKinds.assign(args.size(), 0);
    a.ArgumentTexts = std::move(args);
    return a;
}
const CAction kBegin = Kind(1);
const CAction kEnd = Kind(2);
const CAction kElse = Kind(3);
CAction Repeat(const std::string& n) {
    return Kind(5, {n});
}
CAction Code(const std::string& code) {
    CAction a = Kind(7, {code});
    a.ExecType = 2;
    return a;
}
// Reports the value of a script expression as text.
CAction Say(const std::string& expr) {
    return Code("show_debug_message(string(" + expr + "));");
}

using Actions = std::vector<CAction>;
using Trace = std::vector<std::string>;

// --- the game of every row

// Object 0 "obj_a" (instance at 100, 100) runs the row's list in its Create event; object 1
// "obj_b" (solid, an instance at 200, 100 when `with_b`) reports its Create event. Both use
// the 8 x 8 sprite 0. Script 0 "scr_sum" sets and
// returns global.sum = argument0 + argument4.
struct Row {
    std::string name;
    Actions create;
    Trace trace;
    std::vector<std::string> errors = {};  // texts the error reports contain, in order
    bool with_b = false;
    std::vector<std::pair<std::pair<int, int>, Actions>> events = {};  // more events of obj_a
    int64_t steps = 1;
};

struct Outcome {
    Trace trace;
    std::vector<std::string> errors;
    std::string out;  // standard output (headless dialogs)
};

Game RowGame(const Row& row) {
    Game g = MinimalGame();
    g.last_instance_id = 100000;
    AddBlockSprite(g, 8, 8, false);
    auto script = std::make_unique<CScript>();
    script->SetScriptText("global.sum = argument0 + argument4; return global.sum;");
    g.scripts.Add(std::move(script), "scr_sum");
    auto bad = std::make_unique<CScript>();
    bad->SetScriptText("return argument0 + 'a';");
    g.scripts.Add(std::move(bad), "scr_bad");
    auto a = std::make_unique<CObject>();
    a->SpriteIndex = 0;
    a->GetOrCreateEvent(ev_create, 0)->actions = row.create;
    for (const auto& [event, list] : row.events)
        a->GetOrCreateEvent(event.first, event.second)->actions = list;
    g.objects.Add(std::move(a), "obj_a");
    auto b = std::make_unique<CObject>();
    b->SpriteIndex = 0;
    b->Solid = true;
    b->GetOrCreateEvent(ev_create, 0)->actions = {
        Say("'b ' + string(x) + ' ' + string(y) + ' ' + string(speed) + ' ' + string(direction)")};
    g.objects.Add(std::move(b), "obj_b");
    CRoom& room = *g.rooms.Get(0);
    auto place = [&](int object, double x, double y) {
        auto inst = std::make_unique<CInstance>();
        inst->id = ++g.last_instance_id;
        inst->object_index = object;
        inst->x = inst->xstart = inst->xprevious = x;
        inst->y = inst->ystart = inst->yprevious = y;
        room.instances.push_back(std::move(inst));
    };
    if (row.with_b) place(1, 200, 100);
    place(0, 100, 100);
    return g;
}

// `beside` writes files next to the game file before the run.
Outcome RunGame(const Game& g, int64_t steps, bool secure = false,
                const std::function<void(const ScratchDir&)>& beside = {}) {
    ScratchDir dir;
    WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    if (beside) beside(dir);
    Outcome out;
    RunnerOptions options;
    options.headless = true;
    options.steps = steps;
    options.seed = 7;
    options.secure = secure;
    options.game_path = (dir.path / "g.bin").string();
    RunnerHost host;
    host.fail = [&](std::string_view t) { out.errors.emplace_back(t); };
    host.script.debug_message = [&](std::string_view t) { out.trace.emplace_back(t); };
    host.script.show_error = [&](std::string_view t, bool) {
        out.errors.emplace_back(t);
        return ErrorChoice::kIgnore;
    };
    ::testing::internal::CaptureStdout();
    {
        Runner runner(options, host, {});
        runner.StartRunner();
        runner.Shutdown();
    }
    out.out = ::testing::internal::GetCapturedStdout();
    return out;
}

void Check(const Row& row, const Outcome& out) {
    EXPECT_EQ(out.trace, row.trace) << row.name;
    ASSERT_EQ(out.errors.size(), row.errors.size()) << row.name;
    for (size_t i = 0; i < row.errors.size(); ++i)
        EXPECT_NE(out.errors[i].find(row.errors[i]), std::string::npos)
            << row.name << ": " << out.errors[i];
}

void RunRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) Check(row, RunGame(RowGame(row), row.steps));
}

// Drawing needs the graphics of the real program: it runs headless, its debug messages are
// the lines of its standard output and its script errors go to standard error.
void RunDrawingRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        ScratchDir dir;
        WriteBytes(dir.path / "g.bin", pack::WriteGameFile(RowGame(row)));
        const ProcessResult r = RunTamberlo(
            {"--headless", "--steps", std::to_string(row.steps), (dir.path / "g.bin").string()});
        EXPECT_EQ(r.exit_code, 0) << row.name << r.err;
        Trace trace;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) trace.push_back(line);
        // The room is drawn for every step and once when it is entered: the first drawing
        // is compared.
        if (trace.size() > row.trace.size()) trace.resize(row.trace.size());
        EXPECT_EQ(trace, row.trace) << row.name;
        size_t from = 0;
        for (const std::string& error : row.errors) {
            from = r.err.find(error, from);
            EXPECT_NE(from, std::string::npos) << row.name << ": " << error << " in " << r.err;
        }
        if (row.errors.empty()) {
            EXPECT_EQ(r.err, "") << row.name;
        }
    }
}

const std::string kXY = "string(x) + ',' + string(y)";
const std::string kSpeeds = "string(hspeed) + ',' + string(vspeed)";

TEST(Actions, MotionAbsoluteAndRelative) {
    RunRows({
        {"hspeed and vspeed",
         {Act("action_set_hspeed", {"3"}), Rel("action_set_hspeed", {"2"}),
          Act("action_set_vspeed", {"-1"}), Rel("action_set_vspeed", {"-1"}), Say(kSpeeds)},
         {"5,-2"}},
        {"set_motion: absolute sets, relative adds a vector",
         {Act("action_set_motion", {"0", "2"}), Rel("action_set_motion", {"90", "2"}),
          Say(kSpeeds)},
         {"2,-2"}},
        {"gravity and friction",
         {Act("action_set_gravity", {"270", "1"}), Rel("action_set_gravity", {"-90", "0.5"}),
          Rel("action_set_friction", {"0.25"}), Rel("action_set_friction", {"0.25"}),
          Say("string(gravity_direction) + ' ' + string(gravity) + ' ' + string(friction)")},
         {"180 1.50 0.50"}},
        {"move_to relative, move_start",
         {Rel("action_move_to", {"5", "-5"}), Say(kXY), Act("action_move_to", {"7", "8"}), Say(kXY),
          Act("action_move_start"), Say(kXY)},
         {"105,95", "7,8", "100,100"}},
        {"move_point relative target",
         {Rel("action_move_point", {"0", "-10", "3"}),
          Say("string(direction) + ' ' + string(speed)")},
         {"90 3"}},
        {"snap, reverse",
         {Act("action_move_to", {"13", "27"}), Act("action_snap", {"10", "10"}), Say(kXY),
          Act("action_set_hspeed", {"2"}), Act("action_set_vspeed", {"3"}),
          Act("action_reverse_xdir"), Act("action_reverse_ydir"), Say(kSpeeds)},
         {"10,30", "-2,-3"}},
        {"move with the middle key stops",
         {Act("action_set_hspeed", {"5"}), Act("action_move", {"'000010000'", "3"}),
          Say("string(direction) + ' ' + string(speed)")},
         {"0 0"}},
        {"move picks a marked key; relative speed adds",
         {Act("action_move", {"'101000000'", "4"}),
          Say("string(direction = 225 || direction = 315) + ' ' + string(speed)"),
          Rel("action_move", {"'101000000'", "1"}), Say("string(speed)")},
         {"1 4", "5"}},
        {"move without a marked key does nothing; a wrong string is an error",
         {Act("action_move", {"'000000000'", "4"}), Act("action_move", {"'0001'", "4"}),
          Say("speed")},
         {"0"},
         {"Wrong argument to action_move()."}},
        {"wrap follows the motion and uses the sprite as margin",
         {Act("action_move_to", {"-5", "-5"}), Act("action_wrap", {"2"}), Say(kXY),
          Act("action_set_hspeed", {"-1"}), Act("action_wrap", {"1"}), Say(kXY),
          Act("action_wrap", {"0"}), Say(kXY)},
         {"-5,-5", "-5,-5", "643,-5"}},
        {"random place on the grid; a path started and ended",
         {Act("action_move_random", {"8", "8"}), Say("x mod 8 == 0 && y mod 8 == 0"),
          Code("global.p = path_add(); path_add_point(global.p, 0, 0, 100); "
               "path_add_point(global.p, 100, 0, 100);"),
          Act("action_path", {"global.p", "2", "0", "1"}),
          Say("string(path_index == global.p) + ' ' + string(path_speed)"), Act("action_path_end"),
          Say("path_index")},
         {"1", "1 2", "-1"}},
        {"path actions",
         {Act("action_path_speed", {"2"}), Rel("action_path_speed", {"1"}),
          Rel("action_path_position", {"0.5"}), Rel("action_path_position", {"0.75"}),
          Act("action_path_old", {"0", "0", "0"}),
          Say("string(path_speed) + ' ' + string(path_position)")},
         {"3 1"}},
    });
}

TEST(Actions, ContactBounceAndSteps) {
    RunRows({
        {"move_contact against solid stops at obj_b",
         {Act("action_move_contact", {"0", "200", "0"}), Say(kXY)},
         {"b 200 100 0 0", "192,100"},
         {},
         true},
        {"bounce reverses against solid",
         {Act("action_move_to", {"190", "100"}), Act("action_set_hspeed", {"4"}),
          Act("action_bounce", {"0", "0"}), Say(kSpeeds)},
         {"b 200 100 0 0", "-4,0"},
         {},
         true},
        {"linear step toward a point, relative",
         {Rel("action_linear_step", {"10", "0", "4", "0"}), Say(kXY)},
         {"104,100"}},
        {"potential step toward a point, relative: one step long",
         {Rel("action_potential_step", {"0", "-50", "5", "0"}),
          Say("abs(point_distance(100, 100, x, y) - 5) < 0.001 && y < 100")},
         {"1"}},
    });
}

TEST(Actions, Instances) {
    RunRows({
        {"create relative, then its Create event",
         {Rel("action_create_object", {"obj_b", "10", "-10"}), Say("instance_number(obj_b)")},
         {"b 110 90 0 0", "1"}},
        {"create with motion: speed and direction before the Create event",
         {Act("action_create_object_motion", {"obj_b", "5", "6", "4", "90"})},
         {"b 5 6 4 90"}},
        {"create random among the existing objects only",
         {Act("action_create_object_random", {"-1", "77", "-1", "obj_b", "1", "2"}),
          Act("action_create_object_random", {"-1", "-1", "-1", "-1", "1", "2"})},
         {"b 1 2 0 0"}},
        {"creating a missing object reports it",
         {Act("action_create_object", {"99", "0", "0"}),
          Act("action_create_object_motion", {"-3", "0", "0", "1", "1"}), Say("instance_count")},
         {"1"},
         {"Creating instance for non-existing object: 99",
          "Creating instance for non-existing object: -3"}},
        {"change object with events",
         {Act("action_change_object", {"obj_b", "1"}), Say("object_index")},
         {"b 100 100 0 0", "0"}},
        {"change object without events (0.6 rounds to 1, 0.4 to 0)",
         {Act("action_change_object", {"obj_b", "0.4"}), Say("instance_number(obj_b)")},
         {"1"}},
        {"kill self and at a position",
         {Rel("action_kill_position", {"102", "2"}), Say("instance_number(obj_b)"),
          Act("action_kill_object"), Say("instance_number(obj_a)")},
         {"b 200 100 0 0", "0", "0"},
         {},
         true},
        {"sprites: set with scale, subimage and speed, transform and mirror, colour",
         {Act("action_set_sprite", {"spr0", "2"}), Say("image_xscale + image_yscale"),
          Act("action_set_sprite", {"spr0", "0"}), Say("image_xscale"),
          Act("action_sprite_set", {"spr0", "-1", "0.5"}), Say("image_speed"),
          Act("action_sprite_transform", {"2", "3", "45", "3"}),
          Say("string(image_xscale) + ' ' + string(image_yscale) + ' ' + string(image_angle)"),
          Act("action_sprite_transform", {"2", "3", "0", "2"}),
          Say("string(image_xscale) + ' ' + string(image_yscale)"),
          Act("action_sprite_color", {"c_red", "0.5"}),
          Say("string(image_blend) + ' ' + string(image_alpha)"),
          Act("action_set_sprite", {"42", "1"})},
         {"4", "2", "0.50", "-2 -3 45", "2 -3", "255 0.50"},
         {"Setting instance to non-existing sprite: 42"}},
    });
}

TEST(Actions, QuestionsBlocksAndTargets) {
    const std::string yes = "'yes'", no = "'no'";
    RunRows({
        {"not and else",
         {Ask("action_if_score", {"0", "0"}), Say(yes), kElse, Say(no),
          Not("action_if_score", {"0", "0"}), Say(yes), kElse, Say(no)},
         {"yes", "no"}},
        {"a question governs a block; repeat around an action",
         {Ask("action_if_number", {"obj_b", "1", "0"}), kBegin, Act("action_set_score", {"10"}),
          Rel("action_set_score", {"5"}), kEnd, Repeat("3"), Rel("action_set_score", {"1"}),
          Say("score")},
         {"b 200 100 0 0", "18"},
         {},
         true},
        {"comparisons: smaller, larger, anything else equal",
         {Act("action_set_score", {"5"}), Ask("action_if_score", {"6", "1"}), Say("'lt'"),
          Ask("action_if_score", {"4", "2"}), Say("'gt'"), Ask("action_if_score", {"5", "9"}),
          Say("'eq'"), Ask("action_if_life", {"-1", "0"}), Say("'lives'"),
          Ask("action_if_health", {"50", "2"}), Say("'health'")},
         {"lt", "gt", "eq", "lives", "health"}},
        {"if_variable: strings by codes, reals, and no mixing",
         {Ask("action_if_variable", {"'abc'", "'abd'", "1"}), Say(yes),
          Ask("action_if_variable", {"5", "'5'", "0"}), Say(yes), kElse, Say(no),
          Not("action_if_variable", {"2", "2", "0"}), Say(yes), kElse, Say(no)},
         {"yes", "no", "no"},
         {"Cannot compare arguments."}},
        {"dice with one side, if, mouse without buttons, sound of a missing sound",
         {Ask("action_if_dice", {"1"}), Say(yes), Ask("action_if", {"2 > 1"}), Say(yes),
          Ask("action_if_mouse", {"0"}), Say(yes), Ask("action_if_mouse", {"1"}), Say(no),
          Ask("action_if_sound", {"3"}), Say(no)},
         {"yes", "yes", "yes"}},
        {"place questions, relative",
         {Rel("action_if_empty", {"0", "0", "0"}), Say("'free here'"),
          Rel("action_if_collision", {"96", "0", "0"}), Say("'solid at b'"),
          Rel("action_if_object", {"obj_b", "96", "0"}), Say("'meets b'"),
          Ask("action_if_object", {"obj_b", "100", "100"}), Say(no),
          Ask("action_if_aligned", {"50", "20"}), Say("'aligned'"),
          Ask("action_if_aligned", {"30", "20"}), Say(no)},
         {"b 200 100 0 0", "free here", "solid at b", "meets b", "aligned"},
         {},
         true},
        {"rooms of a one-room game",
         {Ask("action_if_previous_room"), Say(no), Ask("action_if_next_room"), Say(no)},
         {}},
        {"applies to other and to an object",
         {To(1, Act("action_set_hspeed", {"3"})), To(1, Rel("action_move_to", {"1", "0"})),
          Say("string(obj_b.hspeed) + ' ' + string(obj_b.x) + ' ' + string(hspeed)"),
          To(1, Ask("action_if_number", {"obj_a", "1", "0"})), Say(yes)},
         {"b 200 100 0 0", "3 201 0", "yes"},
         {},
         true},
        {"applies to other in a collision event",
         {Act("action_set_hspeed", {"100"})},
         {"b 200 100 0 0", "b hit"},
         {},
         true,
         {{{ev_collision, 1},
           {Act("action_set_hspeed", {"0"}), To(-2, Act("action_kill_object")),
            To(-2, Say("'b hit'"))}}},
         2},
    });
}

// Scripts outside any action see argument_relative false, whatever action ran before them.
TEST(Actions, RelativeIsOnlyForTheRunningAction) {
    Row row{"relative", {Rel("action_set_hspeed", {"1"})}, {"5 0"}};
    Game g = RowGame(row);
    g.rooms.Get(0)->CreationCode =
        "with (obj_a) action_set_hspeed(5); "
        "show_debug_message(string(obj_a.hspeed) + ' ' + string(argument_relative));";
    Check(row, RunGame(g, 1));
}

TEST(Actions, ArgumentKinds) {
    RunRows({
        {"texts, quoted expressions, resources, colours, booleans and menus",
         {Question(Kinds("action_if_variable", {"'ab' + 'c'", "abc", "0"}, {2, 1, 0})),
          Say("'kind 2 quoted = kind 1'"),
          Question(Kinds("action_if_variable", {"a'b", "a'b", "0"}, {2, 15, 0})),
          Say("'text kinds'"), Kinds("action_sprite_set", {"spr0", "1 - 1", "0.25"}, {5, 0, 0}),
          Kinds("action_sprite_color", {"c_lime", "true"}, {13, 3}),
          Kinds("action_set_alarm", {"4", "3"}, {0, 4}),
          Say("string(sprite_index) + ' ' + string(image_speed) + ' ' + string(image_blend) + "
              "' ' + string(image_alpha) + ' ' + string(alarm[3])")},
         {"kind 2 quoted = kind 1", "text kinds", "0 0.25 65280 1 4"}},
    });
}

TEST(Actions, GameValuesAndEvents) {
    RunRows({
        {"lives: No More Lives once, from above 0 to 0 or less",
         {Act("action_set_life", {"1"}), Act("action_set_life", {"0"}),
          Act("action_set_life", {"0"}), Rel("action_set_life", {"3"}),
          Rel("action_set_life", {"-5"}), Say("lives")},
         {"no more lives", "no more lives", "-2"},
         {},
         false,
         {{{ev_other, ev_no_more_lives}, {Say("'no more lives'")}}}},
        {"health: No More Health, relative",
         {Rel("action_set_health", {"-60"}), Rel("action_set_health", {"-40"}), Say("health")},
         {"no more health", "0"},
         {},
         false,
         {{{ev_other, ev_no_more_health}, {Say("'no more health'")}}}},
        {"alarms: relative adds only to a running alarm; the alarm event runs",
         {Rel("action_set_alarm", {"10", "0"}), Say("alarm[0]"), Code("alarm[1] = 5;"),
          Rel("action_set_alarm", {"10", "1"}), Say("alarm[1]"),
          Act("action_set_alarm", {"1", "2"})},
         {"10", "15", "alarm 2"},
         {},
         false,
         {{{ev_alarm, 2}, {Say("'alarm 2'")}}},
         2},
        {"time lines",
         {Act("action_set_timeline", {"3", "4.5"}), Rel("action_set_timeline_position", {"2.6"}),
          Say("string(timeline_index) + ' ' + string(timeline_position)")},
         {"3 7"}},
        {"script with five arguments, inherited does nothing without a parent",
         {Act("action_execute_script", {"scr_sum", "1", "2", "3", "4", "10"}), Say("global.sum"),
          Act("action_inherited"), Act("action_execute_script", {"55", "0", "0", "0", "0", "0"}),
          Say("'ran'")},
         {"11", "ran"}},
        {"a script error inside the script is reported and the list goes on",
         {Act("action_execute_script", {"scr_bad", "0", "0", "0", "0", "0"}), Say("'after'")},
         {"after"},
         {"Wrong type of arguments to +."}},
        {"caption settings: shown only for the value 1",
         {Act("action_set_caption", {"1", "'S:'", "2", "'L:'", "1", "'H:'"}),
          Say("string(show_score) + string(show_lives) + string(show_health) + caption_score + "
              "caption_lives + caption_health")},
         {"101S:L:H:"}},
        {"end game at the end of the step",
         {Act("action_end_game"), Say("'still here'")},
         {"game end"},
         {},
         false,
         {{{ev_other, ev_game_end}, {Say("'game end'")}}},
         5},
        {"cursor sprite, sleeping",
         {Act("action_set_cursor", {"spr0", "0"}), Say("cursor_sprite"),
          Act("action_sleep", {"20", "0"}), Say("'slept'")},
         {"0", "slept"}},
        {"no-ops",
         {Act("action_highscore"), Act("action_draw_font", {"0"}),
          Act("action_draw_font_old", {"0", "0", "0", "0", "0", "0"}),
          Act("action_fill_color", {"0"}), Act("action_line_color", {"0"}), Say("'ok'")},
         {"ok"}},
    });
}

TEST(Actions, Drawing) {
    // Drawn in the draw event; what lands on the back buffer is read back.
    const Actions draw = {
        Act("action_color", {"c_red"}),
        Act("action_draw_rectangle", {"0", "0", "9", "9", "1"}),
        Say("draw_getpixel(5, 5) == c_red"),
        Act("action_color", {"c_blue"}),
        Act("action_draw_rectangle", {"20", "0", "29", "9", "0"}),
        Say("string(draw_getpixel(21, 5) != c_blue) + string(draw_getpixel(20, 5) == c_blue)"),
        Act("action_draw_gradient_hor", {"0", "20", "9", "29", "c_black", "c_black"}),
        Act("action_draw_gradient_vert", {"10", "20", "19", "29", "c_lime", "c_lime"}),
        Say("string(draw_getpixel(5, 25) == c_black) + string(draw_getpixel(15, 25) == c_lime)"),
        Rel("action_draw_line", {"0", "0", "10", "10"}),
        Rel("action_draw_arrow", {"0", "0", "10", "10", "4"}),
        Act("action_draw_ellipse", {"40", "40", "60", "60", "1"}),
        Act("action_draw_ellipse_gradient", {"40", "40", "60", "60", "c_white", "c_white"}),
        Say("draw_getpixel(50, 50) == c_white"),
        Act("action_font", {"-1", "fa_center"}),
        Act("action_draw_text", {"'hi'", "0", "0"}),
        Act("action_draw_text_transformed", {"'hi'", "0", "0", "2", "2", "30"}),
        Act("action_draw_variable", {"2.5", "0", "0"}),
        Act("action_draw_score", {"0", "0", "'Score: '"}),
        Act("action_draw_life", {"0", "0", "'Lives: '"}),
        Act("action_set_life", {"3"}),
        Act("action_draw_life_images", {"0", "0", "spr0"}),
        Act("action_set_health", {"50"}),
        Act("action_draw_health", {"0", "100", "100", "110", "4", "0"}),
        Say("draw_getpixel(90, 105) == c_white"),
        Rel("action_draw_sprite", {"spr0", "0", "0", "-1"}),
        Act("action_draw_sprite", {"9", "0", "0", "0"}),
        Act("action_draw_background", {"0", "0", "0", "1"}),
        Act("action_snapshot", {"temp_directory + '/shot.bmp'"}),
        Act("action_fullscreen", {"0"}),
        Say("string(file_exists(temp_directory + '/shot.bmp')) + 'drawn'"),
    };
    Row row{"draw", {}, {"1", "11", "11", "1", "1", "1drawn"}};
    row.errors = {"Trying to draw a non-existing sprite.",
                  "Trying to draw a non-existing background."};
    row.events = {{{ev_draw, 0}, draw}};
    row.steps = 2;
    RunDrawingRows({row});
}

TEST(Actions, HealthBarColours) {
    // Full health: the bar is the code's last colour; half: the middle one; the back colour
    // shows where the bar does not reach.
    const auto bar = [](const std::string& health, const std::string& code) {
        return Actions{Act("action_set_health", {health}),
                       Act("action_draw_health", {"0", "0", "100", "10", "11", code}),
                       Say("string(draw_getpixel(25, 5)) + ' ' + string(draw_getpixel(90, 5))")};
    };
    std::vector<Row> rows;
    for (const auto& [health, code, expected] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"100", "0", "65280 65280"},        // green
             {"50", "0", "65535 255"},           // yellow; the red back at 90
             {"100", "1", "16777215 16777215"},  // white
             {"100", "4", "12632256 12632256"},  // code 4: silver
             {"100", "99", "0 0"},               // anything else: black
         }) {
        Row row{"health bar " + health + " " + code, {}, {}};
        row.events = {{{ev_draw, 0}, bar(health, code)}};
        row.trace = {expected};
        row.steps = 2;
        rows.push_back(row);
    }
    RunDrawingRows(rows);
}

TEST(Actions, Particles) {
    RunRows({
        {"a burst from an emitter slot with a type slot",
         {Act("action_partemit_burst", {"0", "0", "5"}), Act("action_partsyst_create", {"-5"}),
          Act("action_parttype_create", {"3", "pt_shape_pixel", "-1", "1", "1", "0"}),
          Act("action_parttype_create_old", {"4", "pt_shape_disk", "1", "2", "c_red", "c_blue"}),
          Act("action_parttype_color", {"3", "1", "c_red", "c_blue", "1", "0"}),
          Act("action_parttype_life", {"3", "30", "30"}),
          Act("action_parttype_speed", {"3", "1", "2", "0", "360", "0"}),
          Act("action_parttype_gravity", {"3", "0.1", "270"}),
          Act("action_parttype_secondary", {"3", "4", "0", "4", "1"}),
          Act("action_partemit_create", {"2", "ps_shape_rectangle", "0", "10", "0", "10"}),
          Act("action_partemit_burst", {"2", "3", "20"}), Say("part_particles_count(0)"),
          Act("action_partemit_stream", {"2", "3", "1"}), Act("action_partsyst_clear"),
          Say("part_particles_count(0)"), Act("action_partemit_destroy", {"2"}),
          Act("action_partemit_stream", {"2", "3", "1"}), Act("action_partsyst_destroy"),
          Say("part_system_exists(0)")},
         {"20", "0", "0"},
         {"The particle emitter must first be created.",
          "The particle emitter must first be created."}},
        {"effects below and above",
         {Act("action_effect", {"ef_ring", "0", "0", "1", "c_white", "0"}),
          Act("action_effect", {"ef_ring", "0", "0", "1", "c_white", "1"}), Say("'ok'")},
         {"ok"}},
    });
}

TEST(Actions, ResourcesSoundAndFiles) {
    RunRows({
        {"replacing: a missing resource, then a missing file",
         {Act("action_replace_sprite", {"7", "'x.png'", "1"}),
          Act("action_replace_sprite", {"spr0", "'no such file.png'", "1"}),
          Act("action_replace_sound", {"0", "'x.wav'"}),
          Act("action_replace_background", {"0", "'x.png'"})},
         {},
         {"Trying to replace non-existing resource.", "File does not exist.",
          "Trying to replace non-existing resource.", "Trying to replace non-existing resource."}},
        {"sounds that do not exist",
         {Act("action_sound", {"0", "1"}), Act("action_end_sound", {"0", "0"})},
         {},
         {"Trying to play non-existing sound.", "Trying to stop non-existing sound."}},
        {"save, change, load: the saved score comes back",
         {Act("action_set_score", {"42"}), Act("action_save_game", {"temp_directory + '/a.sav'"}),
          Act("action_set_score", {"0"}), Act("action_load_game", {"temp_directory + '/a.sav'"}),
          Say("'not reached'")},
         {"42", "42"},
         {},
         false,
         {{{ev_step, 0}, {Say("score")}}},
         2},
        {"the CD actions without a drive",
         {Act("action_cd_play", {"1", "2"}), Act("action_cd_pause"), Act("action_cd_resume"),
          Act("action_cd_stop"), Not("action_cd_playing"), Say("'no cd'"), Not("action_cd_present"),
          Say("'no drive'")},
         {"no cd", "no drive"}},
    });
}

// One second of 16-bit mono silence as a WAV file.
std::vector<uint8_t> SilentWav() {
    const uint32_t rate = 8000, bytes = rate * 2;
    std::vector<uint8_t> w;
    auto text = [&](const char* t) { w.insert(w.end(), t, t + 4); };
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) w.push_back(uint8_t(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        w.push_back(uint8_t(v));
        w.push_back(uint8_t(v >> 8));
    };
    text("RIFF");
    u32(36 + bytes);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    text("data");
    u32(bytes);
    w.resize(w.size() + bytes, 0);
    return w;
}

TEST(Actions, CdWithADisc) {
    Row row{"cd",
            {Ask("action_cd_present"), Say("'present'"), Act("action_cd_play", {"1", "1"}),
             Ask("action_cd_playing"), Say("'playing'"), Act("action_cd_pause"),
             Not("action_cd_playing"), Say("'paused'"), Act("action_cd_resume"),
             Ask("action_cd_playing"), Say("'again'"), Act("action_cd_stop"),
             Not("action_cd_playing"), Say("'stopped'")},
            {"present", "playing", "paused", "again", "stopped"}};
    Check(row, RunGame(RowGame(row), 1, false, [](const ScratchDir& dir) {
              std::filesystem::create_directory(dir.path / "cdaudio");
              WriteBytes(dir.path / "cdaudio" / "track01.wav", SilentWav());
          }));
}

TEST(Actions, ReplacingKeepsSettingsAndSoundsPlay) {
    ScratchDir files;
    CBitmap32 strip(6, 2, 0xFF0000FF);
    WriteBytes(files.path / "strip.bmp", EncodeBmp(strip));
    WriteBytes(files.path / "beep.wav", SilentWav());
    const std::string bmp = "'" + files / "strip.bmp" + "'", wav = "'" + files / "beep.wav" + "'";
    Row row{"replace",
            {Code("sprite_set_offset(spr0, 3, 1); global.snd = sound_add(" + wav + ", 1, 0);"),
             Act("action_replace_sprite", {"spr0", bmp, "3"}),
             Say("string(sprite_get_number(spr0)) + ' ' + string(sprite_get_width(spr0)) + ' ' + "
                 "string(sprite_get_xoffset(spr0)) + ' ' + string(sprite_get_yoffset(spr0))"),
             Act("action_replace_sound", {"global.snd", wav}), Say("sound_get_kind(global.snd)"),
             Act("action_sound", {"global.snd", "1"}), Ask("action_if_sound", {"global.snd"}),
             Say("'playing'"), Act("action_end_sound", {"global.snd", "0"}),
             Not("action_if_sound", {"global.snd"}), Say("'stopped'")},
            {"3 2 3 1", "1", "playing", "stopped"}};
    Check(row, RunGame(RowGame(row), 1));
}

TEST(Actions, DialogsHeadless) {
    Row row{"message, question, highscores",
            {Act("action_message", {"'Hello#there'"}), Ask("action_if_question", {"'Sure?'"}),
             Say("'yes'"), Act("action_highscore_clear"), Act("action_set_score", {"250"}),
             Act("action_highscore_show", {"-1", "1", "c_red", "c_black", "'Arial,14'"}),
             Say("highscore_value(1)"), Act("action_highscore_clear"), Say("highscore_value(1)")},
            {"yes", "250", "0"}};
    const Outcome out = RunGame(RowGame(row), 1);
    Check(row, out);
    EXPECT_NE(out.out.find("[message] Hello\\nthere"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("[message] Sure?"), std::string::npos) << out.out;
}

TEST(Actions, SecureModeRefusesWebpages) {
    Row row{"webpage", {Act("action_webpage", {"'http://127.0.0.1/'"})}, {}};
    row.errors = {"In secure mode you cannot open webpages."};
    Check(row, RunGame(RowGame(row), 1, true));
}

// Each visit of a room counts; the Create event picks the next change by the count.
TEST(Actions, EveryRoomChange) {
    Row row{"rooms", {}, {}};
    Game g = RowGame(row);
    const auto on = [](int visit, CAction change) {
        return std::vector<CAction>{
            Question(Act("action_if", {"global.visits == " + std::to_string(visit)})), change};
    };
    Actions create = {Code("if (!variable_global_exists('visits')) global.visits = 0; "
                           "global.visits += 1;"),
                      Say("string(room) + ' ' + string(global.visits)")};
    for (const Actions& a :
         {on(1, Act("action_next_room", {"0"})), on(2, Act("action_previous_room", {"0"})),
          on(3, Act("action_current_room", {"0"})), on(4, Act("action_another_room", {"1", "0"})),
          on(5, Act("action_restart_game"))})
        create.insert(create.end(), a.begin(), a.end());
    g.objects.Get(0)->GetOrCreateEvent(ev_create, 0)->actions = create;
    g.rooms.Add(std::make_unique<CRoom>(), "room1");
    g.room_order.push_back(1);
    auto inst = std::make_unique<CInstance>();
    inst->id = ++g.last_instance_id;
    inst->object_index = 0;
    g.rooms.Get(1)->instances.push_back(std::move(inst));
    const Outcome out = RunGame(g, 8);
    // The restart clears the globals: the count starts again in the first room.
    ASSERT_GE(out.trace.size(), 6u) << ::testing::PrintToString(out.errors);
    EXPECT_EQ(Trace(out.trace.begin(), out.trace.begin() + 6),
              (Trace{"0 1", "1 2", "0 3", "0 4", "1 5", "0 1"}));
}

TEST(Actions, RoomChangesWithTransitions) {
    Row row{"rooms", {}, {}};
    Game g = RowGame(row);
    CObject& a = *g.objects.Get(0);
    a.GetOrCreateEvent(ev_create, 0)->actions = {
        Say("'room ' + string(room)"), Ask("action_if_next_room"), Act("action_next_room", {"3"})};
    // The transition is read while the room is left; the next room has one before it.
    a.GetOrCreateEvent(ev_other, ev_room_end)->actions = {Say("transition_kind")};
    a.GetOrCreateEvent(ev_step, 0)->actions = {Ask("action_if_previous_room"),
                                               Say("'has previous'"), Not("action_if_next_room"),
                                               Say("'last'")};
    g.rooms.Add(std::make_unique<CRoom>(), "room1");
    g.room_order.push_back(1);
    auto inst = std::make_unique<CInstance>();
    inst->id = ++g.last_instance_id;
    inst->object_index = 0;
    g.rooms.Get(1)->instances.push_back(std::move(inst));
    const Outcome out = RunGame(g, 1);
    EXPECT_EQ(out.trace, (Trace{"room 0", "3", "room 1", "has previous", "last", "0"}))
        << ::testing::PrintToString(out.errors);
}

}  // namespace
}  // namespace tb::test
