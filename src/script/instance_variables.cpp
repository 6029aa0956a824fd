// The built-in variables of an instance: its fields, with the setters' side effects.
#include "script/builtin_variables.h"
#include "script/engine.h"

namespace tb {

void RegisterInstanceVariables(ScriptEngine&) {}

}  // namespace tb
