// The display, the game window (style, caption, cursor, colour, position and size, the
// region and its scale, the mouse through the views) and the screen (synchronisation,
// automatic drawing, redraw, refresh, saving it as a picture). Without graphics the functions
// do nothing and return 0.
#include <string>

#include "functions/arguments.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "graphics/display.h"
#include "graphics/graphics.h"
#include "graphics/screen_files.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"
#include "system/paths.h"
#include "world/world.h"

namespace tb {

namespace {

using Handler = void (*)(Graphics& g, RValue& result, const RValue* args);

// Runs the body with the graphics when there are any; the result stays real 0 otherwise.
template <Handler body>
void WithGraphics(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                  const RValue* args) {
    if (engine.graphics) body(*engine.graphics, result, args);
}

// --- display

void DisplayWidth(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.device.ScreenWidth());
}
void DisplayHeight(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.device.ScreenHeight());
}
void DisplayDepth(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.device.DisplayDepth());
}
void DisplayFrequency(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.device.DisplayFrequency());
}

// The runner never switches the display mode; the device is rebuilt as if it had.
void DisplaySet(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(1);
    ResetDevice(g);
}

void DisplayTest(Graphics&, RValue& result, const RValue* args) {
    result.SetReal(TestDisplayMode(Int(args[0]), Int(args[1]), Int(args[2]), Int(args[3])) ? 1 : 0);
}

void DisplayReset(Graphics& g, RValue&, const RValue*) {
    ResetDevice(g);
}

void DisplayMouseX(Graphics& g, RValue& result, const RValue*) {
    int32_t x = 0, y = 0;
    g.game_window.MouseScreen(x, y);
    result.SetReal(x);
}
void DisplayMouseY(Graphics& g, RValue& result, const RValue*) {
    int32_t x = 0, y = 0;
    g.game_window.MouseScreen(x, y);
    result.SetReal(y);
}
void DisplayMouseSet(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetMouseScreen(Int(args[0]), Int(args[1]));
}

// --- window flags, caption, cursor, colour

template <void (GameWindow::*set)(bool)>
void SetFlag(Graphics& g, RValue&, const RValue* args) {
    (g.game_window.*set)(Flag(args[0]));
}
template <bool WindowState::*field>
void GetFlag(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.window.*field ? 1 : 0);
}

void SetCaption(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetCaption(args[0].IsString() ? args[0].text.str() : std::string());
}
void GetCaption(Graphics& g, RValue& result, const RValue*) {
    result = RValue::String(RString(g.window.caption));
}

void SetCursor(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetCursor(Int(args[0]));
}
void GetCursor(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.window.cursor);
}

void SetColor(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetColor(uint32_t(Int(args[0])));
}
void GetColor(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.window.color);
}

// --- window position and size (the client area in screen coordinates)

void SetPosition(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetPosition(Int(args[0]), Int(args[1]));
}

void SetSize(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetSize(Int(args[0]), Int(args[1]));
}

void SetRectangle(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetRectangle(Int(args[0]), Int(args[1]), Int(args[2]), Int(args[3]));
}

void Center(Graphics& g, RValue&, const RValue*) {
    g.game_window.Center();
}

void Default(Graphics& g, RValue&, const RValue*) {
    g.game_window.Default();
}

template <int32_t WindowState::*field>
void GetInt(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.window.*field);
}

void SetRegionSizeFn(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetRegionSize(Int(args[0]), Int(args[1]), Flag(args[2]));
}

void SetRegionScaleFn(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetRegionScale(Number(args[0]), Flag(args[1]));
}

void GetRegionScale(Graphics& g, RValue& result, const RValue*) {
    result.SetReal(g.window.region_scale);
}

// --- the mouse in the window, in a view and through the views

struct Point {
    double x = 0, y = 0;
};

Point CursorInRegion(const Graphics& g) {
    int32_t sx = 0, sy = 0;
    g.game_window.MouseScreen(sx, sy);
    Point p;
    g.window.ToRegion(sx, sy, p.x, p.y);
    return p;
}

void WindowMouseX(Graphics& g, RValue& result, const RValue*) {
    int32_t x = 0, y = 0;
    g.game_window.MouseScreen(x, y);
    result.SetReal(x - g.window.client_x);
}
void WindowMouseY(Graphics& g, RValue& result, const RValue*) {
    int32_t x = 0, y = 0;
    g.game_window.MouseScreen(x, y);
    result.SetReal(y - g.window.client_y);
}
void WindowMouseSet(Graphics& g, RValue&, const RValue* args) {
    g.game_window.SetMouseScreen(g.window.client_x + Int(args[0]),
                                 g.window.client_y + Int(args[1]));
}

