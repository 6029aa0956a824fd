// The resource functions, kind by kind: the common rules (existence, names, defaults, rounding),
// creating, copying and deleting with the indices and names they give, pictures loaded from
// files of every format, path edits against hand-worked positions, time lines, objects with
// their parent cycles and events, and room resources.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "graphics/bmp.h"
#include "graphics/pictures.h"
#include "harness.h"
#include "resources/background.h"
#include "resources/font.h"
#include "resources/path.h"
#include "resources/room.h"
#include "resources/sprite.h"
#include "resources/timeline.h"
#include "script/registry.h"
#include "script_harness.h"

namespace tb {
namespace {

using Texts = std::vector<std::string>;

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

struct ResourceFunctions : test::FunctionTest {
    test::ScratchDir dir;

    ResourceFunctions() {
        Game& g = w.game;
        for (int i = 0; i < 2; ++i) {
            auto s = std::make_unique<CSprite>();
            s->LoadFromBitmap(CBitmap32(8, 4, kRed), false, true, false, false, true, 1, 2);
            g.sprites.Add(std::move(s), "spr" + std::to_string(i));
            auto b = std::make_unique<CBackground>();
            b->CreateColor(6, 3, 0x0000FF, false);
            g.backgrounds.Add(std::move(b), "bg" + std::to_string(i));
            g.paths.Add(std::make_unique<CPath>(), "path" + std::to_string(i));
            g.timelines.Add(std::make_unique<CTimeLine>(), "tl" + std::to_string(i));
            auto f = std::make_unique<CFont>();
            f->FontName = "Serif";
            g.fonts.Add(std::move(f), "font" + std::to_string(i));
            g.rooms.Add(std::make_unique<CRoom>(), "room" + std::to_string(i));
        }
        w.AddScript("scr0", "return argument0 + 1");
        w.AddScript("scr1", "return 0");
        w.AddObject("obj0");
        w.AddObject("obj1");
    }
    double Num(const std::string& expr) { return Eval(expr).real; }
    std::string Str(const std::string& expr) { return Eval(expr).text.str(); }
    // A file in the scratch folder, as a quoted script string.
    std::string File(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::WriteBytes(dir.path / name, bytes);
        return "'" + (dir / name) + "'";
    }
    CSprite& Sprite(int i) { return *w.game.sprites.Get(i); }
};

// --- the common rules, for every kind

TEST_F(ResourceFunctions, ExistsAndNamesFollowTheCommonRules) {
    const std::vector<std::pair<std::string, std::string>> kinds = {
        {"sprite", "spr1"}, {"background", "bg1"}, {"path", "path1"},  {"script", "scr1"},
        {"font", "font1"},  {"timeline", "tl1"},   {"object", "obj1"}, {"room", "room1"}};
    for (const auto& [kind, second] : kinds) {
        SCOPED_TRACE(kind);
        const std::vector<std::pair<std::string, double>> exists = {
            {"0", 1}, {"1", 1}, {"0.5", 1}, {"1.5", 0}, {"-1", 0}, {"2", 0}, {"99999999999", 0}};
        for (const auto& [arg, want] : exists)
            EXPECT_EQ(Num(kind + "_exists(" + arg + ")"), want) << arg;
        EXPECT_EQ(Str(kind + "_name(1.4)"), second);
        EXPECT_EQ(Str(kind + "_get_name(1)"), second);
        EXPECT_EQ(Str(kind + "_get_name(2)"), "<undefined>");
        EXPECT_EQ(Str(kind + "_name(-3)"), "<undefined>");
    }
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, GettersOfMissingResourcesGiveTheirDefaults) {
    const std::vector<std::string> numbers = {
        "sprite_get_width(5)",      "sprite_get_number(-1)", "sprite_get_bbox_left(9)",
        "background_get_height(5)", "font_get_size(5)",      "font_get_bold(5)",
        "object_get_depth(5)",      "object_get_parent(5)",  "object_is_ancestor(5, 0)",
        "path_get_length(5)"};
    for (const std::string& e : numbers) EXPECT_EQ(Num(e), -1) << e;
    for (std::string e : {"font_get_fontname(5)", "script_get_text(5)"}) EXPECT_EQ(Str(e), "") << e;
    // Setters on missing resources say nothing and change nothing.
    Run("sprite_set_offset(7, 1, 1); background_set_alpha_from_background(7, 0);"
        "path_add_point(7, 1, 1, 100); object_set_depth(7, 3); room_set_width(7, 10);"
        "timeline_moment_add(7, 1, 'x = 1'); object_event_add(7, 0, 0, 'x = 1')");
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, CreatedResourcesAppendNamedSlotsAndIndicesAreNeverReused) {
    EXPECT_EQ(Num("sprite_delete(1)"), 1);
    EXPECT_EQ(Num("sprite_get_width(1)"), -1);
    EXPECT_EQ(Str("sprite_get_name(1)"), "<undefined>");
    EXPECT_EQ(Num("sprite_duplicate(0)"), 2);
    EXPECT_EQ(Str("sprite_get_name(2)"), "__newsprite2");
    EXPECT_EQ(Num("sprite_get_xoffset(2)"), 1);
    const std::vector<std::pair<std::string, std::string>> made = {
        {"background_duplicate(1)", "__newbackground2"},
        {"path_add()", "__newpath2"},
        {"path_duplicate(0)", "__newpath3"},
        {"timeline_add()", "__newtimeline2"},
        {"object_add()", "__newobject2"},
        {"room_add()", "__newroom2"},
        {"room_duplicate(1)", "__newroom3"},
        {"font_add_sprite(0, 65, 1, 2)", "__newfont2"}};
    for (const auto& [call, name] : made) {
        const double index = Num(call);
        const std::string kind = call.substr(0, call.find('_'));
        EXPECT_EQ(Str(kind + "_get_name(" + std::to_string(int(index)) + ")"), name) << call;
    }
    // Deleting keeps the slot empty; the next new resource goes after the last one.
    for (std::string d : {"background_delete(2)", "path_delete(0)", "timeline_delete(1)",
                          "object_delete(2)", "font_delete(0)"})
        EXPECT_EQ(Num(d), 1) << d;
    EXPECT_EQ(Num("path_add()"), 4);
    EXPECT_EQ(Num("object_add()"), 3);
    EXPECT_EQ(Num("path_exists(0) + object_exists(2) + font_exists(0)"), 0);
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, MisuseReportsItsMessageAndReturnsTheDefault) {
    const std::vector<std::pair<std::string, double>> calls = {
        {"sprite_delete(9)", 0},
        {"sprite_duplicate(9)", -1},
        {"sprite_replace(9, 'x.png', 1, 0, 0, 0, 0, 0, 0)", 0},
        {"sprite_replace_alpha(9, 'x.png', 1, 0, 0, 0, 0)", 0},
        {"sprite_assign(9, 5)", 0},
        {"sprite_assign(0, 5)", 0},
        {"sprite_merge(9, 0)", 0},
        {"sprite_merge(0, 9)", 0},
        {"sprite_add_from_screen(9, 0, 0, 4, 4)", 0},
        {"sprite_add_from_surface(9, 0, 0, 0, 4, 4)", 0},
        {"sprite_save(9, 0, 'a.bmp')", 0},
        {"sprite_save(0, 0, '')", 0},
        {"background_delete(9)", 0},
        {"background_duplicate(9)", -1},
        {"background_replace(9, 'x.png', 0, 0, 0)", 0},
        {"background_replace_alpha(9, 'x.png', 0)", 0},
        {"background_assign(0, 9)", 0},
        {"background_save(9, 'a.bmp')", 0},
        {"background_save(0, '')", 0},
        {"font_replace(9, 'Serif', 10, 0, 0, 32, 127)", 0},
        {"font_add_sprite(9, 32, 0, 0)", -1},
        {"font_replace_sprite(9, 0, 32, 0, 0)", 0},
        {"font_replace_sprite(0, 9, 32, 0, 0)", 0},
        {"font_delete(9)", 0},
        {"script_execute(9)", 0},
        {"path_duplicate(9)", -1},
        {"path_assign(0, 9)", 0},
        {"path_assign(9, 0)", 0},
        {"path_append(9, 0)", 0},
        {"path_append(0, 9)", 0},
        {"path_delete(9)", 0},
        {"timeline_delete(9)", 0},
        {"object_delete(9)", 0},
        {"room_duplicate(9)", -1},
        {"room_assign(0, 9)", 0},
        {"room_tile_add(0, 9, 0, 0, 4, 4, 0, 0, 0)", -1},
    };
    for (const auto& [call, want] : calls) EXPECT_EQ(Num(call), want) << call;
    EXPECT_EQ(errors, (Texts{"Trying to delete non-existing sprite.",
                             "Trying to duplicate non-existing sprite.",
                             "Trying to replace non-existing sprite.",
                             "Trying to replace non-existing sprite.",
                             "Error assigning a sprite.",
                             "Error assigning a sprite.",
                             "Trying to merge to non-existing sprite.",
                             "Trying to merge from non-existing sprite.",
                             "Trying to add to non-existing sprite.",
                             "Trying to add to non-existing sprite.",
                             "Trying to save non-existing sprite bitmap.",
                             "Trying to save sprite bitmap to empty image file name.",
                             "Trying to delete non-existing background.",
                             "Trying to duplicate non-existing background.",
                             "Trying to replace non-existing background.",
                             "Trying to replace non-existing background.",
                             "Error assigning a background.",
                             "Trying to save non-existing background bitmap.",
                             "Trying to save background bitmap to empty image file name.",
                             "Trying to replace non-existing font.",
                             "Trying to create font from non-existing sprite.",
                             "Trying to replace non-existing font.",
                             "Trying to replace font from non-existing sprite.",
                             "Trying to delete non-existing font.",
                             "Trying to execute non-existing script.",
                             "Trying to duplicate non-existing path.",
                             "Error assigning a path.",
                             "Error assigning a path.",
                             "Appending to non-existing path.",
                             "Appending a non-existing path.",
                             "Trying to delete non-existing path.",
                             "Trying to delete non-existing timeline.",
                             "Trying to delete non-existing object.",
                             "Trying to duplicate non-existing room.",
                             "Error assigning a room.",
                             "Background does not exist."}));
}

// --- sprites

TEST_F(ResourceFunctions, SpritePropertiesAndBoxes) {
    const std::vector<std::pair<std::string, double>> fields = {
        {"sprite_get_number(0)", 1},    {"sprite_get_width(0)", 8},
        {"sprite_get_height(0)", 4},    {"sprite_get_transparent(0)", 0},
        {"sprite_get_smooth(0)", 0},    {"sprite_get_preload(0)", 1},
        {"sprite_get_precise(0)", 1},   {"sprite_get_xoffset(0)", 1},
        {"sprite_get_yoffset(0)", 2},   {"sprite_get_bbox_mode(0)", 0},
        {"sprite_get_bbox_left(0)", 0}, {"sprite_get_bbox_right(0)", 7},
        {"sprite_get_bbox_top(0)", 0},  {"sprite_get_bbox_bottom(0)", 3}};
    for (const auto& [e, want] : fields) EXPECT_EQ(Num(e), want) << e;
    // The box is manual only in mode 2; offsets change nothing else.
    Run("sprite_set_bbox(0, 1, 1, 2, 2); sprite_set_offset(0, 4.5, -3)");
    EXPECT_EQ(Num("sprite_get_bbox_right(0)"), 7);
    EXPECT_EQ(Num("sprite_get_xoffset(0)"), 4);
    EXPECT_EQ(Num("sprite_get_yoffset(0)"), -3);
    Run("sprite_set_bbox_mode(0, 2); sprite_set_bbox(0, 1, 1, 2, 3); sprite_set_precise(0, 0.4)");
    EXPECT_EQ(Num("sprite_get_bbox_left(0) * 1000 + sprite_get_bbox_bottom(0)"), 1003);
    EXPECT_EQ(Num("sprite_get_precise(0)"), 0);
}

TEST_F(ResourceFunctions, SpriteStripsFromEachFormatLoadWithTheirKeyColour) {
    // A strip of three 2 x 2 frames: red, green, blue, each with a white bottom-left key
    // pixel, and a tenth column that no frame uses.
    CBitmap32 strip(7, 2);
    for (int x = 0; x < 7; ++x)
        for (int y = 0; y < 2; ++y) strip.At(x, y) = x < 2 ? kRed : x < 4 ? kGreen : kBlue;
    for (int f = 0; f < 3; ++f) strip.At(f * 2, 1) = 0xFFFFFFFFu;
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"strip.png", EncodePngRgba(strip)},
        {"strip.bmp", EncodeBmp(strip, false)},
        {"strip.gif.png", EncodeGif(7, 2, {strip}, {0})},  // GIF content, not animated by name
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const int s = int(Num("sprite_add(" + File(name, bytes) + ", 3, 0.5, 1, 0.5, 0.5, 1, 0)"));
        ASSERT_GE(s, 2);
        const CSprite& sp = Sprite(s);
        EXPECT_EQ(sp.FrameCount(), 3);
        EXPECT_EQ(sp.Width, 2);
        EXPECT_EQ(sp.Height, 2);
        EXPECT_TRUE(sp.Precise);
        EXPECT_FALSE(sp.SmoothEdges);  // 0.5 is not above 0.5
        EXPECT_FALSE(sp.Preload);
        EXPECT_TRUE(sp.masks_built);
        EXPECT_EQ(sp.frames[2].At(1, 0), kBlue);
        EXPECT_EQ(sp.frames[1].At(0, 1) >> 24, 0u);  // the key of frame 1
        EXPECT_FALSE(sp.Solid(1, 0, 1));
        EXPECT_TRUE(sp.Solid(1, 1, 1));
        EXPECT_EQ(sp.BBoxLeft, 0);
        EXPECT_EQ(sp.XOrigin, 1);
    }
    // JPEG: a flat picture stays opaque when not transparent.
    const std::string jpeg = File("flat.jpg", EncodeJpeg(CBitmap32(8, 8, kGreen), 95));
    const int j = int(Num("sprite_add(" + jpeg + ", 0, 0, 0, 0, 0, 0, 0)"));
    ASSERT_GE(j, 0);
    EXPECT_EQ(Sprite(j).FrameCount(), 1);
    EXPECT_EQ(Sprite(j).frames[0].At(3, 3) >> 24, 255u);
    EXPECT_GT(int(Sprite(j).frames[0].At(3, 3) >> 8 & 0xFF), 240);
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, AnimatedGifsGiveOneFramePerImage) {
    CBitmap32 a(3, 2, kRed), b(3, 2, 0), c(3, 2, kBlue);
    a.At(0, 1) = 0;  // transparent in the file: the fill colour, then the key
    b.At(2, 0) = kGreen;
    const std::string gif = File("anim.GIF", EncodeGif(3, 2, {a, b, c}, {1, 0, 0}));
    const int s = int(Num("sprite_add(" + gif + ", 1, 1, 1, 0, 1, 0, 0)"));
    ASSERT_GE(s, 0);
    const CSprite& sp = Sprite(s);
    ASSERT_EQ(sp.FrameCount(), 3);
    EXPECT_EQ(sp.Width, 3);
    EXPECT_EQ(sp.frames[0].At(0, 1) >> 24, 0u);
    EXPECT_EQ(sp.frames[1].At(0, 0), kRed);  // drawn over the kept frame 0
    EXPECT_EQ(sp.frames[1].At(2, 0), kGreen);
    EXPECT_EQ(sp.frames[1].At(0, 1) >> 24, 0u);
    EXPECT_EQ(sp.frames[2].At(1, 1) & 0xFFFFFF, 0x0000FFu);  // blue is frame 2's key
    // The alpha variant loads the same frames with the transparent flag and no smoothing.
    const int t = int(Num("sprite_add_alpha(" + gif + ", 1, 0, 1, 0, 0)"));
    ASSERT_GE(t, 0);
    EXPECT_EQ(Sprite(t).FrameCount(), 3);
    EXPECT_TRUE(Sprite(t).Transparent);
    EXPECT_FALSE(Sprite(t).SmoothEdges);
}

