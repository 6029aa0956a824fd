// Saving and loading the running game.
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "script/engine.h"
#include "world/saved_game.h"
#include "world/world.h"

namespace tb {

namespace {

// game_save(fname): at once, with every room slot as it is in the middle of the step.
void GameSave(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    if (e.world) SaveGame(*e.world, args[0].text.str());
}

// game_load(fname): the loop replaces the run state between steps.
void GameLoad(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    if (!e.world) return;
    e.world->load_file = args[0].text.str();
    e.world->pending_change = kChangeLoad;
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kGameSave = &GameSave;
const BuiltinFunction kGameLoad = &GameLoad;

void RegisterSavedGameFunctions(FunctionRegistry& r) {
    r.Register("game_save", &GameSave, 1);
    r.Register("game_load", &GameLoad, 1);
}

}  // namespace tb
