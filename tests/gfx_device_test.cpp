// The drawing device on the offscreen driver: clears, batched primitives, blend factors,
// texture blending, viewports, the 2D projection, render-target row order, capture clipping.
#include <cstdlib>
#include <vector>

#include "gfx_harness.h"
#include "graphics/matrix.h"

namespace tb {
namespace {

using test::GraphicsTest;

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

// A filled axis-aligned rectangle covering pixels [x0, x1) x [y0, y1).
void FillRect(GraphicsDevice& d, int x0, int y0, int x1, int y1, uint32_t argb) {
    const float l = float(x0) - 0.5f, t = float(y0) - 0.5f, r = float(x1) - 0.5f,
                b = float(y1) - 0.5f;
    const PlainVertex v[4] = {{l, t, 0, argb}, {r, t, 0, argb}, {r, b, 0, argb}, {l, b, 0, argb}};
    d.Draw(Primitive::TriangleFan, std::span<const PlainVertex>(v, 4));
}

void Point(GraphicsDevice& d, float x, float y, uint32_t argb) {
    const PlainVertex v[1] = {{x, y, 0, argb}};
    d.Draw(Primitive::PointList, std::span<const PlainVertex>(v, 1));
}

bool Near(uint32_t a, uint32_t b, int tolerance = 1) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) return false;
    return true;
}

TEST_F(GraphicsTest, ClearFillsTheRegionAndCapturesAreOpaque) {
    g.device.Clear(0x00336699);  // alpha 0: the back buffer has no alpha to keep
    EXPECT_EQ(Argb(0, 0), 0xFF336699u);
    EXPECT_EQ(Argb(63, 47), 0xFF336699u);
    EXPECT_EQ(Pixel(10, 10), 0x996633u);
}

TEST_F(GraphicsTest, RectangleEdgesLandOnExactPixels) {
    g.device.Clear(0xFF000000);
    FillRect(g.device, 10, 12, 20, 15, 0xFFFFFFFF);
    struct Case {
        int x, y;
        bool lit;
    } const cases[] = {{10, 12, true},  {19, 14, true},  {9, 12, false},
                       {20, 12, false}, {10, 11, false}, {10, 15, false}};
    for (const Case& c : cases)
        EXPECT_EQ(Pixel(c.x, c.y), c.lit ? 0xFFFFFFu : 0u) << c.x << "," << c.y;
}

TEST_F(GraphicsTest, PointsLightThePixelAtTheirCoordinates) {
    g.device.Clear(0xFF000000);
    Point(g.device, 5, 7, 0xFFFF0000);
    EXPECT_EQ(Pixel(5, 7), kRed);
    EXPECT_EQ(Pixel(4, 7), 0u);
    EXPECT_EQ(Pixel(5, 6), 0u);
}

TEST_F(GraphicsTest, QuadsOfOneTextureMergeIntoOneDriverCall) {
    const int32_t a = SolidTexture(2, 2, 0xFFFFFFFF), b = SolidTexture(2, 2, 0xFF00FF00);
    g.device.Flush();
    const uint64_t before = g.device.DriverDrawCalls();
    for (int i = 0; i < 100; ++i) g.textures.DrawSimple(a, i % 60, i % 40);
    g.device.Flush();
    EXPECT_EQ(g.device.DriverDrawCalls() - before, 1u);
    // a, b, a: three runs; a state change also ends a run.
    g.textures.DrawSimple(a, 0, 0);
    g.textures.DrawSimple(b, 0, 0);
    g.textures.DrawSimple(a, 0, 0);
    g.device.SetBlendMode(1);
    g.textures.DrawSimple(a, 0, 0);
    g.device.Flush();
    EXPECT_EQ(g.device.DriverDrawCalls() - before, 5u);
}

TEST_F(GraphicsTest, StripsAndFansAreSplitIntoWholeTriangles) {
    g.device.Clear(0xFF000000);
    // A strip of four corners (a quad) and a fan of five (two quads side by side).
    const uint32_t w = 0xFFFFFFFF;
    const PlainVertex strip[4] = {
        {-0.5f, -0.5f, 0, w}, {9.5f, -0.5f, 0, w}, {-0.5f, 9.5f, 0, w}, {9.5f, 9.5f, 0, w}};
    g.device.Draw(Primitive::TriangleStrip, std::span<const PlainVertex>(strip, 4));
    const PlainVertex fan[5] = {{19.5f, 4.5f, 0, w},
                                {19.5f, -0.5f, 0, w},
                                {29.5f, -0.5f, 0, w},
                                {29.5f, 9.5f, 0, w},
                                {9.5f + 10, 9.5f, 0, w}};
    g.device.Draw(Primitive::TriangleFan, std::span<const PlainVertex>(fan, 5));
    for (int x : {0, 9, 20, 29})
        for (int y : {0, 9}) EXPECT_EQ(Pixel(x, y), 0xFFFFFFu) << x << "," << y;
    EXPECT_EQ(Pixel(15, 5), 0u);
}

