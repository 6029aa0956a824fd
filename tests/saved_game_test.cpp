// Saved games: the file of the run state, writing it whole or not at all, and reading it
// back only when all of it is sound.
#include "world/saved_game.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "runner/stream.h"
#include "script/engine.h"
#include "script/interpreter.h"
#include "script_harness.h"
#include "system/file_bytes.h"
#include "world/instance.h"
#include "world/world.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
    return bytes;
}

// A game of id 777 in room 0 of three slots (slot 1 empty, slot 2 a kept persistent room),
// with active and inactive instances, tiles, layers, views, globals and a globalvar.
struct SavedGameTest : ::testing::Test {
    Game game;
    ScriptEngine engine;
    World world{game, engine};
    test::ScratchDir dir;
    std::vector<std::string> errors;
    int32_t gold = 0;

    SavedGameTest() {
        engine.game = &game;
        engine.host.show_error = [this](std::string_view t, bool) {
            const size_t at = t.find("\r\n\r\n");
            errors.emplace_back(at == std::string_view::npos ? t : t.substr(at + 4));
            return ErrorChoice::kIgnore;
        };
        game.game_id = 777;
        game.last_instance_id = 100000;
        game.last_tile_id = 10000000;
        for (const char* name : {"hero", "coin"})
            game.objects.Add(std::make_unique<CObject>(), name);
        for (int i = 0; i < 3; ++i)
            game.rooms.Add(std::make_unique<CRoom>(), "r" + std::to_string(i));
        game.room_order = {0, 1, 2};

        world.rooms.resize(3);
        world.rooms[0] = std::make_unique<CRoom>();
        world.rooms[2] = std::make_unique<CRoom>();
        CRoom& r = *world.rooms[0];
        r.Caption = "First";
        r.Speed = 45;
        r.backgrounds[3].Visible = true;
        r.backgrounds[3].X = 12.5;
        r.views[1].XView = 64;
        r.ViewsEnabled = true;
        CInstance& a = r.AddInstance(game.objects, game.last_instance_id, 0, 10, 20);
        a.hspeed = 1.5;
        a.variables.Set(engine.VariableIdOf("hp"), 0, RValue::Real(3));
        CInstance& b = r.AddInstance(game.objects, game.last_instance_id, 1, 30, 40);
        b.deactivated = true;
        r.AddInstance(game.objects, game.last_instance_id, 1, 50, 60);
        r.ApplyActivation(game.objects);
        CTile tile;
        tile.X = 32;
        tile.Width = 16;
        r.AddTile(tile, game.last_tile_id);
        world.rooms[2]->Persistent = true;
        world.rooms[2]->AddInstance(game.objects, game.last_instance_id, 0, 1, 2);
        world.room = 0;
        engine.room = world.Room();

        world.score = 1200;
        world.lives = 3;
        world.health = 62.5;
        world.cursor_sprite = 2;
        world.cursor_image_counter = 5;
        world.transition_kind = 4;
        world.automatic_draw = false;
        gold = engine.VariableIdOf("gold");
        engine.globals.Set(gold, 0, RValue::Real(12));
        engine.globals.Set(gold, 3, RValue::String(RString("chest")));
        engine.globalvar.Declare(gold);
    }

    std::string Path(const std::string& name) const { return dir / name; }

    // Changes every part of the run state that a load replaces.
    void Disturb() {
        world.score = 1;
        world.lives = -1;
        world.health = 100;
        world.cursor_sprite = -1;
        world.cursor_image_counter = 0;
        world.transition_kind = 0;
        world.automatic_draw = true;
        engine.globals.Set(gold, 0, RValue::Real(0));
        engine.globals.Set(engine.VariableIdOf("later"), 0, RValue::Real(1));
        world.rooms[0]->AddInstance(game.objects, game.last_instance_id, 0, 0, 0);
        world.rooms[0]->ClearTiles();
        world.rooms[1] = std::make_unique<CRoom>();
        world.rooms[2].reset();
        world.rooms.push_back(std::make_unique<CRoom>());
        world.room = 1;
        engine.room = world.Room();
        game.last_instance_id += 50;
        game.last_tile_id += 3;
    }
};