TEST_F(ResourceFunctions, BadPictureFilesGiveMinusOneAndChangeNothing) {
    const std::vector<std::string> files = {
        "'" + (dir / "missing.png") + "'",
        File("garbage.png", {1, 2, 3, 4, 5}),
        File("cut.png",
             [] {
                 std::vector<uint8_t> v = EncodePngRgba(CBitmap32(40, 40, kRed));
                 v.resize(v.size() / 2);
                 return v;
             }()),
        File("empty.gif", {}),
        "'" + dir.str() + "'",  // a folder
    };
    const int before = w.game.sprites.Count();
    for (const std::string& f : files) {
        EXPECT_EQ(Num("sprite_add(" + f + ", 1, 0, 0, 0, 0, 0, 0)"), -1) << f;
        EXPECT_EQ(Num("background_add(" + f + ", 0, 0, 0)"), -1) << f;
        EXPECT_EQ(Num("sprite_replace(0, " + f + ", 1, 0, 0, 0, 0, 0, 0)"), 0) << f;
    }
    // More frames than pixel columns cannot be cut.
    EXPECT_EQ(Num("sprite_add(" + File("two.png", EncodePngRgba(CBitmap32(2, 2, kRed))) +
                  ", 3, 0, 0, 0, 0, 0, 0)"),
              -1);
    EXPECT_EQ(w.game.sprites.Count(), before);
    EXPECT_EQ(Sprite(0).Width, 8);
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, AlphaFilesKeepTheirAlpha) {
    CBitmap32 pic(2, 1);
    pic.At(0, 0) = 0x80FF0000u;
    pic.At(1, 0) = 0xFF00FF00u;
    const std::string png = File("alpha.png", EncodePngRgba(pic));
    const int s = int(Num("sprite_add_alpha(" + png + ", 1, 1, 0, 0, 0)"));
    ASSERT_GE(s, 0);
    EXPECT_EQ(Sprite(s).frames[0], pic);
    EXPECT_TRUE(Sprite(s).Transparent);
    // Without the alpha variant the half-transparent pixel is drawn over the fill colour.
    const int t = int(Num("sprite_add(" + png + ", 1, 0, 0, 0, 0, 0, 0)"));
    EXPECT_EQ(Sprite(t).frames[0].At(0, 0) >> 24, 255u);
    EXPECT_EQ(Sprite(t).frames[0].At(0, 0), 0xFF000000u | 0x80u << 16);
    EXPECT_EQ(Num("sprite_replace_alpha(1, " + png + ", 1, 0, 0, 0, 0)"), 1);
    EXPECT_EQ(Sprite(1).frames[0], pic);
    const int b = int(Num("background_add_alpha(" + png + ", 1)"));
    ASSERT_GE(b, 0);
    EXPECT_EQ(w.game.backgrounds.Get(b)->image, pic);
    EXPECT_EQ(Num("background_get_transparent(" + std::to_string(b) + ")"), 1);
    EXPECT_EQ(Num("background_get_smooth(" + std::to_string(b) + ")"), 0);
}

