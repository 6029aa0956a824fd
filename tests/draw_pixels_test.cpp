// Drawing through the script functions on a headless device, checked at chosen pixels:
// shapes and their edges, alpha and blend modes, the primitive builder, sprites,
// backgrounds and surfaces with scaling and rotation, and text with its alignment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gfx_harness.h"
#include "graphics/fonts.h"
#include "resources/font.h"
#include "runner/game.h"
#include "script_harness.h"

namespace tb {
namespace {

constexpr uint32_t kBlack = 0, kWhite = 0xFFFFFF, kRed = 0x0000FF, kLime = 0x00FF00,
                   kBlue = 0xFF0000, kGrey = 0x808080;

struct Probe {
    int x, y;
    uint32_t bgr;
    int tolerance = 0;  // per channel
};

struct PixelCase {
    const char* name;
    std::string code;
    std::vector<Probe> probes;
};

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) return false;
    return true;
}

struct DrawPixelsTest : test::GraphicsTest {
    test::ScriptWorld world;
    std::vector<std::string> errors;

    void SetUp() override {
        GraphicsTest::SetUp();
        if (HasFatalFailure()) return;
        world.engine.graphics = &g;
        world.engine.host.show_error = [this](std::string_view t, bool) {
            const size_t at = t.find("\r\n\r\n");
            errors.emplace_back(at == std::string_view::npos ? t : t.substr(at + 4));
            return ErrorChoice::kIgnore;
        };
        Run("draw_clear(c_black)");
    }

    void Run(const std::string& code) {
        const test::RunResult r = world.Run(code);
        ASSERT_TRUE(r.ok) << code << "\n" << r.message;
    }

    // Each case from a black region and the initial state but a white draw colour.
    void Check(const std::vector<PixelCase>& cases) {
        for (const PixelCase& c : cases) {
            Run("draw_set_blend_mode(bm_normal); draw_set_alpha(1); draw_set_color(c_white);"
                "draw_set_halign(fa_left); draw_set_valign(fa_top); draw_clear(c_black);" +
                c.code);
            for (const Probe& p : c.probes) {
                const uint32_t got = Pixel(p.x, p.y);
                EXPECT_TRUE(Near(got, p.bgr, p.tolerance))
                    << c.name << " at " << p.x << "," << p.y << ": " << std::hex << got
                    << " instead of " << p.bgr;
            }
        }
        EXPECT_TRUE(errors.empty()) << errors.front();
    }

    // A sprite of solid frames in the game, with its textures.
    int AddSprite(int width, int height, const std::vector<uint32_t>& argb, int xorig = 0,
                  int yorig = 0) {
        auto s = std::make_unique<CSprite>();
        s->Width = width;
        s->Height = height;
        s->XOrigin = xorig;
        s->YOrigin = yorig;
        for (uint32_t c : argb) s->frames.emplace_back(width, height, c);
        CreateSpriteTextures(g.textures, *s);
        return world.game.sprites.Add(std::move(s), "spr");
    }
};

TEST_F(DrawPixelsTest, RectanglesCoverTheirWholeRightAndBottomEdges) {
    Check({
        {"filled",
         "draw_rectangle(10, 10, 20, 20, false)",
         {{10, 10, kWhite}, {20, 20, kWhite}, {9, 15, kBlack}, {21, 15, kBlack}, {15, 21, kBlack}}},
        {"corners in any order",
         "draw_rectangle(20, 20, 10, 10, false)",
         {{10, 10, kWhite}, {20, 20, kWhite}, {21, 20, kBlack}}},
        {"half-pixel edges stay",
         "draw_rectangle(10.5, 10, 20.5, 20, false)",
         {{10, 15, kBlack}, {11, 15, kWhite}, {20, 15, kWhite}, {21, 15, kBlack}}},
        {"outline",
         "draw_rectangle(10, 10, 30, 30, true)",
         {{20, 10, kWhite}, {10, 20, kWhite}, {20, 20, kBlack}}},
        {"corner colours",
         "draw_rectangle_color(0, 0, 63, 47, c_red, c_red, c_red, c_red, false)",
         {{0, 0, kRed}, {63, 47, kRed}}},
        {"corner gradient",
         "draw_rectangle_color(0, 0, 60, 10, c_red, c_blue, c_blue, c_red, false)",
         {{1, 5, kRed, 10}, {59, 5, kBlue, 10}, {30, 5, 0x800080, 8}}},
    });
}

