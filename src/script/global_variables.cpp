// The game-wide built-in variables: they ignore the instance of the access. Values of the
// running game live in the World, room values in the current room; without a world (the
// language alone) their getters give 0 or empty text and their setters refuse.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <type_traits>

#include "resources/room.h"
#include "runner/game.h"
#include "script/builtin_variables.h"
#include "script/engine.h"
#include "script/errors.h"
#include "system/date_time.h"
#include "world/events.h"
#include "world/world.h"

namespace tb {

namespace {

constexpr int32_t kOtherEvent = 7;
constexpr int32_t kNoMoreLives = 6;
constexpr int32_t kNoMoreHealth = 9;
constexpr int32_t kNoInstance = -4;

// --- values in and out of the fields' types

double ToReal(bool v) {
    return v ? 1 : 0;
}
double ToReal(int32_t v) {
    return v;
}
double ToReal(double v) {
    return v;
}
RValue ToValue(bool v) {
    return RValue::Real(ToReal(v));
}
RValue ToValue(int32_t v) {
    return RValue::Real(v);
}
RValue ToValue(double v) {
    return RValue::Real(v);
}
RValue ToValue(const std::string& v) {
    return RValue::String(RString(v));
}

// A flag stores whether the rounded value is greater than 0.5.
void Store(bool& field, const RValue& v) {
    field = RoundToInt64(v.real) > 0;
}
void Store(int32_t& field, const RValue& v) {
    field = RoundToInt32(v.real);
}
void Store(double& field, const RValue& v) {
    field = v.real;
}
void Store(std::string& field, const RValue& v) {
    field = v.text.str();
}

// An array index outside 0 .. 7 means element 0.
size_t Layer(int32_t index) {
    return index >= 0 && index < kRoomLayers ? size_t(index) : 0;
}

// --- fields of the world, the current room, its layers and views

// Real 0, or empty text for a text field: what a variable reads without a world or room.
template <class T>
RValue Nothing() {
    if constexpr (std::is_same_v<std::remove_cvref_t<T>, std::string>)
        return RValue::String(RString());
    else
        return RValue::Real(0);
}

template <auto Field>
bool GetWorld(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = e.world ? ToValue(e.world->*Field) : Nothing<decltype(e.world->*Field)>();
    return true;
}
template <auto Field>
bool SetWorld(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.world) return false;
    Store(e.world->*Field, v);
    return true;
}

template <auto Field>
bool GetRoom(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = e.room ? ToValue(e.room->*Field) : Nothing<decltype(e.room->*Field)>();
    return true;
}
template <auto Field>
bool SetRoom(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.room) return false;
    Store(e.room->*Field, v);
    return true;
}

template <auto Field>
bool GetBack(ScriptEngine& e, CInstance*, int32_t i, RValue& out) {
    out = RValue::Real(e.room ? ToReal(e.room->backgrounds[Layer(i)].*Field) : 0);
    return true;
}
template <auto Field>
bool SetBack(ScriptEngine& e, CInstance*, int32_t i, const RValue& v) {
    if (!e.room) return false;
    Store(e.room->backgrounds[Layer(i)].*Field, v);
    return true;
}

template <auto Field>
bool GetView(ScriptEngine& e, CInstance*, int32_t i, RValue& out) {
    out = RValue::Real(e.room ? ToReal(e.room->views[Layer(i)].*Field) : 0);
    return true;
}
template <auto Field>
bool SetView(ScriptEngine& e, CInstance*, int32_t i, const RValue& v) {
    if (!e.room) return false;
    Store(e.room->views[Layer(i)].*Field, v);
    return true;
}

template <auto Field>
bool GetInput(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = e.world ? ToValue(e.world->input.*Field) : RValue::Real(0);
    return true;
}
// The input state takes only its valid range; other values are ignored, not refused.
template <auto Field, int32_t Low, int32_t High>
bool SetInput(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.world) return false;
    const int64_t n = RoundToInt64(v.real);
    if (n >= Low && n <= High) e.world->input.*Field = int32_t(n);
    return true;
}

// --- arguments

// argument[i]: an index outside the slots means slot 0.
int ArgumentSlot(int32_t index) {
    return index >= 0 && index < kMaxArguments ? index : 0;
}

bool GetArgumentRelative(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.world && e.world->argument_relative ? 1 : 0);
    return true;
}

bool GetArgument(ScriptEngine& e, CInstance*, int32_t index, RValue& out) {
    out = e.arguments.Get(size_t(ArgumentSlot(index)));
    return true;
}
bool SetArgument(ScriptEngine& e, CInstance*, int32_t index, const RValue& v) {
    e.arguments[size_t(ArgumentSlot(index))] = v;
    return true;
}

template <int N>
bool GetArgumentN(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = e.arguments.Get(N);
    return true;
}
template <int N>
bool SetArgumentN(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    e.arguments[N] = v;
    return true;
}