TEST_F(ResourceFunctions, SaveThenLoadGivesTheSamePixels) {
    CBitmap32 pic(3, 2);
    for (int i = 0; i < 6; ++i) pic.pixels[size_t(i)] = 0xFF000000u | uint32_t(i * 0x102030);
    Sprite(1).LoadFromBitmap(pic, false, true, false, false, true, 0, 0);
    const std::string saved = "'" + (dir / "saved.bmp") + "'";
    Run("sprite_save(1, 0, " + saved + ")");
    const int s = int(Num("sprite_add(" + saved + ", 1, 0, 0, 0, 0, 0, 0)"));
    ASSERT_GE(s, 0);
    EXPECT_EQ(Sprite(s).frames[0], pic);
    // A frame outside the sprite writes nothing.
    Run("sprite_save(1, 1, '" + (dir / "none.bmp") + "')");
    EXPECT_FALSE(std::filesystem::exists(dir.path / "none.bmp"));

    w.game.backgrounds.Get(1)->LoadFromBitmap(pic, false, false, false, false);
    const std::string bsaved = "'" + (dir / "bsaved.bmp") + "'";
    Run("background_save(1, " + bsaved + ")");
    const int b = int(Num("background_add(" + bsaved + ", 0, 0, 0)"));
    EXPECT_EQ(w.game.backgrounds.Get(b)->image, pic);
    EXPECT_EQ(Num("background_replace(0, " + bsaved + ", 0, 0, 1)"), 1);
    EXPECT_EQ(w.game.backgrounds.Get(0)->image, pic);
    EXPECT_EQ(Num("background_get_preload(0)"), 1);
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, MergeAssignAndAlphaFromSprites) {
    CBitmap32 grey(4, 2, 0xFF808080u);
    Sprite(1).LoadFromBitmap(grey, false, true, false, false, true, 0, 0);
    Run("sprite_merge(0, 1); sprite_merge(0, 0)");
    ASSERT_EQ(Sprite(0).FrameCount(), 4);
    EXPECT_EQ(Sprite(0).frames[1].width, 8);  // resized to the sprite
    EXPECT_EQ(Sprite(0).frames[1].At(7, 3), 0xFF808080u);
    Run("sprite_set_alpha_from_sprite(0, 1)");
    EXPECT_EQ(Sprite(0).frames[0].At(0, 0), (kRed & 0xFFFFFF) | 0x80000000u);
    // Assigning into a deleted slot inside the list gives it a new sprite.
    Run("sprite_delete(1); sprite_assign(1, 0)");
    EXPECT_EQ(Num("sprite_get_number(1)"), 4);
    EXPECT_EQ(Str("sprite_get_name(1)"), "__newsprite1");
    Run("sprite_assign(0, 0)");
    EXPECT_EQ(Num("sprite_get_number(0)"), 4);
    EXPECT_EQ(errors, Texts{});
}

