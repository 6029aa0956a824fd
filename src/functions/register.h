// Registration of every family of built-in functions, in the fixed order that gives the
// built-in function ids of the run.
#pragma once

namespace tb {

class FunctionRegistry;
class ScriptEngine;

void RegisterAllFunctions(ScriptEngine& engine);

// One per family, each in its own file.
void RegisterDebugFunctions(FunctionRegistry& registry);
void RegisterIncludedFileFunctions(FunctionRegistry& registry);
void RegisterMathFunctions(FunctionRegistry& registry);
void RegisterStringFunctions(FunctionRegistry& registry);
void RegisterDynamicCodeFunctions(FunctionRegistry& registry);
void RegisterSystemFunctions(FunctionRegistry& registry);
void RegisterDateFunctions(FunctionRegistry& registry);
void RegisterDsContainerFunctions(FunctionRegistry& registry);
void RegisterDsGridFunctions(FunctionRegistry& registry);
void RegisterEventFunctions(FunctionRegistry& registry);
void RegisterRoomChangeFunctions(FunctionRegistry& registry);
void RegisterSavedGameFunctions(FunctionRegistry& registry);
void RegisterInstanceFunctions(FunctionRegistry& registry);
void RegisterDrawShapeFunctions(FunctionRegistry& registry);
void RegisterDrawTextFunctions(FunctionRegistry& registry);
void RegisterDrawImageFunctions(FunctionRegistry& registry);
void RegisterDisplayWindowFunctions(FunctionRegistry& registry);
void RegisterTextureFunctions(FunctionRegistry& registry);
void RegisterTileFunctions(FunctionRegistry& registry);
void RegisterSurfaceFunctions(FunctionRegistry& registry);
void RegisterTransitionFunctions(FunctionRegistry& registry);
void RegisterCollisionFunctions(FunctionRegistry& registry);
void RegisterMotionFunctions(FunctionRegistry& registry);
void RegisterInputFunctions(FunctionRegistry& registry);
void RegisterFileFunctions(FunctionRegistry& registry);
void RegisterProgramFunctions(FunctionRegistry& registry);
void RegisterRegistryFunctions(FunctionRegistry& registry);
void RegisterIniFunctions(FunctionRegistry& registry);

}  // namespace tb
