// Conversions between reals and texts, and text handling.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterStringFunctions(FunctionRegistry&) {}

}  // namespace tb
