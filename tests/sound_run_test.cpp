// Whole runs: a game file with WAV, OGG and MIDI sounds played headless, its mix written with
// --audio.
#include <gtest/gtest.h>

#include "harness.h"
#include "platform/audio_decoder.h"
#include "resources/room.h"
#include "sound_harness.h"
#include "world/instance.h"

namespace tb::test {
namespace {

Mix ReadMix(const std::string& path) {
    Mix m;
    std::unique_ptr<PcmSource> src = OpenSoundFile(path, "");
    if (!src || src->channels != 2) return m;
    std::vector<float> block(4096 * 2);
    while (size_t n = src->Read(block.data(), 4096)) m.Add(block.data(), n);
    return m;
}

void AddSoundResource(Game& g, const std::string& name, std::vector<uint8_t> bytes, int kind,
                      const std::string& type) {
    auto snd = std::make_unique<CSound>();
    snd->Kind = kind;
    snd->FileType = type;
    snd->FileName = name + type;
    snd->has_data = true;
    snd->data = std::move(bytes);
    g.sounds.Add(std::move(snd), name);
}

TEST(SoundRun, HeadlessRunWritesItsMixWithAudio) {
    ScratchDir dir;
    Game g = MinimalGame();
    AddSoundResource(g, "snd_beep", ToneFile(dir / "beep.wav", 0.5, 440), 0, ".wav");
    AddSoundResource(g, "snd_music", ToneFile(dir / "music.ogg", 0.7, 660, 2), 1, ".ogg");
    AddSoundResource(g, "snd_midi", MidiFile(2), 1, ".mid");
    AddCodeObject(g, "obj_player", 0, 0,
                  "sound_play(snd_beep); sound_loop(snd_music);"
                  "show_debug_message(string(sound_isplaying(snd_beep)))");
    // In step 45 (1.5 seconds) the MIDI music replaces the looping background music.
    AddCodeObject(
        g, "obj_later", 3, 0,
        "x += 1; if (x == 45) "
        "{ sound_play(snd_midi); show_debug_message(string(sound_isplaying(snd_music))) }");
    CRoom* room = g.rooms.Get(0);
    room->Speed = 30;
    for (int32_t object : {0, 1}) {
        auto inst = std::make_unique<CInstance>();
        inst->id = 100001 + object;
        inst->object_index = object;
        room->instances.push_back(std::move(inst));
    }
    WriteBytes(dir.path / "game.bin", pack::WriteGameFile(g));
    ProcessResult r =
        RunTamberlo({"--headless", "--steps", "75", "--audio", dir / "mix.wav", dir / "game.bin"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "1\n0\n");
    Mix m = ReadMix(dir / "mix.wav");
    // 75 steps at 30 a second: 2.5 seconds of mix.
    EXPECT_NEAR(double(m.Count()), 2.5 * 44100, 44100 / 30.0 + 1);
    EXPECT_GT(m.Tone(0, 17000, 440), 0.05);
    EXPECT_LT(m.Tone(26000, 44100, 440), 0.005);      // the beep is over
    EXPECT_GT(m.Tone(44100, 60000, 660), 0.05);       // the music loops on
    EXPECT_LT(m.Tone(75000, m.Count(), 660), 0.005);  // replaced by the MIDI music
    if (!FindSoundFont().empty()) {
        EXPECT_GT(m.Rms(75000, m.Count()), 0.01);
    }
}

}  // namespace
}  // namespace tb::test
