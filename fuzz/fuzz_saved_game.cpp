// libFuzzer target over the saved-game reader: the bytes are read as a saved game of a game
// with a few objects, exactly as game_load reads a file, without replacing any run state.
#include <cstdint>
#include <memory>
#include <vector>

#include "resources/object.h"
#include "runner/game.h"
#include "world/saved_game.h"

namespace {

const tb::Game& FuzzGame() {
    static tb::Game* game = [] {
        auto* g = new tb::Game();
        g->game_id = 777;
        for (const char* name : {"hero", "coin", "wall"})
            g->objects.Add(std::make_unique<tb::CObject>(), name);
        return g;
    }();
    return *game;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tb::CheckSavedGame(std::vector<uint8_t>(data, data + size), FuzzGame());
    return 0;
}
