// Running compiled code for a self and an other instance.
#pragma once

#include <cstdint>

#include "script/value.h"

namespace tb {

class ScriptEngine;
struct CInstance;
class CCode;

// Runaway recursion stops with this script error instead of overflowing the native stack.
inline constexpr const char* kRecursionMessage = "Script calls nested too deeply.";
// Script calls and nested executions together. Each level costs about 0.9 KB of native stack
// in an optimised build and 2.6 KB with the address sanitizer, so 1024 levels stay far
// below an 8 MB thread's stack even for bodies that nest several statements per level.
constexpr int kMaxCallDepth = 1024;

// The core entry: clears the pending error, runs the unit, leaves the value of the last
// return (or last assignment or call statement) in `result`. False on an error, whose
// message is then the engine's pending error.
bool Execute(ScriptEngine& engine, CInstance* self, CInstance* other, const CCode& code,
             RValue& result);
// Execute; a failure is shown as a non-fatal run-time error in the current event context.
bool ExecuteReporting(ScriptEngine& engine, CInstance* self, CInstance* other, const CCode& code,
                      RValue& result);
// Execute; a failure makes the result the string "ERROR" and leaves the message pending.
bool ExecuteOrMark(ScriptEngine& engine, CInstance* self, CInstance* other, const CCode& code,
                   RValue& result);
// Saves the 16 argument slots, fills them, runs script `index`, prefixes "In script NAME:"
// CR to a failure, restores the slots. False at once for an index that names no script.
bool CallScript(ScriptEngine& engine, int index, CInstance* self, CInstance* other, RValue& result,
                const RValue* args, int argc);
// CallScript for a compiled unit that is not a script (extension functions): no prefix is
// added to a failure.
bool CallCode(ScriptEngine& engine, const CCode& code, CInstance* self, CInstance* other,
              RValue& result, const RValue* args, int argc);
// Variables by id outside compiled code: ids below 10000 reach the built-in variables through
// their getters and setters. False when the variable does not exist (a read) or the write is
// refused or read-only. The globalvar table and `var` locals are not consulted.
bool InstanceGet(ScriptEngine& engine, CInstance* instance, int32_t id, int32_t key, RValue& out);
bool InstanceSet(ScriptEngine& engine, CInstance* instance, int32_t id, int32_t key,
                 const RValue& value);

// The compiled code of script `index`, compiled on first use (a failed compile leaves its
// message pending and gives a unit that is not compiled); null when no such script exists.
const CCode* ScriptCode(ScriptEngine& engine, int index);

}  // namespace tb
