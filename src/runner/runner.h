// The game-wide runner: owns one game's state from start-up to shut-down and walks the load,
// prepare and shut-down sequences.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runner/command_line.h"
#include "runner/game.h"
#include "runner/temp_dir.h"
#include "script/engine.h"

namespace tb {

class Runner;
class World;

// What the runner asks of the program around it (windows, message boxes). The platform layer
// fills it; tests fill it with recorders.
struct RunnerHost {
    std::function<void(std::string_view)> message;  // a plain message box
    // A message of a failing load or prepare. The failure's own message comes last; the
    // messages that lead to it (a constant that is not valid, the extension list) come first.
    std::function<void(std::string_view)> fail;
    std::function<void(const Game&)> show_load_window;
    std::function<void(int, std::string_view)> progress;
    std::function<void()> hide_load_window;
    ScriptHost script;  // the error window, debug messages, ...
};

// Stages that the platform and later subsystems fill. An empty stage succeeds.
struct RunnerStages {
    std::function<bool(Runner&)> load_graphics_library;
    std::function<bool(Runner&)> prepare_sounds;
    std::function<bool(Runner&)> prepare_graphics;  // shows its own messages
    std::function<void(Runner&)> install_input;
    std::function<void(Runner&)> open_debug_window;
    // Replaces the default run: a World for the game, run until the game ends.
    std::function<void(Runner&)> run_game;
    // Plugs the later subsystems into the World of the default run before it starts.
    std::function<void(Runner&, World&)> attach_world;
    std::function<void(Runner&)> release_graphics;
    std::function<void(Runner&)> release_sound;
};

class Runner {
  public:
    Runner(RunnerOptions options, RunnerHost host, RunnerStages stages = {});

    // Load, prepare and run. False when the start failed (its message has been shown).
    bool StartRunner();
    bool LoadGame();
    bool PrepareGame();
    // The default run: headless runs on the virtual clock; --steps limits the steps.
    void RunWorld();
    void Shutdown();

    RunnerOptions options;
    RunnerHost host;
    RunnerStages stages;
    // True once the run was asked to stop from outside; the game loop ends at the next step
    // boundary and the start sequence ends before the game runs.
    std::function<bool()> stop_requested;
    // The script language; its built-in functions are registered before anything loads. It
    // holds the runner's one random generator.
    ScriptEngine engine;

  private:
    bool seeded_;  // the generator is seeded before the temporary directory draws from it

  public:
    TempDirectory temp;
    bool secure_mode = false;
    Game game;
    World* world = nullptr;  // while the game runs

  private:
    void Progress(int percent, std::string_view caption);
    void ReleaseSound();  // the release_sound stage, else the sound system's own release
    void Fail(std::string_view text);
};

}  // namespace tb
