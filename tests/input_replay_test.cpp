// Input through whole headless runs: replay files drive the keyboard, mouse and close button
// events, the runner keys and the typed text; a recorded run replays to the same trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "graphics/graphics.h"
#include "harness.h"
#include "platform/sdl_input.h"
#include "resources/object.h"
#include "resources/room.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "runner/runner.h"
#include "world/input.h"
#include "world/replay.h"
#include "world/world.h"

namespace tb {
namespace {

using Trace = std::vector<std::string>;

CObject& AddObject(Game& g, const std::string& name, int sprite = -1) {
    auto obj = std::make_unique<CObject>();
    obj->SpriteIndex = sprite;
    g.objects.Add(std::move(obj), name);
    return *g.objects.Get(g.objects.Count() - 1);
}

void On(CObject& obj, int kind, int number, const std::string& code) {
    obj.GetOrCreateEvent(kind, number)->AddCodeAction(code);
}

// Prints the text with the number of the step.
std::string Say(const std::string& text) {
    return "show_debug_message('" + text + " ' + string(global.step));";
}

void Place(Game& g, int object, double x, double y) {
    auto inst = std::make_unique<CInstance>();
    inst->id = ++g.last_instance_id;
    inst->object_index = object;
    inst->x = inst->xstart = x;
    inst->y = inst->ystart = y;
    g.rooms.Get(0)->instances.push_back(std::move(inst));
}

// A game whose object 0 counts the steps in global.step (its begin step runs first).
Game NewGame() {
    Game g = test::MinimalGame();
    g.last_instance_id = 100000;
    CObject& clock = AddObject(g, "clock");
    On(clock, ev_create, 0, "global.step = 0;");
    On(clock, ev_step, ev_step_begin, "global.step += 1;");
    Place(g, 0, 0, 0);
    return g;
}

struct Outcome {
    Trace trace;
    Trace errors;
};

// Runs the game headless for `steps` steps with the replay, through the platform's input
// stages. `graphics`, when given, is the drawing state the mouse is mapped with.
Outcome Replay(const Game& g, const std::vector<std::string>& lines, int64_t steps,
               Graphics* graphics = nullptr) {
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    std::string text = std::string(kReplayHeader) + "\n";
    for (const std::string& l : lines) text += l + "\n";
    test::WriteText(dir.path / "input.txt", text);
    RunnerOptions options;
    options.headless = true;
    options.steps = steps;
    options.game_path = dir / "g.bin";
    options.replay_file = dir / "input.txt";
    Outcome out;
    RunnerHost host;
    host.script.debug_message = [&](std::string_view t) { out.trace.emplace_back(t); };
    host.script.show_error = [&](std::string_view t, bool) {
        out.errors.emplace_back(t);
        return ErrorChoice::kIgnore;
    };
    InputOptions input;
    std::string error;
    EXPECT_TRUE(PrepareInputOptions(options, input, error)) << error;
    SdlInput sdl(true);
    RunnerStages stages;
    if (graphics)
        stages.attach_world = [graphics](Runner& r, World&) { r.engine.graphics = graphics; };
    AddInputStages(stages, sdl, std::move(input));
    Runner runner(options, host, stages);
    EXPECT_TRUE(runner.StartRunner());
    runner.Shutdown();
    runner.engine.graphics = nullptr;
    return out;
}

TEST(InputRuns, KeyboardEventsPerKeyClass) {
    Game g = NewGame();
    CObject& k = AddObject(g, "keys");
    On(k, ev_keyboard, 'A', Say("kb A"));
    On(k, ev_keyboard, 0, Say("none"));
    On(k, ev_keyboard, 1, Say("any"));
    On(k, ev_keypress, 'A', Say("press A"));
    On(k, ev_keypress, 1, Say("press any"));
    On(k, ev_keyrelease, 'A', Say("release A"));
    On(k, ev_keyrelease, 1, Say("release any"));
    On(k, ev_step, ev_step_normal,
       "if (keyboard_check_pressed(186)) " + Say("pressed 186") +
           "if (keyboard_check_direct(vk_lshift)) " + Say("left shift"));
    Place(g, 1, 0, 0);
    const Outcome r = Replay(g,
                             {
                                 "1 1 0 down 65", "3 1 0 up 65",
                                 "4 1 0 down 66",  // down and up between two steps
                                 "4 1 0 up 66",
                                 "5 1 0 down 186",  // no event above 128, but it is a key
                                 "5 1 0 down 160",  // the game sees shift
                             },
                             6);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace,
              (Trace{"none 1", "kb A 2", "any 2", "press A 2", "press any 2", "kb A 3", "any 3",
                     "none 4", "release A 4", "release any 4", "any 5", "press any 5",
                     "release any 5", "any 6", "press any 6", "pressed 186 6", "left shift 6"}));
}

TEST(InputRuns, TypedTextAndTheKeyMap) {
    Game g = NewGame();
    CObject& t = AddObject(g, "typist");
    On(t, ev_step, ev_step_normal,
       "if (global.step == 1) keyboard_set_map(ord('Q'), vk_left);"
       "if (global.step == 2) { show_debug_message(keyboard_string + '|' + keyboard_lastchar);"
       "  keyboard_string = 'abc'; }"
       "if (global.step == 3) show_debug_message(keyboard_string + '|' + "
       "  string(keyboard_lastkey) + '|' + string(keyboard_check(vk_left)) + "
       "  string(keyboard_check_direct(ord('Q'))));");
    Place(g, 1, 0, 0);
    const Outcome r = Replay(g,
                             {
                                 "1 1 0 char 104",
                                 "1 1 0 char 101",
                                 "1 1 0 char 108",
                                 "1 1 0 char 120",
                                 "1 1 0 char 8",
                                 "1 1 0 char 112",
                                 "2 1 0 down 81",
                                 "2 1 0 char 32",
                                 "2 1 0 char 100",
                             },
                             3);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"help|p", "abc d|37|11"}));
}

