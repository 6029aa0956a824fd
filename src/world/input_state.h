// The input state the event walks read: the input subsystem fills it from the platform (or
// from a replay file), the step clears its per-step parts.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

class InputSystem;

// A joystick as the position query reports it: axes x, y, z, r(udder), u, v as unsigned
// 0 .. 65535 (32767 centred), the button bits, the hat in hundredths of a degree (65535
// centred).
struct JoystickPosition {
    std::array<uint32_t, 6> axes{32767, 32767, 32767, 32767, 32767, 32767};
    uint32_t buttons = 0;
    uint32_t pov = 65535;
    bool operator==(const JoystickPosition&) const = default;
};

// What the capability query reports; `present` false: every query about it fails.
struct JoystickInfo {
    bool present = false;
    int32_t axis_count = 0;
    int32_t button_count = 0;
    bool has_pov = false;
    std::string name;  // up to 32 characters
    bool operator==(const JoystickInfo&) const = default;
};

enum class InputEventKind : uint8_t {
    KeyDown,    // code: a key code 0 .. 255 (the side codes 160 .. 165 for the modifiers)
    KeyUp,      // code: as KeyDown
    Char,       // code: the character 1 .. 255
    MouseMove,  // x, y: region coordinates
    MouseDown,  // code: button 1 left, 2 right, 3 middle
    MouseUp,    // code: as MouseDown
    WheelUp,
    WheelDown,
    Close,         // the window's close button
    AltF4,         // answer: 1 yes, 0 no, -1 not asked yet
    Focus,         // code: 1 gained, 0 lost
    NumLock,       // code: the Num Lock state
    JoystickInfo,  // id 0 or 1; info
    JoystickMove,  // id 0 or 1; position
};

// One message of the game window, already turned into the runner's terms.
struct InputEvent {
    InputEventKind kind = InputEventKind::KeyDown;
    int32_t code = 0;
    int32_t answer = -1;
    int32_t id = 0;
    bool types = false;  // a key the game pressed itself: it types its character when taken
    double x = 0, y = 0;
    JoystickPosition position;
    JoystickInfo info;
};

// What input needs from the rest of the program. Empty members: that part is not there.
struct InputHooks {
    // The window's messages since the last call, appended in arrival order.
    std::function<void(std::vector<InputEvent>&)> pump;
    // True while real input can arrive (a window is there).
    bool live = false;
    // The Alt+F4 confirmation (Yes: true).
    std::function<bool(std::string_view)> question;
    // The game information (F1) and the splash screens: shown, closed, handed a key.
    std::function<void()> show_game_info;
    std::function<bool()> info_shown;  // inside the game window
    std::function<void()> close_info;
    std::function<bool()> splash_shown;
    std::function<void()> close_splash;
    std::function<void(int32_t key)> splash_key;
    std::function<void()> toggle_full_screen;                  // F4
    std::function<bool(const std::string& file)> save_screen;  // F9; null: the device's capture
};

struct InputState {
    // Per key code 0 .. 255, after the key map.
    std::array<bool, 256> key_held{};
    std::array<bool, 256> key_pressed{};   // this step
    std::array<bool, 256> key_released{};  // this step
    // Mouse buttons 1 left, 2 right, 3 middle (index 0 unused).
    std::array<bool, 4> mouse_held{};
    std::array<bool, 4> mouse_pressed{};
    std::array<bool, 4> mouse_released{};
    bool wheel_up = false;
    bool wheel_down = false;
    // Mouse position in room coordinates, this step and the last.
    double mouse_x = 0, mouse_y = 0;
    double mouse_previous_x = 0, mouse_previous_y = 0;
    // The last key / button pressed and the one held now (0 once it is released).
    int32_t keyboard_key = 0;
    int32_t keyboard_lastkey = 0;
    int32_t mouse_button = 0;
    int32_t mouse_lastbutton = 0;
    std::string keyboard_lastchar;  // the last character typed; empty before any
    std::string keyboard_string;    // the characters typed, at most 1024 kept

    // --- kept by Clear: the map, the devices, the window
    // The code recorded for each incoming key code; identity until the game maps keys.
    std::array<int32_t, 256> key_map = IdentityKeyMap();
    // The physical state (before the map) for keyboard_check_direct, with the mouse buttons
    // at their key codes 1, 2 and 4; both modifier sides at their own codes (160 .. 165).
    std::array<bool, 256> key_direct{};
    bool numlock = false;
    bool window_active = true;
    // The cursor in region coordinates; mouse_x and mouse_y map it through the views.
    double mouse_region_x = 0, mouse_region_y = 0;
    std::array<JoystickInfo, 2> joystick_info;
    std::array<JoystickPosition, 2> joystick;
    // Events the game generated itself (keyboard_key_press ...), taken at the next check of
    // the window's messages.
    std::vector<InputEvent> generated;
    InputHooks hooks;
    InputSystem* system = nullptr;  // the message processing, when attached

    // Pressed and released keys and buttons, and the wheel: cleared at the end of every step.
    void ClearStep() {
        key_pressed.fill(false);
        key_released.fill(false);
        mouse_pressed.fill(false);
        mouse_released.fill(false);
        wheel_up = wheel_down = false;
    }
    // Clear all (io_clear, entering a room, loading a game, F1, after the error window): the
    // typed text, the last key, character and button, every key and button and the wheel.
    // The key map, the cursor and the devices stay.
    void Clear() {
        keyboard_string.clear();
        keyboard_key = keyboard_lastkey = 0;
        keyboard_lastchar.clear();
        mouse_button = mouse_lastbutton = 0;
        key_held.fill(false);
        mouse_held.fill(false);
        ClearStep();
    }

    static std::array<int32_t, 256> IdentityKeyMap() {
        std::array<int32_t, 256> m{};
        for (int32_t i = 0; i < 256; ++i) m[size_t(i)] = i;
        return m;
    }
};

}  // namespace tb