// --- backgrounds

TEST_F(ResourceFunctions, ColourAndGradientBackgrounds) {
    const int c = int(Num("background_create_color(3, 2, c_red, 0.5)"));
    const CBackground& color = *w.game.backgrounds.Get(c);
    EXPECT_EQ(color.image.At(2, 1), kRed);
    EXPECT_FALSE(color.Preload);
    EXPECT_EQ(Num("background_get_width(" + std::to_string(c) + ")"), 3);

    // Horizontal: column x has mix(x / w); the right edge never reaches colour 2.
    const int h = int(Num("background_create_gradient(4, 1, c_black, c_white, 0, 1)"));
    const CBackground& hor = *w.game.backgrounds.Get(h);
    const uint32_t want[4] = {0, 64, 128, 191};  // round(255 * x / 4), halves to even
    for (int x = 0; x < 4; ++x) EXPECT_EQ(hor.image.At(x, 0) & 0xFF, want[x]) << x;
    EXPECT_TRUE(hor.Preload);
    // Vertical and rectangle: colour 1 on the border, colour 2 in the middle.
    const int v = int(Num("background_create_gradient(1, 2, c_black, c_white, 1, 0)"));
    EXPECT_EQ(w.game.backgrounds.Get(v)->image.At(0, 1) & 0xFF, 128u);
    const int r = int(Num("background_create_gradient(6, 6, c_black, c_white, 2, 0)"));
    const CBitmap32& rect = w.game.backgrounds.Get(r)->image;
    EXPECT_EQ(rect.At(0, 3) & 0xFF, 0u);
    EXPECT_EQ(rect.At(3, 3) & 0xFF, 170u);  // the last rectangle, (3, 3)-(3, 3), is empty
    // Ellipse: the corners keep colour 1.
    const int e = int(Num("background_create_gradient(8, 8, c_red, c_blue, 3, 0)"));
    EXPECT_EQ(w.game.backgrounds.Get(e)->image.At(0, 0), kRed);
    EXPECT_EQ(w.game.backgrounds.Get(e)->image.At(4, 4), 0xFF4000BFu);  // mix(3 / 4)
    // Double horizontal: both edges colour 1.
    const int d = int(Num("background_create_gradient(5, 1, c_black, c_white, 4, 0)"));
    EXPECT_EQ(w.game.backgrounds.Get(d)->image.At(0, 0) & 0xFF, 0u);
    EXPECT_EQ(w.game.backgrounds.Get(d)->image.At(4, 0) & 0xFF, 128u);
    // Sizes that could never be allocated create nothing.
    EXPECT_EQ(Num("background_create_color(100000, 100000, c_red, 0)"), -1);
    EXPECT_EQ(Num("background_create_gradient(40000, 2, c_red, c_blue, 0, 0)"), -1);
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, BackgroundCopiesAndAlpha) {
    Run("background_assign(1, 0)");
    EXPECT_EQ(*w.game.backgrounds.Get(1), *w.game.backgrounds.Get(0));
    const int g = int(Num("background_create_color(2, 2, 4210752, 0)"));
    Run("background_set_alpha_from_background(0, " + std::to_string(g) + ")");
    EXPECT_EQ(w.game.backgrounds.Get(0)->image.At(1, 1) >> 24, 64u);
    EXPECT_EQ(w.game.backgrounds.Get(0)->image.At(4, 2) >> 24, 255u);  // outside the other
    EXPECT_EQ(errors, Texts{});
}