TEST(InputRuns, MouseEventsUnderInstancesThroughTheViews) {
    Game g = NewGame();
    auto sprite = std::make_unique<CSprite>();
    sprite->Width = sprite->Height = 10;
    sprite->BBoxMode = 2;
    sprite->BBoxRight = sprite->BBoxBottom = 9;
    sprite->frames = {CBitmap32(10, 10, 0xFFFFFFFF)};
    sprite->BuildMasks();
    g.sprites.Add(std::move(sprite), "spr");
    CRoom& room = *g.rooms.Get(0);
    room.Width = room.Height = 400;
    room.ViewsEnabled = true;
    CView& v = room.views[0];
    v.Visible = true;
    v.XView = v.YView = 100;
    v.WView = v.HView = 50;
    v.XPort = v.YPort = 0;
    v.WPort = v.HPort = 100;
    CObject& button = AddObject(g, "button", 0);
    On(button, ev_mouse, ev_left_button, Say("held"));
    On(button, ev_mouse, ev_left_press, Say("press"));
    On(button, ev_mouse, ev_left_release, Say("release"));
    On(button, ev_mouse, ev_mouse_enter,
       Say("enter") + "show_debug_message(string(mouse_x) + ',' + string(mouse_y));");
    On(button, ev_mouse, ev_mouse_leave, Say("leave"));
    CObject& far = AddObject(g, "far", 0);
    On(far, ev_mouse, ev_left_press, Say("far press"));
    On(far, ev_mouse, ev_global_left_press, Say("global press"));
    On(far, ev_mouse, ev_global_release, Say("global release"));
    On(far, ev_mouse, ev_mouse_wheel_up, Say("wheel up"));
    On(far, ev_mouse, ev_mouse_wheel_down, Say("wheel down"));
    Place(g, 1, 105, 115);
    Place(g, 2, 20, 40);  // where the region position would be without the view

    // The view slot the room drawing fills from view 0: region (20, 40) is room (110, 120).
    Graphics graphics;
    graphics.window.SetViewSlot(0, 0, 100, 100, 50, 50, 0, 0, 100, 100);
    const Outcome r = Replay(g,
                             {
                                 "1 1 0 mouse 20 40",
                                 "2 1 0 press 1",
                                 "3 1 0 release 1",
                                 "4 1 0 mouse 90 90",
                                 "4 1 0 wheel up",
                                 "4 1 0 wheel down",
                             },
                             5, &graphics);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace,
              (Trace{"enter 2", "110,120", "held 3", "press 3", "global press 3", "release 4",
                     "global release 4", "leave 5", "wheel up 5", "wheel down 5"}));
}

