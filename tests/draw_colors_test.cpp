// Colour arithmetic through the script functions (none needs graphics), and the draw state.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "graphics/draw_state.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::IsReal;
using DrawColorsTest = test::FunctionTest;

struct Case {
    const char* source;
    double expected;
};

void ExpectAll(DrawColorsTest& t, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        const RValue v = t.Eval(c.source);
        EXPECT_TRUE(IsReal(v, c.expected)) << c.source << " gave " << v.real;
    }
    EXPECT_TRUE(t.errors.empty());
}

TEST_F(DrawColorsTest, RgbAndChannels) {
    ExpectAll(*this, {
                         {"make_color_rgb(255, 128, 0)", 33023},
                         {"make_color(255, 128, 0)", 33023},
                         // Halves to even, and no clamping into the neighbouring channels.
                         {"make_color_rgb(0.5, 1.5, 2.5)", 2 * 256 + 2 * 65536},
                         {"make_color_rgb(256, 0, 0)", 256},
                         {"color_get_red(33023)", 255},
                         {"color_get_green(33023)", 128},
                         {"color_get_blue(33023)", 0},
                         {"color_get_blue(c_blue)", 255},
                         {"color_get_green(65280.4)", 255},
                         {"merge_color(c_red, c_blue, 0.5)", 128 + 128 * 65536},
                         {"merge_color(c_red, c_black, 0.25)", 191},
                         {"merge_color(c_white, c_black, 0)", 16777215},
                     });
}

TEST_F(DrawColorsTest, HsvToRgb) {
    ExpectAll(*this, {
                         {"make_color_hsv(0, 0, 255)", 16777215},
                         {"make_color_hsv(0, 0, 100)", 100 * (1 + 256 + 65536)},
                         {"make_color_hsv(0, 255, 255)", 255},
                         // Low 8 bits of the rounded hue; 255 is the full circle, back to red.
                         {"make_color_hsv(256, 255, 255)", 255},
                         {"make_color_hsv(255, 255, 255)", 255},
                         {"make_color_hsv(85, 255, 255)", 65280},
                         {"make_color_hsv(170, 255, 255)", 16711680},
                         {"make_color_hsv(0, 255, 200)", 200},
                     });
}

TEST_F(DrawColorsTest, RgbToHsv) {
    ExpectAll(*this, {
                         {"color_get_hue(c_red)", 0},
                         {"color_get_hue(c_lime)", 85},
                         {"color_get_hue(c_blue)", 170},
                         // Red is the maximum and the hue comes out negative: 300 degrees.
                         {"color_get_hue(make_color_rgb(255, 0, 255))", 212},
                         {"color_get_hue(make_color_rgb(255, 255, 0))", 42},
                         {"color_get_hue(make_color_rgb(0, 255, 255))", 127},
                         {"color_get_hue(make_color_rgb(128, 128, 128))", 0},
                         {"color_get_saturation(33023)", 255},
                         {"color_get_saturation(make_color_rgb(200, 100, 100))", 127},
                         {"color_get_saturation(c_black)", 0},
                         {"color_get_value(make_color_rgb(10, 128, 30))", 128},
                         {"color_get_value(c_black)", 0},
                     });
}

TEST_F(DrawColorsTest, HsvRoundTrips) {
    for (int h : {0, 85, 170}) {
        const std::string c = "make_color_hsv(" + std::to_string(h) + ", 255, 255)";
        EXPECT_TRUE(IsReal(Eval("color_get_hue(" + c + ")"), h)) << h;
        EXPECT_TRUE(IsReal(Eval("color_get_saturation(" + c + ")"), 255)) << h;
        EXPECT_TRUE(IsReal(Eval("color_get_value(" + c + ")"), 255)) << h;
    }
}

TEST_F(DrawColorsTest, WithoutGraphicsTheDrawFunctionsDoNothing) {
    EXPECT_TRUE(IsReal(Eval("draw_get_color()"), 0));
    Run("draw_set_color(c_red); draw_set_alpha(0.5); draw_rectangle(0, 0, 10, 10, false);"
        "draw_text(0, 0, \"abc\"); draw_sprite(0, 0, 0, 0); draw_primitive_end();");
    EXPECT_TRUE(IsReal(Eval("string_width(\"abc\")"), 0));
    EXPECT_TRUE(IsReal(Eval("draw_get_alpha()"), 0));
    EXPECT_TRUE(errors.empty());
}

TEST(DrawState, ColourKeepsAlphaAndAlphaKeepsColour) {
    DrawState d;
    EXPECT_EQ(d.color, 0xFF000000u);
    d.SetColor(0x0000FF);  // red
    EXPECT_EQ(d.color, 0xFFFF0000u);
    d.SetAlpha(0.5);
    EXPECT_EQ(d.color, 0x80FF0000u);
    EXPECT_EQ(d.ColorBgr(), 0x0000FFu);
    d.SetColor(0xFF0000);  // blue
    EXPECT_EQ(d.color, 0x800000FFu);
    d.SetAlpha(7);
    EXPECT_EQ(d.alpha, 1);
    d.SetAlpha(-1);
    EXPECT_EQ(d.alpha, 0);
    EXPECT_EQ(d.color >> 24, 0u);
}

TEST(DrawState, CirclePrecisionIsAMultipleOfFourIn4To64) {
    DrawState d;
    EXPECT_EQ(d.circle_precision, 24);
    for (auto [given, kept] : std::vector<std::pair<int, int>>{
             {30, 28}, {2, 4}, {100, 64}, {-5, 4}, {64, 64}, {7, 4}, {8, 8}}) {
        d.SetCirclePrecision(given);
        EXPECT_EQ(d.circle_precision, kept) << given;
    }
    d.SetCirclePrecision(8);
    // A quarter of the circle per two steps; the last entry closes it.
    EXPECT_DOUBLE_EQ(d.cos_table[2], std::cos(std::numbers::pi / 2));
    EXPECT_DOUBLE_EQ(d.sin_table[2], 1);
    EXPECT_EQ(d.cos_table[8], 1);
    EXPECT_EQ(d.sin_table[8], 0);
}

TEST(DrawState, AlignmentOutsideTheThreeValuesIsZero) {
    DrawState d;
    d.SetHalign(2);
    d.SetValign(1);
    EXPECT_EQ(d.halign, 2);
    EXPECT_EQ(d.valign, 1);
    d.SetHalign(3);
    d.SetValign(-1);
    EXPECT_EQ(d.halign, 0);
    EXPECT_EQ(d.valign, 0);
}

}  // namespace
}  // namespace tb