// --- fonts and scripts

TEST_F(ResourceFunctions, FontsFromSpritesAndSystemFonts) {
    const int f = int(Num("font_add_sprite(0, 250, 0, 2)"));
    EXPECT_EQ(Num("font_get_first(" + std::to_string(f) + ")"), 250);
    EXPECT_EQ(Num("font_get_last(" + std::to_string(f) + ")"), 250);
    EXPECT_EQ(Str("font_get_fontname(" + std::to_string(f) + ")"), "");
    EXPECT_EQ(w.game.fonts.Get(f)->Advance(250), 10);
    EXPECT_EQ(Str("font_get_fontname(0)"), "Serif");
    const int r = int(Num("font_add('Sans', 11, 1, 0, 40, 300)"));
    EXPECT_EQ(Str("font_get_fontname(" + std::to_string(r) + ")"), "Sans");
    EXPECT_EQ(Num("font_get_size(" + std::to_string(r) + ")"), 11);
    EXPECT_EQ(Num("font_get_bold(" + std::to_string(r) + ")"), 1);
    EXPECT_EQ(Num("font_get_italic(" + std::to_string(r) + ")"), 0);
    EXPECT_EQ(Num("font_get_last(" + std::to_string(r) + ")"), 255);
    EXPECT_EQ(Num("font_replace(0, 'Sans', 9, 0, 1, 32, 64)"), 1);
    EXPECT_EQ(Num("font_get_italic(0)"), 1);
    EXPECT_EQ(Num("font_replace_sprite(0, 1, 65, 1, 0)"), 1);
    EXPECT_EQ(Num("font_get_first(0)"), 65);
    EXPECT_EQ(Str("font_get_name(0)"), "font0");
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, ScriptExecutePassesAtMostFifteenArguments) {
    w.AddScript("count",
                "var n; n = 0; for (i = 0; i < 16; i += 1) if (argument[i] != 0) n += 1;"
                "return n * 100 + argument14");
    const int s = w.game.scripts.Count() - 1;
    // Code cannot pass more than 16 arguments; an action or extension can: call it directly.
    std::vector<RValue> args(20);
    args[0] = RValue::Real(s);
    for (int i = 1; i < 20; ++i) args[size_t(i)] = RValue::Real(i);
    RValue result;
    const FunctionEntry& f = w.engine.functions.At(w.engine.functions.Find("script_execute"));
    f.handler(w.engine, &w.self, &w.self, 20, result, args.data());
    EXPECT_TRUE(test::IsReal(result, 1515));
    EXPECT_EQ(Num("script_execute(" + std::to_string(s) + ", 1, 2, 3)"), 300);
    EXPECT_EQ(Num("script_execute(0, 41)"), 42);
    EXPECT_EQ(Str("script_get_text(0)"), "return argument0 + 1");
    // A failing script's error is reported, the call gives 0 and the caller goes on.
    w.AddScript("bad", "return undefined_thing");
    EXPECT_EQ(Num("script_execute(" + std::to_string(s + 1) + ") + 5"), 5);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("bad"), std::string::npos) << errors[0];
}

