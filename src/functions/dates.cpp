// Dates and times.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterDateFunctions(FunctionRegistry&) {}

}  // namespace tb
