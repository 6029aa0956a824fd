// Saving and loading the running game.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterSavedGameFunctions(FunctionRegistry&) {}

}  // namespace tb
