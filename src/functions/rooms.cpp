// Room changes, ending and restarting the game, sleeping.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterRoomChangeFunctions(FunctionRegistry&) {}

}  // namespace tb
