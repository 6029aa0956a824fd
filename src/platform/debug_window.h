// The debug window: a second SDL window with its own GL and ImGui contexts beside the game
// window, refreshed after every step and kept alive while the game is paused. Headless runs
// never make it (there is no one to look at it).
#pragma once

#include <memory>
#include <string>

#include "dialogs/debug_info.h"

namespace tb {

class ScriptEngine;
class World;
struct RunnerStages;
class SdlInput;

class DebugWindow {
  public:
    explicit DebugWindow(ScriptEngine& engine);
    ~DebugWindow();
    DebugWindow(const DebugWindow&) = delete;
    DebugWindow& operator=(const DebugWindow&) = delete;

    // Makes and shows the window at (10, 10); false without a display.
    bool Open();
    bool IsOpen() const;
    // An SDL event of this window (an SDL_Event pointer).
    void HandleEvent(const void* sdl_event);
    // Draws one frame with the state of `w` (the end of every step, and while paused).
    void Refresh(World& w);

    DebugSession session;

  private:
    struct State;
    std::unique_ptr<State> state_;
    ScriptEngine& engine_;
};

// Adds the debug window to the runner's stages: opened by open_debug_window (the game's
// debug flag or --debug), then refreshed by the world's debug_refresh after every step, which
// also holds the game while it is paused; its events come through the input's
// foreign_event; show_debug_message lines go to its messages.
void AddDebugWindowStages(RunnerStages& stages, SdlInput& input, DebugWindow& window);

}  // namespace tb
