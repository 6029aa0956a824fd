// The tile functions of the current room: lookups by id with their errors, the fields, the
// find and delete edge rules and the layer functions.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/background.h"
#include "resources/room.h"
#include "script_harness.h"

namespace tb {
namespace {

using Texts = std::vector<std::string>;

struct TileFunctions : test::FunctionTest {
    TileFunctions() {
        auto bg = std::make_unique<CBackground>();
        bg->CreateColor(64, 64, 0xFF, false);
        w.game.backgrounds.Add(std::move(bg), "tiles");
    }
    // tile_add(0, 0, 0, width, height, x, y, depth) as its id.
    int Add(double x, double y, double depth, int width = 16, int height = 16) {
        return int(Eval("tile_add(0, 0, 0, " + std::to_string(width) + ", " +
                        std::to_string(height) + ", " + std::to_string(x) + ", " +
                        std::to_string(y) + ", " + std::to_string(depth) + ")")
                       .real);
    }
    double Num(const std::string& expr) { return Eval(expr).real; }
};

TEST_F(TileFunctions, AddGivesConsecutiveIdsAndTheDefaults) {
    w.game.last_tile_id = 40;
    const int a = Add(10, 20, 5, 16, 8);
    EXPECT_EQ(a, 41);
    EXPECT_EQ(Add(0, 0, 0), 42);
    const std::string id = std::to_string(a);
    const std::vector<std::pair<std::string, double>> fields = {
        {"tile_get_x", 10},        {"tile_get_y", 20},           {"tile_get_left", 0},
        {"tile_get_top", 0},       {"tile_get_width", 16},       {"tile_get_height", 8},
        {"tile_get_depth", 5},     {"tile_get_visible", 1},      {"tile_get_xscale", 1},
        {"tile_get_yscale", 1},    {"tile_get_blend", 16777215}, {"tile_get_alpha", 1},
        {"tile_get_background", 0}};
    for (const auto& [fn, want] : fields) EXPECT_EQ(Num(fn + "(" + id + ")"), want) << fn;
    EXPECT_EQ(errors, Texts{});
}

TEST_F(TileFunctions, SettersChangeTheFieldsAndRoundTheRegion) {
    const std::string id = std::to_string(Add(0, 0, 0));
    Run("tile_set_position(" + id + ", 3.5, -2.25); tile_set_region(" + id +
        ", 1.5, 2.5, 7.6, 9.4); tile_set_depth(" + id + ", -7.5); tile_set_scale(" + id +
        ", 2, 0.5); tile_set_blend(" + id + ", c_red); tile_set_alpha(" + id +
        ", 0.25); tile_set_visible(" + id + ", 0.4)");
    const std::vector<std::pair<std::string, double>> fields = {
        {"tile_get_x", 3.5},      {"tile_get_y", -2.25},    {"tile_get_left", 2},
        {"tile_get_top", 2},      {"tile_get_width", 8},    {"tile_get_height", 9},
        {"tile_get_depth", -7.5}, {"tile_get_xscale", 2},   {"tile_get_yscale", 0.5},
        {"tile_get_blend", 255},  {"tile_get_alpha", 0.25}, {"tile_get_visible", 0}};
    for (const auto& [fn, want] : fields) EXPECT_EQ(Num(fn + "(" + id + ")"), want) << fn;
    EXPECT_EQ(errors, Texts{});
}

TEST_F(TileFunctions, MissingTilesAndBackgroundsAreErrors) {
    EXPECT_EQ(Num("tile_add(3, 0, 0, 16, 16, 0, 0, 0)"), -1);
    EXPECT_EQ(w.room.TileCount(), 0);
    const std::string id = std::to_string(Add(0, 0, 0));
    Run("tile_set_background(" + id + ", 7)");
    EXPECT_EQ(Num("tile_get_background(" + id + ")"), 0);
    EXPECT_EQ(Num("tile_get_x(999)"), 0);
    Run("tile_set_depth(999, 4); tile_delete(999)");
    EXPECT_EQ(Num("tile_exists(999)"), 0);
    EXPECT_EQ(Num("tile_exists(" + id + ")"), 1);
    EXPECT_EQ(errors,
              (Texts{"Background does not exist.", "Background does not exist.",
                     "Tile does not exist.", "Tile does not exist.", "Tile does not exist."}));
}

TEST_F(TileFunctions, DeleteKeepsTheOthersFindableInOrder) {
    const int a = Add(0, 0, 0), b = Add(0, 0, 0), c = Add(0, 0, 0);
    EXPECT_EQ(Num("tile_get_x(" + std::to_string(c) + ")"), 0);  // the lookup caches c
    Run("tile_delete(" + std::to_string(a) + ")");
    ASSERT_EQ(w.room.TileCount(), 2);
    EXPECT_EQ(w.room.tiles[0].Id, b);
    EXPECT_EQ(w.room.tiles[1].Id, c);
    Run("tile_set_position(" + std::to_string(c) + ", 4, 0)");  // the cached index is stale
    EXPECT_EQ(w.room.tiles[1].X, 4);
    EXPECT_EQ(Num("tile_exists(" + std::to_string(a) + ")"), 0);
    EXPECT_EQ(errors, Texts{});
}

// A tile at x 10 with width 16 covers 10 .. 25 for the finds and 10 .. 26 for delete_at.
TEST_F(TileFunctions, FindIsHalfOpenAndDeleteAtIncludesTheEdges) {
    const int tile = Add(10, 10, 0);
    struct Case {
        std::string expr;
        double want;
    };
    const Case cases[] = {
        {"tile_find(25, 10, false)", double(tile)},
        {"tile_find(25.4, 10, false)", double(tile)},  // rounded to 25
        {"tile_find(25.6, 10, false)", -1},            // rounded to 26
        {"tile_find(26, 10, false)", -1},
        {"tile_find(9, 10, false)", -1},
        {"tile_find(10, 10, true)", -1},  // depth 0 is a background tile for the finds
        {"tile_layer_find(0, 25.6, 10)", double(tile)},  // not rounded
        {"tile_layer_find(0, 26, 10)", -1},
        {"tile_layer_find(1, 12, 12)", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(Num(c.expr), c.want) << c.expr;
    Run("tile_layer_delete_at(0, 26, 26)");  // half-open: stays
    EXPECT_EQ(w.room.TileCount(), 1);
    Run("tile_delete_at(26, 26, true)");  // edges included, depth 0 in either mode
    EXPECT_EQ(w.room.TileCount(), 0);
    Add(10, 10, 0);
    Run("tile_delete_at(26.4, 10, false)");
    EXPECT_EQ(w.room.TileCount(), 0);
}

TEST_F(TileFunctions, DeleteAtChoosesTheSideByDepth) {
    Add(0, 0, 5);
    Add(0, 0, -5);
    Add(0, 0, 0);
    Run("tile_delete_at(4, 4, true)");
    ASSERT_EQ(w.room.TileCount(), 1);
    EXPECT_EQ(w.room.tiles[0].Depth, 5);
    EXPECT_EQ(Num("tile_find(4, 4, true)"), -1);
    EXPECT_EQ(Num("tile_find(4, 4, false)"), w.room.tiles[0].Id);
}

TEST_F(TileFunctions, LayersCompareDepthsExactly) {
    const int a = Add(0, 0, 1000), b = Add(0, 0, 1000.5), c = Add(50, 0, 1000);
    auto visible = [&](int id) { return Num("tile_get_visible(" + std::to_string(id) + ")"); };
    Run("tile_layer_hide(1000)");
    EXPECT_EQ(visible(a), 0);
    EXPECT_EQ(visible(b), 1);
    EXPECT_EQ(visible(c), 0);
    Run("tile_layer_show(1000)");
    EXPECT_EQ(visible(a), 1);
    Run("tile_layer_shift(1000, 5, -3)");
    EXPECT_EQ(Num("tile_get_x(" + std::to_string(c) + ")"), 55);
    EXPECT_EQ(Num("tile_get_y(" + std::to_string(c) + ")"), -3);
    EXPECT_EQ(Num("tile_get_x(" + std::to_string(b) + ")"), 0);
    EXPECT_EQ(Num("tile_layer_find(1000, 60, 0)"), c);
    Run("tile_layer_depth(1000, 7)");
    EXPECT_EQ(Num("tile_get_depth(" + std::to_string(a) + ")"), 7);
    EXPECT_EQ(Num("tile_get_depth(" + std::to_string(b) + ")"), 1000.5);
    Run("tile_layer_delete_at(7, 60, 0)");
    EXPECT_EQ(Num("tile_exists(" + std::to_string(c) + ")"), 0);
    Run("tile_layer_delete(7)");
    ASSERT_EQ(w.room.TileCount(), 1);
    EXPECT_EQ(w.room.tiles[0].Id, b);
    EXPECT_EQ(errors, Texts{});
}

}  // namespace
}  // namespace tb
