// Writing game files: the exact inverse of the runner's reading, scrambling included.
#pragma once

#include <cstdint>
#include <vector>

#include "runner/game.h"
#include "runner/game_file.h"

namespace tb::pack {

// Versions written in front of each list of the main data block. Only tests of broken files
// change them.
struct ListVersions {
    int32_t extensions = kExtensionListVersion;
    int32_t sounds = kSoundListVersion;
    int32_t sprites = kSpriteListVersion;
    int32_t backgrounds = kBackgroundListVersion;
    int32_t paths = kPathListVersion;
    int32_t scripts = kScriptListVersion;
    int32_t fonts = kFontListVersion;
    int32_t timelines = kTimeLineListVersion;
    int32_t objects = kObjectListVersion;
    int32_t rooms = kRoomListVersion;
    int32_t included_files = kIncludedFileListVersion;
    int32_t info = kGameInfoVersion;
    int32_t library_init = kLibraryInitVersion;
    int32_t room_order = kRoomOrderVersion;
};

struct WriteOptions {
    ListVersions versions;
    int32_t seed = 5417;        // seed of the main block's scrambling
    int32_t filler_before = 3;  // ignored integers before and after the seed
    int32_t filler_after = 4;
    int level = 6;  // zlib level of every compressed block
};

// The main data block as stored inside its compressed block (scrambled, not compressed).
std::vector<uint8_t> WriteMainBlock(const Game& game, const WriteOptions& options = {});
// The whole game file as stored on disk.
std::vector<uint8_t> WriteGameFile(const Game& game, const WriteOptions& options = {});

}  // namespace tb::pack
