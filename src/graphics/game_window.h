// The game window's frame and geometry: style flags, client rectangle, region size and scale,
// cursor, caption and presenting the region into the client area. The window itself belongs
// to the device (GraphicsDevice::NativeWindow); platform/game_window.cpp is the only code
// that touches it. Every setter keeps WindowState up to date, so the mapping functions of
// WindowState always see the current client rectangle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "graphics/bitmap32.h"

namespace tb {

class GraphicsDevice;
struct WindowState;

class GameWindow {
  public:
    GameWindow(GraphicsDevice& device, WindowState& state);
    ~GameWindow();
    GameWindow(const GameWindow&) = delete;
    GameWindow& operator=(const GameWindow&) = delete;

    // Takes the device's window (after GraphicsDevice::Init) and applies the style flags of
    // the state. Does nothing without a device window.
    void Attach();
    bool Attached() const;
    // Lets go of the window and the cursors (before the device is released).
    void Detach();

    void SetVisible(bool on);
    void SetFullScreen(bool on);
    void SetShowBorder(bool on);
    void SetShowIcons(bool on);
    void SetStayOnTop(bool on);
    void SetSizeable(bool on);
    void SetCaption(const std::string& caption);
    // A cursor constant: 0 default, -1 none, -2 arrow ... -22 size-all.
    void SetCursor(int32_t cursor);
    void SetColor(uint32_t bgr);
    // Client origin in screen coordinates.
    void SetPosition(int32_t x, int32_t y);
    // Client size, raised to the scaled region when the scale is positive.
    void SetSize(int32_t width, int32_t height);
    void SetRectangle(int32_t x, int32_t y, int32_t width, int32_t height);
    void Center();
    // Client size = the region size (scaled when the scale is positive), centred.
    void Default();

    // A value <= 0 leaves that side unchanged. With a positive scale the client area is made
    // the scaled size (adapt) or only grown to it (no adapt).
    void SetRegionSize(int32_t width, int32_t height, bool adapt);
    void SetRegionScale(double scale, bool adapt);

    // The cursor in screen coordinates; headless runs keep a cursor of their own.
    void MouseScreen(int32_t& x, int32_t& y) const;
    void SetMouseScreen(int32_t x, int32_t y);
    // Places the cursor over a region position.
    void SetMouseRegion(double rx, double ry);

    // Ends the frame and shows the region scaled into the client area, the rest in the
    // window colour; Repaint shows the current back buffer again.
    bool Present();
    bool Repaint();
    // Repaint with `overlay` drawn over the picture before it is shown (see
    // GraphicsDevice::PresentWithOverlay); shown or not.
    bool RepaintWith(const std::function<void()>& overlay);
    // The picture Present would show now: the whole client area with the region scaled into
    // it and the window colour around it.
    CBitmap32 CapturePresented();

    // A window event of the platform (an SDL_Event*): resizes, moves and exposures. True
    // when it was one of the game window's.
    bool HandleEvent(const void* event);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tb