TEST(InputRuns, TheCloseButton) {
    struct Case {
        bool close_as_esc, key_esc;
        Trace trace;
    } cases[] = {
        // As Esc, which ends the game in the next step's runner keys, before its begin step.
        {true, true, {"game end 1"}},
        // As Esc without the Esc key: the game sees Esc held (never pressed).
        {true, false, {"esc held 2", "esc held 3", "game end 3"}},
        // Its own event, at once (in the frame wait of step 1).
        {false, true, {"close 1", "game end 3"}},
    };
    for (const Case& c : cases) {
        Game g = NewGame();
        g.settings.CloseAsEsc = c.close_as_esc;
        g.settings.KeyEsc = c.key_esc;
        CObject& o = AddObject(g, "o");
        On(o, ev_other, ev_close_button, Say("close"));
        On(o, ev_keyboard, kKeyEscape, Say("esc held"));
        On(o, ev_keypress, kKeyEscape, Say("esc pressed"));
        On(o, ev_other, ev_game_end, Say("game end"));
        Place(g, 1, 0, 0);
        const Outcome r = Replay(g, {"1 1 0 close"}, 3);
        EXPECT_EQ(r.trace, c.trace) << c.close_as_esc << c.key_esc;
    }
}

TEST(InputRuns, LosingTheFocusFreezesTheGameWhenItSaysSo) {
    for (bool freeze : {true, false}) {
        Game g = NewGame();
        g.settings.FreezeOnLoseFocus = freeze;
        CObject& o = AddObject(g, "o");
        On(o, ev_step, ev_step_normal, Say("s"));
        Place(g, 1, 0, 0);
        const Outcome r = Replay(g, {"2 1 0 focus 0", "4 1 0 focus 1"}, 6);
        // Frozen steps do nothing at all, not even count.
        const Trace expected = freeze ? Trace{"s 1", "s 2", "s 3", "s 4"}
                                      : Trace{"s 1", "s 2", "s 3", "s 4", "s 5", "s 6"};
        EXPECT_EQ(r.trace, expected);
    }
}

TEST(InputRuns, RunnerKeysComeFirstAndOnlyWithTheirSettings) {
    Game g = NewGame();
    g.settings.KeyF1 = false;
    CObject& o = AddObject(g, "o");
    On(o, ev_step, ev_step_begin, Say("last key ' + string(keyboard_lastkey) + '"));
    On(o, ev_keypress, kKeyEscape, Say("esc pressed"));
    On(o, ev_other, ev_game_end, Say("game end"));
    Place(g, 1, 0, 0);
    const Outcome r = Replay(g, {"1 1 0 down 112", "2 1 0 down 27"}, 5);
    // F1 is not taken and stays the last key; Esc is taken before any event of its step.
    EXPECT_EQ(r.trace, (Trace{"last key 0 1", "last key 112 2", "game end 2"}));
}

}  // namespace
}  // namespace tb

