// libFuzzer targets over the load path. FUZZ_MAIN_BLOCK takes the input as an inflated main
// data block, so mutations reach the record readers instead of dying in the outer inflate.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "runner/game_file.h"
#include "runner/temp_dir.h"

namespace {

tb::TempDirectory& Temp() {
    static tb::TempDirectory temp([](int n) { return int(uint32_t(std::rand()) % uint32_t(n)); },
                                  [](std::string_view) {});
    return temp;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tb::LoadContext ctx;
    ctx.temp_dir = Temp().Path();
    ctx.message = [](std::string_view) {};
    ctx.inflate_budget = 64u << 20;
    tb::Game game;
#ifdef FUZZ_MAIN_BLOCK
    tb::CStream block(std::vector<uint8_t>(data, data + size));
    block.budget = std::make_shared<tb::InflateBudget>(tb::InflateBudget{ctx.inflate_budget});
    try {
        tb::LoadMainBlock(block, game, ctx);
    } catch (const std::exception&) {
    }
#else
    tb::LoadGameFile(std::vector<uint8_t>(data, data + size), game, ctx);
#endif
    return 0;
}
