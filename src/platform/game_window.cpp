// The game window on SDL. Full screen is a borderless window covering the desktop (the
// display mode is never changed); leaving it puts the client area back where it was.
#include "graphics/game_window.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "graphics/device.h"
#include "graphics/window_state.h"

namespace tb {

namespace {

int32_t RoundToInt(double v) {
    if (!(v == v)) return 0;
    return int32_t(std::clamp(std::nearbyint(v), -1e9, 1e9));
}

// The system cursor of a cursor constant; SDL has no drag, split or wait-for-data shapes,
// those take the closest one.
SDL_SystemCursor CursorShape(int32_t c) {
    switch (c) {
        case -3:
            return SDL_SYSTEM_CURSOR_CROSSHAIR;
        case -4:
            return SDL_SYSTEM_CURSOR_IBEAM;
        case -6:
            return SDL_SYSTEM_CURSOR_SIZENESW;
        case -7:
        case -14:
            return SDL_SYSTEM_CURSOR_SIZENS;
        case -8:
            return SDL_SYSTEM_CURSOR_SIZENWSE;
        case -9:
        case -15:
            return SDL_SYSTEM_CURSOR_SIZEWE;
        case -11:
        case -17:
            return SDL_SYSTEM_CURSOR_WAIT;
        case -13:
        case -18:
            return SDL_SYSTEM_CURSOR_NO;
        case -19:
            return SDL_SYSTEM_CURSOR_WAITARROW;
        case -21:
            return SDL_SYSTEM_CURSOR_HAND;
        case -22:
            return SDL_SYSTEM_CURSOR_SIZEALL;
        default:
            return SDL_SYSTEM_CURSOR_ARROW;
    }
}

}  // namespace

struct GameWindow::Impl {
    GraphicsDevice& device;
    WindowState& s;
    SDL_Window* window = nullptr;
    bool applying = false;  // re-entrancy while the style is applied
    // The client rectangle to come back to after full screen.
    int32_t saved_x = 0, saved_y = 0, saved_w = 640, saved_h = 480;
    std::array<SDL_Cursor*, SDL_NUM_SYSTEM_CURSORS> cursors{};
    int32_t headless_mouse_x = 0, headless_mouse_y = 0;

    Impl(GraphicsDevice& d, WindowState& st) : device(d), s(st) {}
    ~Impl() { FreeCursors(); }
    void FreeCursors() {
        for (SDL_Cursor*& c : cursors) {
            if (c) SDL_FreeCursor(c);
            c = nullptr;
        }
    }

    // A device that was released or made again has another window (or none).
    Impl& Check() {
        if (window && device.NativeWindow() != window) {
            FreeCursors();
            window = nullptr;
        }
        return *this;
    }

    bool Offscreen() const {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver && SDL_strcmp(driver, "offscreen") == 0;
    }

    // Reads the client rectangle back from the window.
    void Sync() {
        if (!window) return;
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(window, &x, &y);
        SDL_GetWindowSize(window, &w, &h);
        s.client_x = x;
        s.client_y = y;
        s.client_width = w;
        s.client_height = h;
    }

    void SaveState() {
        if (s.full_screen || applying || !window) return;
        Sync();
        saved_x = s.client_x;
        saved_y = s.client_y;
        saved_w = s.client_width;
        saved_h = s.client_height;
    }

    // The smallest client area the player may drag the window to.
    void UpdateMinimumSize() {
        if (!window) return;
        if (s.region_scale > 0)
            SDL_SetWindowMinimumSize(window,
                                     std::max(RoundToInt(s.region_scale * s.region_width), 1),
                                     std::max(RoundToInt(s.region_scale * s.region_height), 1));
        else
            SDL_SetWindowMinimumSize(window, 1, 1);
    }

    void ApplyStyle() {
        if (!window) return;
        applying = true;
        if (s.full_screen) {
            // A borderless window over the whole desktop; the display mode stays.
            SDL_SetWindowResizable(window, SDL_FALSE);
            SDL_SetWindowBordered(window, SDL_FALSE);
            SDL_SetWindowSize(window, std::max(device.ScreenWidth(), 1),
                              std::max(device.ScreenHeight(), 1));
            SDL_SetWindowPosition(window, 0, 0);
        } else {
            SDL_SetWindowBordered(window, s.show_border ? SDL_TRUE : SDL_FALSE);
            // A sizeable border exists only with a border; the maximise button comes with it.
            SDL_SetWindowResizable(window, s.show_border && s.sizeable ? SDL_TRUE : SDL_FALSE);
            SDL_SetWindowSize(window, std::max(saved_w, 1), std::max(saved_h, 1));
            SDL_SetWindowPosition(window, saved_x, saved_y);
        }
        SDL_SetWindowAlwaysOnTop(window, s.stay_on_top ? SDL_TRUE : SDL_FALSE);
        UpdateMinimumSize();
        Sync();
        applying = false;
    }

