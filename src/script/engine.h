// The script language's game-wide state: names, built-ins, constants, globals, argument
// slots, errors and the world the code runs in. The runner owns one; tests make their own.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runner/included_files.h"
#include "script/errors.h"
#include "script/random.h"
#include "script/registry.h"
#include "script/value.h"
#include "script/value_stack.h"
#include "script/variables.h"

namespace tb {

struct Game;
class CRoom;
struct CInstance;
class CCode;
struct DataStructures;
class Multiplayer;
class ParticleState;
struct PlanningState;
struct Extensions;
class World;
struct Graphics;
struct SoundSystem;
struct SystemState;

struct ScriptSettings {
    bool uninitialized_as_zero = false;
    bool display_errors = true;
    bool write_errors = false;
    bool abort_on_error = false;
};

// Where the code being run comes from, for error messages and event_* variables.
struct EventContext {
    int32_t object = -1;  // object index, or time line index for type 100000
    int32_t type = 0;
    int32_t number = 0;
    int32_t action = 0;
};
constexpr int32_t kTimeLineEventType = 100000;

enum class ErrorChoice { kAbort, kIgnore };

// What the language asks of the program around it.
struct ScriptHost {
    // The error window: adds the text to its list and asks; headless it writes the text to
    // standard error and ignores. Null: ignore.
    std::function<ErrorChoice(std::string_view text, bool fatal)> show_error;
    std::function<void(std::string_view)> message_box;    // constants' message boxes
    std::function<void(std::string_view)> debug_message;  // show_debug_message, besides stdout
    std::function<void()> clear_input;                    // after the error window
    std::function<void()> request_abort;                  // a fatal error ends the game
    // Calls extension function `index` (id - 500000). Null: the call gives real 0.
    std::function<bool(int index, CInstance* self, CInstance* other, int argc, const RValue* args,
                       RValue& result)>
        call_extension;
    // The game window's handle as a number; null: 0 (no window).
    std::function<double()> window_handle;
};

// argument0 .. argument15 of the running script: a script call points them at its own fresh
// frame instead of saving and restoring the caller's. `top` bounds the slots that may differ
// from real 0 (every writable access raises it), so a call resets only those.
class ArgumentSlots {
  public:
    static constexpr size_t kCount = 16;
    ArgumentSlots() : values_(base_.data()) {}
    ArgumentSlots(const ArgumentSlots&) = delete;
    ArgumentSlots& operator=(const ArgumentSlots&) = delete;

    RValue& operator[](size_t i) {
        if (i >= top_) top_ = i + 1;
        return values_[i];
    }
    const RValue& operator[](size_t i) const { return values_[i]; }
    const RValue& Get(size_t i) const { return values_[i]; }
    size_t size() const { return kCount; }

    // For the interpreter's calls: the frame in use and its bound.
    RValue* values() const { return values_; }
    size_t top() const { return top_; }
    void Enter(RValue* frame, size_t top) {
        values_ = frame;
        top_ = top;
    }

  private:
    std::array<RValue, kCount> base_;
    RValue* values_;
    size_t top_ = 0;
};

class ScriptEngine {
  public:
    // Registers every built-in function, variable and constant in their fixed order.
    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // --- names, as the compiler resolves them
    // A built-in variable's id when the name is one, else the user variable id.
    int32_t VariableIdOf(std::string_view name);
    std::string VariableNameOf(int32_t id) const;
    // Scripts first, then extension functions, then built-ins; -1 when none.
    int32_t FindFunction(std::string_view name) const;
    // The exact count, -1 for 0 to 16, kNoSuchFunction outside every range.
    int32_t ArgumentCount(int32_t id) const;
    // A resource name (object, sprite, sound, background, path, font, time line, script,
    // room) as its index, else a constant.
    bool LookupValueName(std::string_view name, RValue& out) const;

    // --- user constants (the settings' and the extension packages')
    bool DefineUserConstant(std::string_view name, std::string_view value_text);
    bool DefineUserConstants();  // every constant of game->settings, in order

    // --- errors
    void ClearPending() { errors.pending = false; }
    // Records the first error since the last clear, composed against the unit's text.
    void ReportError(const CCode& code, int32_t position, std::string_view text);
    // Records an already composed message (run-time faults outside any unit).
    void ReportPending(std::string_view message);

    // --- world
    void ResetGlobals();  // new empty globals and globalvar table (start-up, game start)
    // The live instance with that id that is not destroyed, or null (two remembered
    // positions make repeated lookups cheap).
    CInstance* FindInstance(int32_t id);

    Game* game = nullptr;          // resources: names, scripts, extensions
    CRoom* room = nullptr;         // the running room: instances for all, ids, objects and with
    World* world = nullptr;        // the running game (null in tests of the language alone)
    Graphics* graphics = nullptr;  // the drawing state (null until graphics are prepared)
    ScriptSettings settings;
    ScriptHost host;

    VariableNames names;
    BuiltinVariableTable builtin_variables;
    FunctionRegistry functions;
    ConstantTable constants;
    CVariableList globals;
    GlobalVarTable globalvar;
    ArgumentSlots arguments;  // argument0 .. argument15
    ErrorState errors;
    EventContext event;
    int call_depth = 0;
    // Compiled scripts by script index (null: not compiled yet); CallScript compiles on
    // first use, the load sequence may fill it beforehand.
    ValueStack value_stack;  // the interpreter's call arguments
    // The interpreter's walk up long operator chains (a stack shared by nested walks).
    std::vector<int32_t> chain_nodes;
    // Where the included-file functions export to; set by the runner. Their errors are
    // reported as script errors, whatever report_error holds.
    IncludedFileContext files;
    RandomGenerator random;  // the runner's one generator
    // The scripts' stacks, queues, lists, maps, priority queues and grids: they live for the
    // whole run, across game restarts.
    std::unique_ptr<DataStructures> data_structures;
    // Sessions, players and messages; made by the first multiplayer call.
    std::unique_ptr<Multiplayer> multiplayer;
    // Particle types and systems, and the motion-planning grids and settings: they live for
    // the whole run, across game restarts.
    std::unique_ptr<ParticleState> particles;
    std::unique_ptr<PlanningState> planning;
    // The external function table and the extension packages' functions by id.
    std::unique_ptr<Extensions> extensions;
    // Samples, music and the CD drive: started by "Preparing sounds", released at shut-down.
    std::unique_ptr<SoundSystem> sound;
    // Files, INI files, the registry, programs: never null.
    std::unique_ptr<SystemState> system;

  private:
    int remembered_[2] = {0, 0};
};

}  // namespace tb
