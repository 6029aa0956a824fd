// The game window's input from SDL: keys as the virtual-key codes the games use, typed text
// in the game's code page, the mouse in region coordinates, the wheel, the close button, the
// focus and up to two joysticks; and the input's place in the runner's stages (recording,
// replay, the Alt+F4 question).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "world/input_state.h"
#include "world/input_system.h"

union SDL_Event;

namespace tb {

struct Graphics;
struct RunnerOptions;
struct RunnerStages;

// The virtual-key code of an SDL key (scancode and key code; the keypad depends on Num
// Lock). Shift, control and alt give their side codes 160 .. 165. 0 for keys without one.
int32_t VirtualKeyOf(int32_t scancode, int32_t keycode, bool numlock);
// The same by SDL's scancode name ("Left", "Keypad 7", "A" ...), with the key code SDL's
// default layout gives; for tests.
int32_t VirtualKeyOfScancodeName(const char* name, bool numlock);
// The window an SDL event belongs to; 0 for events of no window (quit, joysticks).
uint32_t SdlEventWindow(const SDL_Event& e);
// Typed text (UTF-8) as the game's characters (Windows-1252); others are dropped.
void GameCharacters(std::string_view utf8, std::vector<int32_t>& out);

class SdlInput {
  public:
    // Headless: no window and no devices; nothing ever arrives.
    explicit SdlInput(bool headless);
    ~SdlInput();
    SdlInput(const SdlInput&) = delete;
    SdlInput& operator=(const SdlInput&) = delete;

    // The window whose input counts and the mapping of its client area (null: none yet).
    void SetWindow(void* sdl_window, const Graphics* graphics);
    bool HasWindow() const;
    // Appends the input events since the last call (InputHooks::pump).
    void Pump(std::vector<InputEvent>& out);
    // The Alt+F4 question: a Yes/No box; headless the "[message] ..." line and Yes.
    bool Ask(std::string_view text);

    // Window events that are not input (size, paint ...), handed on as SDL_Event pointers.
    std::function<void(const void* sdl_event)> window_event;
    // Events of the runner's other windows (the debug window), handed on as they come.
    std::function<void(const void* sdl_event)> foreign_event;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The recording and the replay named on the command line: reads and checks the replay,
// creates the recording. False with the reason in `error`.
bool PrepareInputOptions(const RunnerOptions& options, InputOptions& out, std::string& error);

// Adds input to the runner's stages: after whatever attach_world does already, the world gets
// its input system with the window's events, the question and the recording or replay.
// `extra` brings the hooks of other parts (game information, full screen, screenshots).
void AddInputStages(RunnerStages& stages, SdlInput& input, InputOptions options,
                    InputHooks extra = {});

}  // namespace tb
