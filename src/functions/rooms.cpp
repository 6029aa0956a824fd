// Room changes, ending and restarting the game, sleeping. The changes take effect between
// steps; these functions only ask for them.
#include <string>

#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "world/world.h"

namespace tb {

namespace {

int32_t Arg(int argc, const RValue* args) {
    return argc > 0 ? RoundToInt32(args[0].real) : 0;
}

bool RoomExists(const ScriptEngine& engine, int32_t index) {
    return engine.game && engine.game->rooms.Exists(index);
}

void Abort(ScriptEngine& engine, const std::string& text) {
    ShowRuntimeError(engine, text, true);
    if (engine.world) engine.world->pending_change = kChangeAbort;
}

void GotoRoomIndex(ScriptEngine& engine, int32_t index) {
    if (!RoomExists(engine, index)) {
        Abort(engine, "Unexisting room number: " + std::to_string(index));
        return;
    }
    if (engine.world) engine.world->pending_change = index;
}

int32_t CurrentRoom(const ScriptEngine& engine) {
    return engine.world ? engine.world->room : -1;
}

const std::vector<int32_t>& Order(const ScriptEngine& engine) {
    static const std::vector<int32_t> kNone;
    return engine.game ? engine.game->room_order : kNone;
}

void room_goto(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue&,
               const RValue* args) {
    GotoRoomIndex(engine, Arg(argc, args));
}

void room_goto_previous(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue*) {
    const int32_t room = CurrentRoom(engine);
    if (room == FirstRoom(Order(engine))) {
        Abort(engine, "Moving to previous room before the first room.");
        return;
    }
    GotoRoomIndex(engine, PreviousRoom(Order(engine), room));
}

void room_goto_next(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue*) {
    const int32_t room = CurrentRoom(engine);
    if (room == LastRoom(Order(engine))) {
        Abort(engine, "Moving to next room after the last room.");
        return;
    }
    GotoRoomIndex(engine, NextRoom(Order(engine), room));
}

void room_restart(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue*) {
    GotoRoomIndex(engine, CurrentRoom(engine));
}

void room_previous(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue& result,
                   const RValue* args) {
    const int32_t room = Arg(argc, args);
    result.SetReal(RoomExists(engine, room) ? PreviousRoom(Order(engine), room) : -1);
}

void room_next(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue& result,
               const RValue* args) {
    const int32_t room = Arg(argc, args);
    result.SetReal(RoomExists(engine, room) ? NextRoom(Order(engine), room) : -1);
}

void game_end(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue*) {
    if (engine.world) engine.world->pending_change = kChangeEndGame;
}

void game_restart(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue*) {
    if (engine.world) engine.world->pending_change = kChangeRestart;
}

void sleep(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue&, const RValue* args) {
    if (argc < 1) return;
    const int64_t t = RoundToInt64(args[0].real * 1000);
    if (t <= 0) return;
    if (engine.world) {
        engine.world->clock.Wait(t, engine.world->hooks.process_messages);
    } else {
        LoopClock clock;
        clock.Wait(t, {});
    }
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kRoomGoto = &room_goto;
const BuiltinFunction kRoomGotoPrevious = &room_goto_previous;
const BuiltinFunction kRoomGotoNext = &room_goto_next;
const BuiltinFunction kSleep = &sleep;

void RegisterRoomChangeFunctions(FunctionRegistry& r) {
    r.Register("room_goto", &room_goto, 1);
    r.Register("room_goto_previous", &room_goto_previous, 0);
    r.Register("room_goto_next", &room_goto_next, 0);
    r.Register("room_previous", &room_previous, 1);
    r.Register("room_next", &room_next, 1);
    r.Register("room_restart", &room_restart, 0);
    r.Register("game_end", &game_end, 0);
    r.Register("game_restart", &game_restart, 0);
    r.Register("sleep", &sleep, 1);
}

}  // namespace tb
