#include "functions/register.h"

#include "script/engine.h"

namespace tb {

void RegisterAllFunctions(ScriptEngine& engine) {
    FunctionRegistry& r = engine.functions;
    RegisterIncludedFileFunctions(r);
    RegisterDebugFunctions(r);
}

}  // namespace tb
