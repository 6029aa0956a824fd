// Text and shape drawing on a headless device: glyphs per second through the font atlas,
// line preparation with word wrapping, and filled circles.
#include <benchmark/benchmark.h>

#include <string>

#include "graphics/fonts.h"
#include "graphics/graphics.h"
#include "graphics/primitives.h"
#include "graphics/text.h"
#include "resources/font.h"

namespace tb {
namespace {

struct Headless {
    Graphics g;
    bool ok = false;
    Headless() {
        DeviceOptions o;
        o.headless = true;
        o.window_width = 640;
        o.window_height = 480;
        ok = InitDevice(g, o, 640, 480);
        g.draw.SetColor(0xFFFFFF);
    }
    // Waits for the device to finish what was sent.
    void Sync() { benchmark::DoNotOptimize(g.device.Capture(0, 0, 1, 1)); }
};

Headless& Device() {
    static Headless h;
    return h;
}

std::string Paragraph(int64_t words) {
    std::string s;
    for (int64_t i = 0; i < words; ++i) s += i % 7 == 6 ? "lorem-ipsum " : "dolor sit ";
    return s;
}

// Glyphs drawn per frame: `range(0)` words of about ten characters, wrapped at 600 pixels.
void BM_DrawText(benchmark::State& state) {
    Headless& h = Device();
    if (!h.ok) return state.SkipWithError("no headless device");
    const std::string text = Paragraph(state.range(0));
    for (auto _ : state) {
        h.g.device.Clear(0xFF000000);
        DrawText(h.g, nullptr, 10, 10, text, -1, 600, TextStyle{});
        h.Sync();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_DrawText)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_DrawTextTransformedColour(benchmark::State& state) {
    Headless& h = Device();
    if (!h.ok) return state.SkipWithError("no headless device");
    const std::string text = Paragraph(state.range(0));
    TextStyle style;
    style.transformed = true;
    style.xscale = style.yscale = 1.5;
    style.angle = 30;
    style.gradient = true;
    style.c1 = 0x0000FF, style.c2 = 0x00FF00, style.c3 = 0xFF0000, style.c4 = 0xFFFFFF;
    for (auto _ : state) {
        h.g.device.Clear(0xFF000000);
        DrawText(h.g, nullptr, 10, 400, text, -1, 600, style);
        h.Sync();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_DrawTextTransformedColour)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Line preparation alone: breaking and wrapping, no drawing.
void BM_PrepareLines(benchmark::State& state) {
    Headless& h = Device();
    const CFont& font = CurrentFont(h.g, nullptr);
    const std::string text = Paragraph(state.range(0));
    std::vector<std::string> lines;
    for (auto _ : state) {
        PrepareLines(font, text, 300, lines);
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_PrepareLines)->Arg(1000);

void BM_FilledCircles(benchmark::State& state) {
    Headless& h = Device();
    if (!h.ok) return state.SkipWithError("no headless device");
    for (auto _ : state) {
        h.g.device.Clear(0xFF000000);
        for (int64_t i = 0; i < state.range(0); ++i) {
            const double x = double(i % 600), y = double((i * 7) % 440);
            DrawEllipse(h.g, x, y, x + 20, y + 20, 0xFFFFFF, 0x0000FF, false);
        }
        h.Sync();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FilledCircles)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tb

BENCHMARK_MAIN();
