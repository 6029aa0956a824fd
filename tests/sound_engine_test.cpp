// The sound engine on the loopback mixer, rendered on the clock: levels, stopping, looping,
// background music, effects, 3D placement, MIDI, streaming, bad files and the clock without
// a mixer.
#include <gtest/gtest.h>

#include "harness.h"
#include "sound/engine.h"
#include "sound_harness.h"

namespace tb::test {
namespace {

constexpr int kRate = 44100;
constexpr int64_t kMs = 1000;

struct EngineFixture : ::testing::Test {
    ScratchDir dir;
    Mix mix;
    SoundEngine engine;
    int64_t now = 0;

    void SetUp() override {
        SoundOptions o;
        o.soundfont = FindSoundFont();
        o.listen = [this](const float* f, size_t n) { mix.Add(f, n); };
        ASSERT_TRUE(engine.Init(o));
    }
    // Renders `ms` more milliseconds; returns the first frame of them.
    size_t Run(int64_t ms) {
        size_t first = mix.Count();
        now += ms * kMs;
        engine.Advance(now);
        return first;
    }
    int Load(double seconds, double hz, int kind, int channels = 1, const char* ext = ".wav") {
        std::string path = dir / ("tone" + std::to_string(++files) + ext);
        return engine.LoadMemory(ToneFile(path, seconds, hz, channels), kind);
    }
    int files = 0;
};

// A full-scale 0.5 amplitude sine has an RMS of 0.5 / sqrt(2) on each channel.
const double kToneRms = 0.5 / std::sqrt(2.0);

TEST_F(EngineFixture, APlayedSampleIsHeardUntilItStops) {
    int s = Load(2.0, 440, kSoundNormal);
    ASSERT_GE(s, 0);
    engine.Play(s, false);
    EXPECT_TRUE(engine.IsPlaying(s));  // at once, before any rendering
    size_t a = Run(100);
    EXPECT_NEAR(Db(mix.Rms(a + 100, mix.Count()) / kToneRms), 0, 0.5);
    engine.Stop(s);
    EXPECT_FALSE(engine.IsPlaying(s));
    size_t b = Run(100);
    EXPECT_LT(mix.Rms(b, mix.Count()), 1e-6);
}

TEST_F(EngineFixture, VolumeAndPanSetEachChannelAsTheDecibelRulesSay) {
    struct Case {
        double volume, pan, left_db, right_db;
    } cases[] = {
        {1, 0, 0, 0},          // full volume, centre
        {0.5, 0, -48, -48},    // round(0.5 * 9600) - 9600 = -4800
        {0.9, 0, -9.6, -9.6},  // -960
        {1, 0.25, -25, 0},     // pan 2500 takes 25 dB off the left
        {1, -0.1, 0, -10},     // -1000 off the right
        {0.95, 0.05, -9.8, -4.8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
        int s = Load(1.0, 440, kSoundNormal);
        engine.SetVolume(s, 0, c.volume);
        engine.SetPan(s, c.pan);
        engine.Play(s, false);
        size_t a = Run(200);
        EXPECT_NEAR(Db(mix.Rms(a + 1000, mix.Count(), 0) / kToneRms), c.left_db, 0.5);
        EXPECT_NEAR(Db(mix.Rms(a + 1000, mix.Count(), 1) / kToneRms), c.right_db, 0.5);
        engine.Free(s);
    }
}

TEST_F(EngineFixture, GlobalVolumeIsMeasuredFromItsTenDecibelMaximum) {
    int s = Load(1.0, 440, kSoundNormal);
    engine.GlobalVolume(10.0 / 11.0);  // 0 dB: 10 below the maximum
    EXPECT_EQ(engine.MasterVolume(), 0);
    engine.Play(s, false);
    size_t a = Run(200);
    EXPECT_NEAR(Db(mix.Rms(a + 1000, mix.Count()) / kToneRms), -10, 0.5);
    engine.GlobalVolume(0);
    EXPECT_EQ(engine.MasterVolume(), -10000);
    engine.GlobalVolume(5);
    EXPECT_EQ(engine.MasterVolume(), 1000);
}

TEST_F(EngineFixture, LoopingGoesOnPastTheEndAndOnceStopsThere) {
    int looped = Load(0.2, 440, kSoundNormal);
    int once = Load(0.2, 880, kSoundNormal);
    engine.Play(looped, true);
    engine.Play(once, false);
    size_t a = Run(1000);
    EXPECT_TRUE(engine.IsPlaying(looped));
    EXPECT_FALSE(engine.IsPlaying(once));
    EXPECT_GT(mix.Tone(a + 30000, a + 44000, 440), 0.05);
    EXPECT_LT(mix.Tone(a + 30000, a + 44000, 880), 0.005);
}

TEST_F(EngineFixture, SecondBackgroundMusicReplacesTheFirstButSoundsOverlap) {
    int m1 = Load(2.0, 440, kSoundMusic), m2 = Load(2.0, 1000, kSoundMusic);
    engine.Play(m1, false);
    Run(100);
    engine.Play(m2, false);
    EXPECT_FALSE(engine.IsPlaying(m1));
    EXPECT_TRUE(engine.IsPlaying(m2));
    size_t a = Run(300);
    EXPECT_LT(mix.Tone(a + 1000, mix.Count(), 440), 0.005);
    EXPECT_GT(mix.Tone(a + 1000, mix.Count(), 1000), 0.05);

    // Normal sounds add up: playing one twice starts a second voice.
    int s = Load(1.0, 300, kSoundNormal);
    engine.Stop(m2);
    engine.Play(s, false);
    size_t b = Run(100);
    engine.Play(s, false);
    size_t c = Run(100);
    EXPECT_GT(mix.Rms(c + 500, mix.Count()), mix.Rms(b + 500, c) * 1.2);
}

TEST_F(EngineFixture, FadesMoveInDecibelsOverTheGivenTime) {
    int s = Load(3.0, 440, kSoundNormal);
    engine.Play(s, false);
    Run(100);
    engine.SetVolume(s, 1000, 0);  // to -96 dB over one second
    // Halfway the path is at -48 dB; the fade steps with the clock.
    for (int i = 0; i < 5; ++i) Run(100);
    size_t mid = Run(100);  // the mixer glides to each new gain: the window's end is steady
    EXPECT_NEAR(Db(mix.Rms(mid + 3000, mix.Count()) / kToneRms), -48, 3);
    for (int i = 0; i < 6; ++i) Run(100);
    size_t end = Run(100);
    EXPECT_LT(mix.Rms(end, mix.Count()), kToneRms * 1e-4);
}

TEST_F(EngineFixture, EveryEffectChangesTheSignal) {
    // The same tone with and without each effect; an effect must change what is heard.
    int plain = Load(1.0, 440, kSoundNormal, 2);
    engine.Play(plain, false);
    size_t p = Run(600);
    std::vector<float> reference(mix.frames.begin() + long(p * 2), mix.frames.end());
    for (int flag : {kFxChorus, kFxEcho, kFxFlanger, kFxGargle, kFxReverb, kFxCompressor,
                     kFxEqualizer, kFxDistortion, kFxRoomReverb}) {
        SCOPED_TRACE(flag);
        int s = Load(1.0, 440, kSoundNormal, 2);
        engine.SetEffects(s, flag);
        if (flag == kFxEqualizer) engine.Equalizer(s, {440, 12, -15});
        engine.Play(s, false);
        size_t a = Run(600);
        double diff = 0;
        for (size_t i = 4000; i < reference.size() && a * 2 + i < mix.frames.size(); ++i) {
            double d = mix.frames[a * 2 + i] - reference[i];
            diff += d * d;
        }
        EXPECT_GT(std::sqrt(diff / double(reference.size())), 0.01);
        engine.Free(s);
    }
}

TEST_F(EngineFixture, EffectParametersReachOnlyEffectsInTheChain) {
    int s = Load(1.0, 440, kSoundNormal);
    engine.Echo(s, {80, 10, 100, 100, 0});  // no echo in the chain: nothing to set
    EXPECT_EQ(engine.Sample(s)->effects.echo.wetdry, 50);
    engine.SetEffects(s, kFxEcho | kFxEqualizer);
    engine.Echo(s, {80, 10, 100, 100, 0});
    EXPECT_EQ(engine.Sample(s)->effects.echo.wetdry, 80);
    engine.SetEffects(s, kFxEcho);  // a new chain starts from the defaults
    EXPECT_EQ(engine.Sample(s)->effects.echo.wetdry, 50);
}

TEST_F(EngineFixture, ThreeDimensionalPositionMovesEnergyBetweenChannels) {
    int s = Load(2.0, 440, kSound3D, 2);
    struct Case {
        double x;
        bool left_louder;
    } cases[] = {{-5, true}, {5, false}};
    for (const Case& c : cases) {
        engine.Position3D(s, c.x, 0, 1);
        engine.Play(s, false);
        size_t a = Run(200);
        double l = mix.Rms(a + 1000, mix.Count(), 0), r = mix.Rms(a + 1000, mix.Count(), 1);
        EXPECT_EQ(l > r * 2, c.left_louder) << c.x;
        EXPECT_EQ(r > l * 2, !c.left_louder) << c.x;
        engine.Stop(s);
    }
    // Farther than the minimum distance is quieter; the 3D calls leave other kinds alone.
    engine.Distance3D(s, 1, 1000);
    engine.Position3D(s, 0, 0, 1);
    engine.Play(s, false);
    size_t near = Run(200);
    double loud = mix.Rms(near + 1000, mix.Count());
    engine.Position3D(s, 0, 0, 10);
    size_t far = Run(200);
    EXPECT_NEAR(Db(mix.Rms(far + 1000, mix.Count()) / loud), -20, 1);
    int flat = Load(1.0, 440, kSoundNormal);
    engine.Position3D(flat, 5, 0, 0);
    EXPECT_EQ(engine.Sample(flat)->spatial.position[0], 0);
}

TEST_F(EngineFixture, MidiRendersAudibleNotesAndEnds) {
    if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI sound font";
    int m = engine.LoadMemory(MidiFile(1), kSoundMusic);
    ASSERT_GE(m, 0);
    engine.Play(m, false);
    size_t a = Run(400);
    EXPECT_GT(mix.Rms(a + 2000, mix.Count()), 0.01);
    EXPECT_TRUE(engine.IsPlaying(m));
    for (int i = 0; i < 40 && engine.IsPlaying(m); ++i) Run(100);
    EXPECT_FALSE(engine.IsPlaying(m));  // half a second of notes and their release
    engine.Tempo(1000);
    EXPECT_EQ(engine.TempoFactor(), 100);
}

TEST_F(EngineFixture, LongFilesStreamAndLoop) {
    // Longer than the limit for sounds held whole: decoded as it plays.
    int s = Load(11.0, 440, kSoundMusic, 1, ".ogg");
    ASSERT_GE(s, 0);
    EXPECT_LT(engine.Sample(s)->clip, 0);
    engine.Play(s, true);
    size_t a = Run(500);
    EXPECT_GT(mix.Tone(a + 2000, mix.Count(), 440), 0.05);
    EXPECT_EQ(engine.HeldBytes(), 0u);
}

TEST_F(EngineFixture, BytesNoDecoderTakesCannotBecomeSamples) {
    std::vector<uint8_t> garbage(3000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7919 % 251);
    std::vector<uint8_t> truncated = ToneFile(dir / "t.wav", 1.0, 440);
    truncated.resize(60);
    std::vector<uint8_t> header_only = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
    for (const auto& bytes : {std::vector<uint8_t>{}, garbage, header_only})
        EXPECT_EQ(engine.LoadMemory(bytes, kSoundNormal), -1);
    // A cut-off file plays what it has.
    int s = engine.LoadMemory(truncated, kSoundNormal);
    if (s >= 0) {
        engine.Play(s, false);
        Run(100);
        EXPECT_FALSE(engine.IsPlaying(s));
    }
}

TEST(SoundEngineWithoutMixer, TheMediaPlayerKeepsTimeOnTheGameClock) {
    ScratchDir dir;
    SoundEngine engine;
    SoundOptions o;
    o.no_mixer = true;
    EXPECT_FALSE(engine.Init(o));
    std::string file = dir / "half.wav";
    ToneFile(file, 0.5, 440);
    EXPECT_EQ(engine.LoadMemory(FileBytes(file), kSoundNormal), -1);
    int s = engine.LoadFile(file, kSoundNormal);
    ASSERT_GE(s, 0);
    EXPECT_EQ(engine.Kind(s), kSoundMedia);
    engine.Play(s, false);
    EXPECT_TRUE(engine.IsPlaying(s));
    engine.Advance(300 * kMs);
    EXPECT_TRUE(engine.IsPlaying(s));
    engine.Advance(600 * kMs);
    EXPECT_FALSE(engine.IsPlaying(s));
    // One file at a time: another one takes the player, and stopping the first does nothing.
    int t = engine.LoadFile(file, kSoundMedia);
    engine.Play(s, true);
    engine.Play(t, true);
    engine.Stop(s);
    EXPECT_TRUE(engine.IsPlaying(t));
    EXPECT_FALSE(engine.IsPlaying(s));
    engine.Advance(10'000 * kMs);
    EXPECT_TRUE(engine.IsPlaying(t));  // looping
}

}  // namespace
}  // namespace tb::test
