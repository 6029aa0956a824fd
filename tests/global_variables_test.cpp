// The game-wide built-in variables, read and written through script code with a running
// world attached, and the window caption built from them.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "resources/background.h"
#include "resources/room.h"
#include "script/interpreter.h"
#include "script_harness.h"
#include "system/date_time.h"
#include "world/caption.h"
#include "world/world.h"

namespace tb {
namespace {

using test::IsReal;
using test::IsText;
using test::RunResult;

// A world whose current room is slot 0 of three rooms, with two instances in it.
struct GlobalsTest : test::FunctionTest {
    World world{w.game, w.engine};
    CRoom* room = nullptr;
    int object = -1;

    GlobalsTest() {
        for (int i = 0; i < 3; ++i)
            w.game.rooms.Add(std::make_unique<CRoom>(), "r" + std::to_string(i));
        w.game.room_order = {2, 0, 1};
        w.game.game_id = 4321;
        auto back = std::make_unique<CBackground>();
        back->Width = 48;
        back->Height = 20;
        w.game.backgrounds.Add(std::move(back), "b0");
        object = w.AddObject("obj");
        world.rooms.push_back(std::make_unique<CRoom>());
        world.room = 0;
        room = world.Room();
        w.engine.room = room;
        for (int i = 0; i < 2; ++i)
            room->AddInstance(w.game.objects, w.game.last_instance_id, object, 0, 0);
    }

