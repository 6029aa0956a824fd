// Drawing surfaces: the table, render targets, captures and the clipping of copies.
#include "gfx_harness.h"

namespace tb {
namespace {

using test::GraphicsTest;

constexpr uint32_t kRed = 0x0000FF, kWhite = 0xFFFFFF;

struct SurfacesTest : GraphicsTest {
    // Every pixel of a w x h surface a colour of its own: red = x, green = y, alpha 255.
    int32_t Numbered(int32_t w, int32_t h) {
        CBitmap32 b(w, h);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                b.At(x, y) = 0xFF000000u | uint32_t(x) << 16 | uint32_t(y) << 8;
        const int32_t t = g.textures.FromBitmap(b);
        const int32_t s = g.surfaces.Create(w, h);
        EXPECT_TRUE(g.surfaces.SetTarget(s));
        g.device.SetInterpolation(false);
        g.device.SetBlend(BlendFactor::One, BlendFactor::Zero);
        g.textures.DrawSimple(t, 0, 0);
        g.device.SetBlendMode(0);
        g.surfaces.ResetTarget();
        g.textures.Free(t);
        return s;
    }
    int32_t Cleared(int32_t w, int32_t h, uint32_t argb) {
        const int32_t s = g.surfaces.Create(w, h);
        EXPECT_TRUE(g.surfaces.SetTarget(s));
        g.device.Clear(argb);
        g.surfaces.ResetTarget();
        return s;
    }
};

TEST_F(SurfacesTest, TableGettersAndIdReuse) {
    const int32_t a = g.surfaces.Create(10, 6), b = g.surfaces.Create(3, 3);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(g.surfaces.Width(a), 10);
    EXPECT_EQ(g.surfaces.Height(a), 6);
    EXPECT_TRUE(g.textures.Exists(g.surfaces.Texture(a)));
    const int32_t texture = g.surfaces.Texture(a);
    g.surfaces.Free(a);
    EXPECT_FALSE(g.surfaces.Exists(a));
    EXPECT_FALSE(g.textures.Exists(texture));
    for (int32_t missing : {a, -1, 7}) {
        EXPECT_EQ(g.surfaces.Width(missing), -1);
        EXPECT_EQ(g.surfaces.Height(missing), -1);
        EXPECT_EQ(g.surfaces.Texture(missing), -1);
        EXPECT_FALSE(g.surfaces.SetTarget(missing));
    }
    EXPECT_EQ(g.surfaces.Create(4, 4), a);
    EXPECT_EQ(g.surfaces.Create(0, 4), -1);
}

TEST_F(SurfacesTest, TargetsSwitchDirectlyAndResetOnlyOnce) {
    const int32_t a = g.surfaces.Create(8, 8), b = g.surfaces.Create(8, 8);
    g.device.Clear(0xFF000000);
    ASSERT_TRUE(g.surfaces.SetTarget(a));
    EXPECT_TRUE(g.surfaces.SetTarget(a));
    g.device.Clear(0xFFFF0000);
    ASSERT_TRUE(g.surfaces.SetTarget(b));
    EXPECT_EQ(g.surfaces.Target(), b);
    g.device.Clear(0xFF00FF00);
    EXPECT_TRUE(g.surfaces.ResetTarget());
    EXPECT_FALSE(g.surfaces.ResetTarget());
    EXPECT_EQ(g.surfaces.GetPixel(a, 0, 0), kRed);
    EXPECT_EQ(g.surfaces.GetPixel(b, 7, 7), 0x00FF00u);
    EXPECT_EQ(Pixel(0, 0), 0u);  // the back buffer was never touched
    // Back on the back buffer the viewport is the whole region again.
    g.device.Clear(0xFFFFFFFF);
    EXPECT_EQ(Pixel(63, 47), kWhite);
    // Freeing the current target returns to the back buffer.
    ASSERT_TRUE(g.surfaces.SetTarget(a));
    g.surfaces.Free(a);
    EXPECT_EQ(g.surfaces.Target(), -1);
    EXPECT_EQ(g.device.RenderTarget(), 0u);
}

TEST_F(SurfacesTest, DrawnSurfacesKeepOrientationAndAlpha) {
    const int32_t s = Cleared(16, 8, 0x00000000);
    ASSERT_TRUE(g.surfaces.SetTarget(s));
    const int32_t dot = SolidTexture(1, 1, 0xFFFF0000);
    g.textures.DrawSimple(dot, 2, 1);
    g.surfaces.ResetTarget();
    CBitmap32 c = g.surfaces.Capture(s, 0, 0, 16, 8);
    ASSERT_TRUE(c.exists);
    EXPECT_EQ(c.At(2, 1), 0xFFFF0000u);
    EXPECT_EQ(c.At(3, 1), 0u);  // cleared to transparent, and it stays so
    g.device.Clear(0xFFFFFFFF);
    g.textures.DrawSimple(g.surfaces.Texture(s), 10, 20);
    EXPECT_EQ(Pixel(12, 21), kRed);
    EXPECT_EQ(Pixel(13, 21), kWhite);  // transparent parts show what was there
}

TEST_F(SurfacesTest, CaptureClipsToTheSurface) {
    const int32_t s = Numbered(8, 6);
    CBitmap32 c = g.surfaces.Capture(s, -3, 2, 20, 20);
    ASSERT_TRUE(c.exists);
    EXPECT_EQ(c.width, 8);
    EXPECT_EQ(c.height, 4);
    EXPECT_EQ(c.At(5, 0), 0xFF050200u);
    EXPECT_FALSE(g.surfaces.Capture(s, 8, 0, 4, 4).exists);
    EXPECT_FALSE(g.surfaces.Capture(s, 0, 0, 0, 4).exists);
    EXPECT_FALSE(g.surfaces.Capture(s + 1, 0, 0, 4, 4).exists);
    EXPECT_EQ(g.surfaces.GetPixel(s, 3, 4), 0x000403u);  // BGR
    EXPECT_EQ(g.surfaces.GetPixel(s, 9, 4), 0u);
}

TEST_F(SurfacesTest, CopyPartClipsSourceFirstThenDestination) {
    struct Case {
        int32_t x, y, xs, ys, ws, hs;
        // The copied rectangle that results: destination (dx, dy), source (sx, sy), size.
        int32_t dx, dy, sx, sy, w, h;
    } const cases[] = {
        {1, 2, 0, 0, 3, 2, 1, 2, 0, 0, 3, 2},
        {0, 0, -5, 0, 8, 1, 5, 0, 0, 0, 3, 1},    // negative xs shifts x right and shortens
        {0, 0, 0, -2, 1, 4, 0, 2, 0, 0, 1, 2},    // the same vertically
        {0, 0, 6, 0, 10, 1, 0, 0, 6, 0, 2, 1},    // cut to the source
        {-3, 0, 0, 0, 8, 1, 0, 0, 3, 0, 5, 1},    // negative x shifts xs right
        {7, 5, 0, 0, 8, 8, 7, 5, 0, 0, 3, 3},     // cut to the 10 x 8 destination
        {0, 0, 9, 0, 3, 3, 0, 0, 0, 0, 0, 0},     // nothing left of the source
        {-2, -1, -1, 0, 8, 6, 0, 0, 1, 1, 6, 5},  // both shifts
    };
    const int32_t src = Numbered(8, 6);
    for (const Case& c : cases) {
        const int32_t dest = Cleared(10, 8, 0x00000000);
        g.surfaces.CopyPart(dest, c.x, c.y, src, c.xs, c.ys, c.ws, c.hs);
        CBitmap32 got = g.surfaces.Capture(dest, 0, 0, 10, 8);
        ASSERT_TRUE(got.exists);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 10; ++x) {
                const bool inside = x >= c.dx && x < c.dx + c.w && y >= c.dy && y < c.dy + c.h;
                const uint32_t want = inside ? 0xFF000000u | uint32_t(x - c.dx + c.sx) << 16 |
                                                   uint32_t(y - c.dy + c.sy) << 8
                                             : 0u;
                ASSERT_EQ(got.At(x, y), want)
                    << "case x=" << c.x << " xs=" << c.xs << " at " << x << "," << y;
            }
        g.surfaces.Free(dest);
    }
    // A missing surface on either side copies nothing.
    const int32_t dest = Cleared(4, 4, 0x00000000);
    g.surfaces.CopyPart(dest, 0, 0, src + 5, 0, 0, 4, 4);
    g.surfaces.Copy(src + 5, 0, 0, src);
    EXPECT_EQ(g.surfaces.GetPixel(dest, 1, 1), 0u);
    g.surfaces.Copy(dest, 1, 1, src);
    EXPECT_EQ(g.surfaces.Capture(dest, 2, 2, 1, 1).pixels[0], 0xFF010100u);
}

TEST_F(SurfacesTest, ReachingPastTheInt32RangeCopiesNothing) {
    const int32_t src = Numbered(4, 4);
    const int32_t dest = Cleared(4, 4, 0x00000000);
    g.surfaces.CopyPart(dest, INT32_MIN, INT32_MIN, src, INT32_MIN, INT32_MIN, INT32_MAX,
                        INT32_MAX);
    g.surfaces.CopyPart(dest, INT32_MAX, 0, src, 0, 0, INT32_MAX, 4);
    EXPECT_EQ(g.surfaces.Capture(dest, 0, 0, 4, 4), CBitmap32(4, 4, 0));
    EXPECT_FALSE(g.surfaces.Capture(dest, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX).exists);
}

}  // namespace
}  // namespace tb
