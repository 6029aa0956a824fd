#include "script/builtin_variables.h"

namespace tb {

// Instance variables first, then the global ones: a variable's id is its position.
void RegisterBuiltinVariables(ScriptEngine& engine) {
    RegisterInstanceVariables(engine);
    RegisterGlobalVariables(engine);
}

}  // namespace tb
