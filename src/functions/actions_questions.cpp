// The question actions: each answers 1 or 0; the action list applies the "not" box.
#include <cstring>

#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/sound.h"
#include "runner/game.h"
#include "script/errors.h"
#include "sound/sound_system.h"
#include "world/collision.h"
#include "world/instance.h"
#include "world/instance_sets.h"

namespace tb {

namespace {

using namespace actions;

// Free of solid instances (objects 0) or of every instance (anything else).
bool PlaceIsEmpty(ScriptEngine& e, CInstance& self, const RValue* a) {
    const double x = RelX(e, &self, a[0]), y = RelY(e, &self, a[1]);
    return Int(a[2]) == 0 ? PlaceFree(e, self, x, y) : PlaceEmpty(e, self, x, y);
}

TB_ACTION(action_if_empty) {
    SetAnswer(result, self && PlaceIsEmpty(e, *self, a));
}

TB_ACTION(action_if_collision) {
    SetAnswer(result, self && !PlaceIsEmpty(e, *self, a));
}

TB_ACTION(action_if_object) {
    if (!self) return;
    const int64_t target = ResolveSelfOther(TargetOf(a[0]), self, other);
    SetAnswer(result, PlaceMeeting(e, *self, RelX(e, self, a[1]), RelY(e, self, a[2]), target));
}

TB_ACTION(action_if_number) {
    const int64_t target = ResolveSelfOther(TargetOf(a[0]), self, other);
    SetAnswer(result, Compare<double>(CountInTarget(e, e.room, target), Number(a[1]), a[2]));
}

// True with probability 1001 / (1000 sides): one in `sides`, a hair generously.
TB_ACTION(action_if_dice) {
    const double sides = Number(a[0]);
    if (!(sides > 1)) {
        SetAnswer(result, true);
        return;
    }
    const int64_t range = RoundToInt64(sides * 1000);
    const uint32_t below = range > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(range);
    SetAnswer(result, e.random.Below(below) < 1001);
}

TB_ACTION(action_if_question) {
    result = CallBuiltin<1>(kShowQuestion, e, self, other, {a[0]});
}

TB_ACTION(action_if) {
    result = a[0];
}

// 1 .. 3: that button is held or was released this step; anything else: no button is held.
TB_ACTION(action_if_mouse) {
    if (!e.world) return;
    const InputState& in = e.world->input;
    const int32_t button = Int(a[0]);
    if (button >= 1 && button <= 3)
        SetAnswer(result, in.mouse_held[size_t(button)] || in.mouse_released[size_t(button)]);
    else
        SetAnswer(result, in.mouse_button == 0);
}

TB_ACTION(action_if_aligned) {
    result = CallBuiltin<2>(kPlaceSnapped, e, self, other, {a[0], a[1]});
}

// Strings compare by their character codes, reals by value; a string and a real do not
// compare at all.
TB_ACTION(action_if_variable) {
    if (a[0].IsString() != a[1].IsString()) {
        ShowRuntimeError(e, "Cannot compare arguments.", false);
        SetAnswer(result, false);
        return;
    }
    if (a[0].IsString())
        SetAnswer(result, Compare(a[0].text.view(), a[1].text.view(), a[2]));
    else
        SetAnswer(result, Compare(a[0].real, a[1].real, a[2]));
}

TB_ACTION(action_if_score) {
    if (e.world) SetAnswer(result, Compare<double>(e.world->score, Number(a[0]), a[1]));
}

TB_ACTION(action_if_life) {
    if (e.world) SetAnswer(result, Compare<double>(e.world->lives, Number(a[0]), a[1]));
}

TB_ACTION(action_if_health) {
    if (e.world) SetAnswer(result, Compare<double>(e.world->health, Number(a[0]), a[1]));
}

TB_ACTION(action_if_sound) {
    CSound* sound = e.game ? e.game->sounds.Get(Int(a[0])) : nullptr;
    if (!sound) return;
    SoundSystem& sys = SoundOf(e);
    const int sample = SoundSample(sys, *sound);
    SetAnswer(result, sample >= 0 && sys.engine.IsPlaying(sample));
}

TB_ACTION(action_cd_present) {
    result = CallBuiltin<0>(kCdPresent, e, self, other, {});
}

TB_ACTION(action_cd_playing) {
    result = CallBuiltin<0>(kCdPlaying, e, self, other, {});
}

}  // namespace

void RegisterQuestionActions(FunctionRegistry& r) {
    r.Register("action_if_empty", &action_if_empty, 3);
    r.Register("action_if_collision", &action_if_collision, 3);
    r.Register("action_if_object", &action_if_object, 3);
    r.Register("action_if_number", &action_if_number, 3);
    r.Register("action_if_dice", &action_if_dice, 1);
    r.Register("action_if_question", &action_if_question, 1);
    r.Register("action_if", &action_if, 1);
    r.Register("action_if_mouse", &action_if_mouse, 1);
    r.Register("action_if_aligned", &action_if_aligned, 2);
    r.Register("action_if_variable", &action_if_variable, 3);
    r.Register("action_if_score", &action_if_score, 2);
    r.Register("action_if_life", &action_if_life, 2);
    r.Register("action_if_health", &action_if_health, 2);
    r.Register("action_if_sound", &action_if_sound, 1);
    r.Register("action_cd_present", &action_cd_present, 0);
    r.Register("action_cd_playing", &action_cd_playing, 0);
}

}  // namespace tb
