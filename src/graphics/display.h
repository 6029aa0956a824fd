// What the display offers beyond the device and the game window: testing a display mode and
// waiting for the vertical blank. Implemented in platform/; without a video system the test
// answers false and nothing is waited for.
#pragma once

#include <cstdint>

namespace tb {

struct Graphics;

// Whether the display would accept the mode (a value <= 0 keeps that property as it is now).
bool TestDisplayMode(int32_t width, int32_t height, int32_t frequency, int32_t depth);
// Blocks until the next vertical blank (no wait without a visible display).
void WaitVerticalBlank(const Graphics& g);

}  // namespace tb
