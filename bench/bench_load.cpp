// Loading a large game against a bare zlib inflate of the same compressed blocks, in one run.
// Usage: bench_load [megabytes of sprite frames, default 100]
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "pack/game_writer.h"
#include "runner/game_file.h"
#include "runner/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Sprite-like frames: smooth colour areas with noise and transparent borders, so they
// compress about as well as drawn game art does.
tb::CBitmap32 Frame(int w, int h, std::mt19937& rng) {
    tb::CBitmap32 b(w, h);
    uint32_t base = rng();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool inside = (x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2) < w * h / 5;
            uint32_t noise = rng() & 0x0F0F0F;
            uint32_t colour = (base + uint32_t(x) * 0x010203 + uint32_t(y) * 0x030201) ^ noise;
            b.At(x, y) = inside ? (0xFF000000u | (colour & 0xFFFFFF)) : 0x00FFFFFFu;
        }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    double megabytes = argc > 1 ? std::atof(argv[1]) : 100;
    const int w = 256, h = 256;
    int frames = std::max(1, int(megabytes * 1024 * 1024 / (w * h * 4)));

    tb::Game game;
    tb::ResetSettings(game.settings);
    game.rooms.Add(std::make_unique<tb::CRoom>(), "room0");
    game.room_order = {0};
    std::mt19937 rng(1);
    std::vector<std::vector<uint8_t>> frame_blocks;  // the same blocks, for the bare inflate
    for (int i = 0; i < frames;) {
        auto sprite = std::make_unique<tb::CSprite>();
        sprite->Width = w;
        sprite->Height = h;
        for (int f = 0; f < 16 && i < frames; ++f, ++i) {
            sprite->frames.push_back(Frame(w, h, rng));
            tb::CStream block;
            tb::WriteCompressed(
                block, reinterpret_cast<const uint8_t*>(sprite->frames.back().pixels.data()),
                sprite->frames.back().pixels.size() * 4);
            frame_blocks.push_back(std::move(block.data));
        }
        game.sprites.Add(std::move(sprite), "spr" + std::to_string(i));
    }
    std::vector<uint8_t> file = tb::pack::WriteGameFile(game);
    size_t main_block_size = tb::pack::WriteMainBlock(game).size();
    tb::CStream plain(file);
    tb::UnshiftFile(plain);
    std::printf("game file: %d frames of %dx%d (%.1f MB of pixels), %.1f MB on disk\n", frames, w,
                h, frames * w * h * 4 / 1048576.0, file.size() / 1048576.0);

    tb::TempDirectory temp([](int n) { return std::rand() % n; }, [](std::string_view) {});
    double best_load = 1e9, best_bare = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto t0 = Clock::now();
        {
            tb::Game loaded;
            tb::LoadContext ctx;
            ctx.temp_dir = temp.Path();
            std::string failure = tb::LoadGameFile(file, loaded, ctx);
            if (!failure.empty()) {
                std::fprintf(stderr, "load failed: %s\n", failure.c_str());
                return 1;
            }
        }
        auto t1 = Clock::now();
        {
            // Bare inflate: the main block (its compressed bytes are the file's tail), then
            // every frame block into a buffer of its known size.
            z_stream z{};
            inflateInit(&z);
            std::vector<uint8_t> out(main_block_size);
            // The main block is the last block of the file: find it by reading the header.
            tb::CStream s(plain.data);
            tb::ReadInteger(s);
            tb::ReadInteger(s);
            tb::ReadBoolean(s);
            tb::GameSettings settings;
            tb::ReadSettings(s, settings);
            tb::ReadString(s);
            tb::ReadCompressed(s);
            int32_t len = tb::ReadInteger(s);
            z.next_in = plain.data.data() + s.pos;
            z.avail_in = uInt(len);
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            inflate(&z, Z_FINISH);
            inflateEnd(&z);
            std::vector<uint8_t> pixels(size_t(w) * h * 4);
            for (const auto& block : frame_blocks) {
                uLongf n = uLongf(pixels.size());
                uncompress(pixels.data(), &n, block.data() + 4, uLong(block.size() - 4));
            }
        }
        auto t2 = Clock::now();
        best_load = std::min(best_load, Seconds(t0, t1));
        best_bare = std::min(best_bare, Seconds(t1, t2));
    }
    std::printf("runner load   %8.1f ms\n", best_load * 1000);
    std::printf("bare inflate  %8.1f ms\n", best_bare * 1000);
    std::printf("ratio         %8.2f (best of 5 rounds each)\n", best_load / best_bare);
    return 0;
}