// --- paths

struct Point {
    double x, y, speed;
};

TEST_F(ResourceFunctions, PathEditsMatchHandWorkedPoints) {
    auto points = [&](int p) {
        std::vector<Point> out;
        for (const PathPoint& q : w.game.paths.Get(p)->points) out.push_back({q.x, q.y, q.speed});
        return out;
    };
    auto expect = [&](const std::vector<Point>& want, const char* step) {
        const std::vector<Point> got = points(0);
        ASSERT_EQ(got.size(), want.size()) << step;
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_NEAR(got[i].x, want[i].x, 1e-9) << step << " " << i;
            EXPECT_NEAR(got[i].y, want[i].y, 1e-9) << step << " " << i;
            EXPECT_EQ(got[i].speed, want[i].speed) << step << " " << i;
        }
    };
    Run("path_add_point(0, 0, 0, 100); path_add_point(0, 100, 0, 50); "
        "path_add_point(0, 100, 100, 100)");
    EXPECT_NEAR(Num("path_get_length(0)"), 200 + 100 * std::sqrt(2.0), 1e-9);
    Run("path_set_closed(0, 0.4)");
    EXPECT_EQ(Num("path_get_length(0)"), 200);
    EXPECT_NEAR(Num("path_get_speed(0, 0.375)"), 62.5, 1e-9);
    Run("path_insert_point(0, 1, 50, -50, 10); path_insert_point(0, 9, 1, 1, 1)");
    expect({{0, 0, 100}, {50, -50, 10}, {100, 0, 50}, {100, 100, 100}}, "insert");
    Run("path_change_point(0, 3, 100, 50, 20); path_delete_point(0, 1); path_delete_point(0, 7)");
    expect({{0, 0, 100}, {100, 0, 50}, {100, 50, 20}}, "change, delete");
    Run("path_shift(0, 10, -10)");
    expect({{10, -10, 100}, {110, -10, 50}, {110, 40, 20}}, "shift");
    // Centre (60, 15): mirror, flip, scale and rotate work around it.
    Run("path_mirror(0)");
    expect({{110, -10, 100}, {10, -10, 50}, {10, 40, 20}}, "mirror");
    Run("path_flip(0)");
    expect({{110, 40, 100}, {10, 40, 50}, {10, -10, 20}}, "flip");
    Run("path_scale(0, 0.5, 2)");
    expect({{85, 65, 100}, {35, 65, 50}, {35, -35, 20}}, "scale");
    // Rotating by 90 degrees: x' = cx + (y - cy), y' = cy - (x - cx), centre (60, 15).
    Run("path_rotate(0, 90)");
    expect({{110, -10, 100}, {110, 40, 50}, {10, 40, 20}}, "rotate");
    Run("path_reverse(0)");
    expect({{10, 40, 20}, {110, 40, 50}, {110, -10, 100}}, "reverse");
    Run("path_append(0, 0)");
    EXPECT_EQ(Num("path_get_number(0)"), 6);
    Run("path_set_kind(0, 5); path_set_precision(0, 12)");
    EXPECT_EQ(Num("path_get_kind(0) * 10 + path_get_precision(0)"), 8);
    Run("path_assign(1, 0); path_clear_points(0)");
    EXPECT_EQ(Num("path_get_number(1) * 10 + path_get_number(0)"), 60);
    EXPECT_EQ(Num("path_get_closed(1)"), 0);
    EXPECT_EQ(errors, Texts{});
}