TEST_F(GraphicsTest, FlatShadingColoursEachTriangleByItsFirstVertex) {
    g.device.Clear(0xFF000000);
    g.device.SetShading(false);
    // A strip quad: triangle 0 is (v0, v1, v2), triangle 1 is (v1, v2, v3).
    const PlainVertex strip[4] = {{-0.5f, -0.5f, 0, 0xFFFF0000},
                                  {15.5f, -0.5f, 0, 0xFF00FF00},
                                  {-0.5f, 15.5f, 0, 0xFF0000FF},
                                  {15.5f, 15.5f, 0, 0xFFFFFFFF}};
    g.device.Draw(Primitive::TriangleStrip, std::span<const PlainVertex>(strip, 4));
    EXPECT_EQ(Pixel(1, 1), kRed);
    EXPECT_EQ(Pixel(6, 6), kRed);
    EXPECT_EQ(Pixel(14, 14), kGreen);
    EXPECT_EQ(Pixel(9, 9), kGreen);
    g.device.SetShading(true);
    g.device.Draw(Primitive::TriangleStrip, std::span<const PlainVertex>(strip, 4));
    EXPECT_NE(Pixel(6, 6), kRed);  // interpolated
}

TEST_F(GraphicsTest, CullingRemovesCounterClockwiseTrianglesAndKeepsStripWinding) {
    g.device.Clear(0xFF000000);
    g.device.SetCulling(true);
    const uint32_t w = 0xFFFFFFFF;
    // Clockwise on the screen (y grows downward): kept, both strip triangles.
    const PlainVertex kept[4] = {
        {-0.5f, -0.5f, 0, w}, {9.5f, -0.5f, 0, w}, {-0.5f, 9.5f, 0, w}, {9.5f, 9.5f, 0, w}};
    g.device.Draw(Primitive::TriangleStrip, std::span<const PlainVertex>(kept, 4));
    // The same quad mirrored: counter-clockwise, culled.
    const PlainVertex culled[4] = {
        {29.5f, -0.5f, 0, w}, {19.5f, -0.5f, 0, w}, {29.5f, 9.5f, 0, w}, {19.5f, 9.5f, 0, w}};
    g.device.Draw(Primitive::TriangleStrip, std::span<const PlainVertex>(culled, 4));
    EXPECT_EQ(Pixel(1, 8), 0xFFFFFFu);
    EXPECT_EQ(Pixel(8, 1), 0xFFFFFFu);
    EXPECT_EQ(Pixel(21, 8), 0u);
    EXPECT_EQ(Pixel(28, 1), 0u);
    g.device.SetCulling(false);
    g.device.Draw(Primitive::TriangleStrip, std::span<const PlainVertex>(culled, 4));
    EXPECT_EQ(Pixel(21, 8), 0xFFFFFFu);
}

TEST_F(GraphicsTest, BlendModesCombineSourceAndDestination) {
    // Destination blue-ish grey, source red at alpha 128.
    const uint32_t dest = 0xFF4080C0, src = 0x80FF0000;
    struct Case {
        int mode;
        uint32_t expected;  // BGR
    } const cases[] = {
        // normal: src * a + dest * (1 - a)
        {0, 0x6040A0},
        // add: src * a + dest
        {1, 0xC080C0},
        // max: src * a + dest * (1 - src)
        {2, 0xC08080},
        // subtract: dest * (1 - src)
        {3, 0xC08000},
    };
    for (const Case& c : cases) {
        g.device.SetBlendMode(0);
        g.device.Clear(dest);
        g.device.SetBlendMode(c.mode);
        FillRect(g.device, 0, 0, 4, 4, src);
        EXPECT_TRUE(Near(Pixel(1, 1), c.expected)) << c.mode << ": " << std::hex << Pixel(1, 1);
    }
}

