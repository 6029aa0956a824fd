// The display, window, screen, texture and surface functions on a headless device: the
// window's mapping of the mouse through the region and the views, display calls, saving the
// screen and surfaces as pictures, and the errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "graphics/bmp.h"
#include "harness.h"
#include "room_draw_harness.h"
#include "script_harness.h"
#include "system/file_bytes.h"

namespace tb {
namespace {

using test::kBlue;
using test::kGreen;
using test::kRed;
using test::Opaque;
using Texts = std::vector<std::string>;

struct GraphicsFunctions : test::RoomDrawTest {
    Texts errors;
    CInstance self;

    void SetUp() override {
        RoomDrawTest::SetUp();
        engine.host.show_error = [this](std::string_view t, bool) {
            const size_t at = t.find("\r\n\r\n");
            errors.emplace_back(at == std::string_view::npos ? t : t.substr(at + 4));
            return ErrorChoice::kIgnore;
        };
    }
    RValue Eval(const std::string& source) {
        test::RunResult r = test::RunExpression(engine, source, &self);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
        return r.result;
    }
    double Num(const std::string& source) { return Eval(source).real; }
    void Run(const std::string& source) {
        test::RunResult r = test::RunCode(engine, source, &self, &self);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
    }
    CBitmap32 ReadBmp(const std::filesystem::path& file) {
        std::vector<uint8_t> bytes;
        if (!ReadFileBytes(file.string(), bytes)) return {};
        return DecodeBmp(bytes.data(), bytes.size());
    }
};

TEST_F(GraphicsFunctions, TheMouseIsMappedThroughTheWindowAndTheRegion) {
    Run("window_set_position(100, 50); window_mouse_set(10, 20)");
    EXPECT_EQ(Num("window_get_x()"), g.window.client_x);
    EXPECT_EQ(Num("display_mouse_get_x()"), g.window.client_x + 10);
    EXPECT_EQ(Num("display_mouse_get_y()"), g.window.client_y + 20);
    EXPECT_EQ(Num("window_mouse_get_x()"), 10);
    EXPECT_EQ(Num("window_mouse_get_y()"), 20);
    // Without views the region position is the room position.
    EXPECT_EQ(Num("window_views_mouse_get_x()"), 10);
    Run("window_set_region_scale(2, true)");
    EXPECT_EQ(Num("window_get_region_scale()"), 2);
    EXPECT_EQ(Num("window_get_width()"), 128);
    EXPECT_EQ(Num("window_get_height()"), 96);
    Run("window_set_size(10, 10)");  // never below the scaled region
    EXPECT_EQ(Num("window_get_width()"), 128);
    Run("window_mouse_set(30, 41)");
    EXPECT_EQ(Num("window_views_mouse_get_x()"), 15);
    EXPECT_EQ(Num("window_views_mouse_get_y()"), 20);  // 20.5 rounded half to even
}

TEST_F(GraphicsFunctions, TheMouseIsMappedThroughTheViews) {
    // View 1: room (100, 0) 32 x 24 shown in port (0, 0) 64 x 48; view 3 unused.
    g.window.SetViewSlot(1, 0, 100, 0, 32, 24, 0, 0, 64, 48);
    Run("window_mouse_set(32, 24)");
    EXPECT_EQ(Num("window_view_mouse_get_x(1)"), 116);
    EXPECT_EQ(Num("window_view_mouse_get_y(1)"), 12);
    EXPECT_EQ(Num("window_view_mouse_get_x(3)"), 32);  // an unused slot maps nothing
    EXPECT_EQ(Num("window_views_mouse_get_x()"), 116);
    Run("window_view_mouse_set(1, 104, 2)");
    EXPECT_EQ(Num("window_mouse_get_x()"), 8);
    EXPECT_EQ(Num("window_mouse_get_y()"), 4);
    Run("window_view_mouse_set(3, 0, 0)");  // nothing through an unused slot
    EXPECT_EQ(Num("window_mouse_get_x()"), 8);
    Run("window_views_mouse_set(120, 20)");
    EXPECT_EQ(Num("window_mouse_get_x()"), 40);
    EXPECT_EQ(Num("window_mouse_get_y()"), 40);
}

TEST_F(GraphicsFunctions, WindowStateRoundTrips) {
    struct Case {
        std::string set, get;
        double want;
    };
    const Case cases[] = {
        {"window_set_color(c_red)", "window_get_color()", 255},
        {"window_set_cursor(cr_none)", "window_get_cursor()", -1},
        {"window_set_stayontop(true)", "window_get_stayontop()", 1},
        {"window_set_sizeable(0.6)", "window_get_sizeable()", 1},
        {"window_set_showicons(0.4)", "window_get_showicons()", 0},
        {"window_set_showborder(false)", "window_get_showborder()", 0},
        {"window_set_region_size(100, -1, false)", "window_get_region_width()", 100},
        {"window_set_region_size(0, 30, false)", "window_get_region_height()", 30},
    };
    for (const Case& c : cases) {
        Run(c.set);
        EXPECT_EQ(Num(c.get), c.want) << c.set;
    }
    EXPECT_EQ(Num("window_get_region_width()"), 100);
    Run("window_set_caption('Cave')");
    EXPECT_EQ(Eval("window_get_caption()").text.view(), "Cave");
    EXPECT_EQ(errors, Texts{});
}

TEST_F(GraphicsFunctions, DisplayCallsRebuildTheDeviceAndLoseTheSurfaces) {
    const int obj = AddObject(AddSprite(4, 4, {Opaque(kGreen)}));
    const int s = int(Num("surface_create(8, 8)"));
    EXPECT_EQ(Num("surface_exists(" + std::to_string(s) + ")"), 1);
    EXPECT_EQ(Num("display_set_size(800, 600)"), 1);
    EXPECT_EQ(Num("surface_exists(" + std::to_string(s) + ")"), 0);
    EXPECT_EQ(Num("display_get_width()"), g.device.ScreenWidth());
    EXPECT_EQ(Num("display_set_all(800, 600, 60, 32)"), 1);
    EXPECT_EQ(Num("display_test_all(-1, -1, -1, -1)"), 1);  // the mode as it is
    EXPECT_EQ(Num("display_test_all(12345, 7, 0, 0)"), 0);
    // Textures survive: sprites still draw after the reset.
    Place(obj, 0, 0);
    Draw();
    EXPECT_EQ(Pixel(1, 1), kGreen);
}

TEST_F(GraphicsFunctions, ScreenRedrawAndAutomaticDrawing) {
    room().Color = int32_t(kRed);
    Run("set_automatic_draw(false)");
    EXPECT_FALSE(world->automatic_draw);
    Run("screen_redraw()");
    EXPECT_EQ(Pixel(5, 5), kRed);
    Run("set_automatic_draw(true); set_synchronization(false)");
    EXPECT_TRUE(world->automatic_draw);
}

TEST_F(GraphicsFunctions, TheScreenIsSavedAsABitmap) {
    test::ScratchDir dir;
    room().Color = int32_t(kBlue);
    Draw();
    Run("screen_save('')");
    EXPECT_EQ(errors, Texts{"Trying to save screen to empty image file name."});
    Run("screen_save('" + dir / "whole.bmp" + "')");
    Run("screen_save_part('" + dir / "part.bmp" + "', 60, -5, 10, 10)");
    Run("screen_save_part('" + dir / "none.bmp" + "', 70, 0, 10, 10)");
    const CBitmap32 whole = ReadBmp(dir.path / "whole.bmp");
    ASSERT_TRUE(whole.exists);
    EXPECT_EQ(whole.width, 64);
    EXPECT_EQ(whole.height, 48);
    EXPECT_EQ(whole.At(63, 47), Opaque(kBlue));
    const CBitmap32 part = ReadBmp(dir.path / "part.bmp");
    ASSERT_TRUE(part.exists);
    EXPECT_EQ(part.width, 4);  // clipped to the region
    EXPECT_EQ(part.height, 10);
    EXPECT_FALSE(std::filesystem::exists(dir.path / "none.bmp"));
}

TEST_F(GraphicsFunctions, SurfacesAreMadeTargetedReadCopiedAndSaved) {
    test::ScratchDir dir;
    const std::string a = std::to_string(int(Num("surface_create(16, 8)")));
    const std::string b = std::to_string(int(Num("surface_create(4, 4)")));
    EXPECT_EQ(Num("surface_get_width(" + a + ")"), 16);
    EXPECT_EQ(Num("surface_get_height(" + a + ")"), 8);
    EXPECT_GE(Num("surface_get_texture(" + a + ")"), 0);
    EXPECT_EQ(Num("surface_get_width(99)"), -1);
    EXPECT_EQ(Num("surface_get_texture(99)"), -1);
    EXPECT_EQ(Num("surface_set_target(" + a + ")"), 1);
    Run("draw_clear(c_red)");
    EXPECT_EQ(Num("surface_set_target(" + b + ")"), 1);  // switches directly
    Run("draw_clear(c_lime)");
    EXPECT_EQ(Num("surface_reset_target()"), 1);
    EXPECT_EQ(Num("surface_reset_target()"), 0);
    EXPECT_EQ(Num("surface_set_target(99)"), 0);
    EXPECT_EQ(Num("surface_getpixel(" + a + ", 3, 3)"), kRed);
    Run("surface_copy(" + a + ", 14, 2, " + b + ")");  // cut at the right edge
    EXPECT_EQ(Num("surface_getpixel(" + a + ", 15, 2)"), kGreen);
    EXPECT_EQ(Num("surface_getpixel(" + a + ", 13, 2)"), kRed);
    Run("surface_copy_part(" + a + ", 0, 0, " + b + ", -2, 0, 4, 4)");
    EXPECT_EQ(Num("surface_getpixel(" + a + ", 1, 0)"), kRed);  // shifted right by 2
    EXPECT_EQ(Num("surface_getpixel(" + a + ", 2, 0)"), kGreen);
    Run("surface_save(" + a + ", '" + dir / "a.bmp" + "')");
    Run("surface_save_part(" + a + ", '" + dir / "p.bmp" + "', 14, 0, 8, 3)");
    const CBitmap32 saved = ReadBmp(dir.path / "a.bmp");
    ASSERT_TRUE(saved.exists);
    EXPECT_EQ(saved.width, 16);
    EXPECT_EQ(saved.At(15, 2), Opaque(kGreen));
    const CBitmap32 part = ReadBmp(dir.path / "p.bmp");
    ASSERT_TRUE(part.exists);
    EXPECT_EQ(part.width, 2);
    EXPECT_EQ(part.height, 3);
    Run("surface_free(" + b + ")");
    EXPECT_EQ(Num("surface_exists(" + b + ")"), 0);
    EXPECT_EQ(errors, Texts{});
    Run("surface_getpixel(" + b + ", 0, 0); surface_copy(" + a + ", 0, 0, " + b +
        "); surface_copy_part(" + b + ", 0, 0, " + a + ", 0, 0, 1, 1); surface_save(" + b +
        ", 'x.bmp'); surface_save(" + a + ", '')");
    EXPECT_EQ(errors,
              (Texts{"Trying to use non-existing surface.", "Trying to use non-existing surface.",
                     "Trying to use non-existing surface.", "Trying to use non-existing surface.",
                     "Trying to save surface to empty image file name."}));
}

TEST_F(GraphicsFunctions, TexturesOfSpritesAndBackgrounds) {
    const int spr = AddSprite(4, 4, {Opaque(kRed), Opaque(kGreen), Opaque(kBlue), Opaque(kRed)});
    const int back = AddBackground(33, 17, kRed);
    const CSprite& s = *game.sprites.Get(spr);
    self.image_index = 2.7;
    const std::string id = std::to_string(spr);
    EXPECT_EQ(Num("sprite_get_texture(" + id + ", -1)"), s.textures[2]);
    EXPECT_EQ(Num("sprite_get_texture(" + id + ", 5)"), s.textures[1]);
    const double t = Num("background_get_texture(" + std::to_string(back) + ")");
    EXPECT_EQ(t, game.backgrounds.Get(back)->texture);
    const std::string tid = std::to_string(int(t));
    EXPECT_EQ(Num("texture_exists(" + tid + ")"), 1);
    EXPECT_EQ(Num("texture_exists(9999)"), 0);
    EXPECT_DOUBLE_EQ(Num("texture_get_width(" + tid + ")"), g.textures.WidthFraction(int(t)));
    EXPECT_DOUBLE_EQ(Num("texture_get_height(" + tid + ")"), g.textures.HeightFraction(int(t)));
    EXPECT_EQ(Num("texture_get_width(9999)"), 1);
    Run("texture_preload(" + tid + "); texture_set_priority(" + tid +
        ", 3); texture_set_interpolation(false); texture_set_blending(true); "
        "texture_set_repeat(false)");
    EXPECT_EQ(errors, Texts{});
    Run("sprite_get_texture(99, 0); background_get_texture(-1)");
    EXPECT_EQ(errors, (Texts{"Trying to get texture from non-existing sprite.",
                             "Trying to get texture from non-existing background."}));
}

}  // namespace
}  // namespace tb