TEST_F(DrawPixelsTest, LinesPointsTrianglesAndArrows) {
    Check({
        {"point", "draw_point(5, 7)", {{5, 7, kWhite}, {6, 7, kBlack}, {5, 6, kBlack}}},
        {"point colour", "draw_point_color(5, 7, c_lime)", {{5, 7, kLime}}},
        {"line", "draw_line(2, 5, 40, 5)", {{20, 5, kWhite}, {20, 7, kBlack}}},
        {"line colours",
         "draw_line_color(0, 5, 60, 5, c_red, c_blue)",
         {{1, 5, kRed, 10}, {59, 5, kBlue, 10}}},
        {"wide line",
         "draw_line_width(10, 20, 50, 20, 6)",
         {{30, 18, kWhite}, {30, 22, kWhite}, {30, 24, kBlack}, {30, 16, kBlack}, {8, 20, kBlack}}},
        {"zero length wide line draws nothing",
         "draw_line_width(10, 20, 10, 20, 6)",
         {{10, 20, kBlack}}},
        {"triangle",
         "draw_triangle(10, 10, 40, 10, 10, 40, false)",
         {{15, 15, kWhite}, {35, 35, kBlack}}},
        {"triangle outline",
         "draw_triangle(10, 10, 40, 10, 10, 40, true)",
         {{20, 10, kWhite}, {15, 15, kBlack}}},
        {"arrow",
         "draw_arrow(0, 24, 60, 24, 20)",
         {{30, 24, kWhite},
          {30, 27, kBlack},
          {45, 27, kWhite},
          {45, 31, kBlack},
          {55, 24, kWhite}}},
    });
}

TEST_F(DrawPixelsTest, CirclesEllipsesAndRoundedRectangles) {
    Check({
        {"filled circle",
         "draw_circle(32, 24, 10, false)",
         {{32, 24, kWhite},
          {40, 24, kWhite},
          {32, 16, kWhite},
          {44, 24, kBlack},
          {40, 32, kBlack}}},
        {"circle outline", "draw_circle(32, 24, 10, true)", {{32, 24, kBlack}, {32, 20, kBlack}}},
        {"centre and rim colours",
         "draw_circle_color(32, 24, 20, c_red, c_blue, false)",
         {{32, 24, kRed, 2}}},
        {"ellipse",
         "draw_ellipse(2, 20, 62, 28, false)",
         {{32, 24, kWhite}, {5, 24, kWhite}, {32, 18, kBlack}, {5, 21, kBlack}}},
        {"rounded rectangle",
         "draw_roundrect(10, 10, 50, 40, false)",
         {{30, 25, kWhite},
          {11, 25, kWhite},
          {30, 11, kWhite},
          {10, 10, kBlack},
          {50, 40, kBlack}}},
        {"rounded outline",
         "draw_roundrect(10, 10, 50, 40, true)",
         {{30, 25, kBlack}, {30, 10, kWhite}}},
    });
}

