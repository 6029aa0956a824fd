// Running code given as text, and variables by name.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterDynamicCodeFunctions(FunctionRegistry&) {}

}  // namespace tb
