// Clipboard, window handle and process priority.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterSystemFunctions(FunctionRegistry&) {}

}  // namespace tb