TEST_F(GraphicsTest, ExtendedBlendFactorsFollowTheirNumbers) {
    g.device.Clear(0xFF202020);
    g.device.SetBlend(BlendFactor::One, BlendFactor::One);
    FillRect(g.device, 0, 0, 4, 4, 0x00102030);
    EXPECT_EQ(Pixel(1, 1), 0x504030u);
    g.device.SetBlend(BlendFactor::Zero, BlendFactor::SrcColor);
    FillRect(g.device, 0, 0, 4, 4, 0xFF808080);
    EXPECT_TRUE(Near(Pixel(1, 1), 0x282018)) << std::hex << Pixel(1, 1);
    // The back buffer has no alpha: destination alpha reads as one.
    g.device.SetBlend(BlendFactor::DestAlpha, BlendFactor::Zero);
    FillRect(g.device, 0, 0, 4, 4, 0x00FF0000);
    EXPECT_EQ(Pixel(1, 1), kRed);
}

TEST_F(GraphicsTest, TextureBlendingOffTakesTheTextureAlone) {
    const int32_t t = SolidTexture(4, 4, 0xFF00FF00);
    g.device.Clear(0xFF000000);
    g.textures.DrawExt(t, 0, 0, 0, 0, 1, 1, 0, kRed, 1);  // modulated: green * red = black
    EXPECT_EQ(Pixel(1, 1), 0u);
    g.device.SetTextureBlending(false);
    g.textures.DrawExt(t, 0, 0, 0, 0, 1, 1, 0, kRed, 0.25);
    EXPECT_EQ(Pixel(1, 1), kGreen);
}

TEST_F(GraphicsTest, ClearAndDrawingStayInsideTheViewport) {
    g.device.Clear(0xFF000000);
    g.device.SetViewport(32, 8, 16, 16);
    g.device.SetProjection(100, 100, 16, 16, 0);
    g.device.Clear(0xFF0000FF);
    EXPECT_EQ(Pixel(31, 10), 0u);
    EXPECT_EQ(Pixel(32, 8), kBlue);
    EXPECT_EQ(Pixel(47, 23), kBlue);
    EXPECT_EQ(Pixel(48, 23), 0u);
    // Room point (100, 100) is the port's top-left pixel; (-5, -5) lies outside the port.
    Point(g.device, 100, 100, 0xFFFF0000);
    Point(g.device, 5, 5, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(32, 8), kRed);
    EXPECT_EQ(Pixel(5, 5), 0u);
}

TEST_F(GraphicsTest, ProjectionAngleTurnsTheViewLikeTheMouseMapping) {
    // The room drawn through a turned view must land where the view mapping says it does.
    for (double angle : {90.0, 180.0, 30.0}) {
        g.device.Clear(0xFF000000);
        g.device.SetViewport(0, 0, 48, 48);
        g.device.SetProjection(0, 0, 48, 48, angle);
        WindowState ws;
        ws.SetViewSlot(0, angle, 0, 0, 48, 48, 0, 0, 48, 48);
        struct Mark {
            double x, y;
        } const marks[] = {{34, 24}, {24, 36}, {10, 14}};
        for (const Mark& m : marks) Point(g.device, float(m.x), float(m.y), 0xFFFFFFFF);
        for (const Mark& m : marks) {
            double rx = 0, ry = 0;
            ws.RoomToView(0, m.x, m.y, rx, ry);
            // Rounding of a turned point can move it by one pixel either way.
            bool found = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    found |= Pixel(int(rx) + dx, int(ry) + dy) == 0xFFFFFFu;
            EXPECT_TRUE(found) << angle << ": " << m.x << "," << m.y << " -> " << rx << "," << ry;
        }
    }
    // Exact at 180 degrees: turned about the centre (24, 24), a pixel boundary.
    g.device.Clear(0xFF000000);
    g.device.SetProjection(0, 0, 48, 48, 180);
    Point(g.device, 3, 5, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(48 - 3, 48 - 5), 0xFFFFFFu);
}

