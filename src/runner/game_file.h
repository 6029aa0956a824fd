// Reading a game file: the whole-file pass, the header, the settings record and the main data
// block with its fourteen lists.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runner/game.h"

namespace tb {

constexpr int32_t kGameMagic = 1234321;
constexpr int32_t kGameVersion = 700;

// Versions of the lists of the main data block whose records live elsewhere (rooms, game
// information and room order keep theirs beside their records).
constexpr int32_t kExtensionListVersion = 700;
constexpr int32_t kSoundListVersion = 400;
constexpr int32_t kSpriteListVersion = 400;
constexpr int32_t kBackgroundListVersion = 400;
constexpr int32_t kPathListVersion = 420;
constexpr int32_t kScriptListVersion = 400;
constexpr int32_t kFontListVersion = 540;
constexpr int32_t kTimeLineListVersion = 500;
constexpr int32_t kObjectListVersion = 400;
constexpr int32_t kIncludedFileListVersion = 620;
constexpr int32_t kLibraryInitVersion = 500;

// Function ids of action functions that are scripts and extension functions.
constexpr int32_t kScriptFunctionBase = 100000;
constexpr int32_t kExtensionFunctionBase = 500000;

// Hooks of the header steps that run between the settings and the main data block.
struct HeaderSteps {
    std::function<void(const Game&)> show_load_window;  // after the settings record
    std::function<bool()> load_graphics_library;        // false: the graphics library failure
};

// Reads a whole game file (as stored, before the whole-file pass) into `game`. Returns the
// message that ends the load, or "" on success. A read past the end of any stream and a block
// that does not inflate give "Failed to load the game data. File seems corrupted.".
std::string LoadGameFile(std::vector<uint8_t> file, Game& game, const LoadContext& ctx,
                         const HeaderSteps& steps = {});

// The main data block alone, once inflated (position 0). False when a list fails; the
// extension list shows its own message first through ctx.failure.
bool LoadMainBlock(CStream& block, Game& game, const LoadContext& ctx);

// The function id an action names: a script, then an extension function, then a built-in.
int32_t ResolveFunctionName(const Game& game, const LoadContext& ctx, std::string_view name);

}  // namespace tb
