// Project folders: a game as human-editable files (one per resource, code as plain text,
// pictures as PNG) that the pack tool turns into a game file and back.
#pragma once

#include <filesystem>

#include "runner/game.h"

namespace tb::pack {

// Writes `game` into `dir` (created; existing files of the same names are replaced).
void SaveProject(const Game& game, const std::filesystem::path& dir);
// Reads a project folder; throws ProjectError naming the file and the fault.
Game LoadProject(const std::filesystem::path& dir);

}  // namespace tb::pack
