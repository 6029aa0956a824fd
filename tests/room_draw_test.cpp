// Drawing a small room on the headless device: background colour, layers, the depth order of
// tiles, instances and particle systems, the default drawing, views with their ports, the
// cursor, the caption and the region size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/screen_files.h"
#include "harness.h"
#include "pack/png.h"
#include "room_draw_harness.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::kBlack;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::kWhite;
using test::Opaque;

using RoomDraw = test::RoomDrawTest;

TEST_F(RoomDraw, TheBackgroundColourIsClearedOnlyWhenShown) {
    room().Color = int32_t(kRed);
    Draw();
    EXPECT_EQ(Pixel(0, 0), kRed);
    EXPECT_EQ(Pixel(63, 47), kRed);
    g.device.Clear(Opaque(kGreen));
    room().ShowColor = false;
    Draw();
    EXPECT_EQ(Pixel(10, 10), kGreen);  // the previous frame stays
}

TEST_F(RoomDraw, TiledLayersStartAtOrLeftOfTheRoomEdge) {
    // 8 x 8 tiles whose first column is blue.
    CBitmap32 image(8, 8, Opaque(kWhite));
    for (int y = 0; y < 8; ++y) image.At(0, y) = Opaque(kBlue);
    CBack& b = room().backgrounds[0];
    b.Visible = true;
    b.BackgroundIndex = AddBackground(image);
    b.X = -3;
    b.Y = 0;
    b.VTiled = false;
    Draw();
    EXPECT_EQ(Pixel(4, 2), kWhite);  // the last column of the tile starting at -3
    EXPECT_EQ(Pixel(5, 2), kBlue);
    EXPECT_EQ(Pixel(61, 2), kBlue);
    EXPECT_EQ(Pixel(5, 7), kBlue);
    EXPECT_EQ(Pixel(5, 8), kBlack);  // not tiled vertically
    b.XScale = 2;                    // 16-pixel tiles from round(-3) mod 16 - 16 = -3 on
    b.HTiled = false;
    Draw();
    EXPECT_EQ(Pixel(0, 2), kWhite);  // the one tile covers -3 .. 12, its blue column -3 .. -2
    EXPECT_EQ(Pixel(12, 2), kWhite);
    EXPECT_EQ(Pixel(13, 2), kBlack);
}

TEST_F(RoomDraw, LayersTilesInstancesAndForegroundsStackInDepthOrder) {
    const int red = AddBackground(8, 8, kRed), blue = AddBackground(8, 8, kBlue);
    const int green_sprite = AddSprite(8, 8, {Opaque(kGreen)});
    const int obj = AddObject(green_sprite);
    CBack& back = room().backgrounds[0];
    back.Visible = true;
    back.BackgroundIndex = AddBackground(8, 8, kWhite);
    CBack& front = room().backgrounds[1];
    front.Visible = front.Foreground = true;
    front.BackgroundIndex = red;
    front.HTiled = front.VTiled = false;
    front.X = 56;
    front.Y = 40;
    // Column by column: (tile depth, instance depth) and the colour on top.
    struct Case {
        double tile_depth, instance_depth;
        uint32_t top;
    };
    const Case cases[] = {{10, 5, kGreen}, {5, 10, kBlue}, {10, 10, kBlue}, {-20, 20, kBlue}};
    for (int i = 0; i < 4; ++i) {
        AddTile(blue, 8 * i, 0, 8, 8, cases[i].tile_depth);
        Place(obj, 8 * i, 0, cases[i].instance_depth);
    }
    Place(obj, 56, 40, -100);  // under the foreground
    Draw();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Pixel(8 * i + 4, 4), cases[i].top) << i;
    EXPECT_EQ(Pixel(40, 20), kWhite);
    EXPECT_EQ(Pixel(60, 44), kRed);
}

