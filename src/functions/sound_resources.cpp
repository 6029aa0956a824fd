// The resource functions of sounds: inspecting, discarding, restoring, adding, replacing and
// deleting sound resources.
#include "functions/arguments.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"
#include "sound/sound_system.h"

namespace tb {

namespace {

#define TB_SOUND_RESOURCE_HANDLER(name)                                                \
    void name(ScriptEngine& engine, CInstance*, CInstance*, [[maybe_unused]] int argc, \
              [[maybe_unused]] RValue& result, [[maybe_unused]] const RValue* args)

const RValue kNoArgument;

const RValue& Arg(int argc, const RValue* args, int i) {
    return i < argc ? args[i] : kNoArgument;
}
int32_t Whole(int argc, const RValue* args, int i) {
    return Int(Arg(argc, args, i));
}
std::string Text(int argc, const RValue* args, int i) {
    const RValue& v = Arg(argc, args, i);
    return v.IsString() ? std::string(v.text.view()) : std::string();
}

ResourceList<CSound>* Sounds(ScriptEngine& engine) {
    return engine.game ? &engine.game->sounds : nullptr;
}

CSound* SoundArg(ScriptEngine& engine, int argc, const RValue* args) {
    ResourceList<CSound>* list = Sounds(engine);
    return list ? list->Get(Whole(argc, args, 0)) : nullptr;
}

TB_SOUND_RESOURCE_HANDLER(sound_exists) {
    result.SetReal(SoundArg(engine, argc, args) ? 1 : 0);
}

TB_SOUND_RESOURCE_HANDLER(sound_get_name) {
    ResourceList<CSound>* list = Sounds(engine);
    result.SetString(RString(list ? list->Name(Whole(argc, args, 0)) : kUndefinedName));
}

TB_SOUND_RESOURCE_HANDLER(sound_get_kind) {
    CSound* snd = SoundArg(engine, argc, args);
    result.SetReal(snd ? snd->Kind : -1);
}

TB_SOUND_RESOURCE_HANDLER(sound_get_preload) {
    CSound* snd = SoundArg(engine, argc, args);
    result.SetReal(snd ? (snd->Preload ? 1 : 0) : -1);
}

TB_SOUND_RESOURCE_HANDLER(sound_discard) {
    if (CSound* snd = SoundArg(engine, argc, args)) DiscardSound(SoundOf(engine), *snd);
}

TB_SOUND_RESOURCE_HANDLER(sound_restore) {
    if (CSound* snd = SoundArg(engine, argc, args)) PrepareSound(SoundOf(engine), *snd);
}

TB_SOUND_RESOURCE_HANDLER(sound_add) {
    ResourceList<CSound>* list = Sounds(engine);
    if (!list) {
        result.SetReal(-1);
        return;
    }
    result.SetReal(AddSound(SoundOf(engine), *list, Text(argc, args, 0), Whole(argc, args, 1),
                            Flag(Arg(argc, args, 2))));
}

TB_SOUND_RESOURCE_HANDLER(sound_replace) {
    ResourceList<CSound>* list = Sounds(engine);
    int index = Whole(argc, args, 0);
    // An empty slot inside the list is filled; only an index outside it is an error.
    if (!list || index < 0 || index >= list->Count()) {
        ShowRuntimeError(engine, "Trying to replace non-existing sound.", false);
        return;
    }
    bool ok = ReplaceSound(SoundOf(engine), *list, index, Text(argc, args, 1), Whole(argc, args, 2),
                           Flag(Arg(argc, args, 3)));
    result.SetReal(ok ? 1 : 0);
}

TB_SOUND_RESOURCE_HANDLER(sound_delete) {
    ResourceList<CSound>* list = Sounds(engine);
    int index = Whole(argc, args, 0);
    if (!list || !list->Exists(index)) {
        ShowRuntimeError(engine, "Trying to delete non-existing sound.", false);
        return;
    }
    DeleteSound(SoundOf(engine), *list, index);
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kSoundReplace = &sound_replace;

void RegisterSoundResourceFunctions(FunctionRegistry& r) {
    r.Register("sound_exists", sound_exists, 1);
    r.Register("sound_name", sound_get_name, 1);
    r.Register("sound_get_name", sound_get_name, 1);
    r.Register("sound_get_kind", sound_get_kind, 1);
    r.Register("sound_get_preload", sound_get_preload, 1);
    r.Register("sound_discard", sound_discard, 1);
    r.Register("sound_restore", sound_restore, 1);
    r.Register("sound_add", sound_add, 3);
    r.Register("sound_replace", sound_replace, 4);
    r.Register("sound_delete", sound_delete, 1);
}

}  // namespace tb
