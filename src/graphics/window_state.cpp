#include "graphics/window_state.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tb {

namespace {

double Round(double v) {
    return std::nearbyint(v);
}

// Integer division truncating toward zero, as the layout rules ask.
int32_t Half(int64_t v) {
    return int32_t(v / 2);
}

int32_t ToInt(double v) {
    if (!(v == v)) return 0;
    return int32_t(std::clamp(Round(v), -2147483648.0, 2147483647.0));
}

}  // namespace

double WindowState::Factor() const {
    if (region_scale > 0) return region_scale;
    if (region_width <= 0 || region_height <= 0) return 0;
    return std::min(double(client_height) / region_height, double(client_width) / region_width);
}

RegionRect WindowState::RegionInClient() const {
    if (region_scale == 0) return {0, 0, client_width, client_height};
    const double s = Factor();
    RegionRect r;
    r.width = ToInt(region_width * s);
    r.height = ToInt(region_height * s);
    r.x = Half(int64_t(client_width) - r.width);
    r.y = Half(int64_t(client_height) - r.height);
    return r;
}

void WindowState::ToRegion(double px, double py, double& rx, double& ry) const {
    px -= client_x;
    py -= client_y;
    if (region_scale == 0) {
        rx = client_width > 0 ? Round(px * region_width / client_width) : 0;
        ry = client_height > 0 ? Round(py * region_height / client_height) : 0;
        return;
    }
    const double s = Factor();
    if (s == 0) {
        rx = ry = 0;
        return;
    }
    const RegionRect r = RegionInClient();
    rx = Round((px - r.x) / s);
    ry = Round((py - r.y) / s);
}

void WindowState::RegionToScreen(double rx, double ry, double& px, double& py) const {
    if (region_scale == 0) {
        px = client_x + (region_width > 0 ? Round(rx * client_width / region_width) : 0);
        py = client_y + (region_height > 0 ? Round(ry * client_height / region_height) : 0);
        return;
    }
    const double s = Factor();
    px = client_x + Half(client_width) + Round(rx * s) - Half(ToInt(region_width * s));
    py = client_y + Half(client_height) + Round(ry * s) - Half(ToInt(region_height * s));
}

void WindowState::SetViewSlot(int index, double angle, double vx, double vy, double vw, double vh,
                              double px, double py, double pw, double ph) {
    if (index < 0 || index >= int(slots.size())) return;
    slots[size_t(index)] = {true, vx, vy, vw, vh, px, py, pw, ph, angle};
}

void WindowState::ClearViewSlot(int index) {
    if (index < 0 || index >= int(slots.size())) return;
    slots[size_t(index)] = ViewSlot{};
}

namespace {

bool Usable(const std::array<ViewSlot, 32>& slots, int slot) {
    if (slot < 0 || slot >= int(slots.size())) return false;
    const ViewSlot& v = slots[size_t(slot)];
    return v.used && v.port_w != 0 && v.port_h != 0;
}

}  // namespace

void WindowState::ViewToRoom(int slot, double rx, double ry, double& x, double& y) const {
    if (!Usable(slots, slot)) {
        x = rx;
        y = ry;
        return;
    }
    const ViewSlot& v = slots[size_t(slot)];
    const double dx = (rx - v.port_x) * v.view_w / v.port_w;
    const double dy = (ry - v.port_y) * v.view_h / v.port_h;
    if (std::abs(v.angle) < 0.01) {
        x = Round(dx + v.view_x);
        y = Round(dy + v.view_y);
        return;
    }
    const double a = -v.angle * std::numbers::pi / 180;
    const double c = std::cos(a), s = std::sin(a);
    const double ex = dx - v.view_w / 2, ey = dy - v.view_h / 2;
    x = Round(c * ex + s * ey + v.view_x + v.view_w / 2);
    y = Round(-s * ex + c * ey + v.view_y + v.view_h / 2);
}

void WindowState::RoomToView(int slot, double x, double y, double& rx, double& ry) const {
    if (!Usable(slots, slot) || slots[size_t(slot)].view_w == 0 ||
        slots[size_t(slot)].view_h == 0) {
        rx = Round(x);
        ry = Round(y);
        return;
    }
    const ViewSlot& v = slots[size_t(slot)];
    double ex = x - v.view_x - v.view_w / 2, ey = y - v.view_y - v.view_h / 2;
    if (std::abs(v.angle) >= 0.01) {
        const double a = v.angle * std::numbers::pi / 180;
        const double c = std::cos(a), s = std::sin(a);
        const double tx = c * ex + s * ey, ty = -s * ex + c * ey;
        ex = tx;
        ey = ty;
    }
    rx = Round((ex + v.view_w / 2) * v.port_w / v.view_w + v.port_x);
    ry = Round((ey + v.view_h / 2) * v.port_h / v.view_h + v.port_y);
}

void WindowState::ViewsToRoom(double rx, double ry, double& x, double& y) const {
    x = rx;
    y = ry;
    for (int i = int(slots.size()) - 1; i >= 0; --i) {
        const ViewSlot& v = slots[size_t(i)];
        if (!v.used) continue;
        ViewToRoom(i, rx, ry, x, y);
        if (v.view_x <= x && x < v.view_x + v.view_w && v.view_y <= y && y < v.view_y + v.view_h)
            return;
    }
}

int WindowState::LowestUsedSlot() const {
    for (int i = 0; i < int(slots.size()); ++i)
        if (slots[size_t(i)].used) return i;
    return -1;
}

}  // namespace tb
