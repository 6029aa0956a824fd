// What sound costs a step: 64 short sounds started in one step, then 32 voices kept playing
// for 1,000 steps at 30 steps a second, mixed on the loopback device as a headless run mixes
// them; and the memory a loaded second of audio takes.
//
//   build-bench/bench_sound
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/audio_decoder.h"
#include "sound/engine.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::vector<uint8_t> ToneBytes(const std::string& path, double seconds, double hz, int channels) {
    const int rate = 44100;
    std::vector<float> pcm(size_t(seconds * rate) * size_t(channels));
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = 0.3f * float(std::sin(2 * 3.14159265 * hz * double(i / size_t(channels)) / rate));
    tb::WriteSoundFile(path, pcm, channels, rate);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<uint8_t> bytes;
    for (int c; f && (c = std::fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
    if (f) std::fclose(f);
    return bytes;
}

}  // namespace

int main() {
    using clock = std::chrono::steady_clock;
    std::string dir = (std::filesystem::temp_directory_path() / "tamberlo_bench_sound").string();
    std::filesystem::create_directories(dir);

    tb::SoundEngine engine;
    tb::SoundOptions options;
    if (!engine.Init(options)) {
        std::printf("no mixer\n");
        return 1;
    }
    std::vector<int> shorts, loops;
    for (int i = 0; i < 64; ++i)
        shorts.push_back(engine.LoadMemory(
            ToneBytes(dir + "/s" + std::to_string(i) + ".wav", 0.25, 200 + 20 * i, 1 + i % 2), 0));
    for (int i = 0; i < 32; ++i)
        loops.push_back(engine.LoadMemory(
            ToneBytes(dir + "/l" + std::to_string(i) + ".wav", 1.0, 300 + 15 * i, 1 + i % 2), 0));

    const int64_t step_us = 1'000'000 / 30;
    int64_t now = 0;
    // Warm the mixer up once.
    engine.Advance(now += step_us);

    auto t0 = clock::now();
    for (int s : shorts) engine.Play(s, false);
    auto t1 = clock::now();
    engine.Advance(now += step_us);
    auto t2 = clock::now();

    for (int s : loops) engine.Play(s, true);
    const int steps = 1000;
    double advance = 0, queries = 0;
    for (int i = 0; i < steps; ++i) {
        auto a = clock::now();
        for (int s : loops) (void)engine.IsPlaying(s);
        auto b = clock::now();
        engine.Advance(now += step_us);
        auto c = clock::now();
        queries += Seconds(a, b);
        advance += Seconds(b, c);
    }

    // The same steps with nothing playing: what the mixer costs when idle.
    for (int s : loops) engine.Stop(s);
    auto i0 = clock::now();
    for (int i = 0; i < steps; ++i) engine.Advance(now += step_us);
    auto i1 = clock::now();

    const double frame_ms = 1000.0 / 30;
    double play64 = Seconds(t0, t1) * 1000, first_step = Seconds(t1, t2) * 1000;
    double per_step = advance / steps * 1000, per_query_step = queries / steps * 1000;
    double idle = Seconds(i0, i1) / steps * 1000;
    std::printf("64 sound_play calls in one step:        %8.3f ms (%.2f%% of a 30/s frame)\n",
                play64, play64 / frame_ms * 100);
    std::printf("mixing that step (64 voices, loopback): %8.3f ms\n", first_step);
    std::printf("32 looping voices, per step, mixing:    %8.3f ms (%.2f%% of a frame)\n", per_step,
                per_step / frame_ms * 100);
    std::printf("  of which 32 sound_isplaying per step: %8.3f ms\n", per_query_step);
    std::printf("idle mixer, per step:                   %8.3f ms\n", idle);
    std::printf("memory per loaded second: %.0f bytes (mono and stereo sounds, %.1f s held)\n",
                double(engine.HeldBytes()) / engine.HeldSeconds(), engine.HeldSeconds());
    engine.Done();
    std::filesystem::remove_all(dir);
    return 0;
}
