// The graphics of a run: frames written headless, the window's frame and region rules,
// screenshots, and the start without a display.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "gfx_harness.h"
#include "graphics/bmp.h"
#include "graphics/screen_files.h"
#include "harness.h"
#include "pack/png.h"
#include "world/instance.h"

namespace tb {
namespace {

using test::GraphicsTest;

Game ClearingGame(int32_t width, int32_t height, const std::string& step_code) {
    Game g = test::MinimalGame();
    test::AddCodeObject(g, "obj_painter", 3, 0, step_code);
    CRoom& room = *g.rooms.Get(0);
    room.Width = width;
    room.Height = height;
    room.ShowColor = false;  // the room drawing keeps what the step drew
    auto inst = std::make_unique<CInstance>();
    inst->id = 100001;
    inst->object_index = g.objects.Count() - 1;
    room.instances.push_back(std::move(inst));
    return g;
}

TEST(GraphicsRunTest, HeadlessRunsWriteEveryShownFrameOfTheRegion) {
    test::ScratchDir dir;
    // Red in the first step, blue afterwards: the frames must come in step order.
    Game g =
        ClearingGame(40, 30, "if (x == 0) { draw_clear(c_red); x = 1; } else draw_clear(c_blue);");
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    const std::string frames = dir / "out/frames";
    test::ProcessResult r = test::RunTamberlo(
        {"--headless", "--steps", "3", "--frames", frames, (dir.path / "g.bin").string()},
        dir.path);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (int step = 1; step <= 3; ++step) {
        const std::filesystem::path file = FramePath(frames, step);
        ASSERT_TRUE(std::filesystem::exists(file)) << file;
        const CBitmap32 b = pack::ReadPng(file);
        ASSERT_TRUE(b.exists);
        EXPECT_EQ(b.width, 40);
        EXPECT_EQ(b.height, 30);
        EXPECT_EQ(b.At(39, 29) & 0xFFFFFF, step == 1 ? 0xFF0000u : 0x0000FFu) << step;
    }
    EXPECT_FALSE(std::filesystem::exists(FramePath(frames, 4)));
    EXPECT_EQ(FramePath("d", 1234567), (std::filesystem::path("d") / "frame_1234567.png").string());
}

// Frames show the whole client area as presented: the region scaled by the scale setting
// into the window's size, the window colour around it.
TEST(GraphicsRunTest, FramesHoldTheClientAreaAsPresented) {
    constexpr uint32_t kRed = 0xFF0000, kLime = 0x00FF00, kBlue = 0x0000FF;
    struct Pixel {
        int x, y;
        uint32_t rgb;
    };
    struct Case {
        const char* name;
        int32_t scale;
        uint32_t window_color;  // RGB here; the settings hold it as BGR
        bool full_screen;
        const char* first_step;  // run once, before the first frame
        bool views;              // one view port at (5, 5), 30 x 20: a 35 x 25 region
        int width, height;       // 0: the screen's size
        std::vector<Pixel> pixels;
    } cases[] = {
        {"scale 200", 200, kBlue, false, "", false, 80, 60, {{0, 0, kRed}, {79, 59, kRed}}},
        {"scale 50", 50, kBlue, false, "", false, 20, 15, {{0, 0, kRed}, {19, 14, kRed}}},
        {"stretched",
         0,
         kBlue,
         false,
         "window_set_size(100, 50);",
         false,
         100,
         50,
         {{0, 0, kRed}, {99, 49, kRed}}},
        {"keep aspect",
         -1,
         kLime,
         false,
         "window_set_size(200, 60);",
         false,
         200,
         60,
         {{59, 30, kLime}, {60, 30, kRed}, {139, 30, kRed}, {140, 30, kLime}, {0, 0, kLime}}},
        {"band at 100",
         100,
         kBlue,
         false,
         "window_set_size(60, 50);",
         false,
         60,
         50,
         {{9, 20, kBlue},
          {10, 10, kRed},
          {49, 39, kRed},
          {50, 20, kBlue},
          {20, 9, kBlue},
          {20, 40, kBlue}}},
        {"colour set by the game",
         100,
         kBlue,
         false,
         "window_set_size(60, 50); window_set_color(c_lime);",
         false,
         60,
         50,
         {{0, 0, kLime}, {30, 25, kRed}}},
        {"full screen", 100, kBlue, true, "", false, 0, 0, {{0, 0, kBlue}}},
        {"view ports", 200, kBlue, false, "", true, 70, 50, {{10, 10, kRed}, {69, 49, kRed}}},
    };
    for (const Case& c : cases) {
        test::ScratchDir dir;
        Game g = ClearingGame(
            40, 30,
            std::string("if (x == 0) { x = 1; show_debug_message(string(display_get_width()) + "
                        "\"x\" + string(display_get_height())); ") +
                c.first_step + " } draw_clear(c_red);");
        g.settings.Scale = c.scale;
        g.settings.WindowColor = int32_t(((c.window_color & 0xFF) << 16) |
                                         (c.window_color & 0xFF00) | (c.window_color >> 16));
        g.settings.FullScreen = c.full_screen;
        if (c.views) {
            CRoom& room = *g.rooms.Get(0);
            room.ViewsEnabled = true;
            room.ShowColor = true;  // the port is filled with the room's colour, red
            room.Color = 0x0000FF;
            room.views[0] = CView{};
            room.views[0].Visible = true;
            room.views[0].WView = 40;
            room.views[0].HView = 30;
            room.views[0].XPort = room.views[0].YPort = 5;
            room.views[0].WPort = 30;
            room.views[0].HPort = 20;
        }
        test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
        const std::string frames = dir / "frames";
        test::ProcessResult r = test::RunTamberlo(
            {"--headless", "--steps", "2", "--frames", frames, (dir.path / "g.bin").string()},
            dir.path);
        ASSERT_EQ(r.exit_code, 0) << c.name << "\n" << r.err;
        int screen_w = 0, screen_h = 0;
        ASSERT_EQ(std::sscanf(r.out.c_str(), "%dx%d", &screen_w, &screen_h), 2) << r.out;
        const CBitmap32 b = pack::ReadPng(FramePath(frames, 2));
        ASSERT_TRUE(b.exists) << c.name;
        const int want_w = c.width ? c.width : screen_w;
        const int want_h = c.height ? c.height : screen_h;
        EXPECT_EQ(b.width, want_w) << c.name;
        EXPECT_EQ(b.height, want_h) << c.name;
        if (b.width != want_w || b.height != want_h) continue;
        for (const Pixel& p : c.pixels)
            EXPECT_EQ(b.At(p.x, p.y) & 0xFFFFFF, p.rgb) << c.name << " at " << p.x << "," << p.y;
        if (c.full_screen) {  // the region in the middle of the screen, unscaled
            const int x = (screen_w - 40) / 2, y = (screen_h - 30) / 2;
            EXPECT_EQ(b.At(x, y) & 0xFFFFFF, kRed);
            EXPECT_EQ(b.At(x + 39, y + 29) & 0xFFFFFF, kRed);
            EXPECT_EQ(b.At(x + 40, y + 29) & 0xFFFFFF, kBlue);
            EXPECT_EQ(b.At(x - 1, y) & 0xFFFFFF, kBlue);
        }
    }
}

TEST(GraphicsRunTest, WithoutADisplayTheWindowedStartFailsWithAMessage) {
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(test::MinimalGame()));
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    } saved[] = {{"DISPLAY", {}}, {"WAYLAND_DISPLAY", {}}};
    for (Saved& s : saved) {
        if (const char* v = std::getenv(s.name)) s.value = v;
        unsetenv(s.name);
    }
    test::ProcessResult r = test::RunTamberlo({"--steps", "1", (dir.path / "g.bin").string()});
    for (const Saved& s : saved)
        if (s.value) setenv(s.name, s.value->c_str(), 1);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("no display is available"), std::string::npos) << r.err;
}

