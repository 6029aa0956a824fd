// Calling events from code.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterEventFunctions(FunctionRegistry&) {}

}  // namespace tb
