// The picture loader: decoding PNG, JPEG, BMP and animated GIF data, and the conversion of a
// decoded picture into a sprite frame (key colour, edge smoothing), in pixels per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "graphics/bmp.h"
#include "graphics/pictures.h"

namespace tb {
namespace {

// A picture with some structure, so that the compressed formats have work to do.
CBitmap32 MakePicture(int32_t w, int32_t h) {
    CBitmap32 b(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.At(x, y) = 0xFF000000u | uint32_t((x * 7) & 0xFF) << 16 |
                         uint32_t((y * 5) & 0xFF) << 8 | uint32_t(((x ^ y) * 3) & 0xFF);
    return b;
}

// A picture of at most 255 colours, as a GIF frame must be.
CBitmap32 MakeFewColours(int32_t w, int32_t h, int shift) {
    CBitmap32 b(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.At(x, y) = 0xFF000000u | uint32_t(((x + shift) / 8 % 16) * 16) << 16 |
                         uint32_t((y / 8 % 15) * 16) << 8;
    return b;
}

template <class Encode>
void Decode(benchmark::State& state, Encode&& encode) {
    const int32_t side = int32_t(state.range(0));
    const std::vector<uint8_t> bytes = encode(MakePicture(side, side));
    for (auto _ : state) benchmark::DoNotOptimize(DecodePicture(bytes.data(), bytes.size()));
    state.SetItemsProcessed(state.iterations() * int64_t(side) * side);
}

void BM_DecodePng(benchmark::State& state) {
    Decode(state, [](const CBitmap32& b) { return EncodePngRgba(b); });
}
void BM_DecodeJpeg(benchmark::State& state) {
    Decode(state, [](const CBitmap32& b) { return EncodeJpeg(b, 90); });
}
void BM_DecodeBmp(benchmark::State& state) {
    Decode(state, [](const CBitmap32& b) { return EncodeBmp(b, false); });
}
BENCHMARK(BM_DecodePng)->Arg(64)->Arg(512);
BENCHMARK(BM_DecodeJpeg)->Arg(64)->Arg(512);
BENCHMARK(BM_DecodeBmp)->Arg(64)->Arg(512);

// An animation of 32 frames of side x side.
void BM_DecodeGifFrames(benchmark::State& state) {
    const int32_t side = int32_t(state.range(0));
    std::vector<CBitmap32> frames;
    for (int i = 0; i < 32; ++i) frames.push_back(MakeFewColours(side, side, i));
    const std::vector<uint8_t> bytes = EncodeGif(side, side, frames, std::vector<int>(32, 1));
    for (auto _ : state) {
        GifFrames out;
        benchmark::DoNotOptimize(DecodeGifFrames(bytes.data(), bytes.size(), out));
    }
    state.SetItemsProcessed(state.iterations() * 32 * int64_t(side) * side);
}
BENCHMARK(BM_DecodeGifFrames)->Arg(64)->Arg(256);

void BM_ConvertTransparentSmooth(benchmark::State& state) {
    const int32_t side = int32_t(state.range(0));
    CBitmap32 b = MakeFewColours(side, side, 0);
    for (auto _ : state) benchmark::DoNotOptimize(ConvertPicture(b, false, true, true));
    state.SetItemsProcessed(state.iterations() * int64_t(side) * side);
}
BENCHMARK(BM_ConvertTransparentSmooth)->Arg(64)->Arg(512);

}  // namespace
}  // namespace tb

BENCHMARK_MAIN();
