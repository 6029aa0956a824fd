// The sound, sound resource and CD functions called from script code.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"
#include "script_harness.h"
#include "sound/sound_system.h"
#include "sound_harness.h"

namespace tb::test {
namespace {

struct SoundFunctions : FunctionTest {
    ScratchDir dir;
    Mix mix;
    int64_t now = 0;

    SoundFunctions() {
        w.engine.files.temp_dir = dir.str();
        SoundSystem& sys = SoundOf(w.engine);
        SoundOptions o;
        o.soundfont = FindSoundFont();
        o.listen = [this](const float* f, size_t n) { mix.Add(f, n); };
        sys.engine.Init(o);
    }
    SoundSystem& Sys() { return *w.engine.sound; }
    int AddSound(const std::string& name, std::vector<uint8_t> bytes, int kind,
                 const std::string& type = ".wav") {
        auto snd = std::make_unique<CSound>();
        snd->Kind = kind;
        snd->FileType = type;
        snd->has_data = !bytes.empty() || kind >= 0;
        snd->data = std::move(bytes);
        return w.game.sounds.Add(std::move(snd), name);
    }
    size_t Advance(int64_t ms) {
        size_t first = mix.Count();
        now += ms * 1000;
        Sys().engine.Advance(now);
        return first;
    }
};

TEST_F(SoundFunctions, PlayLoopStopAndIsPlayingAnswerAtOnce) {
    AddSound("snd_tone", ToneFile(dir / "a.wav", 0.2, 440), 0);
    EXPECT_TRUE(IsReal(Eval("sound_isplaying(snd_tone)"), 0));
    Run("sound_play(snd_tone); global.a = sound_isplaying(snd_tone)");
    EXPECT_TRUE(IsReal(Eval("global.a"), 1));
    Advance(500);
    EXPECT_TRUE(IsReal(Eval("sound_isplaying(snd_tone)"), 0));
    Run("sound_loop(snd_tone)");
    size_t a = Advance(500);
    EXPECT_TRUE(IsReal(Eval("sound_isplaying(snd_tone)"), 1));
    EXPECT_GT(mix.Rms(a, mix.Count()), 0.1);
    Run("sound_stop_all(); global.b = sound_isplaying(snd_tone)");
    EXPECT_TRUE(IsReal(Eval("global.b"), 0));
    EXPECT_TRUE(errors.empty());
}

TEST_F(SoundFunctions, MissingSoundsReportExceptIsPlaying) {
    int s = AddSound("snd_tone", ToneFile(dir / "a.wav", 0.2, 440), 0);
    Run("sound_play(snd_tone); sound_delete(" + std::to_string(s) + ")");
    EXPECT_TRUE(IsReal(Eval("sound_isplaying(" + std::to_string(s) + ")"), 0));
    EXPECT_TRUE(errors.empty());
    const char* calls[] = {"sound_play(0)",
                           "sound_loop(0)",
                           "sound_stop(0)",
                           "sound_volume(0, 1)",
                           "sound_fade(0, 1, 10)",
                           "sound_pan(0, 1)",
                           "sound_effect_set(0, 1)",
                           "sound_effect_chorus(0,1,1,1,1,1,1,1)",
                           "sound_effect_compressor(0,1,1,1,1,1,1)",
                           "sound_effect_echo(0,1,1,1,1,1)",
                           "sound_effect_flanger(0,1,1,1,1,1,1,1)",
                           "sound_effect_gargle(0,1,1)",
                           "sound_effect_equalizer(0,1,1,1)",
                           "sound_effect_reverb(0,1,1,1,1)",
                           "sound_3d_set_sound_position(0,1,1,1)",
                           "sound_3d_set_sound_velocity(0,1,1,1)",
                           "sound_3d_set_sound_distance(0,1,1)",
                           "sound_3d_set_sound_cone(0,1,1,1,1,1,1)"};
    for (const char* call : calls) {
        errors.clear();
        Run(call);
        ASSERT_EQ(errors.size(), 1u) << call;
        EXPECT_EQ(errors[0], "Sound does not exist.") << call;
    }
    errors.clear();
    Run("sound_delete(0); sound_replace(5, \"x.wav\", 0, 1)");
    EXPECT_EQ(errors, (std::vector<std::string>{"Trying to delete non-existing sound.",
                                                "Trying to replace non-existing sound."}));
}

TEST_F(SoundFunctions, ResourceQueriesAddReplaceDiscardAndRestore) {
    int good = AddSound("snd_good", ToneFile(dir / "a.wav", 0.2, 440), 1);
    std::vector<uint8_t> junk(500, 0x5A);
    int bad = AddSound("snd_bad", junk, 0);
    PrepareSound(Sys(), *w.game.sounds.Get(good));
    struct Case {
        std::string expr;
        double real;
        const char* text;  // a string result when set
    } cases[] = {
        {"sound_exists(snd_good)", 1, nullptr},
        {"sound_exists(7)", 0, nullptr},
        {"sound_get_name(snd_good)", 0, "snd_good"},
        {"sound_name(7)", 0, "<undefined>"},
        {"sound_get_kind(snd_good)", 1, nullptr},
        {"sound_get_kind(snd_bad)", 0, nullptr},  // not prepared yet
        {"sound_get_kind(7)", -1, nullptr},
        {"sound_get_preload(snd_good)", 1, nullptr},
        {"sound_get_preload(7)", -1, nullptr},
    };
    for (const Case& c : cases) {
        RValue v = Eval(c.expr);
        if (c.text)
            EXPECT_TRUE(IsText(v, c.text)) << c.expr;
        else
            EXPECT_TRUE(IsReal(v, c.real)) << c.expr;
    }
    // Bytes no decoder takes: the sound becomes multimedia, silently, and plays nothing.
    Run("sound_play(snd_bad)");
    EXPECT_TRUE(IsReal(Eval("sound_get_kind(snd_bad)"), 3));
    EXPECT_TRUE(IsReal(Eval("sound_isplaying(snd_bad)"), 0));
    EXPECT_FALSE(w.game.sounds.Get(bad)->temporary_file.empty());
    EXPECT_TRUE(errors.empty());

    // Adding: a missing file gives -1 and leaves the list alone.
    const int count = w.game.sounds.Count();
    EXPECT_TRUE(IsReal(Eval("sound_add(\"" + (dir / "none.wav") + "\", 0, 1)"), -1));
    EXPECT_EQ(w.game.sounds.Count(), count);
    std::string file = dir / "added.ogg";
    ToneFile(file, 0.3, 660);
    RValue added = Eval("sound_add(\"" + file + "\", 2, 0)");
    EXPECT_TRUE(IsReal(added, count));
    EXPECT_EQ(w.game.sounds.Name(count), "__newsound" + std::to_string(count));
    EXPECT_EQ(w.game.sounds.Get(count)->FileType, ".ogg");
    EXPECT_EQ(w.game.sounds.Get(count)->sample, -1);  // not preloaded
    EXPECT_TRUE(IsReal(Eval("sound_get_preload(" + std::to_string(count) + ")"), 0));

    // Replacing into an existing sound and into an empty slot.
    Run("sound_delete(snd_bad)");
    EXPECT_TRUE(
        IsReal(Eval("sound_replace(" + std::to_string(bad) + ", \"" + file + "\", 0, 1)"), 1));
    EXPECT_TRUE(IsReal(Eval("sound_get_kind(" + std::to_string(bad) + ")"), 0));
    EXPECT_GE(w.game.sounds.Get(bad)->sample, 0);
    EXPECT_TRUE(IsReal(Eval("sound_replace(snd_good, \"" + (dir / "none.wav") + "\", 0, 1)"), 0));

    // Discard frees the sample; restore and first use prepare it again.
    Run("sound_discard(snd_good)");
    EXPECT_EQ(w.game.sounds.Get(good)->sample, -1);
    Run("sound_restore(snd_good)");
    EXPECT_GE(w.game.sounds.Get(good)->sample, 0);
    Run("sound_discard(snd_good); sound_volume(snd_good, 0.5)");
    int sample = w.game.sounds.Get(good)->sample;
    ASSERT_GE(sample, 0);
    EXPECT_EQ(Sys().engine.Sample(sample)->volume, -4800);
    EXPECT_TRUE(errors.empty());
}

TEST_F(SoundFunctions, PreparedSoundsCarryTheirEffectsVolumeAndPan) {
    int s = AddSound("snd", ToneFile(dir / "a.wav", 0.2, 440), 0);
    CSound& snd = *w.game.sounds.Get(s);
    snd.Effects = kFxEcho | kFxReverb;
    snd.Volume = 0.75;
    snd.Pan = -0.5;
    Run("sound_play(snd)");
    const RSoundSample* sample = Sys().engine.Sample(snd.sample);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->effects.flags, kFxEcho | kFxReverb);
    EXPECT_EQ(sample->volume, -2400);
    EXPECT_EQ(sample->pan, -5000);
    Run("sound_global_volume(0.5); sound_background_tempo(2); sound_set_search_directory(\"m\")");
    EXPECT_EQ(Sys().engine.MasterVolume(), -4500);
    EXPECT_EQ(Sys().engine.TempoFactor(), 2);
    EXPECT_EQ(Sys().engine.SearchDirectoryName(), "m");
}

TEST_F(SoundFunctions, CdTracksFromTheFolderPlayWithTheirLengthsAndPositions) {
    std::filesystem::create_directory(dir.path / "cdaudio");
    ToneFile(dir / "cdaudio/track01.wav", 1.0, 300, 2, 8000);
    ToneFile(dir / "cdaudio/Track02.ogg", 2.0, 500, 2, 8000);
    ToneFile(dir / "cdaudio/track03.flac", 1.5, 700, 1, 8000);
    Sys().cd.Insert((dir.path / "cdaudio").string(), "");
    struct Case {
        const char* expr;
        double value;
    } before[] = {{"cd_present()", 1},          {"cd_number()", 3},        {"cd_length()", 4500},
                  {"cd_track_length(2)", 2000}, {"cd_track_length(4)", 0}, {"cd_track()", 1},
                  {"cd_playing()", 0},          {"cd_paused()", 1}};
    for (const Case& c : before) EXPECT_TRUE(IsReal(Eval(c.expr), c.value)) << c.expr;

    Run("cd_play(2, 2)");
    EXPECT_TRUE(IsReal(Eval("cd_playing()"), 1));
    EXPECT_TRUE(IsReal(Eval("cd_track()"), 2));
    size_t a = Advance(1200);
    EXPECT_GT(mix.Tone(a + 4000, mix.Count(), 500), 0.05);
    EXPECT_NEAR(Eval("cd_position()").real, 2200, 150);
    EXPECT_TRUE(IsReal(Eval("cd_track_position()"), 1000));
    EXPECT_TRUE(IsText(Eval("MCI_command(\"status cdaudio position\")"), "02:01:00:00") ||
                Eval("cd_track_position()").real == 1000);
    Run("cd_pause()");
    EXPECT_TRUE(IsText(Eval("MCI_command(\"status cdaudio mode\")"), "paused"));
    size_t b = Advance(300);
    EXPECT_LT(mix.Rms(b, mix.Count()), 1e-4);
    Run("cd_resume()");
    Advance(1200);  // the rest of track 2 and the end of the play
    EXPECT_TRUE(IsReal(Eval("cd_playing()"), 0));
    EXPECT_TRUE(IsReal(Eval("cd_paused()"), 1));  // stopped counts as paused
    EXPECT_TRUE(IsText(Eval("MCI_command(\"status cdaudio mode\")"), "stopped"));
    EXPECT_TRUE(IsReal(Eval("cd_track()"), 3));

    Run("cd_play(3, 2)");  // last before first: nothing
    EXPECT_TRUE(IsReal(Eval("cd_playing()"), 0));
    Run("cd_play(0, 99); cd_set_position(2500)");  // from track 1 to the end; then a jump
    EXPECT_TRUE(IsReal(Eval("cd_track()"), 2));
    Run("cd_stop(); cd_set_track_position(1500)");
    EXPECT_TRUE(IsText(Eval("MCI_command(\"status cdaudio position\")"), "02:00:01:00"));
    Run("cd_open_door()");
    EXPECT_TRUE(IsReal(Eval("cd_present()"), 0));
    EXPECT_TRUE(IsReal(Eval("cd_number()"), 0));
    Run("cd_close_door()");
    EXPECT_TRUE(IsReal(Eval("cd_number()"), 3));
}

TEST_F(SoundFunctions, WithoutADiscEveryCommandGetsTheEmptyReply) {
    Sys().cd.Insert((dir.path / "nothing").string(), "");
    for (const char* e : {"cd_present()", "cd_number()", "cd_track()", "cd_position()",
                          "cd_length()", "cd_playing()", "cd_paused()"})
        EXPECT_TRUE(IsReal(Eval(e), 0)) << e;
    Run("cd_init(); cd_play(1, 2); cd_open_door()");
    EXPECT_TRUE(IsText(Eval("MCI_command(\"status cdaudio mode\")"), ""));
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tb::test
