// Splash screens: pictures decoded through FFmpeg's libraries, files that are no picture,
// and the placement of a picture in the panel.
#include <gtest/gtest.h>

#include "graphics/bmp.h"
#include "graphics/screen_files.h"
#include "harness.h"
#include "platform/dialog_windows.h"
#include "platform/video_decoder.h"

namespace tb {
namespace {

CBitmap32 Pattern() {
    CBitmap32 b(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            b.At(x, y) = 0xFF000000u | uint32_t(x * 50) << 16 | uint32_t(y * 100) << 8 | 7;
    return b;
}

TEST(SplashPictures, DecodedWithTheirPixels) {
    test::ScratchDir dir;
    const CBitmap32 b = Pattern();
    test::WriteBytes(dir.path / "p.png", EncodePng(b));
    test::WriteBytes(dir.path / "p.bmp", EncodeBmp(b));
    for (const char* name : {"p.png", "p.bmp"}) {
        CBitmap32 d = DecodePictureFile(dir / name);
        ASSERT_TRUE(d.exists) << name;
        EXPECT_EQ(d.width, 5);
        EXPECT_EQ(d.height, 3);
        EXPECT_EQ(d.pixels, b.pixels) << name;
    }
}

TEST(SplashPictures, WhatCannotBeDecodedIsRefused) {
    test::ScratchDir dir;
    test::WriteText(dir.path / "junk.avi", std::string(4096, 'x'));
    std::vector<uint8_t> png = EncodePng(Pattern());
    png.resize(png.size() / 2);  // cut off in the middle of its data
    test::WriteBytes(dir.path / "cut.png", png);
    test::WriteText(dir.path / "empty.mpg", "");
    for (const char* name : {"junk.avi", "empty.mpg", "missing.avi"}) {
        VideoDecoder v;
        EXPECT_FALSE(v.Open(dir / name)) << name;
        EXPECT_FALSE(DecodePictureFile(dir / name).exists) << name;
    }
    // A picture cut short decodes to what its data gives, or to nothing; never past it.
    CBitmap32 cut = DecodePictureFile(dir / "cut.png");
    if (cut.exists) {
        EXPECT_EQ(cut.pixels.size(), size_t(cut.width) * size_t(cut.height));
    }
}

TEST(SplashPictures, PlacementInThePanel) {
    const struct {
        int pw, ph, w, h;
        double scale;
        SplashPlacement want;
    } cases[] = {
        {320, 240, 640, 480, -1, {0, 0, 640, 480}},     // fitted: factor 2
        {320, 240, 640, 480, 1, {160, 120, 320, 240}},  // unscaled, centred
        {320, 240, 640, 600, 0, {0, 60, 640, 480}},     // the smaller factor fits
        {100, 100, 50, 80, 0.5, {0, 15, 50, 50}},
    };
    for (const auto& c : cases) {
        SplashPlacement p = PlaceSplash(c.pw, c.ph, c.w, c.h, c.scale);
        EXPECT_EQ(p.x, c.want.x);
        EXPECT_EQ(p.y, c.want.y);
        EXPECT_EQ(p.w, c.want.w);
        EXPECT_EQ(p.h, c.want.h);
    }
}

}  // namespace
}  // namespace tb
