// Sprites and backgrounds made from the screen and from surfaces on a headless device: the
// captured pixels, the key colour of screen captures, the alpha kept from surfaces, textures
// made for new frames and freed with deleted resources.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "room_draw_harness.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::kBlue;
using test::kGreen;
using test::kRed;
using Texts = std::vector<std::string>;

struct ResourceCapture : test::RoomDrawTest {
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
    double Num(const std::string& source) {
        test::RunResult r = test::RunExpression(engine, source, &self);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
        return r.result.real;
    }
    void Run(const std::string& source) {
        test::RunResult r = test::RunCode(engine, source, &self, &self);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
    }
};

TEST_F(ResourceCapture, ScreenCapturesKeyTheBottomLeftColourAndGetTextures) {
    Run("draw_clear(65280); draw_set_color(c_red); draw_point(0, 3)");
    ASSERT_EQ(Pixel(0, 3), kRed);
    ASSERT_EQ(Pixel(1, 1), kGreen);
    const int s = int(Num("sprite_create_from_screen(0, 0, 4, 4, 1, 1, 0, 0, 1, 2)"));
    ASSERT_GE(s, 0);
    const CSprite& sp = *game.sprites.Get(s);
    EXPECT_EQ(sp.Width, 4);
    EXPECT_EQ(sp.XOrigin, 1);
    EXPECT_EQ(sp.frames[0].At(0, 3) >> 24, 0u);
    EXPECT_EQ(sp.frames[0].At(1, 1), test::Opaque(kGreen));
    EXPECT_TRUE(sp.masks_built);
    ASSERT_EQ(sp.textures.size(), 1u);
    EXPECT_TRUE(g.textures.Exists(sp.textures[0]));

    // The new sprite draws: its transparent key pixel leaves the background.
    Run("draw_clear(c_blue); draw_sprite(" + std::to_string(s) + ", 0, 10, 10)");
    EXPECT_EQ(Pixel(10, 10), kGreen);
    EXPECT_EQ(Pixel(9, 11), kBlue);

    // A larger area added as a frame is resized to the sprite.
    Run("sprite_add_from_screen(" + std::to_string(s) + ", 0, 0, 8, 8)");
    ASSERT_EQ(sp.FrameCount(), 2);
    EXPECT_EQ(sp.frames[1].width, 4);
    EXPECT_EQ(sp.textures.size(), 2u);

    const int b = int(Num("background_create_from_screen(8, 8, 4, 2, 0, 0, 1)"));
    ASSERT_GE(b, 0);
    EXPECT_EQ(game.backgrounds.Get(b)->image.At(2, 1), test::Opaque(kGreen));
    EXPECT_TRUE(game.backgrounds.Get(b)->Preload);
    EXPECT_TRUE(g.textures.Exists(game.backgrounds.Get(b)->texture));

    // Deleting frees the textures at once.
    const int32_t texture = sp.textures[0];
    Run("sprite_delete(" + std::to_string(s) + ")");
    EXPECT_FALSE(g.textures.Exists(texture));
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceCapture, SurfaceCapturesKeepTheirAlpha) {
    Run("surf = surface_create(4, 4); surface_set_target(surf); draw_clear_alpha(c_blue, 0.5);"
        "surface_reset_target()");
    const int s = int(Num("sprite_create_from_surface(surf, 0, 0, 4, 4, 0, 1, 1, 0, 0, 0)"));
    ASSERT_GE(s, 0);
    const uint32_t p = game.sprites.Get(s)->frames[0].At(3, 3);
    EXPECT_NEAR(double(p >> 24), 128, 1);
    EXPECT_EQ(p & 0xFF, 0xFFu);
    Run("sprite_add_from_surface(" + std::to_string(s) + ", surf, 0, 0, 2, 2)");
    EXPECT_EQ(game.sprites.Get(s)->FrameCount(), 2);
    const int b = int(Num("background_create_from_surface(surf, 1, 1, 2, 2, 0, 0, 0)"));
    ASSERT_GE(b, 0);
    EXPECT_EQ(game.backgrounds.Get(b)->Width, 2);
    EXPECT_NEAR(double(game.backgrounds.Get(b)->image.At(0, 0) >> 24), 128, 1);
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceCapture, AreasThatCannotBeCapturedCreateNothing) {
    const int before = game.sprites.Count();
    const std::vector<std::string> calls = {
        "sprite_create_from_screen(0, 0, 100000, 100000, 0, 0, 0, 0, 0, 0)",
        "sprite_create_from_screen(0, 0, 0, 4, 0, 0, 0, 0, 0, 0)",
        "sprite_create_from_screen(500, 500, 4, 4, 0, 0, 0, 0, 0, 0)",
        "sprite_create_from_surface(77, 0, 0, 4, 4, 0, 0, 0, 0, 0, 0)",
        "background_create_from_screen(0, 0, -4, 4, 0, 0, 0)",
        "background_create_from_surface(77, 0, 0, 4, 4, 0, 0, 0)"};
    for (const std::string& c : calls) EXPECT_EQ(Num(c), -1) << c;
    EXPECT_EQ(game.sprites.Count(), before);
    EXPECT_EQ(errors, Texts{});
}

}  // namespace
}  // namespace tb