// --- time lines and objects

TEST_F(ResourceFunctions, TimeLineMomentsAreAddedCompiledAndCleared) {
    Run("timeline_moment_add(0, 10, 'x = 1'); timeline_moment_add(0, 4.4, 'y = 2');"
        "timeline_moment_add(0, 10, 'z = 3')");
    const CTimeLine& t = *w.game.timelines.Get(0);
    ASSERT_EQ(t.moment_times, (std::vector<int32_t>{4, 10}));
    ASSERT_EQ(t.moment_events[1].actions.size(), 2u);
    EXPECT_NE(t.moment_events[1].actions[1].code, nullptr);
    Run("timeline_moment_clear(0, 10); timeline_moment_clear(0, 7)");
    EXPECT_EQ(t.moment_times, (std::vector<int32_t>{4}));
    EXPECT_EQ(errors, Texts{});
}

TEST_F(ResourceFunctions, ObjectPropertiesAndParentCycles) {
    Run("object_set_sprite(0, 1); object_set_solid(0, 0.5); object_set_visible(0, 0.2);"
        "object_set_depth(0, -7.5); object_set_persistent(0, 1); object_set_mask(0, 0)");
    const std::vector<std::pair<std::string, double>> fields = {
        {"object_get_sprite(0)", 1}, {"object_get_solid(0)", 1},      {"object_get_visible(0)", 0},
        {"object_get_depth(0)", -8}, {"object_get_persistent(0)", 1}, {"object_get_mask(0)", 0},
        {"object_get_parent(0)", -1}};
    for (const auto& [e, want] : fields) EXPECT_EQ(Num(e), want) << e;
    const int c = w.AddObject("obj2");  // obj2 -> obj1 -> obj0
    Run("object_set_parent(1, 0); object_set_parent(" + std::to_string(c) + ", 1)");
    EXPECT_EQ(Num("object_is_ancestor(2, 0)"), 1);
    EXPECT_EQ(Num("object_is_ancestor(0, 2)"), 0);
    EXPECT_EQ(Num("object_is_ancestor(2, 2)"), 0);
    Run("object_set_parent(0, 0); object_set_parent(0, 2); object_set_parent(1, 9)");
    EXPECT_EQ(Num("object_get_parent(0)"), -1);
    EXPECT_EQ(Num("object_get_parent(1)"), 0);
    Run("object_set_parent(2, -1)");
    EXPECT_EQ(Num("object_get_parent(2)"), -1);
    EXPECT_EQ(errors, (Texts{"Creating a cycle in the parent relation.",
                             "Creating a cycle in the parent relation.",
                             "Setting a non-existing parent."}));
}

