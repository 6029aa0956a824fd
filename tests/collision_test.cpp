// The collision tests on one instance: boxes with inclusive edges, precise masks, scaled and
// rotated placements, sub-images, points, rectangles, ellipses and lines.
#include "world/collision.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "collision_fixtures.h"

namespace tb {
namespace {

using test::AddArtSprite;
using test::AddBlockSprite;
using test::Art;
using test::PlaceSprite;
using test::Pose;

// A 4 x 4 precise sprite solid only on its diagonal (k, k); box 0..3 both ways.
CBitmap32 Diagonal() {
    return Art({"#...", ".#..", "..#.", "...#"});
}

// 8 x 4, columns 4, 6 and 7 solid on every row; box 4..7 x 0..3.
CBitmap32 Comb() {
    return Art({"....#.##", "....#.##", "....#.##", "....#.##"});
}

struct Sprites {
    Game g;
    int diagonal = AddArtSprite(g, {{Diagonal()}});
    int block = AddBlockSprite(g, 16, 16);           // no masks
    int pixel = AddArtSprite(g, {{Art({"#"})}});     // one precise pixel
    int strip = AddArtSprite(g, {{Art({"#.##"})}});  // 4 x 1
    int comb = AddArtSprite(g, {{Comb()}});
    int empty = AddArtSprite(g, {{}});  // a sprite without images
};

TEST(CollisionInstances, BoxEdgesAreInclusive) {
    Sprites s;
    const CInstance a = PlaceSprite(s.g, s.block, {0, 0});
    struct Case {
        double x, y;
        bool meets;
    } cases[] = {
        {16, 0, false},   {15, 0, true}, {-16, 0, false}, {-15, 0, true},
        {0, 16, false},   {0, 15, true}, {15, 15, true},  {15.4, 0, true},  // rounds to 15
        {15.5, 0, false},                                                   // halves to even: 16
        {14.5, 0, true},                                                    // 14
    };
    for (const Case& c : cases) {
        const CInstance b = PlaceSprite(s.g, s.block, {c.x, c.y});
        EXPECT_EQ(MeetsInstance(s.g, a, b, false), c.meets) << c.x << "," << c.y;
        EXPECT_EQ(MeetsInstance(s.g, b, a, true), c.meets) << c.x << "," << c.y;
    }
}

TEST(CollisionInstances, NeverTheSameDestroyedOrMasklessInstance) {
    Sprites s;
    CInstance a = PlaceSprite(s.g, s.block, {0, 0});
    CInstance b = PlaceSprite(s.g, s.block, {4, 4});
    EXPECT_FALSE(MeetsInstance(s.g, a, a, false));
    b.destroyed = true;
    EXPECT_FALSE(MeetsInstance(s.g, a, b, false));
    EXPECT_FALSE(MeetsInstance(s.g, b, a, false));
    // Two instances without a sprite share the far-away box but meet nothing.
    const CInstance none1 = PlaceSprite(s.g, -1, {0, 0});
    const CInstance none2 = PlaceSprite(s.g, 99, {50, 50});
    EXPECT_EQ(none1.bbox_left, kNoBox);
    EXPECT_EQ(none2.bbox_right, kNoBox);
    EXPECT_FALSE(MeetsInstance(s.g, none1, none2, false));
    EXPECT_FALSE(ContainsPoint(s.g, none1, kNoBox, kNoBox, false));
    // A sprite without images keeps its box: box tests work, precise ones fail.
    CInstance e1 = PlaceSprite(s.g, s.empty, {0, 0});
    e1.precise = true;
    EXPECT_TRUE(MeetsInstance(s.g, e1, a, false));
    EXPECT_FALSE(MeetsInstance(s.g, e1, a, true));
    EXPECT_TRUE(ContainsPoint(s.g, e1, 0, 0, false));
    EXPECT_FALSE(ContainsPoint(s.g, e1, 0, 0, true));
}

TEST(CollisionInstances, PreciseMasks) {
    Sprites s;
    const CInstance diag = PlaceSprite(s.g, s.diagonal, {0, 0});
    ASSERT_TRUE(diag.precise);
    struct Case {
        const char* what;
        int sprite;
        Pose pose;
        bool box, precise;
    } cases[] = {
        {"shifted diagonals never share a pixel", s.diagonal, {1, 0}, true, false},
        {"the same diagonal", s.diagonal, {0, 0}, true, true},
        {"shifted back down to the diagonal", s.diagonal, {1, 1}, true, true},
        {"a block without masks over (3, 3)", s.block, {3, 0}, true, true},
        {"a block overlapping only row 0 at x 2..3", s.block, {2, -15}, true, false},
        {"a pixel on the diagonal", s.pixel, {2, 2}, true, true},
        {"a pixel off the diagonal", s.pixel, {2, 1}, true, false},
        {"a pixel scaled 3 wide over (2, 2)", s.pixel, {1, 2, 3}, true, true},
        {"a pixel scaled 3 wide left of (3, 3)", s.pixel, {0, 3, 3}, true, false},
        {"a pixel stretched 4 high over (0, 0)", s.pixel, {0, -3, 1, 4}, true, true},
    };
    for (const Case& c : cases) {
        const CInstance other = PlaceSprite(s.g, c.sprite, c.pose);
        EXPECT_EQ(MeetsInstance(s.g, diag, other, false), c.box) << c.what;
        EXPECT_EQ(MeetsInstance(s.g, diag, other, true), c.precise) << c.what;
        EXPECT_EQ(MeetsInstance(s.g, other, diag, true), c.precise) << c.what;
    }
}

TEST(CollisionInstances, RotatedAndScaledMask) {
    Sprites s;
    // The comb turned a quarter, twice as wide: its columns become rows above the origin.
    // Box: x 10..13, y 5..12; rows y - 8, -9, -12 .. -15 are solid, -10 and -11 are not.
    const CInstance comb = PlaceSprite(s.g, s.comb, {10, 20, 2, 1, 90});
    ASSERT_EQ(comb.bbox_left, 10);
    ASSERT_EQ(comb.bbox_right, 13);
    ASSERT_EQ(comb.bbox_top, 5);
    ASSERT_EQ(comb.bbox_bottom, 12);
    struct Case {
        double y;
        bool precise;
    } cases[] = {{12, true}, {11, true}, {10, false}, {9, false}, {8, true}, {5, true}};
    for (const Case& c : cases) {
        const CInstance dot = PlaceSprite(s.g, s.pixel, {12, c.y});
        EXPECT_TRUE(MeetsInstance(s.g, comb, dot, false)) << c.y;
        EXPECT_EQ(MeetsInstance(s.g, comb, dot, true), c.precise) << c.y;
        EXPECT_EQ(ContainsPoint(s.g, comb, 12, c.y, true), c.precise) << c.y;
        EXPECT_TRUE(ContainsPoint(s.g, comb, 12, c.y, false)) << c.y;
    }
}

TEST(CollisionPoints, BoxAndPixels) {
    Sprites s;
    const CInstance block = PlaceSprite(s.g, s.block, {0, 0});
    const CInstance diag = PlaceSprite(s.g, s.diagonal, {0, 0});
    // Mirrored strip at x 10: box 5..10; image columns 0..3 lie at x 10, 9, 8, 7.
    const CInstance mirrored = PlaceSprite(s.g, s.strip, {10, 0, -1});
    ASSERT_EQ(mirrored.bbox_left, 5);
    ASSERT_EQ(mirrored.bbox_right, 10);
    // Twice as wide at x 0: image column k covers x 2k and 2k + 1.
    const CInstance wide = PlaceSprite(s.g, s.strip, {0, 0, 2});
    struct Case {
        const char* what;
        const CInstance& inst;
        double x, y;
        bool box, precise;
    } cases[] = {
        {"right edge inside", block, 15.7, 0, true, true},
        {"one past the right edge", block, 16.0, 0, false, false},
        {"left of the box", block, -0.1, 3, false, false},
        {"bottom edge inside", block, 3, 15.99, true, true},
        {"on the diagonal", diag, 2, 2, true, true},
        {"off the diagonal", diag, 2, 1, true, false},
        {"rounded onto the diagonal", diag, 1.6, 2.4, true, true},
        {"halves to even: (2.5, 2.5) is (2, 2)", diag, 2.5, 2.5, true, true},
        {"halves to even: (1.5, 2.5) is (2, 2)", diag, 1.5, 2.5, true, true},
        {"mirrored column 0", mirrored, 10, 0, true, true},
        {"mirrored column 1 is clear", mirrored, 9, 0, true, false},
        {"mirrored column 3", mirrored, 7, 0, true, true},
        {"mirrored: in the box, outside the image", mirrored, 6, 0, true, false},
        {"scaled column 0", wide, 1, 0, true, true},
        {"scaled column 1 is clear", wide, 3, 0, true, false},
        {"scaled column 2", wide, 4, 0, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ContainsPoint(s.g, c.inst, c.x, c.y, false), c.box) << c.what;
        EXPECT_EQ(ContainsPoint(s.g, c.inst, c.x, c.y, true), c.precise) << c.what;
    }
}

TEST(CollisionPoints, SubImagesWrapAndMasksMustExist) {
    Game g;
    const CBitmap32 clear = Art({"..", ".."});
    const CBitmap32 dot = Art({"#.", ".."});
    // Frame 1 alone is solid at (0, 0); the box covers the whole 2 x 2 frame.
    const int three = AddArtSprite(g, {{clear, dot, Art({".#", "#."})}});
    struct Case {
        double image_index;
        bool solid;
    } cases[] = {{0, false}, {1, true},   {1.9, true},   {7, true},
                 {-2, true}, {-1, false}, {-0.5, false}, {4, true}};
    for (const Case& c : cases) {
        const CInstance inst = PlaceSprite(g, three, {0, 0, 1, 1, 0, c.image_index});
        EXPECT_EQ(ContainsPoint(g, inst, 0, 0, true), c.solid) << c.image_index;
    }
    // Precise but not transparent: no masks, so the box decides.
    const int opaque = AddArtSprite(g, {{Art({"#..", "..."})}, 0, 0, true, false});
    const CInstance o = PlaceSprite(g, opaque, {0, 0});
    ASSERT_TRUE(o.precise);
    EXPECT_TRUE(ContainsPoint(g, o, 2, 1, true));
    EXPECT_TRUE(MeetsRectangle(g, o, 1, 1, 2, 1, true));
    EXPECT_TRUE(MeetsLine(g, o, 1, 1, 2, 0, true));
}

// The shape tests against the diagonal at (0, 0), box only and precise.
struct ShapeCase {
    const char* what;
    double x1, y1, x2, y2;
    bool box, precise;
};

TEST(CollisionShapes, Rectangles) {
    Sprites s;
    const CInstance diag = PlaceSprite(s.g, s.diagonal, {0, 0});
    const ShapeCase cases[] = {
        {"covers (2, 2)", 1, 2, 2, 3, true, true},
        {"corners in any order", 2, 3, 1, 2, true, true},
        {"only clear pixels", 2, 0, 3, 1, true, false},
        {"right of the box", 4, 0, 9, 3, false, false},
        {"touches the left edge from outside", -5, 0, -0.01, 3, false, false},
        {"reaches x 0 exactly", -5, 0, 0, 0, true, true},
        {"rounded corners reach the diagonal", -3, 2.6, 2.6, 4, true, true},
        {"a single clear pixel", 1, 0, 1, 0, true, false},
    };
    for (const ShapeCase& c : cases) {
        EXPECT_EQ(MeetsRectangle(s.g, diag, c.x1, c.y1, c.x2, c.y2, false), c.box) << c.what;
        EXPECT_EQ(MeetsRectangle(s.g, diag, c.x1, c.y1, c.x2, c.y2, true), c.precise) << c.what;
    }
}

TEST(CollisionShapes, Ellipses) {
    Sprites s;
    const CInstance diag = PlaceSprite(s.g, s.diagonal, {0, 0});
    const ShapeCase cases[] = {
        {"centre inside the box", -2, -2, 4, 4, true, true},
        {"only the bounding rectangle touches", 3, 3, 9, 9, false, false},
        {"corner (3, 0) inside, but only clear pixels", 2, -4, 8, 2, true, false},
        {"small ellipse round (2, 2)", 1, 1, 3, 3, true, true},
        {"one column wide: tested as the rectangle", 1.2, -5, 0.8, 10, true, true},
        {"one row high, clear pixels only", 1, 0, 3, 0, true, false},
        {"centre column inside, above the diagonal's end", 2, -6, 4, 0, true, false},
    };
    for (const ShapeCase& c : cases) {
        EXPECT_EQ(MeetsEllipse(s.g, diag, c.x1, c.y1, c.x2, c.y2, false), c.box) << c.what;
        EXPECT_EQ(MeetsEllipse(s.g, diag, c.x1, c.y1, c.x2, c.y2, true), c.precise) << c.what;
    }
}

TEST(CollisionShapes, Lines) {
    Sprites s;
    const CInstance diag = PlaceSprite(s.g, s.diagonal, {0, 0});
    const ShapeCase cases[] = {
        {"vertical through (1, 1)", 1, -5, 1, 10, true, true},
        {"vertical over clear pixels only", 1, 2, 1, 3, true, false},
        {"horizontal through (3, 3)", -4, 3, 20, 3, true, true},
        {"along the diagonal", 0, 0, 3, 3, true, true},
        {"across the diagonal between pixels", 0, 3, 3, 0, true, false},
        {"the other end order", 3, 0, 0, 3, true, false},
        {"clipped to the box it passes below", -10, 0, 10, 20, false, false},
        {"clipped to the box it passes above", -10, -15, 10, 5, false, false},
        {"clipped to the edge past the box: no pixel", -10, -14, 10, 6, true, false},
        {"steep, sampled per row", 0, -1, 2, 5, true, true},
        {"steep, misses", 2, -1, 4, 2, true, false},
        {"ends left of the box", -10, 0, -1, 0, false, false},
    };
    for (const ShapeCase& c : cases) {
        EXPECT_EQ(MeetsLine(s.g, diag, c.x1, c.y1, c.x2, c.y2, false), c.box) << c.what;
        EXPECT_EQ(MeetsLine(s.g, diag, c.x1, c.y1, c.x2, c.y2, true), c.precise) << c.what;
    }
}

TEST(CollisionShapes, DestroyedAndNonPreciseInstances) {
    Sprites s;
    CInstance diag = PlaceSprite(s.g, s.diagonal, {0, 0});
    diag.precise = false;  // the instance does not ask for pixels: the box decides
    EXPECT_TRUE(ContainsPoint(s.g, diag, 2, 1, true));
    EXPECT_TRUE(MeetsLine(s.g, diag, 0, 3, 3, 0, true));
    EXPECT_TRUE(MeetsEllipse(s.g, diag, 2, -4, 8, 2, true));
    diag.destroyed = true;
    EXPECT_FALSE(ContainsPoint(s.g, diag, 0, 0, false));
    EXPECT_FALSE(MeetsRectangle(s.g, diag, -10, -10, 10, 10, false));
    EXPECT_FALSE(MeetsEllipse(s.g, diag, -10, -10, 10, 10, false));
    EXPECT_FALSE(MeetsLine(s.g, diag, -10, -10, 10, 10, false));
}

TEST(CollisionShapes, PlacementsThatAreNotNumbersMeetNothingPrecisely) {
    Sprites s;
    const double nan = std::nan("");
    const CInstance lost = PlaceSprite(s.g, s.diagonal, {nan, 0});
    const CInstance flat = PlaceSprite(s.g, s.diagonal, {0, 0, 0, 0});  // scaled to nothing
    const CInstance wild = PlaceSprite(s.g, s.diagonal, {0, 0, 1e300, 1, 1e300, nan});
    const CInstance probe = PlaceSprite(s.g, s.block, {-4, -4});
    for (const CInstance* inst : {&lost, &flat, &wild}) {
        EXPECT_FALSE(ContainsPoint(s.g, *inst, nan, nan, true));
        EXPECT_FALSE(MeetsRectangle(s.g, *inst, nan, 0, 10, 10, true));
        MeetsInstance(s.g, *inst, probe, true);  // whatever they give, they give it safely
        MeetsEllipse(s.g, *inst, -3, -3, 3, 3, true);
        MeetsLine(s.g, *inst, -3, -2, 3, 5, true);
    }
    EXPECT_FALSE(MeetsInstance(s.g, lost, probe, true));
    EXPECT_FALSE(ContainsPoint(s.g, flat, 0, 0, true));  // every mapped pixel is off the image
}

// Over areas far too large to scan pixel by pixel the answers come from the masks' cells: the
// same ones as a scan would give where the solid parts plainly meet or stay apart, and in
// bounded time at absurd scales.
TEST(CollisionInstances, HugeAreasAreDecidedByTheMasks) {
    Game g;
    const int half = AddArtSprite(g, {{Art({"####....", "####....", "####....", "####....",
                                            "####....", "####....", "####....", "####...."})}});
    const int ring = AddArtSprite(g, {{Art({"########", "#......#", "#......#", "#......#",
                                            "#......#", "#......#", "#......#", "########"})}});
    g.sprites.Get(half)->SetBBoxMode(1);  // the box covers the empty half too
    // Scaled 600: 4800 pixels square, so any overlap of two is millions of pixels.
    const CInstance a = PlaceSprite(g, half, {0, 0, 600, 600});
    struct Case {
        const char* what;
        int sprite;
        Pose pose;
        bool precise;
    } cases[] = {
        {"solid half over empty half", half, {-2400, 0, 600, 600}, false},
        {"solid halves overlapping", half, {-1200, 300, 600, 600}, true},
        {"inside the ring's hole", ring, {-1200, -1200, 900, 900}, false},
        {"across the ring's edge", ring, {-1200, -100, 900, 900}, true},
        {"turned a quarter over the empty half", half, {2400, 4800, 600, 600, 90}, false},
        {"turned an eighth across the solid half", half, {0, 2400, 600, 600, 45}, true},
    };
    for (const Case& c : cases) {
        const CInstance b = PlaceSprite(g, c.sprite, c.pose);
        EXPECT_TRUE(MeetsInstance(g, a, b, false)) << c.what;
        EXPECT_EQ(MeetsInstance(g, a, b, true), c.precise) << c.what;
        EXPECT_EQ(MeetsInstance(g, b, a, true), c.precise) << c.what;
    }
    EXPECT_TRUE(MeetsRectangle(g, a, 100, 100, 3000, 3000, true));
    EXPECT_FALSE(MeetsRectangle(g, a, 2500, -10, 5000, 6000, true));
    EXPECT_TRUE(MeetsEllipse(g, a, -1000, -1000, 3000, 3000, true));
    EXPECT_FALSE(MeetsEllipse(g, a, 2500, 100, 4700, 4700, true));
    EXPECT_TRUE(MeetsLine(g, a, 0, 4799, 4799, 0, true));
    EXPECT_FALSE(MeetsLine(g, a, 2500, 0, 4700, 4799, true));

    // Stretched beyond any room and turned by an absurd angle: answered, whatever it is.
    const CInstance wild_a = PlaceSprite(g, ring, {10, 10, 1, 1e300, 1e300});
    const CInstance wild_b = PlaceSprite(g, ring, {12, 14, 1, 1e300, 1e300});
    MeetsInstance(g, wild_a, wild_b, true);
    MeetsRectangle(g, wild_a, -1e9, -1e9, 1e9, 1e9, true);
    MeetsEllipse(g, wild_a, -1e9, -1e9, 1e9, 1e9, true);
    MeetsLine(g, wild_a, -1e9, -1e9, 1e9, 1e9, true);
}

}  // namespace
}  // namespace tb
