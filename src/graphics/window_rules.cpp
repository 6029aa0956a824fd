#include "graphics/window_rules.h"

#include <algorithm>
#include <cmath>

#include "graphics/display.h"
#include "graphics/graphics.h"
#include "graphics/window_state.h"

namespace tb {

namespace {

int32_t Scaled(double scale, int32_t size) {
    const double v = std::nearbyint(scale * size);
    return int32_t(std::clamp(v, 0.0, 2147483647.0));
}

// The client size the scaled region needs (scale > 0).
void Wanted(const WindowState& w, int32_t& width, int32_t& height) {
    width = Scaled(w.region_scale, w.region_width);
    height = Scaled(w.region_scale, w.region_height);
}

void FitToScale(WindowState& w, bool adapt) {
    if (w.region_scale <= 0) return;
    int32_t width = 0, height = 0;
    Wanted(w, width, height);
    if (adapt) {
        SetClientSize(w, width, height);
    } else if (w.client_width < width || w.client_height < height) {
        SetClientSize(w, std::max(w.client_width, width), std::max(w.client_height, height));
    }
}

}  // namespace

void SetClientSize(WindowState& w, int32_t width, int32_t height) {
    if (w.region_scale > 0) {
        int32_t min_w = 0, min_h = 0;
        Wanted(w, min_w, min_h);
        width = std::max(width, min_w);
        height = std::max(height, min_h);
    }
    w.client_width = std::max(width, 0);
    w.client_height = std::max(height, 0);
}

void SetRegionSize(WindowState& w, int32_t width, int32_t height, bool adapt) {
    if (width > 0) w.region_width = width;
    if (height > 0) w.region_height = height;
    FitToScale(w, adapt);
}

void SetRegionScale(WindowState& w, double scale, bool adapt) {
    w.region_scale = std::isfinite(scale) ? scale : 0;
    FitToScale(w, adapt);
}

void CenterWindow(WindowState& w, int32_t screen_width, int32_t screen_height) {
    w.client_x = int32_t((int64_t(screen_width) - w.client_width) / 2);
    w.client_y = int32_t((int64_t(screen_height) - w.client_height) / 2);
}

void DefaultWindow(WindowState& w, int32_t screen_width, int32_t screen_height) {
    if (w.region_scale > 0)
        SetClientSize(w, Scaled(w.region_scale, w.region_width),
                      Scaled(w.region_scale, w.region_height));
    else
        SetClientSize(w, w.region_width, w.region_height);
    CenterWindow(w, screen_width, screen_height);
}

void ApplyRegion(Graphics& g, int32_t width, int32_t height) {
    SetRegionSize(g.window, width, height, true);
    DefaultWindow(g.window, g.device.ScreenWidth(), g.device.ScreenHeight());
    g.device.SetRegionSize(width, height);
    SyncWindow(g);
}

}  // namespace tb
