// Type tests, random numbers, arithmetic, aggregates and plane geometry.
#include "functions/register.h"
#include "script/engine.h"

namespace tb {

void RegisterMathFunctions(FunctionRegistry&) {}

}  // namespace tb
