// The texture table and its quads, checked on read-back frames.
#include <vector>

#include "gfx_harness.h"

namespace tb {
namespace {

using test::GraphicsTest;

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

struct TexturesTest : GraphicsTest {
    void SetUp() override {
        GraphicsTest::SetUp();
        g.device.Clear(0xFF000000);
    }
    // A bitmap whose left `split` columns are one colour and the rest another.
    static CBitmap32 Halves(int32_t w, int32_t h, int32_t split, uint32_t left, uint32_t right) {
        CBitmap32 b(w, h);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) b.At(x, y) = x < split ? left : right;
        return b;
    }
    // The columns of row y in [x0, x1) that show `bgr`.
    std::vector<int> Columns(int y, int x0, int x1, uint32_t bgr) {
        std::vector<int> out;
        for (int x = x0; x < x1; ++x)
            if (Pixel(x, y) == bgr) out.push_back(x);
        return out;
    }
};

TEST_F(TexturesTest, ImagesArePaddedWithTheirLastColumnAndRow) {
    CBitmap32 b(33, 17, 0xFF0000FF);
    for (int y = 0; y < 17; ++y) b.At(32, y) = 0xFFFF0000;  // last column red
    for (int x = 0; x < 32; ++x) b.At(x, 16) = 0xFF00FF00;  // last row green
    const int32_t id = g.textures.FromBitmap(b);
    ASSERT_GE(id, 0);
    const RTexture* t = g.textures.Get(id);
    EXPECT_EQ(t->texture_width, 64);
    EXPECT_EQ(t->texture_height, 32);
    EXPECT_DOUBLE_EQ(g.textures.WidthFraction(id), 33.0 / 64);
    EXPECT_DOUBLE_EQ(g.textures.HeightFraction(id), 17.0 / 32);
    // Texel column 33 repeats column 32, row 17 repeats row 16; column 34 stays empty.
    g.textures.DrawPart(id, 33, 0, 2, 1, 0, 0, 1, 1, 0, kWhite, 1);
    EXPECT_EQ(Pixel(0, 0), kRed);
    EXPECT_EQ(Pixel(1, 0), 0u);
    g.textures.DrawPart(id, 0, 17, 1, 2, 10, 0, 1, 1, 0, kWhite, 1);
    EXPECT_EQ(Pixel(10, 0), kGreen);
    EXPECT_EQ(Pixel(10, 1), 0u);
    g.textures.DrawPart(id, 33, 17, 1, 1, 20, 0, 1, 1, 0, kWhite, 1);
    EXPECT_EQ(Pixel(20, 0), kRed);  // the corner repeats the last row's extra pixel
}

TEST_F(TexturesTest, AnImageOfTextureSizeFillsItExactly) {
    const int32_t id = SolidTexture(32, 16, 0xFFFFFFFF);
    ASSERT_GE(id, 0);
    EXPECT_DOUBLE_EQ(g.textures.WidthFraction(id), 1);
    EXPECT_DOUBLE_EQ(g.textures.HeightFraction(id), 1);
    EXPECT_DOUBLE_EQ(g.textures.WidthFraction(id + 1), 1);  // no such texture
}

TEST_F(TexturesTest, SimpleQuadsCoverExactPixelsAndTexelsEvenWhenFiltered) {
    CBitmap32 b(2, 2);
    b.At(0, 0) = 0xFFFF0000;
    b.At(1, 0) = 0xFF00FF00;
    b.At(0, 1) = 0xFF0000FF;
    b.At(1, 1) = 0xFFFFFFFF;
    const int32_t id = g.textures.FromBitmap(b);
    for (bool filter : {false, true}) {
        g.device.SetInterpolation(filter);
        g.device.Clear(0xFF000000);
        g.textures.DrawSimple(id, 5, 7);
        EXPECT_EQ(Pixel(5, 7), kRed) << filter;
        EXPECT_EQ(Pixel(6, 7), kGreen) << filter;
        EXPECT_EQ(Pixel(5, 8), kBlue) << filter;
        EXPECT_EQ(Pixel(6, 8), kWhite) << filter;
        EXPECT_EQ(Pixel(4, 7), 0u);
        EXPECT_EQ(Pixel(7, 7), 0u);
        EXPECT_EQ(Pixel(5, 9), 0u);
    }
}

TEST_F(TexturesTest, ExtQuadsScaleAboutTheOriginAndModulateColourAndAlpha) {
    const int32_t id = SolidTexture(4, 2, 0xFFFFFFFF);
    // Origin (2, 1), scale (2, 3) at (20, 20): x 16 .. 24, y 17 .. 23.
    g.textures.DrawExt(id, 2, 1, 20, 20, 2, 3, 0, kRed, 1);
    EXPECT_EQ(Columns(18, 10, 30, kRed), (std::vector<int>{16, 17, 18, 19, 20, 21, 22, 23}));
    EXPECT_EQ(Pixel(20, 16), 0u);
    EXPECT_EQ(Pixel(20, 17), kRed);
    EXPECT_EQ(Pixel(20, 22), kRed);
    EXPECT_EQ(Pixel(20, 23), 0u);
    // Negative scale mirrors about the origin: x 4 .. 8 for xorig 0 at x 8.
    g.device.Clear(0xFF000000);
    g.textures.DrawExt(id, 0, 0, 8, 0, -1, 1, 0, kWhite, 1);
    EXPECT_EQ(Columns(0, 0, 12, kWhite), (std::vector<int>{4, 5, 6, 7}));
    // Alpha 0.5 over black.
    g.device.Clear(0xFF000000);
    g.textures.DrawExt(id, 0, 0, 0, 0, 1, 1, 0, kWhite, 0.5);
    EXPECT_EQ(Pixel(0, 0), 0x808080u);
}

TEST_F(TexturesTest, RotationTurnsCounterClockwiseAboutThePoint) {
    const int32_t id = g.textures.FromBitmap(Halves(4, 2, 2, 0xFFFF0000, 0xFF00FF00));
    // 90 degrees at (10, 10), origin (0, 0): the image's x axis points up the screen.
    g.textures.DrawExt(id, 0, 0, 10, 10, 1, 1, 90, kWhite, 1);
    for (int x : {10, 11}) {
        EXPECT_EQ(Pixel(x, 10), kRed) << x;
        EXPECT_EQ(Pixel(x, 9), kRed) << x;
        EXPECT_EQ(Pixel(x, 8), kGreen) << x;
        EXPECT_EQ(Pixel(x, 7), kGreen) << x;
        EXPECT_EQ(Pixel(x, 6), 0u) << x;
        EXPECT_EQ(Pixel(x, 11), 0u) << x;
    }
    EXPECT_EQ(Pixel(12, 9), 0u);
    // Half a degree is below the threshold (0.01 radians): drawn exactly unturned.
    g.device.Clear(0xFF000000);
    g.textures.DrawExt(id, 0, 0, 30, 30, 1, 1, 0.5, kWhite, 1);
    EXPECT_EQ(Columns(30, 28, 36, kRed), (std::vector<int>{30, 31}));
    EXPECT_EQ(Columns(31, 28, 36, kGreen), (std::vector<int>{32, 33}));
    EXPECT_EQ(Pixel(30, 32), 0u);
}

TEST_F(TexturesTest, PartAndGeneralQuadsTakeTheirRectangleAndCornerColours) {
    CBitmap32 b(4, 4, 0xFF000000);
    b.At(2, 1) = 0xFFFFFFFF;
    b.At(3, 1) = 0xFF00FF00;
    const int32_t id = g.textures.FromBitmap(b);
    g.device.SetInterpolation(false);  // scaled texels stay exact
    g.textures.DrawPart(id, 2, 1, 2, 1, 10, 10, 2, 2, 0, kWhite, 1);
    EXPECT_EQ(Columns(10, 8, 16, kWhite), (std::vector<int>{10, 11}));
    EXPECT_EQ(Columns(11, 8, 16, kGreen), (std::vector<int>{12, 13}));
    EXPECT_EQ(Pixel(10, 12), 0u);
    // Corner colours: a white texel shows each corner's colour at the corner pixels.
    const int32_t white = SolidTexture(8, 8, 0xFFFFFFFF);
    g.device.Clear(0xFF000000);
    g.textures.DrawGeneral(white, 0, 0, 8, 8, 30, 30, 1, 1, 0, kRed, kGreen, kBlue, kWhite, 1);
    auto near = [](uint32_t got, uint32_t want) {
        for (int s = 0; s < 24; s += 8)
            if (int(got >> s & 0xFF) - int(want >> s & 0xFF) > 40 ||
                int(want >> s & 0xFF) - int(got >> s & 0xFF) > 40)
                return false;
        return true;
    };
    EXPECT_TRUE(near(Pixel(30, 30), kRed));
    EXPECT_TRUE(near(Pixel(37, 30), kGreen));
    EXPECT_TRUE(near(Pixel(37, 37), kBlue));
    EXPECT_TRUE(near(Pixel(30, 37), kWhite));
}

TEST_F(TexturesTest, TiledDrawingStartsAtOrBeforeTheRegionAndCoversIt) {
    // An 8-pixel tile whose first column is red: the red columns show where tiles start.
    const int32_t id = g.textures.FromBitmap(Halves(8, 2, 1, 0xFFFF0000, 0xFF00FF00));
    struct Case {
        double x;
        bool htiled;
        double left, width;
        std::vector<int> starts;  // red columns within 0 .. 64
    } const cases[] = {
        {-10, true, 0, 64, {6, 14, 22, 30, 38, 46, 54, 62}},
        {3, true, 0, 64, {3, 11, 19, 27, 35, 43, 51, 59}},
        {3, true, 20, 10, {19, 27}},  // first tile at or before 20, last one starting below 30
        {16, true, 0, 16, {0, 8}},
        {-10, false, 0, 64, {}},  // one tile at -10: its red column is off the region
        {13, false, 0, 64, {13}},
        {2.5, false, 0, 64, {2}},  // round half to even
    };
    for (const Case& c : cases) {
        g.device.Clear(0xFF000000);
        g.textures.DrawTiled(id, c.htiled, false, 0, 0, c.x, 0, 1, 1, c.left, 0, c.width, 48,
                             kWhite, 1);
        EXPECT_EQ(Columns(0, 0, 64, kRed), c.starts) << c.x << " " << c.left;
    }
    // Vertical tiling with scale: tiles of 8 x 4 (scale 1, 2) from y = -1 fill every row.
    g.device.Clear(0xFF000000);
    g.textures.DrawTiled(id, false, true, 0, 0, 0, -1, 1, 2, 0, 0, 64, 48, kWhite, 1);
    for (int y = 0; y < 48; ++y) ASSERT_EQ(Pixel(0, y), kRed) << y;
    // A scaled tile smaller than a pixel draws nothing.
    g.device.Clear(0xFF000000);
    g.textures.DrawTiled(id, true, true, 0, 0, 0, 0, 0.05, 1, 0, 0, 64, 48, kWhite, 1);
    EXPECT_EQ(Pixel(0, 0), 0u);
}

TEST_F(TexturesTest, AlphaTexturesAreWhiteWithTheGivenCoverage) {
    const uint8_t alpha[4] = {0, 255, 128, 64};
    const int32_t id = g.textures.FromAlpha(2, 2, alpha);
    ASSERT_GE(id, 0);
    g.textures.DrawSimple(id, 0, 0);
    EXPECT_EQ(Pixel(0, 0), 0u);
    EXPECT_EQ(Pixel(1, 0), kWhite);
    EXPECT_EQ(Pixel(0, 1), 0x808080u);
    EXPECT_EQ(Pixel(1, 1), 0x404040u);
}

TEST_F(TexturesTest, IdsAreReusedAndMissingIdsDrawNothing) {
    const int32_t a = SolidTexture(2, 2, 0xFFFFFFFF), b = SolidTexture(2, 2, 0xFFFFFFFF);
    EXPECT_EQ(b, a + 1);
    g.textures.Free(a);
    EXPECT_FALSE(g.textures.Exists(a));
    EXPECT_EQ(SolidTexture(3, 3, 0xFFFF0000), a);
    EXPECT_EQ(g.textures.FromBitmap(CBitmap32()), -1);
    EXPECT_EQ(g.textures.FromBitmap(CBitmap32(0, 5)), -1);
    EXPECT_EQ(g.textures.Create(1 << 20, 4, false), -1);  // beyond the device's limit
    for (int32_t missing : {-1, 99}) {
        g.textures.DrawSimple(missing, 0, 0);
        g.textures.DrawExt(missing, 0, 0, 0, 0, 1, 1, 0, kWhite, 1);
        g.textures.DrawTiled(missing, true, true, 0, 0, 0, 0, 1, 1, 0, 0, 64, 48, kWhite, 1);
    }
    EXPECT_EQ(Pixel(0, 0), 0u);
    // Selecting a missing id selects none: textured vertices show their colour.
    g.textures.Select(99);
    const TexVertex v[3] = {{-0.5f, -0.5f, 0, 0xFF00FF00, 0, 0},
                            {4.5f, -0.5f, 0, 0xFF00FF00, 1, 0},
                            {-0.5f, 4.5f, 0, 0xFF00FF00, 0, 1}};
    g.device.Draw(Primitive::TriangleList, std::span<const TexVertex>(v, 3));
    EXPECT_EQ(Pixel(0, 0), kGreen);
}

TEST(DeviceColorTest, AlphaIsRoundedAndClamped) {
    struct Case {
        uint32_t bgr;
        double alpha;
        uint32_t argb;
    } const cases[] = {
        {0x0000FF, 1, 0xFFFF0000},
        {0xFF0000, 0, 0x000000FF},
        {0x123456, 0.5, 0x80563412},
        {0x00FF00, 2, 0xFF00FF00},
        {0x00FF00, -1, 0x0000FF00},
        {0xFFFFFF, 0.5 / 255, 0x00FFFFFF},  // 0.5 rounds to even: 0
        {0xFFFFFF, 1.5 / 255, 0x02FFFFFF},  // 1.5 rounds to even: 2
    };
    for (const Case& c : cases) EXPECT_EQ(DeviceColor(c.bgr, c.alpha), c.argb) << c.alpha;
}

}  // namespace
}  // namespace tb
