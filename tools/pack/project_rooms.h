// Project folder form of rooms, the game settings and the game information.
#pragma once

#include <filesystem>

#include "dialogs/game_info.h"
#include "resources/room.h"
#include "runner/settings.h"

namespace tb::pack {

// base.json; creation code of the room in base_creation.txt and of instance n (its position
// in the list) in base_instance_n.txt, each only when not empty. Instances are kept in their
// game-file form (id, object, position, creation code); the by-object lists are left empty.
void SaveRoom(const CRoom& room, const std::filesystem::path& base);
void LoadRoom(const std::filesystem::path& base, CRoom& room);

// base.json; the images present as base_progress_back.png, base_progress_front.png and
// base_loading.png; constants as an array of {name, value}.
void SaveSettings(const GameSettings& settings, const std::filesystem::path& base);
void LoadSettings(const std::filesystem::path& base, GameSettings& settings);

// base.json and the text in base.rtf.
void SaveGameInfo(const GameInfo& info, const std::filesystem::path& base);
void LoadGameInfo(const std::filesystem::path& base, GameInfo& info);

}  // namespace tb::pack
