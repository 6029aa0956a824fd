// The picture loader: each format decodes to the pixels its writer was given, animated GIFs
// compose their frames with the disposal rule, and damaged or oversized files fail cleanly.
#include "graphics/pictures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bmp.h"

namespace tb {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

// A 4 x 2 picture: red, green, blue, white on top; the bottom row half transparent.
CBitmap32 Sample() {
    CBitmap32 b(4, 2);
    b.At(0, 0) = kRed;
    b.At(1, 0) = kGreen;
    b.At(2, 0) = kBlue;
    b.At(3, 0) = 0xFFFFFFFFu;
    for (int x = 0; x < 4; ++x) b.At(x, 1) = x < 2 ? 0x00000000u : 0x80102030u;
    return b;
}

void Put32(std::vector<uint8_t>& o, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) o.push_back(uint8_t(v >> s));
}

// A PNG signature and IHDR chunk claiming a size, with a correct CRC, and nothing else.
std::vector<uint8_t> PngHeader(uint32_t w, uint32_t h) {
    std::vector<uint8_t> o = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Put32(o, 13);
    const size_t type_at = o.size();
    for (char c : std::string("IHDR")) o.push_back(uint8_t(c));
    Put32(o, w);
    Put32(o, h);
    for (uint8_t v : {8, 6, 0, 0, 0}) o.push_back(v);
    Put32(o, uint32_t(crc32(0, o.data() + type_at, 17)));
    return o;
}

TEST(Pictures, EachFormatDecodesToItsPixels) {
    const CBitmap32 sample = Sample();
    const Picture png = [&] {
        std::vector<uint8_t> bytes = EncodePngRgba(sample);
        return DecodePicture(bytes.data(), bytes.size());
    }();
    ASSERT_TRUE(png.image.exists);
    EXPECT_TRUE(png.has_alpha);
    EXPECT_EQ(png.image, sample);

    std::vector<uint8_t> bmp = EncodeBmp(sample, false);
    const Picture b = DecodePicture(bmp.data(), bmp.size());
    ASSERT_TRUE(b.image.exists);
    EXPECT_FALSE(b.has_alpha);
    EXPECT_EQ(b.image.At(1, 0), kGreen);

    // JPEG is lossy: a flat picture comes back within a few levels.
    const CBitmap32 flat(16, 16, 0xFF3070B0u);
    std::vector<uint8_t> jpeg = EncodeJpeg(flat, 95);
    const Picture j = DecodePicture(jpeg.data(), jpeg.size());
    ASSERT_TRUE(j.image.exists);
    EXPECT_FALSE(j.has_alpha);
    ASSERT_EQ(j.image.width, 16);
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(int(j.image.At(7, 7) >> shift & 0xFF), int(flat.At(0, 0) >> shift & 0xFF), 4);
    EXPECT_EQ(j.image.At(7, 7) >> 24, 255u);

    // A GIF as a picture is its first image, transparent where the image is.
    CBitmap32 first(2, 2, kRed);
    first.At(1, 1) = 0;
    std::vector<uint8_t> gif = EncodeGif(2, 2, {first, CBitmap32(2, 2, kBlue)}, {0, 0});
    const Picture g = DecodePicture(gif.data(), gif.size());
    ASSERT_TRUE(g.image.exists);
    EXPECT_TRUE(g.has_alpha);
    EXPECT_EQ(g.image.At(0, 0), kRed);
    EXPECT_EQ(g.image.At(1, 1) >> 24, 0u);
}

TEST(Pictures, DamagedAndOversizedDataFails) {
    std::vector<uint8_t> png = EncodePngRgba(Sample());
    std::vector<uint8_t> jpeg = EncodeJpeg(CBitmap32(32, 32, kRed), 90);
    std::vector<uint8_t> gif = EncodeGif(2, 2, {CBitmap32(2, 2, kRed)}, {0});
    const std::vector<std::vector<uint8_t>> bad = {
        {},
        {'n', 'o', 'p', 'e'},
        std::vector<uint8_t>(png.begin(), png.begin() + long(png.size() / 2)),
        std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20),
        std::vector<uint8_t>(gif.begin(), gif.begin() + 8),
        PngHeader(100000, 100000),
        PngHeader(40000, 1),
    };
    for (size_t i = 0; i < bad.size(); ++i)
        EXPECT_FALSE(DecodePicture(bad[i].data(), bad[i].size()).image.exists) << i;

    // A JPEG header claiming 60000 x 60000 is refused before any pixel is decoded.
    std::vector<uint8_t> big = jpeg;
    for (size_t i = 0; i + 8 < big.size(); ++i)
        if (big[i] == 0xFF && big[i + 1] == 0xC0) {
            big[i + 5] = 0xEA, big[i + 6] = 0x60, big[i + 7] = 0xEA, big[i + 8] = 0x60;
            break;
        }
    EXPECT_FALSE(DecodePicture(big.data(), big.size()).image.exists);
}