TEST_F(DrawPixelsTest, ButtonsAndHealthbars) {
    Check({
        {"button up",
         "draw_set_color(c_blue); draw_button(0, 0, 20, 20, true)",
         {{1, 5, kWhite}, {19, 15, kGrey}, {10, 10, kBlue}}},
        {"button down",
         "draw_set_color(c_blue); draw_button(0, 0, 20, 20, false)",
         {{1, 5, kGrey}, {19, 15, kWhite}}},
        // Half full: the middle colour, cut at x 20 of 0 .. 40.
        {"half",
         "draw_healthbar(0, 0, 40, 10, 50, c_black, c_red, c_lime, 0, true, false)",
         {{10, 5, 0x008080}, {25, 5, kBlack}}},
        {"over full",
         "draw_healthbar(0, 0, 40, 10, 150, c_black, c_red, c_lime, 0, true, false)",
         {{35, 5, kLime}}},
        {"empty is mincol",
         "draw_healthbar(0, 0, 40, 10, 0, c_blue, c_red, c_lime, 0, true, false)",
         {{0, 5, kRed}, {10, 5, kBlue}}},
        {"from the right",
         "draw_healthbar(0, 0, 40, 10, 25, c_blue, c_red, c_lime, 1, true, false)",
         {{35, 5, 0x0040C0}, {25, 5, kBlue}}},
        {"from the bottom",
         "draw_healthbar(0, 0, 40, 40, 50, c_blue, c_red, c_lime, 3, false, false)",
         {{10, 30, 0x008080}, {10, 10, kBlack}}},
        {"border",
         "draw_healthbar(0, 0, 40, 10, 50, c_blue, c_red, c_lime, 0, true, true)",
         {{30, 0, kBlack}, {30, 5, kBlue}}},
    });
}

TEST_F(DrawPixelsTest, AlphaAndBlendModes) {
    Check({
        {"half alpha over black",
         "draw_set_alpha(0.5); draw_rectangle(0, 0, 10, 10, false)",
         {{5, 5, kGrey, 1}}},
        {"alpha 0 draws nothing",
         "draw_set_alpha(0); draw_rectangle(0, 0, 10, 10, false)",
         {{5, 5, kBlack}}},
        {"add",
         "draw_clear(make_color_rgb(100, 0, 0)); draw_set_blend_mode(bm_add);"
         "draw_set_color(make_color_rgb(50, 0, 0)); draw_rectangle(0, 0, 10, 10, false)",
         {{5, 5, 150}, {20, 20, 100}}},
        {"subtract",
         "draw_clear(make_color_rgb(200, 100, 0)); draw_set_blend_mode(bm_subtract);"
         "draw_set_color(c_red); draw_rectangle(0, 0, 10, 10, false)",
         {{5, 5, 100 << 8}}},
        {"max",
         "draw_clear(make_color_rgb(128, 0, 0)); draw_set_blend_mode(bm_max);"
         "draw_set_color(make_color_rgb(128, 0, 0)); draw_rectangle(0, 0, 10, 10, false)",
         {{5, 5, 192, 1}}},
        {"ext one zero ignores alpha",
         "draw_clear(c_blue); draw_set_alpha(0.5); draw_set_blend_mode_ext(bm_one, bm_zero);"
         "draw_set_color(c_red); draw_rectangle(0, 0, 10, 10, false)",
         {{5, 5, kRed}}},
        {"unknown factors leave the blending",
         "draw_set_blend_mode(bm_add); draw_set_blend_mode_ext(0, 12); draw_clear(c_red);"
         "draw_set_color(c_blue); draw_rectangle(0, 0, 10, 10, false)",
         {{5, 5, kRed | kBlue}}},
        {"clear ignores the draw colour",
         "draw_set_color(c_red); draw_clear(c_lime)",
         {{30, 30, kLime}}},
    });
}

TEST_F(DrawPixelsTest, GetPixelReadsTheBackBufferThroughTheView) {
    Run("draw_clear(c_black); draw_point_color(5, 7, c_red)");
    EXPECT_TRUE(test::IsReal(world.Eval("draw_getpixel(5, 7)").result, kRed));
    EXPECT_TRUE(test::IsReal(world.Eval("draw_getpixel(6, 7)").result, 0));
    EXPECT_TRUE(test::IsReal(world.Eval("draw_getpixel(500, 7)").result, 0));
    // View 0 shows room (100, 100) at region (0, 0).
    g.window.SetViewSlot(0, 0, 100, 100, 64, 48, 0, 0, 64, 48);
    EXPECT_TRUE(test::IsReal(world.Eval("draw_getpixel(105, 107)").result, kRed));
    // A surface as the target does not change what is read.
    const int32_t s = g.surfaces.Create(16, 16);
    ASSERT_TRUE(g.surfaces.SetTarget(s));
    Run("draw_clear(c_lime)");
    EXPECT_TRUE(test::IsReal(world.Eval("draw_getpixel(105, 107)").result, kRed));
    g.surfaces.ResetTarget();
}

