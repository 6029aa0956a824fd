// Writes seed inputs for the fuzz targets: the example project and the test games, as whole
// game files (DIR/files) and as plain main data blocks (DIR/blocks); their scripts and object
// code as compiler inputs (DIR/code); and a saved game of rooms with instances, tiles and
// globals (DIR/saves).
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "pack/game_writer.h"
#include "pack/project.h"
#include "resources/object.h"
#include "resources/room.h"
#include "resources/script.h"
#include "runner/stream.h"
#include "script/engine.h"
#include "world/instance.h"
#include "world/saved_game.h"
#include "world/world.h"

namespace fs = std::filesystem;

static void Write(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The game of the saved-game fuzz target (id 777, objects hero, coin and wall) in room 0 of
// two, with instances, a tile and globals.
static std::vector<uint8_t> SavedGameSeed() {
    tb::Game game;
    tb::ScriptEngine engine;
    engine.game = &game;
    game.game_id = 777;
    game.last_instance_id = 100000;
    game.last_tile_id = 10000000;
    for (const char* name : {"hero", "coin", "wall"})
        game.objects.Add(std::make_unique<tb::CObject>(), name);
    tb::World world(game, engine);
    world.rooms.resize(2);
    world.rooms[0] = std::make_unique<tb::CRoom>();
    tb::CRoom& r = *world.rooms[0];
    tb::CInstance& a = r.AddInstance(game.objects, game.last_instance_id, 0, 10, 20);
    a.variables.Set(engine.VariableIdOf("hp"), 2, tb::RValue::Real(3));
    r.AddInstance(game.objects, game.last_instance_id, 2, 30, 40);
    tb::CTile tile;
    tile.Width = 16;
    r.AddTile(tile, game.last_tile_id);
    world.room = 0;
    const int32_t gold = engine.VariableIdOf("gold");
    engine.globals.Set(gold, 0, tb::RValue::String(tb::RString("chest")));
    engine.globalvar.Declare(gold);
    return tb::SavedGameBytes(world);
}

static void WriteText(const fs::path& file, char kind, const std::string& text) {
    std::vector<uint8_t> bytes{uint8_t(kind)};
    bytes.insert(bytes.end(), text.begin(), text.end());
    Write(file, bytes);
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_seeds OUT_DIR PROJECT_DIR...\n");
        return 2;
    }
    fs::path out = argv[1];
    fs::create_directories(out / "files");
    fs::create_directories(out / "blocks");
    fs::create_directories(out / "code");
    fs::create_directories(out / "saves");
    Write(out / "saves" / "rooms.save", SavedGameSeed());
    WriteText(out / "code" / "sum.txt", 0,
              "var i, s; s = 0; for (i = 0; i < 10; i += 1) s += i * 2 - 1;");
    WriteText(out / "code" / "expr.txt", 1,
              "(1 + 2) * \"a\" + string(3 div 2) != 4 && !global.x[1, 2]");
    for (int i = 2; i < argc; ++i) {
        tb::Game g = tb::pack::LoadProject(argv[i]);
        tb::pack::WriteOptions o;
        o.level = 0;  // stored deflate blocks keep the records visible to mutations
        std::string name = fs::path(argv[i]).filename().string();
        Write(out / "files" / (name + ".game"), tb::pack::WriteGameFile(g, o));
        tb::CStream block(tb::pack::WriteMainBlock(g, o));
        Write(out / "blocks" / (name + ".block"), block.data);
        for (int s = 0; s < g.scripts.Count(); ++s)
            if (const tb::CScript* script = g.scripts.Get(s))
                WriteText(out / "code" / (name + "_script" + std::to_string(s) + ".txt"), 0,
                          script->GetScriptText());
    }
    return 0;
}
