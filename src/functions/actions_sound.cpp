// The sound and CD actions.
#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/sound.h"
#include "runner/game.h"
#include "script/errors.h"
#include "sound/sound_system.h"

namespace tb {

namespace {

using namespace actions;

// The sample of the sound named by the first argument; -1 after `missing` when there is no
// such sound.
int SampleOf(ScriptEngine& e, const RValue& v, const char* missing) {
    CSound* sound = e.game ? e.game->sounds.Get(Int(v)) : nullptr;
    if (!sound) {
        ShowRuntimeError(e, missing, false);
        return -1;
    }
    return SoundSample(SoundOf(e), *sound);
}

TB_ACTION(action_sound) {
    const int sample = SampleOf(e, a[0], "Trying to play non-existing sound.");
    if (sample >= 0) SoundOf(e).engine.Play(sample, Number(a[1]) >= 0.5);
}

TB_ACTION(action_end_sound) {
    const int sample = SampleOf(e, a[0], "Trying to stop non-existing sound.");
    if (sample >= 0) SoundOf(e).engine.Stop(sample);
}

TB_ACTION(action_cd_play) {
    CallBuiltin<2>(kCdPlay, e, self, other, {a[0], a[1]});
}

TB_ACTION(action_cd_stop) {
    CallBuiltin<0>(kCdStop, e, self, other, {});
}

TB_ACTION(action_cd_pause) {
    CallBuiltin<0>(kCdPause, e, self, other, {});
}

TB_ACTION(action_cd_resume) {
    CallBuiltin<0>(kCdResume, e, self, other, {});
}

}  // namespace

void RegisterSoundActions(FunctionRegistry& r) {
    r.Register("action_sound", &action_sound, 2);
    r.Register("action_end_sound", &action_end_sound, 2);
    r.Register("action_cd_play", &action_cd_play, 2);
    r.Register("action_cd_stop", &action_cd_stop, 0);
    r.Register("action_cd_pause", &action_cd_pause, 0);
    r.Register("action_cd_resume", &action_cd_resume, 0);
}

}  // namespace tb