TEST(ScreenFilesTest, ScreenshotsTakeTheFirstFreeNumberFromAHundred) {
    test::ScratchDir dir;
    EXPECT_EQ(NextScreenshotName(dir.str()), dir / "screenshot100.bmp");
    test::WriteText(dir.path / "screenshot100.bmp", "");
    test::WriteText(dir.path / "screenshot101.bmp", "");
    test::WriteText(dir.path / "screenshot103.bmp", "");
    EXPECT_EQ(NextScreenshotName(dir.str()), dir / "screenshot102.bmp");
}

TEST_F(GraphicsTest, ScreenBitmapsHoldTheClippedRegion) {
    test::ScratchDir dir;
    g.device.Clear(0xFF102030);
    const int32_t dot = SolidTexture(1, 1, 0xFFFF0000);
    g.textures.DrawSimple(dot, 1, 2);
    ASSERT_TRUE(SaveScreenBmp(g, dir / "a.bmp", -1, 0, 4, 60));
    const std::vector<uint8_t> bytes = [&] {
        std::string t = test::ReadText(dir.path / "a.bmp");
        return std::vector<uint8_t>(t.begin(), t.end());
    }();
    const CBitmap32 b = DecodeBmp(bytes.data(), bytes.size());
    ASSERT_TRUE(b.exists);
    EXPECT_EQ(b.width, 4);
    EXPECT_EQ(b.height, 48);
    EXPECT_EQ(b.At(1, 2), 0xFFFF0000u);
    EXPECT_EQ(b.At(0, 0), 0xFF102030u);
    EXPECT_FALSE(SaveScreenBmp(g, dir / "b.bmp", 64, 0, 4, 4));
    EXPECT_FALSE(std::filesystem::exists(dir.path / "b.bmp"));
}

