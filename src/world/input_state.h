// The input state the event walks read: the input subsystem fills it from the platform (or
// from a replay file), the step clears its per-step parts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tb {

struct InputState {
    // Per key code 0 .. 255.
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

    // Pressed and released keys and buttons, and the wheel: cleared at the end of every step.
    void ClearStep() {
        key_pressed.fill(false);
        key_released.fill(false);
        mouse_pressed.fill(false);
        mouse_released.fill(false);
        wheel_up = wheel_down = false;
    }
    // Everything (room entry, the error window, loading a game).
    void Clear() { *this = InputState(); }
};

}  // namespace tb
