#include "platform/graphics_stages.h"

#include <SDL.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "graphics/graphics.h"
#include "graphics/screen_files.h"
#include "platform/host.h"
#include "resources/room.h"
#include "runner/runner.h"
#include "world/caption.h"
#include "world/saved_game.h"
#include "world/world.h"

namespace tb {

namespace {

constexpr const char* kDepthQuestion =
    "This application requires 16-bit or 32-bit color mode. Should I switch to a valid color "
    "mode?";

// A Yes/No question; headless runs write it and take the default answer, Yes.
bool Confirm(bool headless, const char* text) {
    if (headless || SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        std::printf("%s\n", HeadlessMessageLine(text).c_str());
        std::fflush(stdout);
        return true;
    }
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    const SDL_MessageBoxData box = {
        SDL_MESSAGEBOX_INFORMATION, nullptr, "Tamberlo Player", text, 2, buttons, nullptr};
    int answer = 1;
    if (SDL_ShowMessageBox(&box, &answer) != 0) return true;
    return answer == 1;
}

void SetCursorForGame(Runner& r, Graphics& g, bool game) {
    if (game && !r.game.settings.ShowCursor)
        g.game_window.SetCursor(-1);
    else if (!game)
        g.game_window.SetCursor(0);
}

void ShowFrame(World& w, Graphics& g, const std::string& frames) {
    if (!g.device.Exists()) return;
    if (const CRoom* room = w.Room()) g.game_window.SetCaption(WindowCaption(w, room->Caption));
    if (!frames.empty()) WriteFramePng(g, FramePath(frames, w.step_number));
    g.game_window.Present();
    g.device.BeginScene();
}

}  // namespace

bool PrepareGraphics(Runner& r, Graphics& g) {
    const GameSettings& s = r.game.settings;
    const bool headless = r.options.headless;
    // The display mode is never switched at start; only the desktop's depth is checked.
    if (s.ColorDepth == 0) {
        const int32_t depth = GraphicsDevice::DesktopDepth(headless);
        if (depth != 0 && depth != 16 && depth != 32 && !Confirm(headless, kDepthQuestion))
            return false;
    }
    DeviceOptions o;
    o.headless = headless;
    o.vsync = s.VSync;
    if (!InitDevice(g, o, 640, 480)) {
        if (r.host.fail) r.host.fail(g.device.LastError());
        return false;
    }
    g.game = &r.game;
    GameWindow& win = g.game_window;
    win.Attach();
    win.SetRegionSize(8, 8, true);
    win.SetRegionScale(ScaleFactor(s), true);
    win.SetSizeable(s.SizeableWindow);
    win.SetStayOnTop(s.StayOnTop);
    win.SetColor(uint32_t(s.WindowColor) & 0xFFFFFF);
    win.SetShowBorder(!s.NoBorder);
    win.SetShowIcons(!s.NoCaptionButtons);
    win.SetFullScreen(s.FullScreen);
    g.device.SetInterpolation(s.Interpolate);
    CreateResourceTextures(g, r.game);
    g.device.BeginScene();
    r.engine.graphics = &g;
    return true;
}

void AttachGraphics(Runner& r, World& w, Graphics& g) {
    if (!g.device.Exists()) return;
    std::string frames = r.options.frames_dir;
    if (!frames.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(frames, ec);
    }
    WorldHooks& h = w.hooks;
    h.show_frame = [&w, &g, frames] { ShowFrame(w, g, frames); };
    h.show_window = [&g] {
        g.game_window.SetVisible(true);
        g.game_window.Repaint();
    };
    h.set_cursor = [&r, &g](bool game) { SetCursorForGame(r, g, game); };
}

void ReleaseGraphicsStage(Runner& r, Graphics& g) {
    r.engine.graphics = nullptr;
    ReleaseGraphics(g);
}

void InstallGraphicsStages(Runner& r, Graphics& g) {
    r.stages.prepare_graphics = [&g](Runner& run) { return PrepareGraphics(run, g); };
    r.stages.attach_world = [&g](Runner& run, World& w) { AttachGraphics(run, w, g); };
    r.stages.release_graphics = [&g](Runner& run) { ReleaseGraphicsStage(run, g); };
}

}  // namespace tb
