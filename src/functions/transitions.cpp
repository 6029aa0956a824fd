// Transition kinds the game defines with its own scripts.
#include "graphics/transitions.h"

#include <string>

#include "functions/register.h"
#include "script/engine.h"
#include "script/registry.h"
#include "world/world.h"

namespace tb {

namespace {

void transition_define(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    if (!engine.world || !args[1].IsString()) return;
    const bool found =
        DefineTransition(*engine.world, RoundToInt32(args[0].real), args[1].text.view());
    result.SetReal(found ? 1 : 0);
}

void transition_exists(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                       const RValue* args) {
    const int32_t kind = args[0].IsString() ? 0 : RoundToInt32(args[0].real);
    const bool builtin = kind >= 1 && kind <= kBuiltinTransitions;
    result.SetReal(builtin || (engine.world && TransitionExists(*engine.world, kind)) ? 1 : 0);
}

}  // namespace

void RegisterTransitionFunctions(FunctionRegistry& r) {
    r.Register("transition_define", &transition_define, 2);
    r.Register("transition_exists", &transition_exists, 1);
}

}  // namespace tb
