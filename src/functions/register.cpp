#include "functions/register.h"

#include "script/engine.h"

namespace tb {

void RegisterAllFunctions(ScriptEngine& engine) {
    FunctionRegistry& r = engine.functions;
    RegisterIncludedFileFunctions(r);
    RegisterMathFunctions(r);
    RegisterStringFunctions(r);
    RegisterDynamicCodeFunctions(r);
    RegisterSystemFunctions(r);
    RegisterDebugFunctions(r);
    RegisterDateFunctions(r);
    RegisterDsContainerFunctions(r);
    RegisterDsGridFunctions(r);
    RegisterEventFunctions(r);
    RegisterRoomChangeFunctions(r);
    RegisterSavedGameFunctions(r);
    RegisterInstanceFunctions(r);
    RegisterDrawShapeFunctions(r);
    RegisterDrawTextFunctions(r);
    RegisterDrawImageFunctions(r);
    RegisterDisplayWindowFunctions(r);
    RegisterTextureFunctions(r);
    RegisterTileFunctions(r);
    RegisterSurfaceFunctions(r);
    RegisterTransitionFunctions(r);
    RegisterCollisionFunctions(r);
    RegisterMotionFunctions(r);
    RegisterInputFunctions(r);
    RegisterFileFunctions(r);
    RegisterProgramFunctions(r);
    RegisterRegistryFunctions(r);
    RegisterIniFunctions(r);
}

}  // namespace tb
