// The platform side of the runner: the video system, message boxes and the loading window.
#pragma once

#include "graphics/graphics.h"
#include "platform/dialog_host.h"
#include "platform/load_window.h"
#include "runner/runner.h"

namespace tb {

class PlatformHost {
  public:
    // Headless: no window is ever shown; messages go to standard output.
    explicit PlatformHost(bool headless);
    ~PlatformHost();
    PlatformHost(const PlatformHost&) = delete;
    PlatformHost& operator=(const PlatformHost&) = delete;

    RunnerHost MakeRunnerHost();
    // The runner's stages that need the platform: graphics (the device, the game window).
    void InstallStages(Runner& runner);
    bool HasDisplay() const { return video_; }
    // An event of another window than the game's (an SDL_Event pointer): true when it was a
    // dialog's and has been taken.
    bool DialogEvent(const void* sdl_event);

  private:
    bool headless_;
    bool video_ = false;
    LoadWindow load_window_;
    DialogHost dialogs_;
    Graphics graphics_;
};

// "[message] TEXT" with line breaks written as \n, the headless form of every dialog.
std::string HeadlessMessageLine(std::string_view text);

}  // namespace tb
