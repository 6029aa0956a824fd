#include "graphics/display.h"

#include <SDL.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "graphics/graphics.h"

namespace tb {

namespace {

bool HasVideo() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

// The offscreen driver has no display to wait for or to put a mouse on.
bool Offscreen() {
    const char* driver = HasVideo() ? SDL_GetCurrentVideoDriver() : nullptr;
    return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

int32_t DepthOf(const SDL_DisplayMode& m) {
    return int32_t(SDL_BYTESPERPIXEL(m.format)) * 8;
}

}  // namespace

bool TestDisplayMode(int32_t width, int32_t height, int32_t frequency, int32_t depth) {
    if (!HasVideo()) return false;
    SDL_DisplayMode now{};
    if (SDL_GetDesktopDisplayMode(0, &now) != 0) return false;
    if (width <= 0) width = now.w;
    if (height <= 0) height = now.h;
    if (frequency <= 0) frequency = now.refresh_rate;
    if (depth <= 0) depth = DepthOf(now);
    const int n = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < n; ++i) {
        SDL_DisplayMode m{};
        if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
        // A mode without a known rate accepts any.
        const bool rate = m.refresh_rate == 0 || m.refresh_rate == frequency;
        if (m.w == width && m.h == height && rate && DepthOf(m) == depth) return true;
    }
    // The current mode is always acceptable, even when the driver lists no modes.
    return width == now.w && height == now.h &&
           (now.refresh_rate == 0 || now.refresh_rate == frequency) && DepthOf(now) == depth;
}

void WaitVerticalBlank(const Graphics& g) {
    if (!HasVideo() || Offscreen()) return;
    // No portable wait for the blank itself: sleep to the next refresh boundary.
    int32_t hz = g.device.DisplayFrequency();
    if (hz <= 0) hz = 60;
    using namespace std::chrono;
    const int64_t period = 1000000 / hz;
    const int64_t now = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    std::this_thread::sleep_for(microseconds(period - now % period));
}

}  // namespace tb