TEST_F(DrawPixelsTest, PrimitiveBuilder) {
    const int32_t red = SolidTexture(4, 4, 0xFFFF0000);
    const std::string tex = std::to_string(red);
    Check({
        {"triangle list",
         "draw_primitive_begin(pr_trianglelist); draw_vertex(0, 0); draw_vertex(40, 0);"
         "draw_vertex(0, 40); draw_vertex(60, 40); draw_primitive_end()",
         {{5, 5, kWhite}, {35, 35, kBlack}}},
        {"own colours",
         "draw_primitive_begin(pr_trianglefan); draw_vertex_color(0, 0, c_lime, 1);"
         "draw_vertex_color(40, 0, c_lime, 1); draw_vertex_color(40, 40, c_lime, 1);"
         "draw_vertex_color(0, 40, c_lime, 1); draw_primitive_end()",
         {{20, 20, kLime}, {45, 20, kBlack}}},
        {"textured strip",
         "draw_primitive_begin_texture(pr_trianglestrip, " + tex +
             "); draw_vertex_texture(0, 0, 0, 0); draw_vertex_texture(20, 0, 1, 0);"
             "draw_vertex_texture(0, 20, 0, 1); draw_vertex_texture(20, 20, 1, 1);"
             "draw_primitive_end()",
         {{10, 10, kRed}, {25, 10, kBlack}}},
        {"textured colour modulates",
         "draw_primitive_begin_texture(pr_trianglefan, " + tex +
             "); draw_vertex_texture_color(0, 0, 0, 0, c_black, 1);"
             "draw_vertex_texture_color(20, 0, 1, 0, c_black, 1);"
             "draw_vertex_texture_color(20, 20, 1, 1, c_black, 1);"
             "draw_vertex_texture_color(0, 20, 0, 1, c_black, 1); draw_clear(c_lime);"
             "draw_primitive_end()",
         {{10, 10, kBlack}}},
        {"kept after end: drawn twice",
         "draw_set_blend_mode(bm_add); draw_set_color(make_color_rgb(60, 0, 0));"
         "draw_primitive_begin(pr_trianglelist); draw_vertex(0, 0); draw_vertex(40, 0);"
         "draw_vertex(0, 40); draw_primitive_end(); draw_primitive_end()",
         {{5, 5, 120}}},
        {"too few vertices",
         "draw_primitive_begin(pr_trianglestrip); draw_vertex(0, 0);"
         "draw_vertex(40, 0); draw_primitive_end()",
         {{5, 0, kBlack}}},
        {"unknown kind",
         "draw_primitive_begin(7); draw_vertex(5, 5); draw_primitive_end()",
         {{5, 5, kBlack}}},
        {"points",
         "draw_primitive_begin(pr_pointlist); draw_vertex(3, 4); draw_vertex(9, 4);"
         "draw_primitive_end()",
         {{3, 4, kWhite}, {9, 4, kWhite}, {6, 4, kBlack}}},
        {"line list drops the odd vertex",
         "draw_primitive_begin(pr_linelist); draw_vertex(0, 4); draw_vertex(30, 4);"
         "draw_vertex(0, 20); draw_primitive_end()",
         {{15, 4, kWhite}}},
    });
    Run("draw_primitive_begin(pr_pointlist); repeat (1002) draw_vertex(1, 1)");
    EXPECT_EQ(g.draw.primitive.size(), 1001u);
    Run("draw_primitive_begin(pr_linestrip)");
    EXPECT_TRUE(g.draw.primitive.empty());
}

