// Multiplayer sessions, players, messages and shared data. None of these report script
// errors: failures show only in their results.
#include "multiplayer/multiplayer.h"

#include <string>

#include "functions/register.h"
#include "runner/game.h"
#include "script/engine.h"

namespace tb {

namespace {

using Args = const RValue*;

// The module, made on first use with the game's GUID.
Multiplayer& Module(ScriptEngine& e) {
    if (!e.multiplayer)
        e.multiplayer = std::make_unique<Multiplayer>(e.game ? e.game->guid : Guid{});
    return *e.multiplayer;
}

int32_t Int(const RValue& v) {
    return RoundToInt32(v.real);
}

void Bool(RValue& result, bool b) {
    result.SetReal(b ? 1 : 0);
}

// A player argument: a text names a listed player, a real is the id itself.
bool PlayerArg(Multiplayer& mp, const RValue& v, int32_t& id) {
    if (!v.IsString()) {
        id = Int(v);
        return true;
    }
    return mp.PlayerByName(v.text.view(), id);
}

#define MP_FUNCTION(name)                                                    \
    void name([[maybe_unused]] ScriptEngine& e, CInstance*, CInstance*, int, \
              [[maybe_unused]] RValue& result, [[maybe_unused]] Args a)

MP_FUNCTION(InitIpx) {
    Bool(result, Module(e).InitUnavailable());
}
MP_FUNCTION(InitTcpip) {
    Bool(result, Module(e).InitTcpip(a[0].text.view()));
}
MP_FUNCTION(InitModem) {
    Bool(result, Module(e).InitUnavailable());
}
MP_FUNCTION(InitSerial) {
    Bool(result, Module(e).InitUnavailable());
}
MP_FUNCTION(ConnectStatus) {
    result.SetReal(e.multiplayer ? e.multiplayer->connection_kind : 0);
}
MP_FUNCTION(End) {
    if (e.multiplayer) e.multiplayer->End();
}
MP_FUNCTION(SessionMode) {
    Module(e).migrate_host = a[0].real != 0;
}
MP_FUNCTION(SessionCreate) {
    Bool(result, Module(e).SessionCreate(a[0].text.view(), Int(a[1]), a[2].text.view()));
}
MP_FUNCTION(SessionFind) {
    result.SetReal(Module(e).SessionFind());
}
MP_FUNCTION(SessionName) {
    result.SetString(RString(Module(e).SessionName(Int(a[0]))));
}
MP_FUNCTION(SessionJoin) {
    Bool(result, Module(e).SessionJoin(Int(a[0]), a[1].text.view()));
}
MP_FUNCTION(SessionStatus) {
    result.SetReal(e.multiplayer ? e.multiplayer->session_status : 0);
}
MP_FUNCTION(SessionEnd) {
    if (e.multiplayer) e.multiplayer->SessionEnd();
}
MP_FUNCTION(PlayerFind) {
    result.SetReal(Module(e).RefreshPlayers());
}
MP_FUNCTION(PlayerName) {
    result.SetString(RString(Module(e).PlayerName(Int(a[0]))));
}
MP_FUNCTION(PlayerId) {
    result.SetReal(Module(e).PlayerId(Int(a[0])));
}
MP_FUNCTION(DataWrite) {
    Bool(result, Module(e).DataWrite(RoundToInt64(a[0].real), a[1]));
}
MP_FUNCTION(DataRead) {
    result = Module(e).DataRead(RoundToInt64(a[0].real));
}
MP_FUNCTION(DataMode) {
    Module(e).data_guaranteed = a[0].real != 0;
}

void Send(ScriptEngine& e, RValue& result, Args a, bool guaranteed) {
    Multiplayer& mp = Module(e);
    int32_t to = 0;
    Bool(result,
         mp.InSession() && PlayerArg(mp, a[0], to) && mp.Send(to, Int(a[1]), a[2], guaranteed));
}
MP_FUNCTION(MessageSend) {
    Send(e, result, a, false);
}
MP_FUNCTION(MessageSendGuaranteed) {
    Send(e, result, a, true);
}
MP_FUNCTION(MessageReceive) {
    Multiplayer& mp = Module(e);
    int32_t from = 0;
    Bool(result, mp.InSession() && PlayerArg(mp, a[0], from) && mp.Receive(from));
}
MP_FUNCTION(MessageId) {
    result.SetReal(e.multiplayer ? e.multiplayer->current_message.id : 0);
}
MP_FUNCTION(MessageValue) {
    if (e.multiplayer) result = e.multiplayer->current_message.value;
}
MP_FUNCTION(MessagePlayer) {
    result.SetReal(e.multiplayer ? e.multiplayer->current_message.player : 0);
}
MP_FUNCTION(MessageName) {
    result.SetString(RString(Module(e).MessageSenderName()));
}
MP_FUNCTION(MessageCount) {
    result.SetReal(Module(e).MessageCount(Int(a[0])));
}
MP_FUNCTION(MessageClear) {
    Module(e).MessageClear(Int(a[0]));
}
MP_FUNCTION(IpAddress) {
    result.SetString(RString(LocalIpAddress()));
}

#undef MP_FUNCTION

}  // namespace

void RegisterMultiplayerFunctions(FunctionRegistry& r) {
    r.Register("mplay_init_ipx", &InitIpx, 0);
    r.Register("mplay_init_tcpip", &InitTcpip, 1);
    r.Register("mplay_init_modem", &InitModem, 2);
    r.Register("mplay_init_serial", &InitSerial, 5);
    r.Register("mplay_connect_status", &ConnectStatus, 0);
    r.Register("mplay_end", &End, 0);
    r.Register("mplay_session_mode", &SessionMode, 1);
    r.Register("mplay_session_create", &SessionCreate, 3);
    r.Register("mplay_session_find", &SessionFind, 0);
    r.Register("mplay_session_name", &SessionName, 1);
    r.Register("mplay_session_join", &SessionJoin, 2);
    r.Register("mplay_session_status", &SessionStatus, 0);
    r.Register("mplay_session_end", &SessionEnd, 0);
    r.Register("mplay_player_find", &PlayerFind, 0);
    r.Register("mplay_player_name", &PlayerName, 1);
    r.Register("mplay_player_id", &PlayerId, 1);
    r.Register("mplay_data_write", &DataWrite, 2);
    r.Register("mplay_data_read", &DataRead, 1);
    r.Register("mplay_data_mode", &DataMode, 1);
    r.Register("mplay_message_send", &MessageSend, 3);
    r.Register("mplay_message_send_guaranteed", &MessageSendGuaranteed, 3);
    r.Register("mplay_message_receive", &MessageReceive, 1);
    r.Register("mplay_message_id", &MessageId, 0);
    r.Register("mplay_message_value", &MessageValue, 0);
    r.Register("mplay_message_player", &MessagePlayer, 0);
    r.Register("mplay_message_name", &MessageName, 0);
    r.Register("mplay_message_count", &MessageCount, 1);
    r.Register("mplay_message_clear", &MessageClear, 1);
    r.Register("mplay_ipaddress", &IpAddress, 0);
}

}  // namespace tb