// --- rooms

bool GetRoomIndex(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.world ? e.world->room : 0);
    return true;
}
// The change happens at the end of the step; a room that does not exist ends the game.
bool SetRoomIndex(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    const int32_t index = RoundToInt32(v.real);
    if (!e.game || !e.game->rooms.Exists(index)) {
        ShowRuntimeError(e, "Unexisting room number: " + std::to_string(index), true);
        return true;
    }
    if (!e.world) return false;
    e.world->pending_change = index;
    return true;
}

bool GetRoomFirst(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.game ? FirstRoom(e.game->room_order) : -1);
    return true;
}
bool GetRoomLast(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.game ? LastRoom(e.game->room_order) : -1);
    return true;
}

// At least one frame is always shown.
bool SetTransitionSteps(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.world) return false;
    e.world->transition_steps = std::max(RoundToInt32(v.real), 1);
    return true;
}

bool SetRoomSpeed(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.room) return false;
    const int64_t speed = RoundToInt64(v.real);
    if (speed <= 0) {
        ShowRuntimeError(e, "Trying to set the room speed to a value <= 0.", false);
        return false;
    }
    e.room->Speed = int32_t(speed > INT32_MAX ? INT32_MAX : speed);
    return true;
}

bool GetInstanceCount(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.room ? e.room->InstanceCount() : 0);
    return true;
}
bool GetInstanceId(ScriptEngine& e, CInstance*, int32_t i, RValue& out) {
    const CInstance* inst = e.room ? e.room->GetInstance(i) : nullptr;
    out = RValue::Real(inst ? inst->id : kNoInstance);
    return true;
}

// The size of the layer's background resource; 0 when it does not exist.
template <auto Field>
bool GetBackSize(ScriptEngine& e, CInstance*, int32_t i, RValue& out) {
    const CBackground* b = nullptr;
    if (e.room && e.game)
        b = e.game->backgrounds.Get(e.room->backgrounds[Layer(i)].BackgroundIndex);
    out = RValue::Real(b ? b->*Field : 0);
    return true;
}

// --- score, lives, health

// Lives and health falling from above 0 to 0 or less raise their event in every instance,
// unless the game is already leaving the room.
void RaiseWhenExhausted(World& w, bool exhausted, int32_t number) {
    if (exhausted && w.pending_change == kNoChange) DispatchToAll(w, kOtherEvent, number);
}

bool SetLives(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.world) return false;
    World& w = *e.world;
    const int32_t old = w.lives;
    w.lives = RoundToInt32(v.real);
    RaiseWhenExhausted(w, old > 0 && w.lives <= 0, kNoMoreLives);
    return true;
}

bool SetHealth(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.world) return false;
    World& w = *e.world;
    const double old = w.health;
    w.health = v.real;
    RaiseWhenExhausted(w, old > 0 && !(w.health > 0), kNoMoreHealth);
    return true;
}

// The caption shows the score only once the game has written show_score or scored.
bool SetShowScore(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.world) return false;
    Store(e.world->show_score, v);
    e.world->show_score_set = true;
    return true;
}

// --- game, directories and mode

bool GetGameId(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.game ? e.game->game_id : 0);
    return true;
}

bool GetWorkingDirectory(ScriptEngine&, CInstance*, int32_t, RValue& out) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::current_path(ec);
    out = RValue::String(RString(ec ? std::string() : p.string()));
    return true;
}

bool GetTempDirectory(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::String(RString(e.files.temp_dir));
    return true;
}

// Found once: the executable does not move while it runs.
const std::string& ProgramDirectory() {
    static const std::string dir = [] {
        std::error_code ec;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        std::filesystem::path folder = ec ? std::filesystem::current_path(ec) : exe.parent_path();
        std::string text = ec ? std::string() : folder.string();
        while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
        return text;
    }();
    return dir;
}

bool GetProgramDirectory(ScriptEngine&, CInstance*, int32_t, RValue& out) {
    out = RValue::String(RString(ProgramDirectory()));
    return true;
}

bool GetSecureMode(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.files.secure_mode ? 1 : 0);
    return true;
}

// --- input

bool GetMouseX(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.world ? double(RoundToInt64(e.world->input.mouse_x)) : 0);
    return true;
}
bool GetMouseY(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.world ? double(RoundToInt64(e.world->input.mouse_y)) : 0);
    return true;
}

bool GetLastChar(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::String(RString(e.world ? e.world->input.keyboard_lastchar : std::string()));
    return true;
}
bool SetLastChar(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.world) return false;
    const std::string_view text = v.text.view();
    if (!text.empty()) e.world->input.keyboard_lastchar.assign(1, text.front());
    return true;
}

