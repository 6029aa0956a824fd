// The game window as the runner sees it: style flags, the region (the top-left part of the
// back buffer the room is drawn into) with its scale in the client area, and the view slots
// that map window positions to room positions.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tb {

struct ViewSlot {
    bool used = false;
    double view_x = 0, view_y = 0, view_w = 0, view_h = 0;
    double port_x = 0, port_y = 0, port_w = 0, port_h = 0;
    double angle = 0;
};

struct RegionRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

struct WindowState {
    bool visible = false;
    bool full_screen = false;
    bool show_border = true;
    bool show_icons = true;
    bool stay_on_top = false;
    bool sizeable = false;
    uint32_t color = 0;  // BGR, painted around the region
    std::string caption;
    int32_t cursor = 0;
    // The client area in screen coordinates.
    int32_t client_x = 0, client_y = 0, client_width = 640, client_height = 480;
    int32_t region_width = 8, region_height = 8;
    // 0 stretch, negative keep the aspect ratio, positive a fixed factor (1 = 100 %).
    double region_scale = 1;
    std::array<ViewSlot, 32> slots;

    // The factor the region is drawn with: the scale when positive, the largest that fits
    // when negative (0 for an empty region); meaningless for stretching (scale 0).
    double Factor() const;
    RegionRect RegionInClient() const;
    // Screen position -> region position.
    void ToRegion(double px, double py, double& rx, double& ry) const;
    // Region position -> screen position (setting the mouse).
    void RegionToScreen(double rx, double ry, double& px, double& py) const;
    void SetViewSlot(int index, double angle, double vx, double vy, double vw, double vh, double px,
                     double py, double pw, double ph);
    void ClearViewSlot(int index);
    void ViewToRoom(int slot, double rx, double ry, double& x, double& y) const;
    void RoomToView(int slot, double x, double y, double& rx, double& ry) const;
    // Through the last-drawn view whose view rectangle holds the result (slots 31 down to 0);
    // outside every view, through the lowest used slot; the region position without views.
    void ViewsToRoom(double rx, double ry, double& x, double& y) const;
    // The slot the mouse is set through, -1 when no slot is used.
    int LowestUsedSlot() const;
};

}  // namespace tb
