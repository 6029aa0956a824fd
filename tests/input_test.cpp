// The window's input handlers, the input functions and the runner keys, on a world without a
// running loop.
#include "world/input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/screen_files.h"
#include "harness.h"
#include "runner/game.h"
#include "script_harness.h"
#include "world/input_system.h"
#include "world/world.h"

namespace tb {
namespace {

using test::IsReal;
using test::IsText;

struct InputTest : test::FunctionTest {
    World world{w.game, w.engine};
    InputState& in = world.input;

    void Apply(InputEventKind kind, int32_t code = 0) {
        InputEvent e;
        e.kind = kind;
        e.code = code;
        ResolveInputEvent(world, e);
        ApplyInputEvent(world, e);
    }
    void Down(int32_t key) { Apply(InputEventKind::KeyDown, key); }
    void Up(int32_t key) { Apply(InputEventKind::KeyUp, key); }
    void Type(const std::string& s) {
        for (char c : s) CharTyped(world, uint8_t(c));
    }
    double Real(const std::string& code) { return Run(code).real; }
};

TEST_F(InputTest, KeysAcrossStepsWithAutoRepeat) {
    Down(65);
    EXPECT_TRUE(in.key_pressed[65] && in.key_held[65]);
    Down(65);  // auto-repeat within the same step
    in.ClearStep();
    Down(65);  // and in the next: still held, no new press
    EXPECT_FALSE(in.key_pressed[65]);
    EXPECT_TRUE(in.key_held[65]);
    EXPECT_EQ(in.keyboard_key, 65);
    // Pressed and released between two steps: the next step sees both, and no hold.
    Down(66);
    Up(66);
    EXPECT_TRUE(in.key_pressed[66] && in.key_released[66]);
    EXPECT_FALSE(in.key_held[66]);
    EXPECT_EQ(in.keyboard_key, 0);
    EXPECT_EQ(in.keyboard_lastkey, 66);
    // Releasing another key than the current one keeps the current one.
    Down(67);
    Down(68);
    Up(67);
    EXPECT_EQ(in.keyboard_key, 68);
    Up(68);
    EXPECT_EQ(in.keyboard_key, 0);
    EXPECT_EQ(in.keyboard_lastkey, 68);
}

TEST_F(InputTest, TheKeyMapAppliesToTheRecordedKeyOnly) {
    SetKeyMap(in, 65, 37);
    SetKeyMap(in, 66, 300);  // a target outside 0 .. 255 drops the key
    SetKeyMap(in, 400, 1);   // ignored
    Down(65);
    Down(66);
    EXPECT_TRUE(in.key_held[37]);
    EXPECT_FALSE(in.key_held[65]);
    EXPECT_EQ(in.keyboard_lastkey, 37);
    EXPECT_TRUE(CheckKeyDirect(in, 65));
    EXPECT_FALSE(CheckKeyDirect(in, 37));
    EXPECT_TRUE(CheckKeyDirect(in, 66));
    EXPECT_EQ(KeyMapOf(in, 66), 300);
    EXPECT_EQ(KeyMapOf(in, 400), 400);
    EXPECT_EQ(KeyMapOf(in, -3), -3);
    ClearAll(world);  // leaves the map alone
    EXPECT_EQ(KeyMapOf(in, 65), 37);
    Up(65);
    EXPECT_TRUE(in.key_released[37]);
    ResetKeyMap(in);
    EXPECT_EQ(KeyMapOf(in, 65), 65);
}

TEST_F(InputTest, ModifierSidesAndMouseButtonsForTheDirectCheck) {
    Down(161);  // right shift: the game sees shift
    EXPECT_TRUE(in.key_held[16]);
    EXPECT_FALSE(in.key_held[161]);
    EXPECT_TRUE(CheckKeyDirect(in, 16) && CheckKeyDirect(in, 161));
    EXPECT_FALSE(CheckKeyDirect(in, 160));
    Apply(InputEventKind::MouseDown, 3);
    EXPECT_TRUE(CheckKeyDirect(in, 4));
    Apply(InputEventKind::MouseUp, 3);
    EXPECT_FALSE(CheckKeyDirect(in, 4));
    for (int32_t key : {-1, 256}) EXPECT_FALSE(CheckKeyDirect(in, key));
}

TEST_F(InputTest, KeyboardStringKeepsTheLast1024PlusOne) {
    std::string typed;
    for (int i = 0; i < 1100; ++i) typed += char('a' + i % 26);
    Type(typed);
    EXPECT_EQ(in.keyboard_string, typed.substr(1100 - 1025));
    // Backspace trims first, then removes one.
    CharTyped(world, kKeyBackspace);
    EXPECT_EQ(in.keyboard_string, typed.substr(1100 - 1024, 1023));
    EXPECT_EQ(in.keyboard_lastchar, "\b");
}

TEST_F(InputTest, TypedCharacters) {
    struct Case {
        std::string before;
        int32_t c;
        std::string after;
        std::string lastchar;
    } cases[] = {
        {"ab", 'c', "abc", "c"},  {"ab", kKeyBackspace, "a", "\b"}, {"", kKeyBackspace, "", "\b"},
        {"ab", 13, "ab", "\r"},  // control characters are not kept
        {"ab", 31, "ab", "\x1f"}, {"ab", 32, "ab ", " "},           {"ab", 0xE9, "ab\xE9", "\xE9"},
    };
    for (const Case& c : cases) {
        in.keyboard_string = c.before;
        CharTyped(world, c.c);
        EXPECT_EQ(in.keyboard_string, c.after) << c.c;
        EXPECT_EQ(in.keyboard_lastchar, c.lastchar) << c.c;
    }
}

TEST_F(InputTest, MouseButtons) {
    Apply(InputEventKind::MouseDown, 1);
    Apply(InputEventKind::MouseDown, 2);
    EXPECT_EQ(in.mouse_button, 2);
    Apply(InputEventKind::MouseUp, 1);  // any release leaves no current button
    EXPECT_EQ(in.mouse_button, 0);
    EXPECT_EQ(in.mouse_lastbutton, 2);
    EXPECT_TRUE(in.mouse_held[2]);
    EXPECT_TRUE(in.mouse_released[1] && in.mouse_pressed[1]);
    Apply(InputEventKind::MouseDown, 4);  // no such button
    EXPECT_EQ(in.mouse_lastbutton, 2);
    Apply(InputEventKind::WheelDown);
    EXPECT_TRUE(in.wheel_down && !in.wheel_up);
    in.ClearStep();
    EXPECT_FALSE(in.wheel_down || in.mouse_pressed[1] || in.mouse_released[1]);
    EXPECT_TRUE(in.mouse_held[2]);
}

TEST_F(InputTest, ClearAllKeepsTheMapTheCursorAndThePhysicalKeys) {
    Down(65);
    Type("xy");
    Apply(InputEventKind::MouseDown, 1);
    in.mouse_region_x = in.mouse_x = 40;
    Apply(InputEventKind::WheelUp);
    ClearAll(world);
    EXPECT_EQ(in.keyboard_string, "");
    EXPECT_EQ(in.keyboard_lastchar, "");
    EXPECT_EQ(in.keyboard_key + in.keyboard_lastkey + in.mouse_button + in.mouse_lastbutton, 0);
    EXPECT_FALSE(in.key_held[65] || in.key_pressed[65] || in.mouse_held[1] || in.wheel_up);
    EXPECT_EQ(in.mouse_x, 40);
    EXPECT_TRUE(CheckKeyDirect(in, 65));
}

TEST_F(InputTest, TheGameInformationAndSplashesTakeTheWindowsInput) {
    bool info = true, splash = false;
    int closed = 0;
    std::vector<int32_t> splash_keys;
    in.hooks.info_shown = [&] { return info; };
    in.hooks.close_info = [&] { ++closed; };
    in.hooks.splash_shown = [&] { return splash; };
    in.hooks.splash_key = [&](int32_t k) { splash_keys.push_back(k); };
    Down(65);
    Type("a");
    Apply(InputEventKind::MouseDown, 1);
    Up(65);
    EXPECT_EQ(closed, 0);
    Up(kKeyEscape);  // Esc closes the information
    EXPECT_EQ(closed, 1);
    Apply(InputEventKind::Close);
    EXPECT_EQ(closed, 2);
    info = false;
    splash = true;
    Up(70);
    EXPECT_EQ(splash_keys, std::vector<int32_t>{70});
    EXPECT_FALSE(in.key_held[65] || in.key_released[65] || in.mouse_held[1]);
    EXPECT_EQ(in.keyboard_string, "");
    EXPECT_EQ(in.keyboard_lastkey, 0);
}

TEST_F(InputTest, AltF4AsksAndEndsTheGameAtOnceOnYes) {
    std::vector<std::string> asked;
    bool yes = false;
    in.hooks.question = [&](std::string_view t) {
        asked.emplace_back(t);
        return yes;
    };
    Down(164);
    InputEvent e;
    e.kind = InputEventKind::KeyDown;
    e.code = kKeyF4;
    ResolveInputEvent(world, e);
    EXPECT_EQ(e.kind, InputEventKind::AltF4);
    EXPECT_EQ(e.answer, 0);
    ApplyInputEvent(world, e);
    EXPECT_EQ(world.pending_change, kNoChange);
    EXPECT_FALSE(in.key_held[kKeyF4]);  // swallowed
    yes = true;
    Down(kKeyF4);
    EXPECT_EQ(world.pending_change, kChangeAbort);
    EXPECT_EQ(asked, (std::vector<std::string>{kAbortQuestion, kAbortQuestion}));
    // A known answer (a replay) asks nothing.
    world.pending_change = kNoChange;
    e.answer = 1;
    ResolveInputEvent(world, e);
    ApplyInputEvent(world, e);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(world.pending_change, kChangeAbort);
}

TEST_F(InputTest, NumLockTurnsOverWhenItGoesDown) {
    Apply(InputEventKind::NumLock, 1);
    EXPECT_TRUE(in.numlock);
    Down(kKeyNumLock);
    Down(kKeyNumLock);  // auto-repeat
    EXPECT_FALSE(in.numlock);
    Up(kKeyNumLock);
    Down(kKeyNumLock);
    EXPECT_TRUE(in.numlock);
}

TEST_F(InputTest, JoystickDirectionThresholds) {
    struct Case {
        uint32_t x, y;
        int32_t key;
    } cases[] = {
        {0, 0, 103},         {19999, 19999, 103}, {20000, 20000, 101}, {44000, 44000, 101},
        {44001, 44001, 99},  {65535, 65535, 99},  {32767, 0, 104},     {32767, 65535, 98},
        {0, 32767, 100},     {65535, 32767, 102}, {0, 65535, 97},      {65535, 0, 105},
        {32767, 44000, 101}, {32767, 44001, 98},
    };
    for (const Case& c : cases) EXPECT_EQ(JoystickDirection(c.x, c.y), c.key) << c.x << " " << c.y;
    EXPECT_EQ(JoystickIndex(2), 1);
    for (int32_t id : {1, 0, 3, -2}) EXPECT_EQ(JoystickIndex(id), 0);
}

TEST_F(InputTest, CheckFunctions) {
    Down(65);
    Apply(InputEventKind::MouseDown, 2);
    struct Case {
        const char* code;
        double expected;
    } cases[] = {
        {"return keyboard_check(vk_anykey)", 1},
        {"return keyboard_check(vk_nokey)", 0},
        {"return keyboard_check(65)", 1},
        {"return keyboard_check(65.4)", 1},
        {"return keyboard_check(66)", 0},
        {"return keyboard_check(256)", 0},
        {"return keyboard_check(-1)", 0},
        {"return keyboard_check_pressed(65)", 1},
        {"return keyboard_check_released(65)", 0},
        {"return keyboard_check_released(vk_nokey)", 1},
        {"return keyboard_check_direct(65)", 1},
        {"return mouse_check_button(mb_any)", 1},
        {"return mouse_check_button(mb_none)", 0},
        {"return mouse_check_button(mb_right)", 1},
        {"return mouse_check_button(mb_left)", 0},
        {"return mouse_check_button(4)", 0},
        {"return mouse_check_button_pressed(2)", 1},
        {"return mouse_check_button_released(mb_any)", 0},
        {"keyboard_set_map(66, 65); return keyboard_get_map(66)", 65},
        {"keyboard_unset_map(); return keyboard_get_map(66)", 66},
        {"return keyboard_get_map(999)", 999},
    };
    for (const Case& c : cases) EXPECT_TRUE(IsReal(Run(c.code), c.expected)) << c.code;
    in.ClearStep();
    Run("keyboard_clear(65); mouse_clear(2)");
    EXPECT_FALSE(in.key_held[65] || in.mouse_held[2]);
    EXPECT_TRUE(CheckKeyDirect(in, 65));
    EXPECT_TRUE(errors.empty());
}

TEST_F(InputTest, JoystickFunctions) {
    in.joystick_info[1] = {true, 4, 10, true, "Pad Two"};
    in.joystick[1].axes = {0, 65535, 32767, 65534, 0, 0};
    in.joystick[1].buttons = 0x80000005u;
    in.joystick[1].pov = 9000;
    struct Case {
        const char* code;
        RValue expected;
    } cases[] = {
        {"return joystick_exists(2)", RValue::Real(1)},
        {"return joystick_exists(1)", RValue::Real(0)},
        {"return joystick_direction(2)", RValue::Real(97)},
        {"return joystick_direction(1)", RValue::Real(101)},
        {"return joystick_name(2)", RValue::String(RString("Pad Two"))},
        {"return joystick_name(1)", RValue::String(RString(""))},
        {"return joystick_axes(2) * 100 + joystick_buttons(2)", RValue::Real(410)},
        {"return joystick_axes(1) + joystick_buttons(1) + joystick_has_pov(1)", RValue::Real(0)},
        {"return joystick_has_pov(2)", RValue::Real(1)},
        {"return joystick_check_button(2, 1)", RValue::Real(1)},
        {"return joystick_check_button(2, 2)", RValue::Real(0)},
        {"return joystick_check_button(2, 3)", RValue::Real(1)},
        {"return joystick_check_button(2, 32)", RValue::Real(1)},
        {"return joystick_check_button(2, 33)", RValue::Real(0)},
        {"return joystick_check_button(2, 0)", RValue::Real(0)},
        {"return joystick_check_button(1, 1)", RValue::Real(0)},
        {"return joystick_xpos(2)", RValue::Real(-1)},
        {"return joystick_ypos(2)", RValue::Real(65535 / 32767.0 - 1)},
        {"return joystick_zpos(2)", RValue::Real(0)},
        {"return joystick_rpos(2)", RValue::Real(65534 / 32767.0 - 1)},
        {"return joystick_xpos(1)", RValue::Real(0)},
        {"return joystick_pov(2)", RValue::Real(90)},
        {"return joystick_pov(1)", RValue::Real(-1)},
    };
    for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.expected) << c.code;
    in.joystick[1].pov = 65535;  // centred
    EXPECT_TRUE(IsReal(Run("return joystick_pov(2)"), -1));
    in.joystick[1].pov = 36000;
    EXPECT_TRUE(IsReal(Run("return joystick_pov(2)"), 360));
}

TEST_F(InputTest, TheGamesOwnKeysArriveAtTheNextCheck) {
    InputSystem::Attach(world, {}, {});
    Run("keyboard_key_press(ord('Q')); keyboard_key_press(vk_numpad4)");
    EXPECT_FALSE(in.key_held['Q']);
    EXPECT_TRUE(IsReal(Run("io_handle(); return keyboard_check(ord('Q'))"), 1));
    // The keys type what they would type: shift up, Num Lock off.
    EXPECT_TRUE(IsText(Run("return keyboard_string"), "q"));
    EXPECT_TRUE(IsReal(Run("keyboard_key_release(ord('Q')); io_handle(); "
                           "return keyboard_check_released(ord('Q'))"),
                       1));
    EXPECT_TRUE(IsReal(Run("return keyboard_get_numlock()"), 0));
    EXPECT_TRUE(
        IsReal(Run("keyboard_set_numlock(1); io_handle(); return keyboard_get_numlock()"), 1));
    EXPECT_TRUE(
        IsReal(Run("keyboard_set_numlock(1); io_handle(); return keyboard_get_numlock()"), 1));
    EXPECT_TRUE(in.key_released[kKeyNumLock]);
    Run("keyboard_key_press(vk_shift); keyboard_key_press(ord('Z')); keyboard_key_press(vk_add);"
        "keyboard_key_press(vk_numpad7); io_handle()");
    EXPECT_EQ(in.keyboard_string, "qZ+7");
    // io_clear takes the messages first, then clears.
    Run("keyboard_key_press(ord('W')); io_clear()");
    EXPECT_FALSE(in.key_held['W']);
    EXPECT_TRUE(CheckKeyDirect(in, 'W'));
    EXPECT_EQ(in.keyboard_string, "");
}

TEST_F(InputTest, TheErrorWindowClearsTheInputOnceAttached) {
    Down(65);
    if (w.engine.host.clear_input) w.engine.host.clear_input();
    EXPECT_TRUE(in.key_held[65]);
    InputSystem::Attach(world, {}, {});
    ASSERT_TRUE(w.engine.host.clear_input);
    w.engine.host.clear_input();
    EXPECT_FALSE(in.key_held[65]);
}

TEST_F(InputTest, WaitsEndWhenNothingCanArrive) {
    InputSystem::Attach(world, {}, {});
    // A key the game pressed itself ends the wait; without one nothing can come.
    EXPECT_TRUE(IsReal(Run("keyboard_key_press(vk_space); keyboard_wait(); return "
                           "keyboard_lastkey"),
                       32));
    EXPECT_TRUE(IsReal(Run("keyboard_wait(); return keyboard_lastkey"), 0));
    EXPECT_TRUE(IsReal(Run("mouse_wait(); return mouse_lastbutton"), 0));
}

TEST_F(InputTest, CharactersOfTheGamesOwnKeys) {
    struct Case {
        int32_t key;
        bool shift, numlock;
        int32_t c;
    } cases[] = {
        {'A', false, false, 'a'}, {'A', true, false, 'A'},  {'5', false, false, '5'},
        {'5', true, false, '%'},  {97, false, true, '1'},   {97, false, false, 0},
        {110, false, true, '.'},  {106, false, false, '*'}, {8, false, false, 8},
        {13, false, false, 13},   {186, true, false, ':'},  {222, false, false, '\''},
        {37, false, false, 0},    {112, false, false, 0},
    };
    for (const Case& c : cases) {
        in.key_direct[16] = c.shift;
        in.numlock = c.numlock;
        EXPECT_EQ(CharOfKey(in, c.key), c.c) << c.key;
    }
}

// --- the runner keys

struct RunnerKeysTest : InputTest {
    std::vector<std::string> calls;
    RunnerKeysTest() {
        in.hooks.show_game_info = [this] { calls.push_back("info"); };
        in.hooks.toggle_full_screen = [this] { calls.push_back("full screen"); };
        in.hooks.save_screen = [this](const std::string& f) {
            calls.push_back(f);
            return true;
        };
    }
    void Key(int32_t key) {
        in.keyboard_lastkey = key;
        RunnerKeys(world);
    }
};

TEST_F(RunnerKeysTest, EachKeyWithItsSetting) {
    GameSettings& s = w.game.settings;
    Type("typed");
    Key(kKeyF1);
    EXPECT_EQ(calls, std::vector<std::string>{"info"});
    EXPECT_EQ(in.keyboard_string, "");  // then all input is cleared
    EXPECT_EQ(in.keyboard_lastkey, 0);
    Key(kKeyF4);
    EXPECT_EQ(calls.back(), "full screen");
    Key(kKeyF9);
    EXPECT_EQ(calls.back(), NextScreenshotName());
    Key(kKeyEscape);
    EXPECT_EQ(world.pending_change, kChangeEndGame);
    EXPECT_EQ(in.keyboard_lastkey, 0);
    world.pending_change = kNoChange;

    // A key whose setting is off does nothing and stays the last key.
    s.KeyF1 = s.KeyEsc = s.KeyF4 = s.KeyF9 = s.KeyF5F6 = false;
    const size_t made = calls.size();
    for (int32_t key : {kKeyF1, kKeyEscape, kKeyF4, kKeyF5, kKeyF6, kKeyF9, 65}) {
        Key(key);
        EXPECT_EQ(in.keyboard_lastkey, key);
    }
    EXPECT_EQ(calls.size(), made);
    EXPECT_EQ(world.pending_change, kNoChange);
}

TEST_F(RunnerKeysTest, SaveNames) {
    w.game.game_id = 777;
    EXPECT_EQ(RunnerSaveName(world), "_save777.sav");
}

}  // namespace
}  // namespace tb