    RunResult Fails(std::string_view code) {
        RunResult r = w.Run(code);
        EXPECT_FALSE(r.ok) << code;
        return r;
    }
};

struct Case {
    const char* code;
    RValue expected;
};

RValue R(double v) {
    return RValue::Real(v);
}
RValue S(const char* s) {
    return RValue::String(RString(s));
}

TEST_F(GlobalsTest, ReadsAndWrites) {
    const Case cases[] = {
        // stored rounded, halves to even; health keeps the real
        {"score = 2.5; return score", R(2)},
        {"score = 3.5; return score", R(4)},
        {"score = '12'; return score", R(0)},  // a string is read as its real field
        {"health = 0.5; return health", R(0.5)},
        {"lives = 3.2; return lives", R(3)},
        {"transition_kind = 2.6; return transition_kind", R(3)},
        {"transition_steps = 10; return transition_steps", R(10)},
        {"cursor_sprite = 4; return cursor_sprite", R(4)},
        // flags: whether the rounded value is above 0.5
        {"show_lives = 0.5; return show_lives", R(0)},
        {"show_lives = 0.6; return show_lives", R(1)},
        {"show_health = -3; return show_health", R(0)},
        {"caption_lives = 'L: '; return caption_lives", S("L: ")},
        // the global variables ignore the instance
        {"other.score = 9; return self.score", R(9)},
        // arrays clamp their index to element 0
        {"argument0 = 'a'; return argument[20]", S("a")},
        {"view_xview[0] = 12; return view_xview[9]", R(12)},
        {"view_xview[2] = 7.6; return view_xview[2]", R(8)},
        {"view_angle[1] = 7.5; return view_angle[1]", R(7.5)},
        {"view_visible[7] = 1; return view_visible[7] * 10 + view_visible[0]", R(10)},
        {"view_object[3] = 5; return view_object[3]", R(5)},
        {"background_x[-1] = 5; return background_x[0]", R(5)},
        {"background_visible[3] = 1; return background_visible[3] * 10 + background_visible[0]",
         R(10)},
        {"background_alpha[2] = 0.25; return background_alpha[2]", R(0.25)},
        {"background_blend[1] = 255.4; return background_blend[1]", R(255)},
        {"return background_htiled[4]", R(1)},
        {"background_index[1] = 0; return background_width[1] * 100 + background_height[1]",
         R(4820)},
        {"return background_width[2]", R(0)},  // index -1: no resource
        {"background_index[2] = 7; return background_height[2]", R(0)},
        // room fields
        {"return room_width * 1000 + room_height", R(640480)},
        {"room_caption = 'Level'; return room_caption", S("Level")},
        {"room_speed = 59.6; return room_speed", R(60)},
        {"room_persistent = 1; return room_persistent", R(1)},
        {"background_color = 255; return background_color", R(255)},
        {"background_showcolor = 0; return background_showcolor", R(0)},
        {"view_enabled = 1; return view_enabled", R(1)},
        {"return room", R(0)},
        {"return room_first * 10 + room_last", R(21)},
        {"return game_id", R(4321)},
        // instances of the room
        {"return instance_count", R(2)},
        {"return instance_id[1] - instance_id[0]", R(1)},
        {"return instance_id[instance_count]", R(-4)},
        {"return instance_id[-1]", R(-4)},
        // input: only the valid range is taken
        {"keyboard_key = 65; keyboard_key = 300; return keyboard_key", R(65)},
        {"keyboard_lastkey = 0; return keyboard_lastkey", R(0)},
        {"mouse_lastbutton = 2; mouse_lastbutton = 0; return mouse_lastbutton", R(2)},
        {"mouse_button = 3; mouse_button = 4; return mouse_button", R(3)},
        {"keyboard_lastchar = 'xyz'; keyboard_lastchar = ''; return keyboard_lastchar", S("x")},
        {"keyboard_string = 'typed'; return keyboard_string", S("typed")},
        // errors
        {"error_occurred = 0.5; return error_occurred", R(1)},
        {"error_occurred = 0.4; return error_occurred", R(0)},
        {"error_last = 'oops'; return error_last", S("oops")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.code), c.expected) << c.code;
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(room->views[0].XView, 12);
    EXPECT_EQ(room->backgrounds[0].X, 5);
    EXPECT_EQ(room->Caption, "Level");
    EXPECT_EQ(world.input.keyboard_string, "typed");
}

TEST_F(GlobalsTest, ReadOnlyVariablesRefuseWrites) {
    for (const char* name :
         {"room_width", "room_first", "instance_count", "instance_id", "fps", "current_time",
          "game_id", "mouse_x", "event_type", "secure_mode", "background_width", "view_current",
          "argument_relative", "working_directory"}) {
        RunResult r = Fails(std::string(name) + " = 1");
        EXPECT_EQ(r.text, "Cannot assign to the variable") << name;
    }
    EXPECT_EQ(room->Width, 640);
}

TEST_F(GlobalsTest, RoomSpeedOfZeroOrLessIsRefused) {
    for (const char* code : {"room_speed = 0", "room_speed = -5", "room_speed = 0.5"}) {
        errors.clear();
        RunResult r = Fails(code);
        EXPECT_EQ(r.text, "Cannot assign to the variable") << code;
        EXPECT_EQ(errors, std::vector<std::string>{"Trying to set the room speed to a value <= 0."})
            << code;
    }
    EXPECT_EQ(room->Speed, 30);
}

TEST_F(GlobalsTest, RoomAsksForAChangeAtTheEndOfTheStep) {
    Run("room = 2; x = room");
    EXPECT_EQ(world.pending_change, 2);
    EXPECT_EQ(world.room, 0);  // not yet carried out
    errors.clear();
    w.Run("room = 3");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Unexisting room number: 3");
    EXPECT_EQ(world.pending_change, 2);
}

TEST_F(GlobalsTest, ShowScoreRemembersTheGameWroteIt) {
    EXPECT_FALSE(world.show_score_set);
    Run("show_score = show_score");
    EXPECT_TRUE(world.show_score_set);
    EXPECT_TRUE(world.show_score);
}

TEST_F(GlobalsTest, EventContextAndModes) {
    w.engine.event = EventContext{3, 7, 6, 2};
    EXPECT_EQ(Run("return event_type * 1000 + event_number * 100 + event_object * 10 + "
                  "event_action"),
              R(7000 + 600 + 30 + 2));
    EXPECT_EQ(Run("return secure_mode"), R(0));
    w.engine.files.secure_mode = true;
    EXPECT_EQ(Run("return secure_mode"), R(1));
    w.engine.files.temp_dir = "/tmp/run_dir";
    EXPECT_EQ(Run("return temp_directory"), S("/tmp/run_dir"));
    world.argument_relative = true;
    world.fps = 28;
    world.view_current = 3;
    EXPECT_EQ(Run("return argument_relative * 100 + fps + view_current * 1000"), R(3128));
    world.input.mouse_x = 10.6;
    world.input.mouse_y = -2.2;
    EXPECT_EQ(Run("return mouse_x * 100 + mouse_y"), R(1098));
}

TEST_F(GlobalsTest, DirectoriesAndClock) {
    EXPECT_EQ(Run("return working_directory"), S(std::filesystem::current_path().string().c_str()));
    const std::string program = Run("return program_directory").text.str();
    ASSERT_FALSE(program.empty());
    EXPECT_NE(program.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(program));

    const double t0 = Run("return current_time").real;
    const double t1 = Run("return current_time").real;
    EXPECT_GT(t0, 0);
    EXPECT_GE(t1, t0);
    EXPECT_LT(t1 - t0, 1000);

    const DatePoint now = LocalNow();
    const CivilDate date = CivilFromDays(now.day);
    // Read twice, in case the day turned in between.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const RValue year = Run("return current_year"), month = Run("return current_month"),
                     day = Run("return current_day"), weekday = Run("return current_weekday");
        if (day.real != date.day && attempt == 0) continue;
        EXPECT_EQ(year, R(double(date.year)));
        EXPECT_EQ(month, R(date.month));
        EXPECT_EQ(day, R(date.day));
        EXPECT_EQ(weekday, R(Weekday(now.day)));
        break;
    }
    const double hour = Run("return current_hour").real, minute = Run("return current_minute").real,
                 second = Run("return current_second").real;
    EXPECT_TRUE(hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60);
}

TEST(GlobalsWithoutWorld, ReadZeroAndRefuseWrites) {
    test::ScriptWorld w;
    EXPECT_TRUE(IsReal(w.Eval("score + lives + health").result, 0));
    EXPECT_TRUE(IsText(w.Eval("caption_score").result, ""));
    RunResult r = w.Run("score = 1");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "Cannot assign to the variable");
    // The argument slots and the room's own fields need no world.
    EXPECT_TRUE(w.Run("argument3 = 4; view_yview[1] = 2").ok);
    EXPECT_TRUE(IsReal(w.Eval("argument[3] + view_yview[1]").result, 6));
}

