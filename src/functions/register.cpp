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
    RegisterExternalFunctions(r);
    RegisterDateFunctions(r);
    RegisterParticleFunctions(r);
    RegisterSoundResourceFunctions(r);
    RegisterDsContainerFunctions(r);
    RegisterDsGridFunctions(r);
    RegisterPlanningFunctions(r);
    RegisterSpriteResourceFunctions(r);
    RegisterBackgroundResourceFunctions(r);
    RegisterFontResourceFunctions(r);
    RegisterScriptResourceFunctions(r);
    RegisterPathResourceFunctions(r);
    RegisterTimeLineResourceFunctions(r);
    RegisterObjectResourceFunctions(r);
    RegisterRoomResourceFunctions(r);
    RegisterEventFunctions(r);
    RegisterRoomChangeFunctions(r);
    RegisterSavedGameFunctions(r);
    RegisterDialogFunctions(r);
    RegisterInstanceFunctions(r);
    RegisterDrawShapeFunctions(r);
    RegisterDrawTextFunctions(r);
    RegisterDrawImageFunctions(r);
    RegisterDisplayWindowFunctions(r);
    RegisterTextureFunctions(r);
    RegisterTileFunctions(r);
    RegisterSurfaceFunctions(r);
    RegisterTransitionFunctions(r);
    RegisterD3dFunctions(r);
    RegisterCollisionFunctions(r);
    RegisterMotionFunctions(r);
    RegisterMotionActions(r);
    RegisterInstanceActions(r);
    RegisterGameActions(r);
    RegisterQuestionActions(r);
    RegisterScoreActions(r);
    RegisterResourceActions(r);
    RegisterSoundActions(r);
    RegisterParticleActions(r);
    RegisterDrawingActions(r);
    RegisterOtherActions(r);
    RegisterInputFunctions(r);
    RegisterFileFunctions(r);
    RegisterProgramFunctions(r);
    RegisterRegistryFunctions(r);
    RegisterIniFunctions(r);
    RegisterSoundFunctions(r);
    RegisterCdFunctions(r);
    RegisterMultiplayerFunctions(r);
}

}  // namespace tb
