// Registration of every family of built-in functions, in the fixed order that gives the
// built-in function ids of the run.
#pragma once

namespace tb {

class FunctionRegistry;
class ScriptEngine;

void RegisterAllFunctions(ScriptEngine& engine);

// One per family, each in its own file.
void RegisterDebugFunctions(FunctionRegistry& registry);
void RegisterIncludedFileFunctions(FunctionRegistry& registry);

}  // namespace tb