TEST_F(GraphicsTest, RenderTargetsStoreTheTopRowFirst) {
    int32_t tw = 0, th = 0;
    const DeviceTexture t = g.device.CreateTexture(8, 4, true, tw, th);
    ASSERT_NE(t, 0u);
    ASSERT_TRUE(g.device.SetRenderTarget(t));
    g.device.SetViewport(0, 0, 8, 4);
    g.device.SetProjection(0, 0, 8, 4, 0);
    g.device.Clear(0x00000000);
    Point(g.device, 1, 0, 0xFFFF0000);
    CBitmap32 row = g.device.CaptureTexture(t, 0, 0, 8, 1);
    ASSERT_TRUE(row.exists);
    EXPECT_EQ(row.At(1, 0), 0xFFFF0000u);
    EXPECT_EQ(row.At(0, 0), 0u);  // render targets keep their alpha
    ASSERT_TRUE(g.device.SetRenderTarget(0));
    g.device.SetViewport(0, 0, 64, 48);
    g.device.SetProjection(0, 0, 64, 48, 0);
    g.device.Clear(0xFF000000);
    // Drawn as a texture it keeps its orientation.
    g.device.SelectTexture(t);
    const float u = 8.0f / float(tw), v = 4.0f / float(th);
    const TexVertex q[4] = {{-0.5f, -0.5f, 0, 0xFFFFFFFF, 0, 0},
                            {7.5f, -0.5f, 0, 0xFFFFFFFF, u, 0},
                            {7.5f, 3.5f, 0, 0xFFFFFFFF, u, v},
                            {-0.5f, 3.5f, 0, 0xFFFFFFFF, 0, v}};
    g.device.Draw(Primitive::TriangleFan, std::span<const TexVertex>(q, 4));
    EXPECT_EQ(Pixel(1, 0), kRed);
    EXPECT_EQ(Pixel(1, 3), 0u);
}

TEST_F(GraphicsTest, CaptureIsClippedToTheRegion) {
    g.device.Clear(0xFF000000);
    Point(g.device, 0, 0, 0xFFFF0000);
    CBitmap32 b = g.device.Capture(-5, -5, 10, 10);
    ASSERT_TRUE(b.exists);
    EXPECT_EQ(b.width, 10);  // x and y move to 0, the size is only cut at the far side
    EXPECT_EQ(b.height, 10);
    EXPECT_EQ(b.At(0, 0), 0xFFFF0000u);
    b = g.device.Capture(60, 40, 10, 10);
    EXPECT_EQ(b.width, 4);
    EXPECT_EQ(b.height, 8);
    EXPECT_FALSE(g.device.Capture(64, 0, 5, 5).exists);
    EXPECT_FALSE(g.device.Capture(0, 0, 0, 5).exists);
    // A surface as render target does not change what is captured.
    const int32_t s = g.surfaces.Create(4, 4);
    ASSERT_TRUE(g.surfaces.SetTarget(s));
    g.device.Clear(0xFF00FF00);
    EXPECT_EQ(Pixel(0, 0), kRed);
}

TEST_F(GraphicsTest, DepthTestWorksOnlyIn3DMode) {
    auto at_depth = [](float z, uint32_t argb) {
        std::vector<PlainVertex> v = {{-0.5f, -0.5f, z, argb},
                                      {9.5f, -0.5f, z, argb},
                                      {9.5f, 9.5f, z, argb},
                                      {-0.5f, 9.5f, z, argb}};
        return v;
    };
    g.device.Clear(0xFF000000);
    auto near = at_depth(-100, 0xFFFF0000), far = at_depth(100, 0xFF00FF00);
    // 2D: hidden-surface removal is off, the last drawn wins.
    g.device.Draw(Primitive::TriangleFan, std::span<const PlainVertex>(near));
    g.device.Draw(Primitive::TriangleFan, std::span<const PlainVertex>(far));
    EXPECT_EQ(Pixel(5, 5), kGreen);
    g.device.Set3DMode(true, false);
    g.device.SetProjection(0, 0, 64, 48, 0);
    g.device.ClearZ();
    g.device.Draw(Primitive::TriangleFan, std::span<const PlainVertex>(near));
    g.device.Draw(Primitive::TriangleFan, std::span<const PlainVertex>(far));
    EXPECT_EQ(Pixel(5, 5), kRed);
}

TEST_F(GraphicsTest, FogMixesTowardsItsColourOverTheViewDepth) {
    // 2D vertices lie 16000 in front of the eye: halfway between 0 and 32000.
    g.device.Clear(0xFF000000);
    g.device.SetFog(true, kRed, 0, 32000);
    FillRect(g.device, 0, 0, 4, 4, 0xFFFFFFFF);
    EXPECT_TRUE(Near(Pixel(1, 1), 0x8080FF)) << std::hex << Pixel(1, 1);
    g.device.SetFog(true, kRed, 0, 8000);  // beyond the end: all fog
    FillRect(g.device, 0, 0, 4, 4, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(1, 1), kRed);
    g.device.SetFog(false, kRed, 0, 8000);
    FillRect(g.device, 0, 0, 4, 4, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(1, 1), 0xFFFFFFu);
}