bool GetKeyboardString(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::String(RString(e.world ? e.world->input.keyboard_string : std::string()));
    return true;
}
bool SetKeyboardString(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    if (!e.world) return false;
    e.world->input.keyboard_string = v.text.str();
    return true;
}

// --- clock

bool GetCurrentTime(ScriptEngine&, CInstance*, int32_t, RValue& out) {
    using namespace std::chrono;
    out = RValue::Real(
        double(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()));
    return true;
}

enum class Part { kYear, kMonth, kDay, kWeekday, kHour, kMinute, kSecond };

template <Part P>
bool GetCurrent(ScriptEngine&, CInstance*, int32_t, RValue& out) {
    const DatePoint now = LocalNow();
    const CivilDate date = CivilFromDays(now.day);
    const double parts[] = {double(date.year),         double(date.month),
                            double(date.day),          double(Weekday(now.day)),
                            double(now.ms / 3600000),  double(now.ms / 60000 % 60),
                            double(now.ms / 1000 % 60)};
    out = RValue::Real(parts[int(P)]);
    return true;
}

// --- the event being run

template <int32_t EventContext::*Field>
bool GetEvent(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.event.*Field);
    return true;
}

// --- errors

bool GetErrorOccurred(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(e.errors.error_occurred ? 1 : 0);
    return true;
}
// Not rounded: 0.5 already counts as true.
bool SetErrorOccurred(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    e.errors.error_occurred = v.real >= 0.5;
    return true;
}

bool GetErrorLast(ScriptEngine& e, CInstance*, int32_t, RValue& out) {
    out = RValue::String(RString(e.errors.last_error));
    return true;
}
bool SetErrorLast(ScriptEngine& e, CInstance*, int32_t, const RValue& v) {
    e.errors.last_error = v.text.str();
    return true;
}

struct Entry {
    const char* name;
    BuiltinGetter get;
    BuiltinSetter set;  // null: read-only
};

#define TB_WORLD(name, field) \
    { name, &GetWorld<&World::field>, &SetWorld<&World::field> }
#define TB_ROOM(name, field) \
    { name, &GetRoom<&CRoom::field>, &SetRoom<&CRoom::field> }
#define TB_BACK(name, field) \
    { name, &GetBack<&CBack::field>, &SetBack<&CBack::field> }
#define TB_VIEW(name, field) \
    { name, &GetView<&CView::field>, &SetView<&CView::field> }