template <bool vertical>
void ViewMouse(Graphics& g, RValue& result, const RValue* args) {
    const Point p = CursorInRegion(g);
    Point room;
    g.window.ViewToRoom(Int(args[0]), p.x, p.y, room.x, room.y);
    result.SetReal(vertical ? room.y : room.x);
}

bool SlotUsed(const WindowState& w, int32_t slot) {
    return slot >= 0 && slot < int32_t(w.slots.size()) && w.slots[size_t(slot)].used;
}

void ViewMouseSet(Graphics& g, RValue&, const RValue* args) {
    const int32_t slot = Int(args[0]);
    if (!SlotUsed(g.window, slot)) return;
    double rx = 0, ry = 0;
    g.window.RoomToView(slot, Number(args[1]), Number(args[2]), rx, ry);
    g.game_window.SetMouseRegion(rx, ry);
}

template <bool vertical>
void ViewsMouse(Graphics& g, RValue& result, const RValue*) {
    const Point p = CursorInRegion(g);
    Point room;
    g.window.ViewsToRoom(p.x, p.y, room.x, room.y);
    result.SetReal(vertical ? room.y : room.x);
}

void ViewsMouseSet(Graphics& g, RValue&, const RValue* args) {
    double rx = Number(args[0]), ry = Number(args[1]);
    const int slot = g.window.LowestUsedSlot();
    if (slot >= 0) g.window.RoomToView(slot, rx, ry, rx, ry);
    g.game_window.SetMouseRegion(rx, ry);
}

// --- the screen

void SetSynchronization(Graphics& g, RValue&, const RValue* args) {
    g.device.SetVSync(Flag(args[0]));
}

void set_automatic_draw(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                        const RValue* args) {
    if (engine.world) engine.world->automatic_draw = Flag(args[0]);
}

void screen_redraw(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue*) {
    if (!engine.graphics) return;
    if (engine.world) DrawRoom(*engine.world);
    engine.graphics->game_window.Present();
    engine.graphics->device.BeginScene();
}

void ScreenRefresh(Graphics& g, RValue&, const RValue*) {
    g.game_window.Repaint();
}

void WaitVsync(Graphics& g, RValue&, const RValue*) {
    WaitVerticalBlank(g);
}

// The rectangle of the back buffer as a bitmap file; failures while writing are ignored.
void SaveScreen(ScriptEngine& engine, const RValue* args, bool whole) {
    const std::string name = args[0].IsString() ? args[0].text.str() : std::string();
    if (name.empty()) {
        ShowRuntimeError(engine, "Trying to save screen to empty image file name.", false);
        return;
    }
    Graphics* g = engine.graphics;
    if (!g) return;
    if (whole)
        SaveScreenBmp(*g, HostPath(name), 0, 0, g->device.RegionWidth(), g->device.RegionHeight());
    else
        SaveScreenBmp(*g, HostPath(name), Int(args[1]), Int(args[2]), Int(args[3]), Int(args[4]));
}

void screen_save(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    SaveScreen(engine, args, true);
}