TEST_F(DrawPixelsTest, PathsThroughTheBuilder) {
    auto path = std::make_unique<CPath>();
    path->SetKind(0);
    path->SetClosed(false);
    path->AddPoint(10, 10, 100);
    path->AddPoint(50, 10, 100);
    world.game.paths.Add(std::move(path), "pth");
    Check({
        {"absolute", "draw_path(0, 0, 0, true)", {{30, 10, kWhite}, {30, 30, kBlack}}},
        {"relative",
         "draw_path(0, 20, 30, false)",
         {{40, 30, kWhite}, {50, 30, kWhite}, {30, 10, kBlack}}},
        {"replaces the pending primitive",
         "draw_primitive_begin(pr_trianglelist); draw_vertex(0, 0); draw_vertex(40, 0);"
         "draw_vertex(0, 40); draw_path(0, 0, 0, true); draw_clear(c_black); draw_primitive_end()",
         {{30, 10, kWhite}, {5, 5, kBlack}}},
    });
    Run("draw_path(3, 0, 0, true)");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Trying to drawn non-existing path.");
}

TEST_F(DrawPixelsTest, Sprites) {
    // 4 x 4, origin (2, 2): frame 0 red, frame 1 blue, frame 2 white.
    AddSprite(4, 4, {0xFFFF0000, 0xFF0000FF, 0xFFFFFFFF}, 2, 2);
    // 8 x 2, white, origin (0, 0).
    AddSprite(8, 2, {0xFFFFFFFF});
    Check({
        {"at its origin",
         "draw_sprite(0, 0, 10, 10)",
         {{8, 8, kRed}, {11, 11, kRed}, {12, 10, kBlack}, {7, 10, kBlack}}},
        {"sub-image wraps", "draw_sprite(0, 4, 10, 10)", {{10, 10, kBlue}}},
        {"sub-image below 0 is the instance's",
         "image_index = 2.7; draw_sprite(0, -1, 10, 10)",
         {{10, 10, kWhite}}},
        {"scaled",
         "draw_sprite_ext(0, 0, 20, 20, 2, 3, 0, c_white, 1)",
         {{16, 14, kRed}, {23, 25, kRed}, {24, 20, kBlack}, {20, 26, kBlack}}},
        {"blended and faded",
         "draw_sprite_ext(1, 0, 20, 20, 1, 1, 0, c_red, 0.5)",
         {{20, 20, 0x80, 1}, {22, 21, 0x80, 1}}},
        // A quarter turn counter-clockwise: the bar now rises from (30, 30).
        {"rotated",
         "draw_sprite_ext(1, 0, 30, 30, 1, 1, 90, c_white, 1)",
         {{30, 25, kWhite},
          {31, 23, kWhite},
          {29, 25, kBlack},
          {32, 25, kBlack},
          {30, 22, kBlack},
          {30, 31, kBlack}}},
        {"stretched",
         "draw_sprite_stretched(0, 0, 20, 20, 8, 4)",
         {{20, 20, kRed}, {27, 23, kRed}, {28, 20, kBlack}, {20, 24, kBlack}}},
        {"stretched to nothing", "draw_sprite_stretched(0, 0, 20, 20, 0, 4)", {{20, 20, kBlack}}},
        {"stretched ext",
         "draw_sprite_stretched_ext(1, 0, 0, 0, 4, 4, c_lime, 1)",
         {{3, 3, kLime}}},
        {"part",
         "draw_sprite_part(1, 0, 2, 0, 3, 2, 40, 40)",
         {{40, 40, kWhite}, {42, 41, kWhite}, {43, 40, kBlack}}},
        {"part ext",
         "draw_sprite_part_ext(1, 0, 0, 0, 2, 2, 40, 40, 2, 2, c_blue, 1)",
         {{43, 43, kBlue}, {44, 40, kBlack}}},
        {"general",
         "draw_sprite_general(1, 0, 0, 0, 8, 2, 10, 10, 1, 4, 0, c_red, c_red, "
         "c_red, c_red, 1)",
         {{10, 10, kRed}, {17, 17, kRed}, {18, 10, kBlack}}},
        {"tiled over the room",
         "draw_sprite_tiled(1, 0, 3, 1)",
         {{0, 0, kWhite}, {63, 47, kWhite}, {5, 46, kWhite}}},
        {"tiled ext",
         "draw_sprite_tiled_ext(1, 0, 2, 2, 1, 1, c_lime, 1)",
         {{0, 0, kLime}, {63, 47, kLime}}},
    });
}

