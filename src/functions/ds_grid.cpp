// Grids addressed by number.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterDsGridFunctions(FunctionRegistry&) {}

}  // namespace tb
