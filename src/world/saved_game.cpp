#include "world/saved_game.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "resources/room.h"
#include "runner/game.h"
#include "runner/stream.h"
#include "script/engine.h"
#include "script/errors.h"
#include "system/file_bytes.h"
#include "system/paths.h"
#include "system/secure_names.h"
#include "world/broad_phase.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/world.h"

namespace tb {

namespace {

// Everything a file holds, read in full before any of it replaces the run state.
struct SavedState {
    int32_t room = -1;
    int32_t transition_kind = 0;
    int32_t score = 0;
    int32_t lives = 0;
    double health = 0;
    int32_t cursor_sprite = -1;
    int32_t cursor_image_counter = 0;
    bool automatic_draw = true;
    bool has_globals = false;  // the block carried its version
    CVariableList globals;
    GlobalVarTable globalvar;
    std::vector<std::unique_ptr<CRoom>> rooms;
    int32_t last_instance_id = 0;
    int32_t last_tile_id = 0;
};

// After the version and the game id. False when a room record is not one.
bool ReadState(CStream& s, const Game& game, SavedState& out) {
    out.room = ReadInteger(s);
    out.transition_kind = ReadInteger(s);
    out.score = ReadInteger(s);
    out.lives = ReadInteger(s);
    out.health = ReadReal(s);
    out.cursor_sprite = ReadInteger(s);
    out.cursor_image_counter = ReadInteger(s);
    out.automatic_draw = ReadBoolean(s);

    const size_t block = s.pos;
    out.has_globals = ReadInteger(s) == kGlobalBlockVersion;
    s.pos = block;
    LoadGlobals(s, out.globals, out.globalvar);

    const int32_t slots = ReadCount(s, 4);  // every slot has at least its flag
    const InstanceStateReader read_instance = StandardInstanceReader(game.objects);
    for (int32_t i = 0; i < slots; ++i) {
        std::unique_ptr<CRoom> room;
        if (ReadBoolean(s)) {
            room = std::make_unique<CRoom>();
            if (!room->ReadState(s, game.objects, read_instance)) return false;
        }
        out.rooms.push_back(std::move(room));
    }
    out.last_instance_id = ReadInteger(s);
    out.last_tile_id = ReadInteger(s);
    return true;
}

void Apply(World& w, SavedState& st) {
    ScriptEngine& e = w.engine;
    w.room = st.room;
    w.transition_kind = st.transition_kind;
    w.score = st.score;
    w.lives = st.lives;
    w.health = st.health;
    w.cursor_sprite = st.cursor_sprite;
    w.cursor_image_counter = st.cursor_image_counter;
    w.automatic_draw = st.automatic_draw;
    if (st.has_globals) {
        e.globals = std::move(st.globals);
        e.globalvar = std::move(st.globalvar);
    }
    w.rooms = std::move(st.rooms);  // the old copies are freed here
    if (w.collision_grid && w.collision_grid->queries) w.collision_grid->queries->Reset();
    e.room = w.Room();
    w.game.last_instance_id = st.last_instance_id;
    w.game.last_tile_id = st.last_tile_id;
    w.input.Clear();
    if (w.hooks.fit_window) w.hooks.fit_window();
}

}  // namespace

std::vector<uint8_t> SavedGameBytes(const World& w) {
    const ScriptEngine& e = w.engine;
    CStream s;
    WriteInteger(s, kSavedGameVersion);
    WriteInteger(s, w.game.game_id);
    WriteInteger(s, w.room);
    WriteInteger(s, w.transition_kind);
    WriteInteger(s, w.score);
    WriteInteger(s, w.lives);
    WriteReal(s, w.health);
    WriteInteger(s, w.cursor_sprite);
    WriteInteger(s, w.cursor_image_counter);
    WriteBoolean(s, w.automatic_draw);
    SaveGlobals(s, e.globals, e.globalvar);
    WriteInteger(s, int32_t(w.rooms.size()));
    const InstanceStateWriter write_instance = StandardInstanceWriter();
    for (const auto& room : w.rooms) {
        WriteBoolean(s, room != nullptr);
        if (room) room->WriteState(s, write_instance);
    }
    WriteInteger(s, w.game.last_instance_id);
    WriteInteger(s, w.game.last_tile_id);
    return std::move(s.data);
}

bool SaveGame(World& w, const std::string& name) {
    if (w.engine.files.secure_mode && !IsConfinedName(name)) {
        ShowRuntimeError(w.engine, "In secure mode you cannot save game to file " + name, false);
        return false;
    }
    // Built whole first and renamed into place: a failed write keeps the previous save.
    // Durable: a power cut right after keeps the new save or the old one, never neither.
    if (!WriteFileAtomically(HostPath(name), SavedGameBytes(w), true)) {
        ShowRuntimeError(w.engine, "Failed to save game to file " + name, false);
        return false;
    }
    return true;
}

namespace {

// The whole file read into `state`; the error text to show, empty when all of it is sound.
std::string ReadSavedGame(std::vector<uint8_t> bytes, const Game& game, SavedState& state,
                          const std::string& failed) {
    CStream s(std::move(bytes));
    try {
        if (ReadInteger(s) != kSavedGameVersion)
            return "Cannot load game saved with other version.";
        if (ReadInteger(s) != game.game_id) return "This is a save file for a different game!";
        if (!ReadState(s, game, state)) return failed;
    } catch (const StreamError&) {
        return failed;
    }
    // Without its current room the state could not run: refused like an unreadable file.
    if (state.room < 0 || size_t(state.room) >= state.rooms.size() ||
        !state.rooms[size_t(state.room)])
        return failed;
    return {};
}

}  // namespace

std::string CheckSavedGame(std::vector<uint8_t> bytes, const Game& game) {
    SavedState state;
    return ReadSavedGame(std::move(bytes), game, state, "Failed to load game");
}

bool LoadGame(World& w, const std::string& name) {
    const std::string path = HostPath(name);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return false;

    const std::string failed = "Failed to load game from file " + name;
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes)) {
        ShowRuntimeError(w.engine, failed, false);
        return false;
    }
    SavedState state;
    const std::string error = ReadSavedGame(std::move(bytes), w.game, state, failed);
    if (!error.empty()) {
        ShowRuntimeError(w.engine, error, false);
        return false;
    }
    Apply(w, state);
    return true;
}

}  // namespace tb
