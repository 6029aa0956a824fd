// Script errors: the pending error of the compiler and interpreter, message composition, the
// error display with its log file and the fatal path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tb {

class ScriptEngine;

struct ErrorState {
    bool pending = false;         // an error was recorded since the last clear
    std::string pending_message;  // its composed message
    std::string last_error;       // error_last
    bool error_occurred = false;  // error_occurred
    bool log_started = true;      // the first log write of the run empties the file
    bool aborting = false;        // a fatal error ended the game; later errors are dropped
};

// "Error in code at line L:" CR "   " line CR CR "at position C: " text for a program, or
// "Error in expression:" source CR " position C: " text for an expression unit.
std::string ComposeCodeMessage(std::string_view source, bool expression, int32_t position,
                               std::string_view text);

// The event context in front of a text: ["FATAL "] "ERROR in" / "action number N" / ... with
// CR LF line ends, from engine.event and the game's names.
std::string WithEventContext(const ScriptEngine& engine, std::string_view text, bool fatal);

void ShowRuntimeError(ScriptEngine& engine, std::string_view text, bool fatal);
// The error display: settings DisplayErrors / WriteErrors / AbortOnError, the error window
// through the engine's host, "game_errors.log", error_last and error_occurred, abort.
void ShowError(ScriptEngine& engine, std::string_view text, bool fatal);

}  // namespace tb
