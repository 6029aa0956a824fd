// The room redraw headless: N instances with sprites at random depths and N / 10 tiles in a
// 640 x 480 room, drawn through the room drawing (sorting, the merged depth pass, the Draw
// event lookup, the default drawing), against the same quads drawn straight through
// TextureTable::DrawExt. A frame ends with a one-pixel read-back so the device's work is
// counted. Prints milliseconds per frame and the ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "frame_timer.h"
#include "graphics/graphics.h"
#include "graphics/room_draw.h"
#include "resources/background.h"
#include "resources/object.h"
#include "resources/room.h"
#include "resources/sprite.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/world.h"

namespace {

using namespace tb;

constexpr int kWidth = 640, kHeight = 480, kSprites = 4, kSize = 16;

using bench::TimeFrames;

struct Bench {
    Graphics g;
    Game game;
    ScriptEngine engine;
    std::unique_ptr<World> world;
    RoomDrawing state;

    bool Init(int n) {
        DeviceOptions o;
        o.headless = true;
        o.window_width = kWidth;
        o.window_height = kHeight;
        if (!InitDevice(g, o, kWidth, kHeight)) return false;
        engine.game = &game;
        engine.graphics = &g;
        game.last_instance_id = 100000;
        for (int i = 0; i < kSprites; ++i) {
            auto s = std::make_unique<CSprite>();
            s->Width = s->Height = kSize;
            s->XOrigin = s->YOrigin = kSize / 2;
            s->frames.emplace_back(kSize, kSize, 0xFF000000u | uint32_t(0x3F3F3F * (i + 1)));
            CreateSpriteTextures(g.textures, *s);
            game.sprites.Add(std::move(s), "spr");
            auto obj = std::make_unique<CObject>();
            obj->SpriteIndex = i;
            game.objects.Add(std::move(obj), "obj");
        }
        auto bg = std::make_unique<CBackground>();
        bg->CreateColor(64, 64, 0x808080, false);
        CreateBackgroundTexture(g.textures, *bg);
        game.backgrounds.Add(std::move(bg), "tiles");
        world = std::make_unique<World>(game, engine);
        world->rooms.push_back(std::make_unique<CRoom>());
        world->room = 0;
        CRoom& r = *world->Room();
        engine.room = &r;
        r.Width = kWidth;
        r.Height = kHeight;
        uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return double(seed >> 8) / double(1 << 24);
        };
        for (int i = 0; i < n; ++i) {
            CInstance& inst =
                CreateInstance(r, game, i * kSprites / n, next() * kWidth, next() * kHeight);
            inst.visible = true;
            inst.depth = double(int(next() * 100));
            if (next() < 0.5) inst.image_angle = next() * 360;
        }
        for (int i = 0; i < n / 10; ++i) {
            CTile t;
            t.X = next() * kWidth;
            t.Y = next() * kHeight;
            t.Width = t.Height = 16;
            t.Depth = double(int(next() * 100));
            r.AddTile(t, game.last_tile_id);
        }
        // In depth order already: the timed frames measure drawing, not the first sort.
        std::stable_sort(r.instances.begin(), r.instances.end(),
                         [](const auto& a, const auto& b) { return a->depth > b->depth; });
        std::stable_sort(r.tiles.begin(), r.tiles.end(),
                         [](const CTile& a, const CTile& b) { return a.Depth > b.Depth; });
        return true;
    }

    void Finish() { g.device.Capture(0, 0, 1, 1); }

    void RoomFrame() {
        RedrawRoom(*world, g, state);
        Finish();
    }

    // The same instance quads and tiles, without the room's walk.
    void DirectFrame() {
        const CRoom& r = *world->Room();
        g.device.Clear(0xFFC0C0C0);
        const CBackground& bg = *game.backgrounds.Get(0);
        for (const CTile& t : r.tiles)
            g.textures.DrawPart(bg.texture, 0, 0, t.Width, t.Height, t.X, t.Y, 1, 1, 0, 0xFFFFFF,
                                1);
        for (const auto& inst : r.instances) {
            const CSprite& s = *game.sprites.Get(inst->sprite_index);
            g.textures.DrawExt(s.textures[0], s.XOrigin, s.YOrigin, inst->x, inst->y, 1, 1,
                               inst->image_angle, 0xFFFFFF, 1);
        }
        Finish();
    }
};

}  // namespace

int main() {
    std::printf("%10s %14s %14s %8s\n", "instances", "room ms/frame", "quads ms/frame", "ratio");
    for (int n : {1000, 10000, 100000}) {
        Bench b;
        if (!b.Init(n)) {
            std::fprintf(stderr, "no headless device: %s\n", b.g.device.LastError());
            return 1;
        }
        const double room = TimeFrames([&] { b.RoomFrame(); });
        const double direct = TimeFrames([&] { b.DirectFrame(); });
        std::printf("%10d %14.3f %14.3f %8.2f\n", n, room, direct, room / direct);
    }
    return 0;
}
