// The graphics of a run: frames written headless, the window's frame and region rules,
// screenshots, and the start without a display.
#include <gtest/gtest.h>

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