TEST_F(DrawPixelsTest, BackgroundsAndSurfaces) {
    auto b = std::make_unique<CBackground>();
    b->Width = 6;
    b->Height = 3;
    b->image = CBitmap32(6, 3, 0xFF00FF00);
    CreateBackgroundTexture(g.textures, *b);
    world.game.backgrounds.Add(std::move(b), "bck");
    const int32_t s = g.surfaces.Create(10, 10);
    ASSERT_EQ(s, 0);
    ASSERT_TRUE(g.surfaces.SetTarget(s));
    Run("draw_clear(c_red)");
    ASSERT_TRUE(g.surfaces.ResetTarget());
    Check({
        {"background has no origin",
         "draw_background(0, 5, 5)",
         {{5, 5, kLime}, {10, 7, kLime}, {11, 5, kBlack}, {5, 8, kBlack}}},
        {"background stretched",
         "draw_background_stretched(0, 0, 0, 12, 12)",
         {{11, 11, kLime}, {12, 11, kBlack}}},
        {"background tiled ext",
         "draw_background_tiled_ext(0, 0, 0, 1, 1, c_black, 1)",
         {{30, 30, kBlack}}},
        {"background general",
         "draw_background_general(0, 0, 0, 6, 3, 1, 1, 2, 2, 0, c_white,"
         "c_white, c_white, c_white, 1)",
         {{12, 6, kLime}, {13, 6, kBlack}}},
        {"surface", "draw_surface(0, 40, 20)", {{40, 20, kRed}, {49, 29, kRed}, {50, 20, kBlack}}},
        {"surface ext",
         "draw_surface_ext(0, 0, 0, 0.5, 0.5, 0, c_white, 1)",
         {{4, 4, kRed}, {5, 5, kBlack}}},
        {"surface stretched",
         "draw_surface_stretched(0, 0, 0, 20, 5)",
         {{17, 2, kRed}, {21, 2, kBlack}}},
        {"surface part", "draw_surface_part(0, 0, 0, 3, 3, 1, 1)", {{3, 3, kRed}, {4, 4, kBlack}}},
        {"surface tiled", "draw_surface_tiled(0, 0, 0)", {{63, 47, kRed}}},
    });
    Run("draw_clear(c_black); draw_sprite(0, 0, 0, 0); draw_background(3, 0, 0); "
        "draw_surface_ext(7, 0, 0, 1, 1, 0,"
        "c_white, 1); draw_sprite_tiled(-1, 0, 0, 0)");
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "Trying to draw non-existing sprite.",
                          "Trying to draw non-existing background.",
                          "Trying to use non-existing surface.",
                          "Trying to draw non-existing sprite.",
                      }));
    EXPECT_EQ(Pixel(0, 0), kBlack);
}

// A font whose glyphs are solid 6 x 12 blocks, 8 apart, in an atlas of 8 x 12 cells.
int AddBlockFont(Game& game, TextureTable& textures) {
    auto f = std::make_unique<CFont>();
    f->FontName = "Blocks";
    f->First = 32;
    f->Last = 127;
    const int cells = f->Last - f->First + 1;
    f->TextureWidth = 8 * cells;
    f->TextureHeight = 12;
    f->alpha.assign(size_t(f->TextureWidth) * 12, 0);
    for (int c = f->First; c <= f->Last; ++c) {
        const size_t i = size_t(c);
        const int x = 8 * (c - f->First);
        f->glyph_x[i] = x;
        f->glyph_w[i] = 6;
        f->glyph_h[i] = 12;
        f->glyph_advance[i] = 8;
        if (c == ' ') continue;
        for (int y = 0; y < 12; ++y)
            for (int u = 0; u < 6; ++u)
                f->alpha[size_t(y) * size_t(f->TextureWidth) + size_t(x + u)] = 255;
    }
    f->glyph_offset['B'] = 1;
    CreateFontTexture(textures, *f);
    return game.fonts.Add(std::move(f), "fnt");
}

