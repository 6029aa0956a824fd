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
    if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
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
        DialogsOf(runner.engine).frontend =
            MakeDialogWindows(dialogs_, [this](int& x, int& y, int& w, int& h) {
                auto* window = static_cast<SDL_Window*>(graphics_.device.NativeWindow());
                if (!window) return false;
                SDL_GetWindowPosition(window, &x, &y);
                SDL_GetWindowSize(window, &w, &h);
                return w > 0 && h > 0;
            });
    }
    // The room drawing and the transitions draw with the graphics those stages prepared.
    runner.stages.attach_world = [this, attach = runner.stages.attach_world](Runner& r, World& w) {
        if (attach) attach(r, w);
        if (graphics_.device.Exists()) AttachRoomDrawing(w, graphics_);
    };
}

}  // namespace tb