TEST_F(RoomDraw, EqualDepthsKeepTheirListOrderAndHiddenOnesAreSkipped) {
    const int red = AddObject(AddSprite(8, 8, {Opaque(kRed)}));
    const int blue = AddObject(AddSprite(8, 8, {Opaque(kBlue)}));
    const int bg = AddBackground(8, 8, kGreen);
    Place(red, 0, 0, 3);
    Place(blue, 0, 0, 3);  // later in the list: on top
    Place(blue, 8, 0, 3);
    Place(red, 8, 0, 3).visible = false;
    Place(red, 16, 0, 3).destroyed = true;
    AddTile(bg, 24, 0, 8, 8, 0).Visible = false;
    Draw();
    EXPECT_EQ(Pixel(4, 4), kBlue);
    EXPECT_EQ(Pixel(12, 4), kBlue);
    EXPECT_EQ(Pixel(20, 4), kBlack);
    EXPECT_EQ(Pixel(28, 4), kBlack);
}

TEST_F(RoomDraw, ParticleSystemsWinTiesAgainstTilesAndInstances) {
    const int tiles = AddBackground(8, 8, kBlue);
    const int obj = AddObject(AddSprite(8, 8, {Opaque(kGreen)}));
    const int32_t red = SolidTexture(8, 8, Opaque(kRed));
    AddTile(tiles, 0, 0, 8, 8, 10);
    Place(obj, 8, 0, 10);
    std::vector<int32_t> drawn;
    world->hooks.particle_layers = [](std::vector<std::pair<double, int32_t>>& layers) {
        layers.push_back({10, 7});
    };
    world->hooks.draw_particles = [&](int32_t id) {
        drawn.push_back(id);
        g.textures.DrawExt(red, 0, 0, 0, 0, 2, 1, 0, kWhite, 1);
    };
    Draw();
    EXPECT_EQ(drawn, std::vector<int32_t>{7});
    EXPECT_EQ(Pixel(4, 4), kBlue);    // the tile over the particles
    EXPECT_EQ(Pixel(12, 4), kGreen);  // the instance over them too
}

TEST_F(RoomDraw, TheDefaultDrawingUsesTheImageFields) {
    const int spr = AddSprite(4, 4, {Opaque(kWhite), Opaque(kGreen)}, 2, 2);
    const int obj = AddObject(spr);
    CInstance& plain = Place(obj, 10, 10);
    plain.image_index = 1.9;  // frame 1
    CInstance& scaled = Place(obj, 30, 10);
    scaled.image_xscale = 2;
    scaled.image_blend = int32_t(kRed);
    CInstance& faded = Place(obj, 50, 10);
    faded.image_alpha = 0.5;
    Draw();
    EXPECT_EQ(Pixel(8, 8), kGreen);  // origin (2, 2): the frame covers 8 .. 11
    EXPECT_EQ(Pixel(11, 11), kGreen);
    EXPECT_EQ(Pixel(12, 12), kBlack);
    EXPECT_EQ(Pixel(26, 8), kRed);  // 30 - 2 * 2 .. 30 + 2 * 2 - 1
    EXPECT_EQ(Pixel(33, 11), kRed);
    EXPECT_EQ(Pixel(34, 11), kBlack);
    const uint32_t half = Pixel(50, 10);
    for (int shift : {0, 8, 16}) EXPECT_NEAR(int(half >> shift & 0xFF), 128, 1) << shift;
}

TEST_F(RoomDraw, ADrawEventReplacesTheDefaultDrawing) {
    const int spr = AddSprite(8, 8, {Opaque(kRed)});
    const int obj = AddDrawingObject("global.seen += string(view_current) + ',';", spr);
    const int child = AddObject(spr);
    game.objects.Get(child)->ParentIndex = obj;  // inherits the Draw event
    test::RunCode(engine, "global.seen = ''");
    Place(obj, 0, 0);
    Place(child, 8, 0);
    Draw();
    EXPECT_EQ(Pixel(4, 4), kBlack);
    EXPECT_EQ(Pixel(12, 4), kBlack);
    EXPECT_EQ(test::RunExpression(engine, "global.seen").result.text.view(), "0,0,");
}

