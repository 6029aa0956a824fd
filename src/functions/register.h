// Registration of every family of built-in functions, in the fixed order that gives the
// built-in function ids of the run.
#pragma once

namespace tb {

class FunctionRegistry;
class ScriptEngine;

void RegisterAllFunctions(ScriptEngine& engine);

// One per family, each in its own file.
void RegisterDebugFunctions(FunctionRegistry& registry);
void RegisterExternalFunctions(FunctionRegistry& registry);
void RegisterIncludedFileFunctions(FunctionRegistry& registry);
void RegisterMathFunctions(FunctionRegistry& registry);
void RegisterStringFunctions(FunctionRegistry& registry);
void RegisterDynamicCodeFunctions(FunctionRegistry& registry);
void RegisterSystemFunctions(FunctionRegistry& registry);
void RegisterDateFunctions(FunctionRegistry& registry);
void RegisterParticleFunctions(FunctionRegistry& registry);
void RegisterDsContainerFunctions(FunctionRegistry& registry);
void RegisterDsGridFunctions(FunctionRegistry& registry);
void RegisterPlanningFunctions(FunctionRegistry& registry);
void RegisterSpriteResourceFunctions(FunctionRegistry& registry);
void RegisterBackgroundResourceFunctions(FunctionRegistry& registry);
void RegisterFontResourceFunctions(FunctionRegistry& registry);
void RegisterScriptResourceFunctions(FunctionRegistry& registry);
void RegisterPathResourceFunctions(FunctionRegistry& registry);
void RegisterTimeLineResourceFunctions(FunctionRegistry& registry);
void RegisterObjectResourceFunctions(FunctionRegistry& registry);
void RegisterRoomResourceFunctions(FunctionRegistry& registry);
void RegisterEventFunctions(FunctionRegistry& registry);
void RegisterRoomChangeFunctions(FunctionRegistry& registry);
void RegisterSavedGameFunctions(FunctionRegistry& registry);
void RegisterDialogFunctions(FunctionRegistry& registry);
void RegisterInstanceFunctions(FunctionRegistry& registry);
void RegisterDrawShapeFunctions(FunctionRegistry& registry);
void RegisterDrawTextFunctions(FunctionRegistry& registry);
void RegisterDrawImageFunctions(FunctionRegistry& registry);
void RegisterDisplayWindowFunctions(FunctionRegistry& registry);
void RegisterTextureFunctions(FunctionRegistry& registry);
void RegisterTileFunctions(FunctionRegistry& registry);
void RegisterSurfaceFunctions(FunctionRegistry& registry);
void RegisterTransitionFunctions(FunctionRegistry& registry);
void RegisterD3dFunctions(FunctionRegistry& registry);
void RegisterCollisionFunctions(FunctionRegistry& registry);
void RegisterMotionFunctions(FunctionRegistry& registry);
void RegisterMotionActions(FunctionRegistry& registry);
void RegisterInstanceActions(FunctionRegistry& registry);
void RegisterGameActions(FunctionRegistry& registry);
void RegisterQuestionActions(FunctionRegistry& registry);
void RegisterScoreActions(FunctionRegistry& registry);
void RegisterResourceActions(FunctionRegistry& registry);
void RegisterSoundActions(FunctionRegistry& registry);
void RegisterParticleActions(FunctionRegistry& registry);
void RegisterDrawingActions(FunctionRegistry& registry);
void RegisterOtherActions(FunctionRegistry& registry);
void RegisterInputFunctions(FunctionRegistry& registry);
void RegisterMultiplayerFunctions(FunctionRegistry& registry);
void RegisterSoundResourceFunctions(FunctionRegistry& registry);
void RegisterSoundFunctions(FunctionRegistry& registry);
void RegisterCdFunctions(FunctionRegistry& registry);
void RegisterFileFunctions(FunctionRegistry& registry);
void RegisterProgramFunctions(FunctionRegistry& registry);
void RegisterRegistryFunctions(FunctionRegistry& registry);
void RegisterIniFunctions(FunctionRegistry& registry);

}  // namespace tb
