// Creating, destroying, finding, changing and (de)activating instances.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterInstanceFunctions(FunctionRegistry&) {}

}  // namespace tb