TEST_F(RoomDraw, TwoViewsDrawTheirPartsOfTheRoomIntoTheirPorts) {
    room().Width = 256;
    room().Color = int32_t(kWhite);
    const int obj = AddObject(AddSprite(8, 8, {Opaque(kRed)}));
    const int blue = AddObject(AddSprite(8, 8, {Opaque(kBlue)}));
    Place(obj, 4, 4);
    Place(blue, 200, 20);
    room().ViewsEnabled = true;
    CView& a = room().views[0];
    a = CView{};
    a.Visible = true;
    a.WView = 32;
    a.HView = 40;
    a.WPort = 32;
    a.HPort = 40;
    CView& b = room().views[1];
    b = CView{};
    b.Visible = true;
    b.XView = 192;
    b.WView = 16;  // shown twice as large
    b.HView = 20;
    b.XPort = 32;
    b.WPort = 32;
    b.HPort = 40;
    g.window.color = kGreen;
    Draw();
    EXPECT_EQ(Pixel(4, 4), kRed);
    EXPECT_EQ(Pixel(20, 20), kWhite);
    // Room [199.5, 207.5) x [19.5, 27.5) (the half-pixel shift) is port [47, 63) x [39, 55).
    EXPECT_EQ(Pixel(46, 39), kWhite);
    EXPECT_EQ(Pixel(47, 39), kBlue);
    EXPECT_EQ(Pixel(47, 40), kGreen);  // below both ports: the window colour
    b.YView = 10;
    Draw();
    EXPECT_EQ(Pixel(46, 25), kWhite);
    EXPECT_EQ(Pixel(47, 19), kBlue);
    EXPECT_EQ(Pixel(62, 34), kBlue);
    EXPECT_EQ(Pixel(63, 34), kWhite);
    EXPECT_EQ(Pixel(62, 35), kWhite);
    EXPECT_EQ(world->view_current, 0);
    const ViewSlot& s = g.window.slots[1];
    EXPECT_TRUE(s.used);
    EXPECT_EQ(s.view_x, 192);
    EXPECT_EQ(s.port_x, 32);
}

TEST_F(RoomDraw, AFollowingViewMovesBeforeItIsDrawn) {
    room().Width = 400;
    const int obj = AddObject(AddSprite(8, 8, {Opaque(kRed)}));
    CInstance& player = Place(obj, 300, 20);
    room().ViewsEnabled = true;
    CView& v = room().views[0];
    v = CView{};
    v.Visible = true;
    v.WView = v.WPort = 64;
    v.HView = v.HPort = 48;
    v.HBorder = 16;
    v.Object = obj;
    Draw();
    EXPECT_EQ(v.XView, 300 + 16 - 64);
    EXPECT_EQ(Pixel(300 - v.XView, 20), kRed);
    player.x = 310;
    Draw();
    EXPECT_EQ(v.XView, 310 + 16 - 64);
}

TEST_F(RoomDraw, ATurnedViewDrawsALargerPartOfTheRoom) {
    room().Width = room().Height = 200;
    room().ShowColor = false;
    CBack& b = room().backgrounds[0];
    b.Visible = true;
    b.BackgroundIndex = AddBackground(8, 8, kBlue);
    room().ViewsEnabled = true;
    CView& v = room().views[0];
    v = CView{};
    v.Visible = true;
    v.XView = v.YView = 50;
    v.WView = v.WPort = 64;
    v.HView = v.HPort = 48;
    v.Angle = 45;
    g.window.color = kGreen;
    Draw();
    // Without the widening the port's corners would show the window colour.
    for (auto [x, y] : {std::pair{0, 0}, {63, 0}, {0, 47}, {63, 47}})
        EXPECT_EQ(Pixel(x, y), kBlue) << x << "," << y;
}

TEST_F(RoomDraw, TheCursorSpriteIsDrawnOverTheForegrounds) {
    CBack& front = room().backgrounds[0];
    front.Visible = front.Foreground = true;
    front.BackgroundIndex = AddBackground(8, 8, kRed);
    world->cursor_sprite = AddSprite(4, 4, {Opaque(kWhite), Opaque(kBlue)}, 1, 1);
    world->cursor_image_counter = 3;  // frame 1
    world->input.mouse_x = 20;
    world->input.mouse_y = 30;
    Draw();
    EXPECT_EQ(Pixel(19, 29), kBlue);
    EXPECT_EQ(Pixel(22, 32), kBlue);
    EXPECT_EQ(Pixel(23, 33), kRed);
}