TEST_F(ResourceFunctions, ObjectEventsAreAddedAndCleared) {
    Run("object_event_add(0, ev_step, 0, 'x = 1'); object_event_add(0, ev_step, 0, 'x += 1');"
        "object_event_add(0, 11, 0, 'x = 1'); object_event_add(0, ev_alarm, -1, 'x = 1')");
    const CObject& o = *w.game.objects.Get(0);
    ASSERT_NE(o.GetEvent(ev_step, 0), nullptr);
    EXPECT_EQ(o.GetEvent(ev_step, 0)->actions.size(), 2u);
    EXPECT_NE(o.GetEvent(ev_step, 0)->actions[1].code, nullptr);
    Run("object_event_clear(0, ev_step, 0); object_event_clear(0, ev_draw, 0)");
    EXPECT_EQ(o.GetEvent(ev_step, 0), nullptr);
    EXPECT_EQ(errors, Texts{});
}

// --- rooms

TEST_F(ResourceFunctions, RoomResourcesChangeButNotTheRunningRoom) {
    Run("room_set_width(1, 320.4); room_set_height(1, 200); room_set_caption(1, 'Level');"
        "room_set_persistent(1, 1); room_set_code(1, 'x = 1'); room_set_view_enabled(1, 1);"
        "room_set_background_color(1, c_red, 0)");
    const CRoom& r = *w.game.rooms.Get(1);
    EXPECT_EQ(r.Width, 320);
    EXPECT_EQ(r.Height, 200);
    EXPECT_EQ(r.Caption, "Level");
    EXPECT_TRUE(r.Persistent);
    EXPECT_EQ(r.CreationCode, "x = 1");
    EXPECT_TRUE(r.ViewsEnabled);
    EXPECT_EQ(r.Color, 255);
    EXPECT_FALSE(r.ShowColor);
    Run("room_set_background(1, 2, 1, 1, 0, 5.5, 6, 0, 1, 2, 3, 0.5);"
        "room_set_background(1, 8, 1, 1, 0, 5, 6, 0, 1, 2, 3, 0.5)");
    const CBack& b = r.backgrounds[2];
    EXPECT_TRUE(b.Visible && b.Foreground && !b.HTiled && b.VTiled);
    EXPECT_EQ(b.X, 5.5);
    EXPECT_EQ(b.HSpeed, 2);
    EXPECT_EQ(b.Alpha, 0.5);
    EXPECT_EQ(b.Blend, 16777215);
    Run("room_set_view(1, 7, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0)");
    const CView& v = r.views[7];
    EXPECT_EQ((std::vector<int32_t>{v.XView, v.YView, v.WView, v.HView, v.XPort, v.YPort, v.WPort,
                                    v.HPort, v.HBorder, v.VBorder, v.HSpeed, v.VSpeed, v.Object}),
              (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0}));
    EXPECT_EQ(w.room.Width, 640);

    w.game.last_instance_id = 100010;
    w.game.last_tile_id = 7;
    EXPECT_EQ(Num("room_instance_add(1, 16, 32, 0)"), 100011);
    EXPECT_EQ(Num("room_instance_add(1, 0, 0, 1)"), 100012);
    EXPECT_EQ(Num("room_instance_add(9, 0, 0, 1)"), -1);
    ASSERT_EQ(r.InstanceCount(), 2);
    EXPECT_EQ(r.GetInstance(0)->x, 16);
    EXPECT_EQ(r.InstancesOfObject(1).size(), 1u);
    EXPECT_EQ(Num("room_tile_add(1, 0, 1, 2, 3, 4, 5, 6, 7)"), 0);
    EXPECT_EQ(Num("room_tile_add_ext(1, 1, 1, 2, 3, 4, 5, 6, 7, 2, 0.5, 0.25)"), 1);
    EXPECT_EQ(Num("room_tile_add(9, 0, 1, 2, 3, 4, 5, 6, 7)"), -1);
    ASSERT_EQ(r.TileCount(), 2);
    EXPECT_EQ(r.tiles[0].Id, 8);
    EXPECT_EQ(r.tiles[0].XScale, 1);
    EXPECT_EQ(r.tiles[1].Id, 9);
    EXPECT_EQ(r.tiles[1].YScale, 0.5);
    EXPECT_EQ(r.tiles[1].Alpha, 0.25);
    EXPECT_EQ(r.tiles[1].Blend, 16777215);
    EXPECT_EQ(w.room.TileCount(), 0);

    const int d = int(Num("room_duplicate(1)"));
    EXPECT_EQ(w.game.rooms.Get(d)->InstanceCount(), 2);
    Run("room_instance_clear(1); room_tile_clear(1); room_assign(0, 1)");
    EXPECT_EQ(r.InstanceCount() + r.TileCount(), 0);
    EXPECT_EQ(w.game.rooms.Get(0)->Caption, "Level");
    EXPECT_EQ(errors, Texts{});
}

}  // namespace
}  // namespace tb
