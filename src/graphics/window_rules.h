// How the game window's client area follows the region: the size setter that never goes
// below the scaled region, region size and scale changes, centring and the default size.
// These act on the WindowState; the platform shows the result (SyncWindow).
#pragma once

#include <cstdint>

namespace tb {

struct WindowState;
struct Graphics;

// The client size asked for; with a positive scale each side is raised to at least the
// scaled region.
void SetClientSize(WindowState& w, int32_t width, int32_t height);
// A value <= 0 leaves that side as it is. With a positive scale the client is sized to the
// scaled region (adapt), or only grown where it is too small (no adapt).
void SetRegionSize(WindowState& w, int32_t width, int32_t height, bool adapt);
void SetRegionScale(WindowState& w, double scale, bool adapt);
// The client area centred on a screen of that size.
void CenterWindow(WindowState& w, int32_t screen_width, int32_t screen_height);
// The client sized to the (scaled) region and centred.
void DefaultWindow(WindowState& w, int32_t screen_width, int32_t screen_height);

// The region size the room asks for, applied to the window and the device when it changed.
void ApplyRegion(Graphics& g, int32_t width, int32_t height);

}  // namespace tb