TEST_F(SavedGameTest, FileStartsWithTheRunState) {
    CStream s(SavedGameBytes(world));
    EXPECT_EQ(ReadInteger(s), 540);
    EXPECT_EQ(ReadInteger(s), 777);
    EXPECT_EQ(ReadInteger(s), 0);  // room
    EXPECT_EQ(ReadInteger(s), 4);  // transition_kind
    EXPECT_EQ(ReadInteger(s), 1200);
    EXPECT_EQ(ReadInteger(s), 3);
    EXPECT_EQ(ReadReal(s), 62.5);
    EXPECT_EQ(ReadInteger(s), 2);  // cursor_sprite
    EXPECT_EQ(ReadInteger(s), 5);  // cursor image counter
    EXPECT_FALSE(ReadBoolean(s));  // automatic drawing
    CVariableList globals;
    GlobalVarTable table;
    LoadGlobals(s, globals, table);
    EXPECT_EQ(globals, engine.globals);
    EXPECT_TRUE(table.IsGlobal(gold));
    EXPECT_EQ(ReadInteger(s), 3);  // room slots
    EXPECT_TRUE(ReadBoolean(s));
    CRoom first;
    ASSERT_TRUE(first.ReadState(s, game.objects, [&](CStream& in, CInstance& inst) {
        ReadInstanceRecord(in, game.objects, inst);
        return true;
    }));
    EXPECT_TRUE(first == *world.rooms[0]);
    EXPECT_FALSE(ReadBoolean(s));  // slot 1 empty
    ASSERT_TRUE(ReadBoolean(s));
    CRoom kept;
    ASSERT_TRUE(kept.ReadState(s, game.objects, [&](CStream& in, CInstance& inst) {
        ReadInstanceRecord(in, game.objects, inst);
        return true;
    }));
    EXPECT_EQ(ReadInteger(s), game.last_instance_id);
    EXPECT_EQ(ReadInteger(s), game.last_tile_id);
    EXPECT_EQ(s.Remaining(), 0u);
}

TEST_F(SavedGameTest, LoadRestoresWhatWasSaved) {
    const std::string file = Path("slot.sav");
    const std::vector<uint8_t> saved = SavedGameBytes(world);
    const int32_t saved_last_id = game.last_instance_id;
    ASSERT_TRUE(SaveGame(world, file));
    EXPECT_EQ(FileBytes(file), saved);

    Disturb();
    ASSERT_TRUE(LoadGame(world, file));
    EXPECT_TRUE(errors.empty()) << errors.front();
    // Saving again gives the very same file.
    EXPECT_EQ(SavedGameBytes(world), saved);

    EXPECT_EQ(world.room, 0);
    ASSERT_NE(world.Room(), nullptr);
    EXPECT_EQ(engine.room, world.Room());
    const CRoom& r = *world.Room();
    EXPECT_EQ(r.Caption, "First");
    EXPECT_EQ(r.InstanceCount(), 2);
    EXPECT_EQ(r.inactive_instances.size(), 1u);
    EXPECT_EQ(r.InstancesOfObject(1).size(), 1u);  // the by-object lists are rebuilt
    EXPECT_EQ(r.TileCount(), 1);
    EXPECT_EQ(r.backgrounds[3].X, 12.5);
    EXPECT_EQ(r.views[1].XView, 64);
    EXPECT_EQ(r.instances[0]->hspeed, 1.5);
    EXPECT_EQ(world.rooms.size(), 3u);
    EXPECT_EQ(world.rooms[1], nullptr);
    ASSERT_NE(world.rooms[2], nullptr);
    EXPECT_EQ(world.rooms[2]->InstanceCount(), 1);
    EXPECT_EQ(world.score, 1200);
    EXPECT_EQ(world.health, 62.5);
    EXPECT_FALSE(world.automatic_draw);
    RValue v;
    ASSERT_TRUE(engine.globals.Get(gold, 3, v, false));
    EXPECT_EQ(v, RValue::String(RString("chest")));
    EXPECT_FALSE(engine.globals.Get(engine.VariableIdOf("later"), 0, v, false));
    EXPECT_EQ(game.last_instance_id, saved_last_id);
    // New instances continue from the saved counter.
    EXPECT_EQ(world.Room()->AddInstance(game.objects, game.last_instance_id, 0, 0, 0).id,
              saved_last_id + 1);
}

TEST_F(SavedGameTest, LoadClearsInputAndFitsTheWindow) {
    const std::string file = Path("input.sav");
    ASSERT_TRUE(SaveGame(world, file));
    int fits = 0;
    world.hooks.fit_window = [&] { ++fits; };
    world.input.keyboard_string = "abc";
    world.input.key_held[65] = true;
    ASSERT_TRUE(LoadGame(world, file));
    EXPECT_EQ(fits, 1);
    EXPECT_EQ(world.input.keyboard_string, "");
    EXPECT_FALSE(world.input.key_held[65]);
}

