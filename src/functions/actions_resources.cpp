// The actions that reload a sprite, sound or background from a file, keeping its settings.
#include <filesystem>
#include <string>
#include <system_error>

#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/resource_rules.h"
#include "functions/shared_handlers.h"
#include "resources/background.h"
#include "resources/sound.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "script/errors.h"
#include "sound/sound_system.h"

namespace tb {

namespace {

using namespace actions;

// Both errors of the three actions: a missing resource, then a missing file.
template <class T>
T* ToReplace(ScriptEngine& e, ResourceList<T>* list, const RValue* a) {
    T* item = list ? list->Get(Int(a[0])) : nullptr;
    if (!item) {
        ShowRuntimeError(e, "Trying to replace non-existing resource.", false);
        return nullptr;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(resource_rules::GamePath(a[1]), ec)) {
        ShowRuntimeError(e, "File does not exist.", false);
        return nullptr;
    }
    return item;
}

RValue Bool(bool b) {
    return Real(b ? 1 : 0);
}

TB_ACTION(action_replace_sprite) {
    const CSprite* s = ToReplace(e, e.game ? &e.game->sprites : nullptr, a);
    if (!s) return;
    CallBuiltin<9>(kSpriteReplace, e, self, other,
                   {a[0], a[1], a[2], Bool(s->Precise), Bool(s->Transparent), Bool(s->SmoothEdges),
                    Bool(s->Preload), Real(s->XOrigin), Real(s->YOrigin)});
}

TB_ACTION(action_replace_background) {
    const CBackground* b = ToReplace(e, e.game ? &e.game->backgrounds : nullptr, a);
    if (!b) return;
    CallBuiltin<5>(kBackgroundReplace, e, self, other,
                   {a[0], a[1], Bool(b->Transparent), Bool(b->SmoothEdges), Bool(b->Preload)});
}

// The sound keeps its kind, preloading, effects, volume and pan.
TB_ACTION(action_replace_sound) {
    const CSound* s = ToReplace(e, e.game ? &e.game->sounds : nullptr, a);
    if (!s) return;
    const CSound kept = *s;
    CallBuiltin<4>(kSoundReplace, e, self, other,
                   {a[0], a[1], Real(kept.Kind), Bool(kept.Preload)});
    CSound* now = e.game->sounds.Get(Int(a[0]));
    if (!now) return;
    now->Effects = kept.Effects;
    now->Volume = kept.Volume;
    now->Pan = kept.Pan;
    if (now->sample >= 0) {
        SoundSystem& sys = SoundOf(e);
        DiscardSound(sys, *now);
        PrepareSound(sys, *now);
    }
}

}  // namespace

void RegisterResourceActions(FunctionRegistry& r) {
    r.Register("action_replace_sprite", &action_replace_sprite, 3);
    r.Register("action_replace_sound", &action_replace_sound, 2);
    r.Register("action_replace_background", &action_replace_background, 2);
}

}  // namespace tb
