// The display and the game window as the platform sees them: display modes, the mouse in
// screen coordinates, the vertical blank, and showing the WindowState on the real window.
// Implemented in platform/; without a video system the queries give 0 or false and the
// changes do nothing.
#pragma once

#include <cstdint>

namespace tb {

struct Graphics;

// Whether the display would accept the mode (a value <= 0 keeps that property as it is now).
bool TestDisplayMode(int32_t width, int32_t height, int32_t frequency, int32_t depth);
// The mouse cursor in screen coordinates.
void MouseOnScreen(int32_t& x, int32_t& y);
void SetMouseOnScreen(int32_t x, int32_t y);
// Blocks until the next vertical blank (no wait without a visible display).
void WaitVerticalBlank(const Graphics& g);
constexpr int32_t kCursorNone = -1;  // cr_none

// Shows the window state's style, caption and client rectangle on the game window.
void SyncWindow(Graphics& g);
// Store the flag or cursor in the window state and show it.
void SetWindowVisible(Graphics& g, bool visible);
void SetWindowCursor(Graphics& g, int32_t cursor);

}  // namespace tb