TEST_F(DrawPixelsTest, TextAlignmentAndLines) {
    ASSERT_EQ(AddBlockFont(world.game, g.textures), 0);
    Run("draw_set_font(0)");
    EXPECT_EQ(g.draw.font, 0);
    EXPECT_TRUE(test::IsReal(world.Eval("string_width(\"AB\")").result, 16));
    EXPECT_TRUE(test::IsReal(world.Eval("string_height(\"A#B\")").result, 24));
    EXPECT_TRUE(test::IsReal(world.Eval("string_height_ext(\"A#B\", 20, -1)").result, 32));
    EXPECT_TRUE(test::IsReal(world.Eval("string_width_ext(\"AA AA\", 0, 30)").result, 24));
    Check({
        // A at 10 .. 15, B one pixel right of its pen at 18: 19 .. 24.
        {"left top",
         "draw_text(10, 10, \"AB\")",
         {{10, 10, kWhite},
          {15, 21, kWhite},
          {16, 10, kBlack},
          {18, 10, kBlack},
          {19, 10, kWhite},
          {24, 10, kWhite},
          {10, 22, kBlack},
          {10, 9, kBlack}}},
        {"colour and alpha",
         "draw_set_color(c_red); draw_set_alpha(0.5); draw_text(0, 0, \"A\")",
         {{2, 2, 0x80, 1}}},
        {"centre",
         "draw_set_halign(fa_center); draw_text(32, 10, \"AB\")",
         {{24, 10, kWhite}, {23, 10, kBlack}, {33, 10, kWhite}}},
        {"right",
         "draw_set_halign(fa_right); draw_text(32, 10, \"AB\")",
         {{16, 10, kWhite}, {15, 10, kBlack}}},
        {"middle",
         "draw_set_valign(fa_middle); draw_text(10, 20, \"A\")",
         {{10, 14, kWhite}, {10, 13, kBlack}, {10, 25, kWhite}, {10, 26, kBlack}}},
        {"bottom",
         "draw_set_valign(fa_bottom); draw_text(10, 30, \"A#A\")",
         {{10, 5, kBlack}, {10, 6, kWhite}, {10, 29, kWhite}, {10, 30, kBlack}}},
        {"lines", "draw_text(0, 0, \"A#\\\\#\")", {{2, 2, kWhite}, {2, 14, kWhite}}},
        {"separation and wrapping",
         "draw_text_ext(0, 0, \"AA AA\", 20, 30)",
         {{2, 2, kWhite}, {26, 2, kBlack}, {2, 14, kBlack}, {2, 22, kWhite}}},
        {"a real is written out",
         "draw_text(0, 0, 12.5)",
         {{2, 2, kWhite}, {34, 2, kWhite}, {42, 2, kBlack}}},
        {"centred lines each",
         "draw_set_halign(fa_center); draw_text(32, 0, \"AAAA#A\")",
         {{16, 2, kWhite}, {28, 14, kWhite}, {33, 14, kWhite}, {27, 14, kBlack}, {34, 14, kBlack}}},
    });
}

