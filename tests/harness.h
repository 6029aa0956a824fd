// Shared by the integration tests: build games in memory with the pack library, load them
// through the runner's own load path, and run the runner binaries.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "pack/game_writer.h"
#include "runner/game.h"
#include "runner/temp_dir.h"

namespace tb::test {

// The smallest game that loads: default settings, one empty room, the room order {0}.
Game MinimalGame();

// A game that uses every record kind with values other than the defaults: sprites with
// several frames, a background, a smooth path, a script, a font, a time line, objects with
// parents and action arguments, rooms with layers, views, instances and tiles, an included
// file, an extension package, game information, constants and library init code.
Game RichGame();

// An object with one code action in the given event (kind, number).
void AddCodeObject(Game& game, const std::string& name, int kind, int number,
                   const std::string& code);

struct LoadOutcome {
    std::string failure;                                // "" when the load succeeded
    std::vector<std::string> messages;                  // message boxes shown meanwhile
    std::vector<std::string> failure_messages;          // those that lead to the failure
    std::vector<std::pair<int, std::string>> progress;  // loading window updates
    Game game;
};

// Loads a game file's bytes through the runner's load path.
LoadOutcome LoadBytes(std::vector<uint8_t> bytes);
inline LoadOutcome LoadGame(const Game& game, const pack::WriteOptions& options = {}) {
    return LoadBytes(pack::WriteGameFile(game, options));
}

// A fresh folder under the system's temporary directory, removed on destruction.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::string str() const { return path.string(); }
    std::filesystem::path path;
};

void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);
void WriteText(const std::filesystem::path& file, const std::string& text);
std::string ReadText(const std::filesystem::path& file);

struct ProcessResult {
    int exit_code = -1;
    std::string out;
    std::string err;
};
// Runs a program with arguments (no shell), in `cwd` when given.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& cwd = {});
inline ProcessResult RunTamberlo(const std::vector<std::string>& args,
                                 const std::filesystem::path& cwd = {}) {
    return RunProgram(TAMBERLO_BINARY, args, cwd);
}
inline ProcessResult RunPack(const std::vector<std::string>& args) {
    return RunProgram(TAMBERLO_PACK_BINARY, args);
}

}  // namespace tb::test
