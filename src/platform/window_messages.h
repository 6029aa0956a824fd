// The game window's message handling at the loop's fixed points (between steps, during the
// frame wait and inside the functions that wait for input).
#pragma once

#include <cstdint>

namespace tb {

struct Graphics;
struct InputState;
class World;

// Handles every pending message: window frame events, keys, typed characters, mouse buttons
// and wheel, the close request; then takes the mouse position in room coordinates.
void ProcessWindowMessages(Graphics& g, World& w);

// The virtual-key code of an SDL key code; 0 for keys without one.
int32_t VirtualKey(int32_t sdl_keycode);
// The key and character handlers of the input state.
void KeyDown(InputState& in, int32_t key);
void KeyUp(InputState& in, int32_t key);
void TypeCharacter(InputState& in, char c);
// The cursor through the region and the views into room coordinates.
void UpdateMouse(Graphics& g, InputState& in);

}  // namespace tb
