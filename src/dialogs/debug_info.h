// The debug window without its drawing: the value display rule, the watch list, the
// information texts (globals, locals of one instance, all instances, messages), the status
// panels and the commands on the game loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

namespace tb {

class ScriptEngine;
class CCode;
class World;

// A string unchanged; an integer real (within 1e-12) as an integer; otherwise the fewest of
// 2, 4, 6, 8 decimals that give it exactly (within 1e-12), else 10 decimals.
std::string DebugValueText(const RValue& v);
// The name and ":" padded with blanks to 20 characters, the value, a line break.
std::string DebugVariableLine(std::string_view name, const RValue& v);

struct DebugWatch {
    std::string expression;
    std::string value;
};

class DebugSession {
  public:
    DebugSession();
    ~DebugSession();

    // --- watches (the empty last row of the grid is not stored)
    std::vector<DebugWatch> watches;
    void AddWatch(std::string expression);
    // Each expression compiled and evaluated with a temporary instance (id 0, object 0) as
    // self and other; "COMPILE ERROR" when it does not compile.
    void RefreshWatches(ScriptEngine& engine);

    // --- information texts
    static std::string GlobalVariablesText(ScriptEngine& engine);
    // `typed` is an instance id when it is a number, else an object name.
    static std::string LocalVariablesText(ScriptEngine& engine, std::string_view typed);
    static std::string AllInstancesText(ScriptEngine& engine);
    std::string messages;  // show_debug_message lines, each followed by an empty line
    void AddMessage(std::string_view text);

    // --- status panels
    static std::string SpeedPanel(ScriptEngine& engine);      // "30 fps"
    static std::string InstancesPanel(ScriptEngine& engine);  // "12 inst"
    static std::string MouseIdPanel(ScriptEngine& engine);    // "mouse id: 100004" or ""

    // --- the loop's pause and single step. The debug refresh at the end of every step calls
    // AfterStep: while the game is paused it calls `wait_once` (process the window's
    // messages, draw the debug window, sleep a little) until the game runs on, takes a
    // single step (the next step runs, then the game is paused again) or stops.
    void AfterStep(World& w, const std::function<void()>& wait_once);

    // Commands; each does nothing when the loop state does not allow it.
    static bool CanRun(const World& w) { return RunningAndPaused(w); }
    static bool CanPause(const World& w);
    static bool CanStep(const World& w) { return RunningAndPaused(w); }
    static bool CanRestartOrStop(const World& w);
    static void Run(World& w);
    static void Pause(World& w);
    void Step(World& w);
    static void Restart(World& w);
    static void Stop(World& w);
    // "" when the code ran, "COMPILE ERROR" when it did not compile.
    std::string ExecuteCode(ScriptEngine& engine, std::string_view code);
    std::string last_code;
    // A number sets room_speed; anything else keeps it. True when it changed.
    static bool SetSpeed(ScriptEngine& engine, std::string_view text);

  private:
    static bool RunningAndPaused(const World& w);
    std::vector<std::unique_ptr<CCode>> compiled_;  // by watch, made again when it changes
    std::vector<std::string> compiled_text_;
    bool step_requested_ = false;
    bool pause_after_step_ = false;
};

}  // namespace tb