TEST_F(GraphicsTest, LightsShadeVerticesByTheirNormals) {
    auto quad = [](float nz) {
        std::vector<LitVertex> v;
        for (auto [x, y] : {std::pair{-0.5f, -0.5f}, {9.5f, -0.5f}, {9.5f, 9.5f}, {-0.5f, 9.5f}})
            v.push_back({x, y, 0, 0, 0, nz, 0xFF80C0FF, 0, 0});
        return v;
    };
    g.device.Set3DMode(true, false);
    g.device.SetProjection(0, 0, 64, 48, 0);
    g.device.SetLighting(true);
    DeviceLight light;
    light.z = 1;  // shining along the view direction
    light.color = 0xFFFFFFFF;
    g.device.SetLight(0, light);
    g.device.Clear(0xFF000000);
    g.device.SetDepthTest(false);
    g.device.Draw(Primitive::TriangleFan, std::span<const LitVertex>(quad(-1)));
    EXPECT_EQ(Pixel(5, 5), 0u);  // defined, not enabled: no ambient light either
    g.device.EnableLight(0, true);
    g.device.Draw(Primitive::TriangleFan, std::span<const LitVertex>(quad(-1)));
    EXPECT_EQ(Pixel(5, 5), 0xFFC080u);  // facing the light: the vertex colour
    g.device.Draw(Primitive::TriangleFan, std::span<const LitVertex>(quad(1)));
    EXPECT_EQ(Pixel(5, 5), 0u);  // facing away
    // Vertices without normals get only the ambient light.
    g.device.SetAmbient(0xFF808080);
    FillRect(g.device, 20, 0, 24, 4, 0xFFFFFFFF);
    EXPECT_TRUE(Near(Pixel(21, 1), 0x808080)) << std::hex << Pixel(21, 1);
}

TEST_F(GraphicsTest, ResetLosesRenderTargetsAndKeepsTextures) {
    const int32_t t = SolidTexture(2, 2, 0xFF0000FF);
    const int32_t s = g.surfaces.Create(8, 8);
    ASSERT_TRUE(g.surfaces.SetTarget(s));
    ASSERT_TRUE(ResetDevice(g));
    EXPECT_FALSE(g.surfaces.Exists(s));
    EXPECT_EQ(g.surfaces.Target(), -1);
    EXPECT_EQ(g.device.RenderTarget(), 0u);
    g.device.Clear(0xFF000000);
    g.textures.DrawSimple(t, 3, 3);
    EXPECT_EQ(Pixel(3, 3), kBlue);
}

TEST_F(GraphicsTest, DisplayModesAreTestedWithoutSwitching) {
    const int32_t w = g.device.ScreenWidth(), h = g.device.ScreenHeight();
    EXPECT_TRUE(g.device.TestDisplayMode(0, 0, 0, 0));  // the current mode
    EXPECT_TRUE(g.device.TestDisplayMode(w, h, 0, g.device.DisplayDepth()));
    EXPECT_FALSE(g.device.TestDisplayMode(w + 1, h, 0, 0));
    EXPECT_FALSE(g.device.TestDisplayMode(0, 0, 0, 15));
    EXPECT_EQ(g.device.ScreenWidth(), w);
}

TEST(GraphicsDeviceTest, EverythingIsHarmlessWithoutADevice) {
    Graphics g;
    g.device.Clear(0xFFFFFFFF);
    EXPECT_FALSE(g.device.BeginScene());
    EXPECT_FALSE(g.device.Capture(0, 0, 4, 4).exists);
    EXPECT_EQ(g.textures.FromBitmap(CBitmap32(2, 2)), -1);
    EXPECT_EQ(g.surfaces.Create(4, 4), -1);
    EXPECT_FALSE(g.surfaces.ResetTarget());
    g.textures.DrawSimple(0, 0, 0);
    g.device.Flush();
}

TEST(MatrixTest, TwoDimensionalProjectionMapsTheRectangleToTheDeviceSquare) {
    Matrix4 view, proj;
    ProjectionFor2D(100, 50, 200, 100, 0, false, view, proj);
    const Matrix4 vp = Multiply(view, proj);
    const Vec3 top_left = TransformPoint(vp, {100, 50, 0});
    const Vec3 bottom_right = TransformPoint(vp, {300, 150, 0});
    EXPECT_NEAR(top_left.x, -1, 1e-6);
    EXPECT_NEAR(top_left.y, 1, 1e-6);  // room y grows downward
    EXPECT_NEAR(bottom_right.x, 1, 1e-6);
    EXPECT_NEAR(bottom_right.y, -1, 1e-6);
    EXPECT_NEAR(top_left.z, 16000.0 / 31999.0 - 1.0 / 31999.0, 1e-6);
}

}  // namespace
}  // namespace tb