void screen_save_part(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                      const RValue* args) {
    SaveScreen(engine, args, false);
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kScreenRedraw = &screen_redraw;
const BuiltinFunction kScreenSave = &screen_save;

void RegisterDisplayWindowFunctions(FunctionRegistry& r) {
    r.Register("display_get_width", &WithGraphics<DisplayWidth>, 0);
    r.Register("display_get_height", &WithGraphics<DisplayHeight>, 0);
    r.Register("display_get_colordepth", &WithGraphics<DisplayDepth>, 0);
    r.Register("display_get_frequency", &WithGraphics<DisplayFrequency>, 0);
    r.Register("display_set_size", &WithGraphics<DisplaySet>, 2);
    r.Register("display_set_colordepth", &WithGraphics<DisplaySet>, 1);
    r.Register("display_set_frequency", &WithGraphics<DisplaySet>, 1);
    r.Register("display_set_all", &WithGraphics<DisplaySet>, 4);
    r.Register("display_test_all", &WithGraphics<DisplayTest>, 4);
    r.Register("display_reset", &WithGraphics<DisplayReset>, 0);
    r.Register("display_mouse_get_x", &WithGraphics<DisplayMouseX>, 0);
    r.Register("display_mouse_get_y", &WithGraphics<DisplayMouseY>, 0);
    r.Register("display_mouse_set", &WithGraphics<DisplayMouseSet>, 2);

    r.Register("window_set_visible", &WithGraphics<SetFlag<&GameWindow::SetVisible>>, 1);
    r.Register("window_get_visible", &WithGraphics<GetFlag<&WindowState::visible>>, 0);
    r.Register("window_set_fullscreen", &WithGraphics<SetFlag<&GameWindow::SetFullScreen>>, 1);
    r.Register("window_get_fullscreen", &WithGraphics<GetFlag<&WindowState::full_screen>>, 0);
    r.Register("window_set_showborder", &WithGraphics<SetFlag<&GameWindow::SetShowBorder>>, 1);
    r.Register("window_get_showborder", &WithGraphics<GetFlag<&WindowState::show_border>>, 0);
    r.Register("window_set_showicons", &WithGraphics<SetFlag<&GameWindow::SetShowIcons>>, 1);
    r.Register("window_get_showicons", &WithGraphics<GetFlag<&WindowState::show_icons>>, 0);
    r.Register("window_set_stayontop", &WithGraphics<SetFlag<&GameWindow::SetStayOnTop>>, 1);
    r.Register("window_get_stayontop", &WithGraphics<GetFlag<&WindowState::stay_on_top>>, 0);
    r.Register("window_set_sizeable", &WithGraphics<SetFlag<&GameWindow::SetSizeable>>, 1);
    r.Register("window_get_sizeable", &WithGraphics<GetFlag<&WindowState::sizeable>>, 0);
    r.Register("window_set_caption", &WithGraphics<SetCaption>, 1);
    r.Register("window_get_caption", &WithGraphics<GetCaption>, 0);
    r.Register("window_set_cursor", &WithGraphics<SetCursor>, 1);
    r.Register("window_get_cursor", &WithGraphics<GetCursor>, 0);
    r.Register("window_set_color", &WithGraphics<SetColor>, 1);
    r.Register("window_get_color", &WithGraphics<GetColor>, 0);
    r.Register("window_set_position", &WithGraphics<SetPosition>, 2);
    r.Register("window_set_size", &WithGraphics<SetSize>, 2);
    r.Register("window_set_rectangle", &WithGraphics<SetRectangle>, 4);
    r.Register("window_center", &WithGraphics<Center>, 0);
    r.Register("window_default", &WithGraphics<Default>, 0);
    r.Register("window_get_x", &WithGraphics<GetInt<&WindowState::client_x>>, 0);
    r.Register("window_get_y", &WithGraphics<GetInt<&WindowState::client_y>>, 0);
    r.Register("window_get_width", &WithGraphics<GetInt<&WindowState::client_width>>, 0);
    r.Register("window_get_height", &WithGraphics<GetInt<&WindowState::client_height>>, 0);
    r.Register("window_set_region_size", &WithGraphics<SetRegionSizeFn>, 3);
    r.Register("window_get_region_width", &WithGraphics<GetInt<&WindowState::region_width>>, 0);
    r.Register("window_get_region_height", &WithGraphics<GetInt<&WindowState::region_height>>, 0);
    r.Register("window_set_region_scale", &WithGraphics<SetRegionScaleFn>, 2);
    r.Register("window_get_region_scale", &WithGraphics<GetRegionScale>, 0);
    r.Register("window_mouse_get_x", &WithGraphics<WindowMouseX>, 0);
    r.Register("window_mouse_get_y", &WithGraphics<WindowMouseY>, 0);
    r.Register("window_mouse_set", &WithGraphics<WindowMouseSet>, 2);
    r.Register("window_view_mouse_get_x", &WithGraphics<ViewMouse<false>>, 1);
    r.Register("window_view_mouse_get_y", &WithGraphics<ViewMouse<true>>, 1);
    r.Register("window_view_mouse_set", &WithGraphics<ViewMouseSet>, 3);
    r.Register("window_views_mouse_get_x", &WithGraphics<ViewsMouse<false>>, 0);
    r.Register("window_views_mouse_get_y", &WithGraphics<ViewsMouse<true>>, 0);
    r.Register("window_views_mouse_set", &WithGraphics<ViewsMouseSet>, 2);

    r.Register("set_synchronization", &WithGraphics<SetSynchronization>, 1);
    r.Register("set_automatic_draw", &set_automatic_draw, 1);
    r.Register("screen_redraw", &screen_redraw, 0);
    r.Register("screen_refresh", &WithGraphics<ScreenRefresh>, 0);
    r.Register("screen_wait_vsync", &WithGraphics<WaitVsync>, 0);
    r.Register("screen_save", &screen_save, 1);
    r.Register("screen_save_part", &screen_save_part, 5);
}

}  // namespace tb
