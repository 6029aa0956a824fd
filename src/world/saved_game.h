// Saved games: the whole run state written to one file and read back between steps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tb {

struct Game;
class World;

constexpr int32_t kSavedGameVersion = 540;

// The saved-game file of the run state as it is now.
std::vector<uint8_t> SavedGameBytes(const World& w);

// Writes the file (replacing it whole or not at all). Errors are shown as non-fatal script
// errors; false after one.
bool SaveGame(World& w, const std::string& name);
// Replaces the run state with the file's. A missing file does nothing; a file that cannot
// be read in full, of another version or another game changes nothing and shows its error.
// No events run. True when the state was replaced.
bool LoadGame(World& w, const std::string& name);
// Reads a saved game's bytes for `game` as LoadGame does, replacing nothing: the error text,
// empty when the whole file is sound.
std::string CheckSavedGame(std::vector<uint8_t> bytes, const Game& game);

}  // namespace tb