TEST_F(DrawPixelsTest, TransformedAndColouredText) {
    ASSERT_EQ(AddBlockFont(world.game, g.textures), 0);
    Run("draw_set_font(0)");
    Check({
        {"scaled",
         "draw_text_transformed(10, 10, \"A\", 2, 2, 0)",
         {{11, 11, kWhite}, {20, 32, kWhite}, {22, 10, kBlack}, {10, 34, kBlack}}},
        {"second glyph scaled along",
         "draw_text_transformed(0, 0, \"AA\", 2, 1, 0)",
         {{17, 2, kWhite}, {14, 2, kBlack}}},
        // A quarter turn: the text runs upwards and its lines go to the right.
        {"turned",
         "draw_text_transformed(10, 40, \"AA\", 1, 1, 90)",
         {{12, 37, kWhite},
          {12, 29, kWhite},
          {12, 33, kBlack},
          {12, 26, kBlack},
          {21, 37, kWhite},
          {22, 37, kBlack}}},
        {"turned middle",
         "draw_set_valign(fa_middle); draw_text_transformed(10, 40, \"A\", 1, 1, 90)",
         {{4, 37, kWhite}, {15, 37, kWhite}, {16, 37, kBlack}, {3, 37, kBlack}}},
        {"turned centre",
         "draw_set_halign(fa_center); draw_text_transformed(10, 40, \"AA\", 1, 1, 90)",
         {{12, 45, kWhite},
          {12, 47, kWhite},
          {12, 41, kBlack},
          {12, 36, kWhite},
          {12, 34, kBlack}}},
        {"ext transformed",
         "draw_text_ext_transformed(0, 0, \"A#A\", 20, -1, 1, 1, 0)",
         {{2, 22, kWhite}, {2, 14, kBlack}}},
        {"one colour",
         "draw_text_color(0, 0, \"A\", c_red, c_red, c_red, c_red, 1)",
         {{0, 0, kRed}, {5, 11, kRed}}},
        {"gradient alpha",
         "draw_text_color(0, 0, \"A\", c_lime, c_lime, c_lime, c_lime, 0.5)",
         {{3, 3, 0x8000, 1}}},
        // Left to right across the line: the first glyph is red, the last one blue.
        {"across the line",
         "draw_text_color(0, 0, \"AAAAAAAA\", c_red, c_blue, c_blue, c_red, 1)",
         {{0, 6, kRed, 40}, {61, 6, kBlue, 40}}},
        {"top to bottom",
         "draw_text_ext_color(0, 0, \"A\", -1, -1, c_red, c_red, c_blue, c_blue, 1)",
         {{3, 0, kRed, 30}, {3, 11, kBlue, 30}}},
        {"transformed colour",
         "draw_text_transformed_color(0, 0, \"A\", 2, 2, 0, c_lime, c_lime, c_lime, c_lime, 1)",
         {{10, 20, kLime}}},
        {"ext transformed colour",
         "draw_text_ext_transformed_color(0, 0, \"A#A\", 20, -1, 1, 1, 0, c_lime, c_lime,"
         "c_lime, c_lime, 1)",
         {{2, 22, kLime}}},
    });
}

TEST_F(DrawPixelsTest, DefaultAndSpriteFonts) {
    Run("draw_set_font(7)");  // no such font: the default one
    EXPECT_EQ(g.draw.font, -1);
    ASSERT_TRUE(g.draw.default_font);
    EXPECT_GE(g.draw.default_font->texture, 0);
    const RValue h = world.Eval("string_height(\"W\")").result;
    EXPECT_GE(h.real, 16);
    EXPECT_GT(world.Eval("string_width(\"WW\")").result.real,
              world.Eval("string_width(\"W\")").result.real);
    Run("draw_set_color(c_white); draw_clear(c_black); draw_text(2, 2, \"W\")");
    int lit = 0;
    for (int y = 2; y < 2 + int(h.real); ++y)
        for (int x = 2; x < 20; ++x) lit += Pixel(x, y) != kBlack;
    EXPECT_GT(lit, 10);

    // Sprite font: frames of 4 x 4 with origin (1, 1), one per character from 'A'.
    const int spr = AddSprite(4, 4, {0xFFFF0000, 0xFF0000FF}, 1, 1);
    auto f = std::make_unique<CFont>();
    CreateFontFromSprite(*f, world.game.sprites, spr, 'A', false, 2);
    world.game.fonts.Add(std::move(f), "sprfont");
    Run("draw_set_font(0); draw_clear(c_black); draw_text(10, 10, \"AB\")");
    // A at 10 - 1, B 6 further on.
    EXPECT_EQ(Pixel(9, 9), kRed);
    EXPECT_EQ(Pixel(12, 12), kRed);
    EXPECT_EQ(Pixel(13, 9), kBlack);
    EXPECT_EQ(Pixel(15, 9), kBlue);
    EXPECT_EQ(Pixel(18, 12), kBlue);
    Run("draw_clear(c_black); draw_text_color(10, 10, \"A\", c_white, c_white, c_white, c_white,"
        "1)");
    EXPECT_EQ(Pixel(10, 10), kRed);  // the general draw has no origin
    EXPECT_EQ(Pixel(9, 9), kBlack);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tb