namespace tb {
namespace {

// --- through the runner program

test::ProcessResult RunGame(const test::ScratchDir& dir, const Game& g,
                            std::vector<std::string> args) {
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    args.insert(args.begin(), "--headless");
    args.push_back("g.bin");
    return test::RunTamberlo(args, dir.path);
}

TEST(InputProgram, ARecordedRunReplaysTheSame) {
    Game g = NewGame();
    CObject& p = AddObject(g, "player");
    // The game presses and releases keys itself, at random.
    On(p, ev_step, ev_step_normal,
       "if (floor(random(3)) == 0) keyboard_key_press(ord('A') + floor(random(4)));"
       "if (floor(random(4)) == 0) keyboard_key_release(ord('A') + floor(random(4)));"
       "if (global.step == 20) io_handle();"
       "s = string(global.step) + ':';"
       "for (k = ord('A'); k <= ord('D'); k += 1)"
       "  s += string(keyboard_check(k)) + string(keyboard_check_pressed(k));"
       "show_debug_message(s + ' ' + keyboard_string + ' ' + string(random(1)));");
    On(p, ev_keypress, 'B', "show_debug_message('B pressed');");
    // The frame shows where the keys have moved a box to.
    On(p, ev_create, 0, "px = 0;");
    On(p, ev_step, ev_step_end,
       "px += keyboard_check(ord('A')) - keyboard_check(ord('D')) * 2 + string_length("
       "keyboard_string) mod 3;");
    On(p, ev_draw, 0,
       "draw_clear(c_black); draw_set_color(c_white);"
       "draw_rectangle(40 + px, 10, 50 + px, 20, false);");
    Place(g, 1, 0, 0);
    g.rooms.Get(0)->Width = 160;
    g.rooms.Get(0)->Height = 40;
    test::ScratchDir dir;
    const test::ProcessResult recorded =
        RunGame(dir, g, {"--seed", "7", "--steps", "40", "--record", "rec.txt", "--frames", "rec"});
    ASSERT_EQ(recorded.exit_code, 0) << recorded.err;
    const std::string recording = test::ReadText(dir.path / "rec.txt");
    EXPECT_EQ(recording.rfind(std::string(kReplayHeader) + "\n", 0), 0u);
    EXPECT_NE(recording.find(" down "), std::string::npos);
    EXPECT_NE(recording.find(" char "), std::string::npos);
    EXPECT_NE(recorded.out.find("B pressed"), std::string::npos);

    const test::ProcessResult replayed = RunGame(
        dir, g, {"--seed", "7", "--steps", "40", "--replay", "rec.txt", "--frames", "play"});
    ASSERT_EQ(replayed.exit_code, 0) << replayed.err;
    EXPECT_EQ(replayed.out, recorded.out);
    const std::string last = "frame_000040.png";
    ASSERT_TRUE(std::filesystem::exists(dir.path / "rec" / last));
    EXPECT_EQ(test::ReadText(dir.path / "play" / last), test::ReadText(dir.path / "rec" / last));
    // Without the recording the game goes another way (the box moves less).
    const test::ProcessResult alone =
        RunGame(dir, g, {"--seed", "8", "--steps", "40", "--frames", "alone"});
    EXPECT_NE(test::ReadText(dir.path / "alone" / last), test::ReadText(dir.path / "rec" / last));
    // Recording the replay gives the recording again.
    const test::ProcessResult again = RunGame(
        dir, g, {"--seed", "7", "--steps", "40", "--replay", "rec.txt", "--record", "again.txt"});
    EXPECT_EQ(again.out, recorded.out);
    EXPECT_EQ(test::ReadText(dir.path / "again.txt"), recording);
}

TEST(InputProgram, F5SavesAndF6LoadsAtOnce) {
    Game g = NewGame();
    g.game_id = 777;
    CObject& p = AddObject(g, "p");
    On(p, ev_create, 0, "global.v = 0;");
    On(p, ev_step, ev_step_normal,
       "show_debug_message('v ' + string(global.v) + ' ' + string(global.step)); global.v += 1;");
    Place(g, 1, 0, 0);
    test::ScratchDir dir;
    test::WriteText(dir.path / "input.txt",
                    std::string(kReplayHeader) + "\n1 1 0 down 116\n3 1 0 down 117\n");
    const test::ProcessResult r = RunGame(dir, g, {"--steps", "5", "--replay", "input.txt"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "v 0 1\nv 1 2\nv 2 3\nv 1 2\nv 2 3\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path / "_save777.sav"));
}

TEST(InputProgram, BadRecordingOptionsStopBeforeTheGame) {
    test::ScratchDir dir;
    test::WriteText(dir.path / "bad.txt", std::string(kReplayHeader) + "\n0 0 1 oops\n");
    Game g = NewGame();
    On(*g.objects.Get(0), ev_create, 0, "show_debug_message('ran');");
    test::ProcessResult r = RunGame(dir, g, {"--replay", "bad.txt"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, "tamberlo: replay file bad.txt, line 2: unknown event \"oops\"\n");
    EXPECT_EQ(r.out, "");
    r = RunGame(dir, g, {"--record", (dir.path / "no" / "such" / "rec.txt").string()});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, "tamberlo: cannot write the recording " +
                         (dir.path / "no" / "such" / "rec.txt").string() + "\n");
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace tb