TEST(Pictures, GifFramesComposeWithTheDisposalRule) {
    // Frame 0: red with a transparent corner; frame 1 drawn over it (disposal 1 on frame 0
    // keeps it); frame 2 after frame 1's default disposal starts from the fill colour.
    CBitmap32 f0(2, 2, kRed), f1(2, 2, 0), f2(2, 2, 0);
    f0.At(1, 1) = 0;
    f1.At(0, 0) = kBlue;
    f2.At(1, 0) = kGreen;
    std::vector<uint8_t> gif = EncodeGif(2, 2, {f0, f1, f2}, {1, 2, 0});
    GifFrames frames;
    ASSERT_TRUE(DecodeGifFrames(gif.data(), gif.size(), frames));
    EXPECT_EQ(frames.width, 2);
    EXPECT_EQ(frames.height, 2);
    ASSERT_EQ(frames.frames.size(), 3u);
    EXPECT_EQ(frames.frames[0].At(0, 0), kRed);
    EXPECT_EQ(frames.frames[0].At(1, 1), kPictureFillPixel);
    EXPECT_EQ(frames.frames[1].At(0, 0), kBlue);
    EXPECT_EQ(frames.frames[1].At(1, 0), kRed);
    EXPECT_EQ(frames.frames[2].At(0, 0), kPictureFillPixel);
    EXPECT_EQ(frames.frames[2].At(1, 0), kGreen);
}

// A GIF of `count` images on a w x h screen, each image 1 x 1 of colour index 1 or, with
// iw = ih = 0, of no size; built by hand so that sizes the library's writer refuses can be
// written too.
std::vector<uint8_t> HandGif(uint16_t w, uint16_t h, int count, uint16_t iw, uint16_t ih) {
    std::vector<uint8_t> o = {'G', 'I', 'F', '8', '9', 'a'};
    auto u16 = [&](uint16_t v) {
        o.push_back(uint8_t(v));
        o.push_back(uint8_t(v >> 8));
    };
    u16(w);
    u16(h);
    o.insert(o.end(), {0x80, 0, 0});  // global table of 2 colours
    o.insert(o.end(), {0, 0, 0, 255, 0, 0});
    for (int i = 0; i < count; ++i) {
        o.push_back(0x2C);
        u16(0);
        u16(0);
        u16(iw);
        u16(ih);
        o.push_back(0);
        o.push_back(2);                                    // LZW minimum code size
        if (iw && ih) o.insert(o.end(), {2, 0x4C, 0x01});  // 1 x 1: clear, index 1, end
        o.push_back(0);
    }
    o.push_back(0x3B);
    return o;
}

TEST(Pictures, GifSizesAreBoundedBeforeAllocating) {
    GifFrames frames;
    // Thousands of tiny frames load; so do frames of no size, which change nothing.
    std::vector<uint8_t> many = HandGif(1, 1, 3000, 1, 1);
    ASSERT_TRUE(DecodeGifFrames(many.data(), many.size(), frames));
    EXPECT_EQ(frames.frames.size(), 3000u);
    EXPECT_EQ(frames.frames[2999].At(0, 0), kRed);

    std::vector<uint8_t> empty = HandGif(3, 2, 4, 0, 0);
    ASSERT_TRUE(DecodeGifFrames(empty.data(), empty.size(), frames));
    ASSERT_EQ(frames.frames.size(), 4u);
    EXPECT_EQ(frames.frames[3].At(2, 1), kPictureFillPixel);

    // A huge screen, and many frames of a large screen, are refused.
    std::vector<uint8_t> huge = HandGif(65535, 65535, 1, 1, 1);
    EXPECT_FALSE(DecodeGifFrames(huge.data(), huge.size(), frames));
    EXPECT_FALSE(DecodePicture(huge.data(), huge.size()).image.exists);
    std::vector<uint8_t> heavy = HandGif(6000, 6000, 2, 1, 1);
    EXPECT_FALSE(DecodeGifFrames(heavy.data(), heavy.size(), frames));
    EXPECT_TRUE(frames.frames.empty());
}

TEST(Pictures, ConversionKeysTheBottomLeftColourAndCompositesAlpha) {
    CBitmap32 b(3, 2, kBlue);
    b.At(0, 1) = kGreen;  // the key
    b.At(2, 0) = kGreen;
    b.At(1, 1) = 0x00FFFFFFu;  // transparent in the file: drawn over the fill colour
    const CBitmap32 keyed = ConvertPicture(b, false, true, false);
    EXPECT_EQ(keyed.At(0, 1) >> 24, 0u);
    EXPECT_EQ(keyed.At(2, 0) >> 24, 0u);
    EXPECT_EQ(keyed.At(1, 0), kBlue);
    EXPECT_EQ(keyed.At(1, 1), kPictureFillPixel);  // not the key: stays opaque

    const CBitmap32 opaque = ConvertPicture(b, false, false, false);
    EXPECT_EQ(opaque.At(0, 1), kGreen);
    EXPECT_EQ(opaque.At(1, 1), 0xFF000000u);

    EXPECT_EQ(ConvertPicture(b, true, true, true), b);
}

}  // namespace
}  // namespace tb
