// Everything a game file holds, as loaded: settings, header fields and every resource list.
// The runner keeps one per run; the pack tool builds and writes one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/game_info.h"
#include "extensions/package.h"
#include "resources/background.h"
#include "resources/font.h"
#include "resources/object.h"
#include "resources/path.h"
#include "resources/resource_list.h"
#include "resources/room.h"
#include "resources/script.h"
#include "resources/sound.h"
#include "resources/sprite.h"
#include "resources/timeline.h"
#include "runner/included_files.h"
#include "runner/settings.h"

namespace tb {

struct Game {
    bool debug = false;  // the header's debug flag
    GameSettings settings;
    int32_t game_id = 0;
    std::array<uint8_t, 16> guid{};

    std::vector<CExtensionPackage> extensions;
    ResourceList<CSound> sounds;
    ResourceList<CSprite> sprites;
    ResourceList<CBackground> backgrounds;
    ResourceList<CPath> paths;
    ResourceList<CScript> scripts;
    ResourceList<CFont> fonts;
    ResourceList<CTimeLine> timelines;
    ResourceList<CObject> objects;
    ResourceList<CRoom> rooms;
    int32_t last_instance_id = 0;  // highest instance id used so far
    int32_t last_tile_id = 0;      // highest tile id used so far
    // While set, every instance whose box is computed is appended here (the collision pass
    // keeps its grid current with it). Not owned.
    std::vector<CInstance*>* box_changes = nullptr;
    std::vector<CDataFile> included_files;
    GameInfo info;
    std::vector<std::string> library_init_code;
    std::vector<int32_t> room_order;
    // Resources and tables that scripts replaced or deleted while code may still run from
    // them; freed when the next step begins.
    std::vector<std::shared_ptr<void>> retired;
};

// What loading needs from the running program.
struct LoadContext {
    // Temporary directory of the run; extension package files are written below it.
    std::string temp_dir;
    // Loading window progress (percent, caption).
    std::function<void(int, std::string_view)> progress;
    // A plain message box (load-time warnings such as an unresolved action function).
    std::function<void(std::string_view)> message;
    // A message that belongs to a failing load and comes before the load's own failure
    // message ("Error in loading extension packages.").
    std::function<void(std::string_view)> failure;
    // Index of a built-in function by exact name, or -1. Until a function registry is
    // installed, built-in names are left unresolved without a message.
    std::function<int(std::string_view)> find_builtin;
    // Bytes that all compressed blocks of the file may inflate to together. Far above any
    // real game; it keeps a malformed file from exhausting memory through nested blocks.
    uint64_t inflate_budget = uint64_t(4) << 30;
};

}  // namespace tb
