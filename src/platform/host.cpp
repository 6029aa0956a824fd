#include "platform/host.h"

#include <SDL.h>

#include <cstdio>
#include <string>

#include "dialogs/dialogs.h"
#include "graphics/room_draw.h"
#include "platform/dialog_windows.h"
#include "platform/error_window.h"
#include "platform/graphics_stages.h"
#include "sound/sound_system.h"
#include "world/world.h"

namespace tb {

std::string HeadlessMessageLine(std::string_view text) {
    std::string line = "[message] ";
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            line += "\\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    return line;
}

PlatformHost::PlatformHost(bool headless) : headless_(headless) {
    // Stop signals are the runner's own (they end the run, not the game): SDL must not turn
    // them into a close event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (!headless_) video_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

PlatformHost::~PlatformHost() {
    // The dialogs' objects on the game's GL context go while that context exists.
    dialogs_.CloseModeless();
    dialogs_.DropGameSurface();
    if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool PlatformHost::DialogEvent(const void* sdl_event) {
    if (!dialogs_.HandleForeignEvent(sdl_event)) return false;
    dialogs_.PumpModeless();
    return true;
}

RunnerHost PlatformHost::MakeRunnerHost() {
    RunnerHost h;
    bool boxes = video_;
    h.message = [boxes](std::string_view text) {
        if (boxes) {
            std::string t(text);
            SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "Tamberlo Player", t.c_str(),
                                     nullptr);
        } else {
            std::string line = HeadlessMessageLine(text);
            std::fprintf(stdout, "%s\n", line.c_str());
            std::fflush(stdout);
        }
    };
    h.fail = [boxes](std::string_view text) {
        std::string t(text);
        std::fprintf(stderr, "%s\n", t.c_str());
        if (boxes)
            SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Tamberlo Player", t.c_str(), nullptr);
    };
    h.show_load_window = [this](const Game& g) { load_window_.Show(g); };
    h.progress = [this](int p, std::string_view c) { load_window_.Progress(p, c); };
    h.hide_load_window = [this] { load_window_.Hide(); };
    h.script.show_error = video_ ? MakeErrorWindow(dialogs_) : MakeHeadlessErrorWindow();
    return h;
}

void PlatformHost::InstallStages(Runner& runner) {
    InstallGraphicsStages(runner, graphics_);
    // Sound through the audio device in a window; headless the mix is rendered on the clock.
    runner.stages.prepare_sounds = [headless = headless_](Runner& r) {
        return PrepareSounds(r, !headless);
    };
    if (video_) {
        GameTarget target;
        target.window = [this]() -> void* {
            return graphics_.device.Exists() ? graphics_.device.NativeWindow() : nullptr;
        };
        target.context = [this]() -> void* {
            return graphics_.device.Exists() ? graphics_.device.NativeContext() : nullptr;
        };
        target.repaint = [this](const std::function<void()>& overlay) {
            return graphics_.game_window.RepaintWith(overlay);
        };
        target.window_event = [this](const void* e) { graphics_.game_window.HandleEvent(e); };
        dialogs_.SetGameTarget(std::move(target));
        DialogsOf(runner.engine).frontend =
            MakeDialogWindows(dialogs_, [this](int& x, int& y, int& w, int& h) {
                auto* window = static_cast<SDL_Window*>(graphics_.device.NativeWindow());
                if (!window) return false;
                SDL_GetWindowPosition(window, &x, &y);
                SDL_GetWindowSize(window, &w, &h);
                return w > 0 && h > 0;
            });
        // What the dialogs made on the game's GL context goes before the context does.
        runner.stages.release_graphics = [this,
                                          release = runner.stages.release_graphics](Runner& r) {
            dialogs_.CloseModeless();
            dialogs_.DropGameSurface();
            if (release) release(r);
        };
    }
    // The room drawing and the transitions draw with the graphics those stages prepared.
    runner.stages.attach_world = [this, attach = runner.stages.attach_world](Runner& r, World& w) {
        if (attach) attach(r, w);
        if (graphics_.device.Exists()) AttachRoomDrawing(w, graphics_);
        // A modeless dialog (game information or a splash that lets the game run) is drawn
        // with every frame of the game.
        if (video_)
            w.hooks.show_frame = [this, show = std::move(w.hooks.show_frame)] {
                if (show) show();
                dialogs_.PumpModeless();
            };
    };
}

}  // namespace tb
