// Splash screens: pictures decoded through FFmpeg's libraries, files that are no picture,
// and the placement of a picture in the panel.
#include <gtest/gtest.h>

#include "graphics/bmp.h"
#include "graphics/screen_files.h"
#include "harness.h"
#include "platform/audio_decoder.h"
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

// A video's sound track as the sound engine reads it: the samples in order, in its rate and
// channels, from the start again after a rewind; a file without sound gives none.
TEST(SplashVideoSound, DecodedAsItIsRead) {
    test::ScratchDir dir;
    const std::string wav = (dir.path / "tone.wav").string();
    std::vector<float> samples;
    for (int i = 0; i < 3000; ++i) {
        samples.push_back(float(i % 100) / 200.0f);
        samples.push_back(-float(i % 50) / 100.0f);
    }
    {
        auto writer = WavWriter::Create(wav, 22050, 2);
        ASSERT_TRUE(writer);
        writer->Write(samples.data(), samples.size() / 2);
    }
    std::unique_ptr<PcmSource> sound = OpenVideoSound(wav);
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->channels, 2);
    EXPECT_EQ(sound->rate, 22050);
    std::vector<float> got(samples.size() + 200, 9.0f);
    size_t n = 0;
    while (size_t k = sound->Read(got.data() + n * 2, 700)) n += k;  // reads across frames
    ASSERT_EQ(n, samples.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) ASSERT_NEAR(got[i], samples[i], 1.0 / 16384) << i;
    ASSERT_TRUE(sound->Rewind());
    float first[4] = {};
    ASSERT_EQ(sound->Read(first, 2), 2u);
    EXPECT_NEAR(first[2], samples[2], 1.0 / 16384);

    test::WriteBytes(dir.path / "p.png", EncodePng(Pattern()));
    EXPECT_FALSE(OpenVideoSound((dir.path / "p.png").string()));
    EXPECT_FALSE(OpenVideoSound((dir.path / "missing.avi").string()));
}

}  // namespace
}  // namespace tb