// A variable's id is its position: the global ones follow each other in the table's order.
TEST(GlobalsTable, IdsInTableOrder) {
    ScriptEngine e;
    const char* names[] = {"argument_relative",
                           "argument",
                           "argument0",
                           "argument15",
                           "room",
                           "room_first",
                           "room_last",
                           "transition_kind",
                           "transition_steps",
                           "score",
                           "lives",
                           "health",
                           "game_id",
                           "working_directory",
                           "temp_directory",
                           "program_directory",
                           "instance_count",
                           "instance_id",
                           "room_width",
                           "room_height",
                           "room_caption",
                           "room_speed",
                           "room_persistent",
                           "background_color",
                           "background_showcolor",
                           "background_visible",
                           "background_foreground",
                           "background_htiled",
                           "background_vtiled",
                           "background_index",
                           "background_blend",
                           "background_x",
                           "background_y",
                           "background_xscale",
                           "background_yscale",
                           "background_hspeed",
                           "background_vspeed",
                           "background_alpha",
                           "background_width",
                           "background_height",
                           "view_enabled",
                           "view_current",
                           "view_visible",
                           "view_xview",
                           "view_yview",
                           "view_wview",
                           "view_hview",
                           "view_xport",
                           "view_yport",
                           "view_wport",
                           "view_hport",
                           "view_hborder",
                           "view_vborder",
                           "view_hspeed",
                           "view_vspeed",
                           "view_object",
                           "view_angle",
                           "mouse_x",
                           "mouse_y",
                           "mouse_button",
                           "mouse_lastbutton",
                           "keyboard_key",
                           "keyboard_lastkey",
                           "keyboard_lastchar",
                           "keyboard_string",
                           "cursor_sprite",
                           "show_score",
                           "show_lives",
                           "show_health",
                           "caption_score",
                           "caption_lives",
                           "caption_health",
                           "fps",
                           "current_time",
                           "current_year",
                           "current_month",
                           "current_day",
                           "current_weekday",
                           "current_hour",
                           "current_minute",
                           "current_second",
                           "event_type",
                           "event_number",
                           "event_object",
                           "event_action",
                           "secure_mode",
                           "error_occurred",
                           "error_last"};
    int32_t previous = -1;
    for (const char* name : names) {
        const int32_t id = e.builtin_variables.Find(name);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(id, std::string_view(name) == "argument15" ? previous + 15 : previous + 1)
            << name;
        previous = id;
    }
    EXPECT_EQ(previous, e.builtin_variables.Count() - 1);  // the global ones come last
}

TEST(WindowCaption, ShowsWhatTheGameAsksFor) {
    Game game;
    ScriptEngine engine;
    World w(game, engine);
    struct CaptionCase {
        int score;
        bool show_score_set, show_lives, show_health;
        double health;
        const char* expected;
    };
    const CaptionCase cases[] = {
        {0, false, false, false, 100, "Room"},           // score 0 never written: hidden
        {5, false, false, false, 100, "Room Score: 5"},  // scored: shown
        {0, true, false, false, 100, "Room Score: 0"},   // written: shown
        {-2, true, true, false, 100, "Room Score: -2 Lives: -1"},
        {0, false, false, true, 72.5, "Room Health: 72"},  // rounded, halves to even
        {0, false, true, true, 73.5, "Room Lives: -1 Health: 74"},
    };
    for (const CaptionCase& c : cases) {
        w.score = c.score;
        w.show_score_set = c.show_score_set;
        w.show_lives = c.show_lives;
        w.show_health = c.show_health;
        w.health = c.health;
        EXPECT_EQ(WindowCaption(w, "Room"), c.expected);
    }
    w.show_score = false;
    w.score = 9;
    EXPECT_EQ(WindowCaption(w, ""), "");
}

}  // namespace
}  // namespace tb
