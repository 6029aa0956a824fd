// The room, timing and game actions.
#include "functions/actions_common.h"
#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/room.h"
#include "runner/game.h"
#include "world/instance.h"
#include "world/instance_ops.h"

namespace tb {

namespace {

using namespace actions;

void SetTransition(ScriptEngine& e, const RValue& kind) {
    if (e.world) e.world->transition_kind = Int(kind);
}

TB_ACTION(action_another_room) {
    SetTransition(e, a[1]);
    CallBuiltin<1>(kRoomGoto, e, self, other, {a[0]});
}

TB_ACTION(action_current_room) {
    SetTransition(e, a[0]);
    CallBuiltin<1>(kRoomGoto, e, self, other, {Real(e.world ? e.world->room : -1)});
}

TB_ACTION(action_previous_room) {
    SetTransition(e, a[0]);
    CallBuiltin<0>(kRoomGotoPrevious, e, self, other, {});
}

TB_ACTION(action_next_room) {
    SetTransition(e, a[0]);
    CallBuiltin<0>(kRoomGotoNext, e, self, other, {});
}

TB_ACTION(action_if_previous_room) {
    SetAnswer(result, e.world && e.game && e.world->room != FirstRoom(e.game->room_order));
}

TB_ACTION(action_if_next_room) {
    SetAnswer(result, e.world && e.game && e.world->room != LastRoom(e.game->room_order));
}

// Relative adds only to a running alarm; a stopped one (below 0) is set.
TB_ACTION(action_set_alarm) {
    if (!self) return;
    const int32_t alarm = Int(a[1]);
    const int32_t now = GetAlarm(*self, alarm);
    const double steps = Relative(e) && now >= 0 ? now + Number(a[0]) : Number(a[0]);
    SetAlarm(*self, alarm, RoundToInt32(steps));
}

TB_ACTION(action_sleep) {
    if (Number(a[1]) >= 0.5) CallBuiltin<0>(kScreenRedraw, e, self, other, {});
    CallBuiltin<1>(kSleep, e, self, other, {a[0]});
}

TB_ACTION(action_set_timeline) {
    if (!self) return;
    self->timeline_index = Int(a[0]);
    self->timeline_position = RoundToInt64(Number(a[1]));
}

TB_ACTION(action_set_timeline_position) {
    if (self) self->timeline_position = double(RoundToInt64(Rel(e, self->timeline_position, a[0])));
}

TB_ACTION(action_end_game) {
    if (e.world) e.world->pending_change = kChangeEndGame;
}

TB_ACTION(action_restart_game) {
    if (e.world) e.world->pending_change = kChangeRestart;
}

TB_ACTION(action_save_game) {
    CallBuiltin<1>(kGameSave, e, self, other, {RValue::String(RString(TextOf(a[0])))});
}

TB_ACTION(action_load_game) {
    CallBuiltin<1>(kGameLoad, e, self, other, {RValue::String(RString(TextOf(a[0])))});
}

}  // namespace

void RegisterGameActions(FunctionRegistry& r) {
    r.Register("action_another_room", &action_another_room, 2);
    r.Register("action_current_room", &action_current_room, 1);
    r.Register("action_previous_room", &action_previous_room, 1);
    r.Register("action_next_room", &action_next_room, 1);
    r.Register("action_if_previous_room", &action_if_previous_room, 0);
    r.Register("action_if_next_room", &action_if_next_room, 0);
    r.Register("action_set_alarm", &action_set_alarm, 2);
    r.Register("action_sleep", &action_sleep, 2);
    r.Register("action_set_timeline", &action_set_timeline, 2);
    r.Register("action_set_timeline_position", &action_set_timeline_position, 1);
    r.Register("action_end_game", &action_end_game, 0);
    r.Register("action_restart_game", &action_restart_game, 0);
    r.Register("action_save_game", &action_save_game, 1);
    r.Register("action_load_game", &action_load_game, 1);
}

}  // namespace tb