struct GameWindowTest : GraphicsTest {
    void SetUp() override {
        GraphicsTest::SetUp();
        g.game_window.Attach();
        ASSERT_TRUE(g.game_window.Attached());
    }
};

TEST_F(GameWindowTest, FullScreenCoversTheScreenAndComesBackToTheSameClientArea) {
    g.game_window.SetRectangle(30, 40, 200, 100);
    EXPECT_EQ(g.window.client_width, 200);
    EXPECT_EQ(g.window.client_height, 100);
    g.game_window.SetFullScreen(true);
    EXPECT_TRUE(g.window.full_screen);
    EXPECT_EQ(g.window.client_width, g.device.ScreenWidth());
    EXPECT_EQ(g.window.client_height, g.device.ScreenHeight());
    g.game_window.SetFullScreen(false);
    EXPECT_EQ(g.window.client_x, 30);
    EXPECT_EQ(g.window.client_y, 40);
    EXPECT_EQ(g.window.client_width, 200);
    EXPECT_EQ(g.window.client_height, 100);
}

TEST_F(GameWindowTest, APositiveScaleKeepsTheClientAtLeastTheScaledRegion) {
    g.game_window.SetRegionScale(2, true);
    EXPECT_EQ(g.window.client_width, 128);  // 64 x 48 region
    EXPECT_EQ(g.window.client_height, 96);
    g.game_window.SetSize(50, 500);
    EXPECT_EQ(g.window.client_width, 128);
    EXPECT_EQ(g.window.client_height, 500);
    // Without adapt the window only grows.
    g.game_window.SetRegionSize(80, 0, false);
    EXPECT_EQ(g.window.region_width, 80);
    EXPECT_EQ(g.window.region_height, 48);
    EXPECT_EQ(g.window.client_width, 160);
    EXPECT_EQ(g.window.client_height, 500);
    // With adapt it takes the scaled size; the default size centres it on the screen.
    g.game_window.SetRegionSize(10, 10, true);
    EXPECT_EQ(g.window.client_width, 20);
    EXPECT_EQ(g.window.client_height, 20);
    g.game_window.Default();
    EXPECT_EQ(g.window.client_x, (g.device.ScreenWidth() - 20) / 2);
    EXPECT_EQ(g.window.client_y, (g.device.ScreenHeight() - 20) / 2);
    // Stretching or keeping the aspect ratio sets no lower bound.
    g.game_window.SetRegionScale(0, true);
    g.game_window.SetSize(5, 5);
    EXPECT_EQ(g.window.client_width, 5);
}

TEST_F(GameWindowTest, RoomRegionsFollowTheRoomAndAreCappedToTheScreen) {
    SetRegionForRoom(g, 300, 200);
    EXPECT_EQ(g.window.region_width, 300);
    EXPECT_EQ(g.device.RegionWidth(), 300);
    EXPECT_EQ(g.window.client_width, 300);  // scale 1: the default window size
    EXPECT_EQ(g.window.client_height, 200);
    SetRegionForRoom(g, 100000, 50);
    EXPECT_EQ(g.window.region_width, g.device.ScreenWidth());
    EXPECT_EQ(g.device.RegionWidth(), g.device.ScreenWidth());
    EXPECT_EQ(g.device.RegionHeight(), 50);
}

TEST_F(GameWindowTest, PresentingLeavesTheBackBufferReadyForTheNextFrame) {
    g.game_window.SetColor(0x0000FF);
    g.game_window.SetSize(200, 100);
    g.device.Clear(0xFF00FF00);
    EXPECT_TRUE(g.game_window.Present());
    EXPECT_EQ(Pixel(5, 5), 0x00FF00u);
    g.device.Clear(0xFF000000);
    EXPECT_EQ(Pixel(5, 5), 0u);
}

}  // namespace
}  // namespace tb