TEST_F(RoomDraw, TheCaptionShowsTheRoomCaptionAndTheScore) {
    room().Caption = "Cave";
    world->score = 0;
    Draw();
    EXPECT_EQ(g.window.caption, "Cave");
    world->score = 12;
    world->show_lives = true;
    world->lives = 3;
    Draw();
    EXPECT_EQ(g.window.caption, "Cave Score: 12 Lives: 3");
}

TEST_F(RoomDraw, ARedrawInsideADrawEventDoesNothing) {
    AddDrawingObject("global.n += 1; screen_redraw();");
    test::RunCode(engine, "global.n = 0");
    Place(0, 0, 0);
    Draw();
    EXPECT_EQ(test::RunExpression(engine, "global.n").result.real, 1);
}

TEST_F(RoomDraw, TheRegionIsTheRoomOrTheBoxOfTheVisiblePorts) {
    room().Width = 100;
    room().Height = 60;
    SetRoomRegion(*world, g);
    EXPECT_EQ(g.window.region_width, 100);
    EXPECT_EQ(g.window.region_height, 60);
    EXPECT_EQ(g.device.RegionWidth(), 100);
    EXPECT_EQ(g.device.RegionHeight(), 60);
    room().ViewsEnabled = true;
    SetRoomRegion(*world, g);
    EXPECT_EQ(g.window.region_width, 8);  // no visible view
    EXPECT_EQ(g.window.region_height, 8);
    CView& a = room().views[2];
    a.Visible = true;
    a.XPort = 10;
    a.WPort = 30;
    a.YPort = 5;
    a.HPort = 20;
    CView& b = room().views[5];
    b.Visible = true;
    b.XPort = 0;
    b.WPort = 20;
    b.YPort = 30;
    b.HPort = 4;
    SetRoomRegion(*world, g);
    EXPECT_EQ(g.window.region_width, 40);
    EXPECT_EQ(g.window.region_height, 34);
    EXPECT_EQ(g.window.client_width, 40);  // scale 1: the window fits the region
    EXPECT_EQ(g.window.client_height, 34);
    a.WPort = 1 << 20;
    SetRoomRegion(*world, g);
    EXPECT_EQ(g.window.region_width, g.device.ScreenWidth());
}

// Through the runner: each room is drawn in its own region, and a room change with a
// transition shows no frame for the step that asked for it.
TEST(RoomDrawRun, HeadlessFramesShowEachRoomInItsRegion) {
    Game g = test::MinimalGame();
    test::AddCodeObject(g, "obj_switch", ev_step, ev_step_normal,
                        "if (x == 0) x = 1; else { transition_kind = 21; transition_steps = 4; "
                        "room_goto(1); }");
    CRoom& first = *g.rooms.Get(0);
    first.Width = 40;
    first.Height = 30;
    first.Color = int32_t(kRed);
    auto inst = std::make_unique<CInstance>();
    inst->id = 100001;
    inst->object_index = 0;
    first.instances.push_back(std::move(inst));
    auto second = std::make_unique<CRoom>();
    second->Color = int32_t(kBlue);
    second->ViewsEnabled = true;
    CView& v = second->views[0];
    v.Visible = true;
    v.WView = 40;
    v.HView = 30;
    v.WPort = 20;
    v.HPort = 15;
    g.rooms.Add(std::move(second), "second");
    g.room_order.push_back(1);

    test::ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    const std::string frames = dir / "frames";
    test::ProcessResult r = test::RunTamberlo(
        {"--headless", "--steps", "3", "--frames", frames, (dir.path / "g.bin").string()},
        dir.path);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const CBitmap32 one = pack::ReadPng(FramePath(frames, 1));
    ASSERT_TRUE(one.exists);
    EXPECT_EQ(one.width, 40);
    EXPECT_EQ(one.At(20, 20), Opaque(kRed));
    EXPECT_FALSE(std::filesystem::exists(FramePath(frames, 2)));
    const CBitmap32 three = pack::ReadPng(FramePath(frames, 3));
    ASSERT_TRUE(three.exists);
    EXPECT_EQ(three.width, 20);
    EXPECT_EQ(three.height, 15);
    EXPECT_EQ(three.At(10, 10), Opaque(kBlue));
}

}  // namespace
}  // namespace tb