// Files the loader refuses leave the whole run state as it was.
TEST_F(SavedGameTest, RefusedFilesChangeNothing) {
    const std::vector<uint8_t> good = SavedGameBytes(world);
    auto with_int = [&](size_t at, int32_t v) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
        return b;
    };
    // The current room slot (1) is empty in this file.
    const std::vector<uint8_t> no_room = with_int(8, 1);
    const std::vector<uint8_t> truncated(good.begin(), good.begin() + long(good.size() / 2));
    const std::vector<uint8_t> short_header(good.begin(), good.begin() + 6);
    struct Refusal {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const Refusal cases[] = {
        {"v541.sav", with_int(0, 541), "Cannot load game saved with other version."},
        {"other.sav", with_int(4, 778), "This is a save file for a different game!"},
        {"noroom.sav", no_room, "Failed to load game from file "},
        {"cut.sav", truncated, "Failed to load game from file "},
        {"short.sav", short_header, "Failed to load game from file "},
        {"empty.sav", {}, "Failed to load game from file "},
    };
    world.score = 5;  // differs from the files
    const std::vector<uint8_t> before = SavedGameBytes(world);
    for (const Refusal& c : cases) {
        const std::string file = Path(c.name);
        test::WriteBytes(file, c.bytes);
        errors.clear();
        EXPECT_FALSE(LoadGame(world, file)) << c.name;
        std::string expected = c.message;
        if (expected.back() == ' ') expected += file;
        EXPECT_EQ(errors, std::vector<std::string>{expected}) << c.name;
        EXPECT_EQ(SavedGameBytes(world), before) << c.name;
        EXPECT_EQ(engine.room, world.Room());
    }
}

TEST_F(SavedGameTest, MissingFileIsIgnored) {
    const std::vector<uint8_t> before = SavedGameBytes(world);
    EXPECT_FALSE(LoadGame(world, Path("none.sav")));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(SavedGameBytes(world), before);
    // A folder of that name exists but cannot be read as a file.
    fs::create_directories(Path("folder.sav"));
    EXPECT_FALSE(LoadGame(world, Path("folder.sav")));
    EXPECT_EQ(errors,
              std::vector<std::string>{"Failed to load game from file " + Path("folder.sav")});
}

TEST_F(SavedGameTest, SecureModeRefusesFolders) {
    engine.files.secure_mode = true;
    for (std::string name : {Path("a.sav"), std::string("sub\\a.sav"), std::string("sub/a.sav")}) {
        errors.clear();
        EXPECT_FALSE(SaveGame(world, name));
        EXPECT_EQ(errors,
                  std::vector<std::string>{"In secure mode you cannot save game to file " + name});
    }
    EXPECT_FALSE(fs::exists(Path("a.sav")));
    // A plain name goes to the current directory.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path);
    errors.clear();
    const bool saved = SaveGame(world, "_save777.sav");
    fs::current_path(cwd);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(FileBytes(Path("_save777.sav")), SavedGameBytes(world));
}

TEST_F(SavedGameTest, FailedWriteKeepsTheOldFile) {
    const std::string file = Path("keep.sav");
    test::WriteBytes(file, {1, 2, 3});
    // Files may not grow past 16 bytes for a moment: the write of the new file fails.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveGame(world, file);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous_handler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(errors, std::vector<std::string>{"Failed to save game to file " + file});
    EXPECT_EQ(FileBytes(file), (std::vector<uint8_t>{1, 2, 3}));
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir.path)) entries += e.exists() ? 1 : 0;
    EXPECT_EQ(entries, 1u);  // no partial file left beside it
    // A folder that does not exist.
    errors.clear();
    EXPECT_FALSE(SaveGame(world, Path("missing/x.sav")));
    EXPECT_EQ(errors,
              std::vector<std::string>{"Failed to save game to file " + Path("missing/x.sav")});
}

TEST_F(SavedGameTest, ScriptFunctions) {
    const std::string file = Path("script.sav");
    CInstance self;
    test::RunResult r = test::RunCode(engine, "game_save('" + file + "')", &self);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(FileBytes(file), SavedGameBytes(world));
    EXPECT_EQ(world.pending_change, kNoChange);

    r = test::RunCode(engine, "game_load('later.sav'); score = 3", &self);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(world.load_file, "later.sav");
    EXPECT_EQ(world.pending_change, kChangeLoad);
    EXPECT_EQ(world.score, 3);  // nothing is loaded before the loop carries it out
}

}  // namespace
}  // namespace tb