// In their fixed order (a variable's id is its position); a new variable is one line here.
constexpr Entry kVariables[] = {
    {"argument_relative", &GetArgumentRelative, nullptr},
    {"argument", &GetArgument, &SetArgument},
    {"argument0", &GetArgumentN<0>, &SetArgumentN<0>},
    {"argument1", &GetArgumentN<1>, &SetArgumentN<1>},
    {"argument2", &GetArgumentN<2>, &SetArgumentN<2>},
    {"argument3", &GetArgumentN<3>, &SetArgumentN<3>},
    {"argument4", &GetArgumentN<4>, &SetArgumentN<4>},
    {"argument5", &GetArgumentN<5>, &SetArgumentN<5>},
    {"argument6", &GetArgumentN<6>, &SetArgumentN<6>},
    {"argument7", &GetArgumentN<7>, &SetArgumentN<7>},
    {"argument8", &GetArgumentN<8>, &SetArgumentN<8>},
    {"argument9", &GetArgumentN<9>, &SetArgumentN<9>},
    {"argument10", &GetArgumentN<10>, &SetArgumentN<10>},
    {"argument11", &GetArgumentN<11>, &SetArgumentN<11>},
    {"argument12", &GetArgumentN<12>, &SetArgumentN<12>},
    {"argument13", &GetArgumentN<13>, &SetArgumentN<13>},
    {"argument14", &GetArgumentN<14>, &SetArgumentN<14>},
    {"argument15", &GetArgumentN<15>, &SetArgumentN<15>},
    {"room", &GetRoomIndex, &SetRoomIndex},
    {"room_first", &GetRoomFirst, nullptr},
    {"room_last", &GetRoomLast, nullptr},
    TB_WORLD("transition_kind", transition_kind),
    {"transition_steps", &GetWorld<&World::transition_steps>, &SetTransitionSteps},
    TB_WORLD("score", score),
    {"lives", &GetWorld<&World::lives>, &SetLives},
    {"health", &GetWorld<&World::health>, &SetHealth},
    {"game_id", &GetGameId, nullptr},
    {"working_directory", &GetWorkingDirectory, nullptr},
    {"temp_directory", &GetTempDirectory, nullptr},
    {"program_directory", &GetProgramDirectory, nullptr},
    {"instance_count", &GetInstanceCount, nullptr},
    {"instance_id", &GetInstanceId, nullptr},
    {"room_width", &GetRoom<&CRoom::Width>, nullptr},
    {"room_height", &GetRoom<&CRoom::Height>, nullptr},
    TB_ROOM("room_caption", Caption),
    {"room_speed", &GetRoom<&CRoom::Speed>, &SetRoomSpeed},
    TB_ROOM("room_persistent", Persistent),
    TB_ROOM("background_color", Color),
    TB_ROOM("background_showcolor", ShowColor),
    TB_BACK("background_visible", Visible),
    TB_BACK("background_foreground", Foreground),
    TB_BACK("background_htiled", HTiled),
    TB_BACK("background_vtiled", VTiled),
    TB_BACK("background_index", BackgroundIndex),
    TB_BACK("background_blend", Blend),
    TB_BACK("background_x", X),
    TB_BACK("background_y", Y),
    TB_BACK("background_xscale", XScale),
    TB_BACK("background_yscale", YScale),
    TB_BACK("background_hspeed", HSpeed),
    TB_BACK("background_vspeed", VSpeed),
    TB_BACK("background_alpha", Alpha),
    {"background_width", &GetBackSize<&CBackground::Width>, nullptr},
    {"background_height", &GetBackSize<&CBackground::Height>, nullptr},
    TB_ROOM("view_enabled", ViewsEnabled),
    {"view_current", &GetWorld<&World::view_current>, nullptr},
    TB_VIEW("view_visible", Visible),
    TB_VIEW("view_xview", XView),
    TB_VIEW("view_yview", YView),
    TB_VIEW("view_wview", WView),
    TB_VIEW("view_hview", HView),
    TB_VIEW("view_xport", XPort),
    TB_VIEW("view_yport", YPort),
    TB_VIEW("view_wport", WPort),
    TB_VIEW("view_hport", HPort),
    TB_VIEW("view_hborder", HBorder),
    TB_VIEW("view_vborder", VBorder),
    TB_VIEW("view_hspeed", HSpeed),
    TB_VIEW("view_vspeed", VSpeed),
    TB_VIEW("view_object", Object),
    TB_VIEW("view_angle", Angle),
    {"mouse_x", &GetMouseX, nullptr},
    {"mouse_y", &GetMouseY, nullptr},
    {"mouse_button", &GetInput<&InputState::mouse_button>,
     &SetInput<&InputState::mouse_button, 1, 3>},
    {"mouse_lastbutton", &GetInput<&InputState::mouse_lastbutton>,
     &SetInput<&InputState::mouse_lastbutton, 1, 3>},
    {"keyboard_key", &GetInput<&InputState::keyboard_key>,
     &SetInput<&InputState::keyboard_key, 0, 255>},
    {"keyboard_lastkey", &GetInput<&InputState::keyboard_lastkey>,
     &SetInput<&InputState::keyboard_lastkey, 0, 255>},
    {"keyboard_lastchar", &GetLastChar, &SetLastChar},
    {"keyboard_string", &GetKeyboardString, &SetKeyboardString},
    TB_WORLD("cursor_sprite", cursor_sprite),
    {"show_score", &GetWorld<&World::show_score>, &SetShowScore},
    TB_WORLD("show_lives", show_lives),
    TB_WORLD("show_health", show_health),
    TB_WORLD("caption_score", caption_score),
    TB_WORLD("caption_lives", caption_lives),
    TB_WORLD("caption_health", caption_health),
    {"fps", &GetWorld<&World::fps>, nullptr},
    {"current_time", &GetCurrentTime, nullptr},
    {"current_year", &GetCurrent<Part::kYear>, nullptr},
    {"current_month", &GetCurrent<Part::kMonth>, nullptr},
    {"current_day", &GetCurrent<Part::kDay>, nullptr},
    {"current_weekday", &GetCurrent<Part::kWeekday>, nullptr},
    {"current_hour", &GetCurrent<Part::kHour>, nullptr},
    {"current_minute", &GetCurrent<Part::kMinute>, nullptr},
    {"current_second", &GetCurrent<Part::kSecond>, nullptr},
    {"event_type", &GetEvent<&EventContext::type>, nullptr},
    {"event_number", &GetEvent<&EventContext::number>, nullptr},
    {"event_object", &GetEvent<&EventContext::object>, nullptr},
    {"event_action", &GetEvent<&EventContext::action>, nullptr},
    {"secure_mode", &GetSecureMode, nullptr},
    {"error_occurred", &GetErrorOccurred, &SetErrorOccurred},
    {"error_last", &GetErrorLast, &SetErrorLast},
};

#undef TB_WORLD
#undef TB_ROOM
#undef TB_BACK
#undef TB_VIEW

}  // namespace

void RegisterGlobalVariables(ScriptEngine& engine) {
    BuiltinVariableTable& table = engine.builtin_variables;
    for (const Entry& e : kVariables) table.Register(e.name, e.get, e.set);
}

}  // namespace tb
