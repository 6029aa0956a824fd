// The 3D builder and the six shapes against hand-worked vertex tables, without a device: what
// the builder hands on is recorded.
#include "graphics/d3d_shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "graphics/d3d.h"

namespace tb {
namespace {

struct Drawn {
    Primitive kind;
    int32_t texture;
    bool repeat;
    std::vector<LitVertex> v;
};

struct Recorder final : PrimitiveOutput {
    std::vector<Drawn> drawn;
    bool repeat = false;
    void Draw(Primitive kind, int32_t texture, std::span<const LitVertex> v) override {
        drawn.push_back({kind, texture, repeat, {v.begin(), v.end()}});
    }
    bool Repeat() const override { return repeat; }
    void SetRepeat(bool on) override { repeat = on; }
};

struct V {
    double x, y, z, nx, ny, nz, u, v;
};

void ExpectVertex(const LitVertex& got, const V& want, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_NEAR(got.x, want.x, 1e-4);
    EXPECT_NEAR(got.y, want.y, 1e-4);
    EXPECT_NEAR(got.z, want.z, 1e-4);
    EXPECT_NEAR(got.nx, want.nx, 1e-4);
    EXPECT_NEAR(got.ny, want.ny, 1e-4);
    EXPECT_NEAR(got.nz, want.nz, 1e-4);
    EXPECT_NEAR(got.u, want.u, 1e-4);
    EXPECT_NEAR(got.v, want.v, 1e-4);
}

constexpr uint32_t kArgb = 0x80112233;
const ShapeBox kBox{1, 2, 3, 5, 8, 13};  // centre (3, 5, 8), radii (2, 3, 5)

TEST(D3DShapes, BlockIsSixFansInTheFixedFaceOrder) {
    Builder3D b;
    Recorder out;
    ShapeBlock(b, out, kBox, 7, 2, 3, kArgb);
    ASSERT_EQ(out.drawn.size(), 6u);
    // Face, first two corners and the normal of each fan.
    const V table[6][2] = {
        {{1, 2, 3, 0, 0, -1, 0, 0}, {1, 8, 3, 0, 0, -1, 0, 3}},
        {{1, 2, 13, 0, 0, 1, 0, 0}, {5, 2, 13, 0, 0, 1, 2, 0}},
        {{1, 8, 3, 0, 1, 0, 0, 0}, {1, 8, 13, 0, 1, 0, 0, 3}},
        {{5, 8, 3, 1, 0, 0, 0, 0}, {5, 8, 13, 1, 0, 0, 0, 3}},
        {{5, 2, 3, 0, -1, 0, 0, 0}, {5, 2, 13, 0, -1, 0, 0, 3}},
        {{1, 2, 3, -1, 0, 0, 0, 0}, {1, 2, 13, -1, 0, 0, 0, 3}},
    };
    for (size_t f = 0; f < 6; ++f) {
        const Drawn& d = out.drawn[f];
        EXPECT_EQ(d.kind, Primitive::TriangleFan);
        EXPECT_EQ(d.texture, 7);
        EXPECT_TRUE(d.repeat);
        ASSERT_EQ(d.v.size(), 4u);
        ExpectVertex(d.v[0], table[f][0], "first corner");
        ExpectVertex(d.v[1], table[f][1], "second corner");
        EXPECT_EQ(d.v[0].color, kArgb);
    }
    // The third corner of the first face and the repeat state afterwards.
    ExpectVertex(out.drawn[0].v[2], {5, 8, 3, 0, 0, -1, 2, 3}, "face 1 corner 3");
    ExpectVertex(out.drawn[0].v[3], {5, 2, 3, 0, 0, -1, 2, 0}, "face 1 corner 4");
    EXPECT_FALSE(out.repeat);
    // The builder keeps the last face: a second end draws it again.
    b.End(out);
    ASSERT_EQ(out.drawn.size(), 7u);
    ExpectVertex(out.drawn[6].v[0], table[5][0], "redrawn");
}

TEST(D3DShapes, CylinderHasCapsAroundAStripWithClampedSteps) {
    Builder3D b;
    Recorder out;
    ShapeCylinder(b, out, kBox, 1, 4, 2, true, 2, kArgb);  // steps 2 -> 3
    ASSERT_EQ(out.drawn.size(), 3u);
    const Drawn &top = out.drawn[0], &side = out.drawn[1], &bottom = out.drawn[2];
    EXPECT_EQ(top.kind, Primitive::TriangleFan);
    EXPECT_EQ(side.kind, Primitive::TriangleStrip);
    EXPECT_EQ(bottom.kind, Primitive::TriangleFan);
    ASSERT_EQ(top.v.size(), 5u);
    ASSERT_EQ(side.v.size(), 8u);
    ASSERT_EQ(bottom.v.size(), 5u);
    const double c1 = std::cos(2 * std::numbers::pi / 3), s1 = std::sin(2 * std::numbers::pi / 3);
    ExpectVertex(top.v[0], {3, 5, 13, 0, 0, 1, 0, 2}, "top centre");
    ExpectVertex(top.v[1], {5, 5, 13, 0, 0, 1, 0, 2}, "top rim 0");
    ExpectVertex(top.v[2], {3 + 2 * c1, 5 + 3 * s1, 13, 0, 0, 1, 0, 2}, "top rim 1");
    ExpectVertex(side.v[0], {5, 5, 13, 1, 0, 0, 0, 2}, "side 0 top");
    ExpectVertex(side.v[1], {5, 5, 3, 1, 0, 0, 0, 0}, "side 0 bottom");
    ExpectVertex(side.v[2], {3 + 2 * c1, 5 + 3 * s1, 13, c1, s1, 0, 4.0 / 3, 2}, "side 1 top");
    ExpectVertex(side.v[7], {5, 5, 3, 1, 0, 0, 4, 0}, "side 3 bottom");
    // The bottom rim runs backwards: i = s first.
    ExpectVertex(bottom.v[0], {3, 5, 3, 0, 0, -1, 0, 0}, "bottom centre");
    ExpectVertex(bottom.v[2], {3 + 2 * c1, 5 - 3 * s1, 3, 0, 0, -1, 0, 0}, "bottom rim 2");

    out.drawn.clear();
    ShapeCylinder(b, out, kBox, 1, 1, 1, false, 500, kArgb);  // open, 500 -> 128
    ASSERT_EQ(out.drawn.size(), 1u);
    EXPECT_EQ(out.drawn[0].v.size(), 258u);
}

TEST(D3DShapes, SignedRadiiStartTheRimAtTheSecondCorner) {
    Builder3D b;
    Recorder out;
    ShapeCylinder(b, out, {5, 8, 3, 1, 2, 13}, 1, 1, 1, false, 4, kArgb);
    ExpectVertex(out.drawn[0].v[0], {1, 5, 13, 1, 0, 0, 0, 1}, "rim at x2");
}

TEST(D3DShapes, ConeHasAnApexStripAndOnlyABottomCap) {
    Builder3D b;
    Recorder out;
    ShapeCone(b, out, kBox, 1, 1, 1, true, 4, kArgb);
    ASSERT_EQ(out.drawn.size(), 2u);
    const Drawn& side = out.drawn[0];
    ASSERT_EQ(side.v.size(), 10u);
    ExpectVertex(side.v[0], {3, 5, 13, 0, 0, 1, 0, 1}, "apex");
    ExpectVertex(side.v[3], {3, 8, 3, 0, 1, 0, 0.25, 0}, "base 1");
    EXPECT_EQ(out.drawn[1].v[0].nz, -1);
    out.drawn.clear();
    ShapeCone(b, out, kBox, 1, 1, 1, false, 4, kArgb);
    EXPECT_EQ(out.drawn.size(), 1u);
}

TEST(D3DShapes, EllipsoidBandsRunFromTheUpperPole) {
    const struct {
        int32_t steps;
        size_t bands;
    } cases[] = {{24, 12}, {3, 2}, {1, 2}, {4, 2}, {500, 64}};
    for (const auto& c : cases) {
        Builder3D b;
        Recorder out;
        ShapeEllipsoid(b, out, kBox, 1, 2, 4, c.steps, kArgb);
        SCOPED_TRACE(c.steps);
        ASSERT_EQ(out.drawn.size(), c.bands);
        const int32_t s = ClampSteps(c.steps);
        EXPECT_EQ(out.drawn[0].v.size(), size_t(2 * (s + 1)));
        ExpectVertex(out.drawn[0].v[0], {3, 5, 13, 0, 0, 1, 0, 0}, "upper pole");
        ExpectVertex(out.drawn.back().v.back(), {3, 5, 3, 0, 0, -1, 2, 4}, "lower pole");
    }
    Builder3D b;
    Recorder out;
    ShapeEllipsoid(b, out, kBox, 1, 1, 2, 4, kArgb);  // 2 bands: the equator at row 1
    ExpectVertex(out.drawn[0].v[1], {5, 5, 8, 1, 0, 0, 0, 1}, "equator");
}

TEST(D3DShapes, WallAndFloor) {
    Builder3D b;
    Recorder out;
    ShapeWall(b, out, {5, 5, 0, 5, 5, 10}, 1, 1, 1, kArgb);
    EXPECT_TRUE(out.drawn.empty());
    ShapeWall(b, out, {0, 0, 0, 10, 0, 4}, 1, 2, 3, kArgb);
    ASSERT_EQ(out.drawn.size(), 1u);
    const V wall[4] = {{0, 0, 0, 0, -1, 0, 0, 0},
                       {10, 0, 0, 0, -1, 0, 2, 0},
                       {10, 0, 4, 0, -1, 0, 2, 3},
                       {0, 0, 4, 0, -1, 0, 0, 3}};
    for (int i = 0; i < 4; ++i) ExpectVertex(out.drawn[0].v[size_t(i)], wall[i], "wall");
    out.drawn.clear();
    ShapeFloor(b, out, {0, 0, 1, 10, 20, 5}, 1, 2, 3, kArgb);  // slopes along x
    const V floor[4] = {{0, 0, 1, 0, 0, 1, 0, 0},
                        {0, 20, 1, 0, 0, 1, 0, 3},
                        {10, 20, 5, 0, 0, 1, 2, 3},
                        {10, 0, 5, 0, 0, 1, 2, 0}};
    for (int i = 0; i < 4; ++i) ExpectVertex(out.drawn[0].v[size_t(i)], floor[i], "floor");
    EXPECT_FALSE(out.repeat);
}

TEST(D3DShapes, BuilderDropsVerticesPast1001AndDrawsOnlyWholePrimitives) {
    Builder3D b;
    Recorder out;
    b.Begin(4, -1);
    for (int i = 0; i < 1500; ++i) b.Vertex(MakeLitVertex(i, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(b.vertices.size(), 1001u);
    b.End(out);
    ASSERT_EQ(out.drawn.size(), 1u);
    const struct {
        int32_t kind;
        size_t n;
        bool drawn;
    } cases[] = {{1, 1, true},  {2, 1, false}, {2, 2, true},  {3, 1, false}, {4, 2, false},
                 {5, 2, false}, {6, 3, true},  {0, 5, false}, {7, 5, false}};
    for (const auto& c : cases) {
        out.drawn.clear();
        b.Begin(c.kind, -1);
        for (size_t i = 0; i < c.n; ++i) b.Vertex(MakeLitVertex(0, 0, 0, 0, 0, 0, 0, 0, 0));
        b.End(out);
        EXPECT_EQ(out.drawn.size(), c.drawn ? 1u : 0u) << c.kind << " " << c.n;
    }
}

}  // namespace
}  // namespace tb