    void SetClientSize(int32_t w, int32_t h) {
        if (s.region_scale > 0) {
            w = std::max(w, RoundToInt(s.region_scale * s.region_width));
            h = std::max(h, RoundToInt(s.region_scale * s.region_height));
        }
        w = std::max(w, 1);
        h = std::max(h, 1);
        if (window && !s.full_screen) {
            SDL_SetWindowSize(window, w, h);
            Sync();
            SaveState();
        } else {
            saved_w = w;
            saved_h = h;
        }
    }

    void SetClientPosition(int32_t x, int32_t y) {
        if (window && !s.full_screen) {
            SDL_SetWindowPosition(window, x, y);
            Sync();
            SaveState();
        } else {
            saved_x = x;
            saved_y = y;
        }
    }

    // The client size the region asks for at a positive scale.
    void FitToScale(bool adapt) {
        if (!(s.region_scale > 0)) return;
        const int32_t w = RoundToInt(s.region_scale * s.region_width);
        const int32_t h = RoundToInt(s.region_scale * s.region_height);
        if (adapt) {
            SetClientSize(w, h);
        } else if (s.client_width < w || s.client_height < h) {
            SetClientSize(std::max(s.client_width, w), std::max(s.client_height, h));
        }
    }

    bool Show(bool end_scene) {
        if (!device.Exists()) return false;
        Sync();
        const RegionRect r = s.RegionInClient();
        return end_scene ? device.EndAndPresent(r.x, r.y, r.width, r.height, s.color)
                         : device.PresentOnly(r.x, r.y, r.width, r.height, s.color);
    }
};

GameWindow::GameWindow(GraphicsDevice& device, WindowState& state)
    : impl_(std::make_unique<Impl>(device, state)) {}

GameWindow::~GameWindow() = default;

void GameWindow::Attach() {
    Impl& d = impl_->Check();
    d.window = static_cast<SDL_Window*>(d.device.NativeWindow());
    if (!d.window) return;
    d.Sync();
    d.saved_x = d.s.client_x;
    d.saved_y = d.s.client_y;
    d.saved_w = d.s.client_width;
    d.saved_h = d.s.client_height;
    SDL_SetWindowTitle(d.window, d.s.caption.c_str());
    d.ApplyStyle();
}

bool GameWindow::Attached() const {
    return impl_->window != nullptr && impl_->device.NativeWindow() == impl_->window;
}

void GameWindow::Detach() {
    Impl& d = impl_->Check();
    if (d.window) SDL_ShowCursor(SDL_ENABLE);
    d.FreeCursors();
    d.window = nullptr;
}

void GameWindow::SetVisible(bool on) {
    Impl& d = impl_->Check();
    d.s.visible = on;
    if (!d.window) return;
    if (on)
        SDL_ShowWindow(d.window);
    else
        SDL_HideWindow(d.window);
}

void GameWindow::SetFullScreen(bool on) {
    Impl& d = impl_->Check();
    if (on == d.s.full_screen) return;
    d.SaveState();
    d.s.full_screen = on;
    d.ApplyStyle();
    Repaint();
}

void GameWindow::SetShowBorder(bool on) {
    Impl& d = impl_->Check();
    d.SaveState();
    d.s.show_border = on;
    d.ApplyStyle();
}

void GameWindow::SetShowIcons(bool on) {
    // SDL has no control over the caption buttons alone; the flag is kept for the getters
    // and the maximise button follows the sizeable border.
    Impl& d = impl_->Check();
    d.SaveState();
    d.s.show_icons = on;
    d.ApplyStyle();
}

void GameWindow::SetStayOnTop(bool on) {
    Impl& d = impl_->Check();
    d.SaveState();
    d.s.stay_on_top = on;
    d.ApplyStyle();
}

void GameWindow::SetSizeable(bool on) {
    Impl& d = impl_->Check();
    d.SaveState();
    d.s.sizeable = on;
    d.ApplyStyle();
}

void GameWindow::SetCaption(const std::string& caption) {
    Impl& d = impl_->Check();
    if (caption == d.s.caption) return;
    d.s.caption = caption;
    if (d.window) SDL_SetWindowTitle(d.window, caption.c_str());
}

void GameWindow::SetCursor(int32_t cursor) {
    Impl& d = impl_->Check();
    d.s.cursor = cursor;
    if (!d.window || d.Offscreen()) return;
    if (cursor == -1) {
        SDL_ShowCursor(SDL_DISABLE);
        return;
    }
    SDL_ShowCursor(SDL_ENABLE);
    const SDL_SystemCursor shape = CursorShape(cursor);
    SDL_Cursor*& c = d.cursors[size_t(shape)];
    if (!c) c = SDL_CreateSystemCursor(shape);
    if (c) SDL_SetCursor(c);
}

void GameWindow::SetColor(uint32_t bgr) {
    impl_->Check().s.color = bgr;
    Repaint();
}

void GameWindow::SetPosition(int32_t x, int32_t y) {
    impl_->Check().SetClientPosition(x, y);
}

void GameWindow::SetSize(int32_t width, int32_t height) {
    impl_->Check().SetClientSize(width, height);
    Repaint();
}

void GameWindow::SetRectangle(int32_t x, int32_t y, int32_t width, int32_t height) {
    impl_->Check().SetClientPosition(x, y);
    impl_->Check().SetClientSize(width, height);
    Repaint();
}

void GameWindow::Center() {
    Impl& d = impl_->Check();
    d.Sync();
    d.SetClientPosition(int32_t((int64_t(d.device.ScreenWidth()) - d.s.client_width) / 2),
                        int32_t((int64_t(d.device.ScreenHeight()) - d.s.client_height) / 2));
}

void GameWindow::Default() {
    Impl& d = impl_->Check();
    int32_t w = d.s.region_width, h = d.s.region_height;
    if (d.s.region_scale > 0) {
        w = RoundToInt(d.s.region_scale * w);
        h = RoundToInt(d.s.region_scale * h);
    }
    d.SetClientSize(w, h);
    Center();
    Repaint();
}

void GameWindow::SetRegionSize(int32_t width, int32_t height, bool adapt) {
    Impl& d = impl_->Check();
    if (width > 0) d.s.region_width = width;
    if (height > 0) d.s.region_height = height;
    d.UpdateMinimumSize();
    d.FitToScale(adapt);
    Repaint();
}

void GameWindow::SetRegionScale(double scale, bool adapt) {
    Impl& d = impl_->Check();
    d.s.region_scale = scale;
    d.UpdateMinimumSize();
    d.FitToScale(adapt);
    Repaint();
}

void GameWindow::MouseScreen(int32_t& x, int32_t& y) const {
    const Impl& d = impl_->Check();
    if (!d.window || d.Offscreen()) {
        x = d.headless_mouse_x;
        y = d.headless_mouse_y;
        return;
    }
    int mx = 0, my = 0;
    SDL_GetGlobalMouseState(&mx, &my);
    x = mx;
    y = my;
}

void GameWindow::SetMouseScreen(int32_t x, int32_t y) {
    Impl& d = impl_->Check();
    if (!d.window || d.Offscreen()) {
        d.headless_mouse_x = x;
        d.headless_mouse_y = y;
        return;
    }
    SDL_WarpMouseGlobal(x, y);
}

void GameWindow::SetMouseRegion(double rx, double ry) {
    Impl& d = impl_->Check();
    d.Sync();
    double px = 0, py = 0;
    d.s.RegionToScreen(rx, ry, px, py);
    SetMouseScreen(RoundToInt(px), RoundToInt(py));
}

bool GameWindow::Present() {
    return impl_->Check().Show(true);
}

bool GameWindow::RepaintWith(const std::function<void()>& overlay) {
    Impl& d = impl_->Check();
    if (!d.window || !d.device.Exists()) return false;
    d.Sync();
    const RegionRect r = d.s.RegionInClient();
    return d.device.PresentWithOverlay(r.x, r.y, r.width, r.height, d.s.color, overlay);
}

bool GameWindow::Repaint() {
    Impl& d = impl_->Check();
    if (!d.window || !d.s.visible) return false;
    return d.Show(false);
}

CBitmap32 GameWindow::CapturePresented() {
    Impl& d = impl_->Check();
    if (!d.device.Exists()) return {};
    d.Sync();
    const RegionRect r = d.s.RegionInClient();
    return d.device.CaptureClient(d.s.client_width, d.s.client_height, r.x, r.y, r.width, r.height,
                                  d.s.color);
}

bool GameWindow::HandleEvent(const void* event) {
    Impl& d = impl_->Check();
    const SDL_Event& e = *static_cast<const SDL_Event*>(event);
    if (!d.window || e.type != SDL_WINDOWEVENT || e.window.windowID != SDL_GetWindowID(d.window))
        return false;
    switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MOVED:
            d.Sync();
            d.SaveState();
            Repaint();
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            Repaint();
            break;
        default:
            break;
    }
    return true;
}

}  // namespace tb
