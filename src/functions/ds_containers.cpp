// Stacks, queues, lists, maps and priority queues addressed by number.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterDsContainerFunctions(FunctionRegistry&) {}

}  // namespace tb
