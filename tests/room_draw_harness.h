// A running room on a headless device: a game with sprites, backgrounds and objects built in
// memory, a world whose current room is drawn with the room drawing, and pixel read-back.
#pragma once

#include <memory>
#include <string>

#include "gfx_harness.h"
#include "graphics/room_draw.h"
#include "resources/background.h"
#include "resources/object.h"
#include "resources/room.h"
#include "resources/sprite.h"
#include "runner/compile_stages.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/world.h"

namespace tb::test {

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0;

// Opaque 0xAARRGGBB of a script colour.
inline uint32_t Opaque(uint32_t bgr) {
    return 0xFF000000 | (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
}

struct RoomDrawTest : GraphicsTest {
    Game game;
    ScriptEngine engine;
    std::unique_ptr<World> world;

    void SetUp() override {
        GraphicsTest::SetUp();
        g.game_window.Attach();
        engine.game = &game;
        engine.graphics = &g;
        g.game = &game;
        game.last_instance_id = 100000;
        world = std::make_unique<World>(game, engine);
        world->rooms.push_back(std::make_unique<CRoom>());
        world->room = 0;
        engine.room = world->Room();
        room().Width = Width();
        room().Height = Height();
        room().Color = int32_t(kBlack);
        AttachRoomDrawing(*world, g);
    }
    void TearDown() override { world.reset(); }

    CRoom& room() { return *world->Room(); }

    int AddBackground(int32_t w, int32_t h, uint32_t bgr) {
        auto b = std::make_unique<CBackground>();
        b->CreateColor(w, h, bgr, false);
        CreateBackgroundTexture(g.textures, *b);
        return game.backgrounds.Add(std::move(b), "bg");
    }
    // A background from an image of 0xAARRGGBB pixels.
    int AddBackground(const CBitmap32& image) {
        auto b = std::make_unique<CBackground>();
        b->image = image;
        b->Width = image.width;
        b->Height = image.height;
        CreateBackgroundTexture(g.textures, *b);
        return game.backgrounds.Add(std::move(b), "bg");
    }
    // A sprite of one solid frame per colour (ARGB).
    int AddSprite(int32_t w, int32_t h, std::initializer_list<uint32_t> frames, int32_t xo = 0,
                  int32_t yo = 0) {
        auto s = std::make_unique<CSprite>();
        s->Width = w;
        s->Height = h;
        s->XOrigin = xo;
        s->YOrigin = yo;
        for (uint32_t argb : frames) s->frames.emplace_back(w, h, argb);
        CreateSpriteTextures(g.textures, *s);
        return game.sprites.Add(std::move(s), "spr");
    }
    int AddObject(int sprite = -1) {
        auto o = std::make_unique<CObject>();
        o->SpriteIndex = sprite;
        return game.objects.Add(std::move(o), "obj" + std::to_string(game.objects.Count()));
    }
    // An object whose Draw event runs the code.
    int AddDrawingObject(const std::string& code, int sprite = -1) {
        const int o = AddObject(sprite);
        CEvent* e = game.objects.Get(o)->GetOrCreateEvent(ev_draw, 0);
        e->AddCodeAction(code);
        EXPECT_TRUE(CompileAction(engine, e->actions.back()));
        return o;
    }
    // An instance of the object (visible, its sprite) at (x, y) with a depth.
    CInstance& Place(int object, double x, double y, double depth = 0) {
        CInstance& inst = CreateInstance(room(), game, object, x, y);
        inst.visible = true;
        inst.depth = depth;
        return inst;
    }
    CTile& AddTile(int background, double x, double y, int32_t w, int32_t h, double depth) {
        CTile t;
        t.Background = background;
        t.X = x;
        t.Y = y;
        t.Width = w;
        t.Height = h;
        t.Depth = depth;
        const int i = room().AddTile(t, game.last_tile_id);
        return room().tiles[size_t(i)];
    }
    void Draw() {
        DrawRoom(*world);
        g.device.Flush();
    }
};

}  // namespace tb::test
