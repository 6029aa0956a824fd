// The table of built-in variables: names with their getters and setters, registered in a
// fixed order at start-up (a variable's id is its position).
#pragma once

namespace tb {

class ScriptEngine;

void RegisterBuiltinVariables(ScriptEngine& engine);
void RegisterInstanceVariables(ScriptEngine& engine);
void RegisterGlobalVariables(ScriptEngine& engine);

}  // namespace tb
