// The game window's input as the runner handles it: the message handlers that fill the input
// state, clearing, the key map, the queries of the input functions, and the runner keys that
// the step tests first (F1, Esc, F4, F5, F6, F9).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "world/input_state.h"

namespace tb {

class World;

inline constexpr int32_t kKeyBackspace = 8;
inline constexpr int32_t kKeyEscape = 27;
inline constexpr int32_t kKeyF1 = 112;
inline constexpr int32_t kKeyF4 = 115;
inline constexpr int32_t kKeyF5 = 116;
inline constexpr int32_t kKeyF6 = 117;
inline constexpr int32_t kKeyF9 = 120;
inline constexpr int32_t kKeyNumLock = 144;
inline constexpr size_t kKeyboardStringLimit = 1024;

inline constexpr const char* kAbortQuestion =
    "Do you want to terminate the game immediately without saving?";

// --- the message handlers (they run only where the window's messages are processed)

// A key went down; with Alt held, F4 asks whether to end the game at once instead.
void KeyDown(World& w, int32_t key, bool alt);
void KeyUp(World& w, int32_t key);
void CharTyped(World& w, int32_t c);
void MouseDown(World& w, int32_t button);
void MouseUp(World& w, int32_t button);
void Wheel(World& w, bool up);
void CloseButton(World& w);
// Alt+F4 with its answer (1 yes: the game ends after the step without its end events).
void AltF4(World& w, int32_t answer);
// io_clear and the other places that clear all input.
void ClearAll(World& w);

// Completes an event before it is recorded: F4 going down while Alt is held becomes Alt+F4,
// and Alt+F4 asks its question when the answer is not known yet.
void ResolveInputEvent(World& w, InputEvent& e);
// The physical state, then the handler of the event.
void ApplyInputEvent(World& w, const InputEvent& e);
// mouse_x and mouse_y: the cursor's region position through the views of the last frame.
void UpdateMouseRoomPosition(World& w);

// The code the handlers see for a key: the modifier side codes 160 .. 165 give 16, 17, 18.
int32_t MessageKey(int32_t key);
// The character a key typed by the game itself gives (US layout, the shift key as held now),
// or 0.
int32_t CharOfKey(const InputState& in, int32_t key);

// --- the queries of the input functions

void SetKeyMap(InputState& in, int32_t key, int32_t to);  // key outside 0 .. 255: ignored
int32_t KeyMapOf(const InputState& in, int32_t key);      // key outside 0 .. 255: itself
void ResetKeyMap(InputState& in);
// vk_nokey (0): no key held; vk_anykey (1): some key; 2 .. 255: that key; else false.
bool CheckKey(const std::array<bool, 256>& keys, int32_t key);
// The physical key now (mouse buttons at 1, 2 and 4; 16, 17, 18 for either side).
bool CheckKeyDirect(const InputState& in, int32_t key);
// mb_any (-1): some button; mb_none (0): no button; 1 .. 3: that button; else false.
bool CheckMouse(const std::array<bool, 4>& buttons, int32_t button);

// A joystick argument: 2 is the second joystick (index 1), anything else the first.
int32_t JoystickIndex(int32_t id);
// The direction as a numeric-keypad key code (96 + row offset + column).
int32_t JoystickDirection(uint32_t x, uint32_t y);

// --- the runner keys (the first item of every step that runs)

void RunnerKeys(World& w);
// "_save" + the game id + ".sav": F5 and F6.
std::string RunnerSaveName(const World& w);

}  // namespace tb
