// The sound engine: the sample table, voices playing on the mixer, background music, the
// media player for multimedia files, effects, 3D placement, the global volume and tempo, and
// the clock the mix is rendered on when no device pulls it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sound/effects.h"
#include "sound/pcm_source.h"

namespace tb {

class AudioOutput;
class WavWriter;

enum SoundKind : int32_t { kSoundNormal = 0, kSoundMusic = 1, kSound3D = 2, kSoundMedia = 3 };

struct RSoundSample {
    bool used = false;
    int32_t kind = kSoundNormal;
    int clip = -1;                                      // the mixer's clip of a sound held whole
    std::shared_ptr<const std::vector<uint8_t>> bytes;  // a streamed sound's file
    std::unique_ptr<PcmSource> spare;                   // a decoder ready for the next voice
    int64_t frames = -1;                                // length, -1 unknown
    int rate = 44100;
    int channels = 1;
    std::string file_name;  // kind 3: the file the media player plays
    // Volume in hundredths of a decibel, and its fade.
    double volume = 0, fade_from = 0, fade_to = 0;
    int64_t fade_start = 0, fade_length = 0;  // microseconds; length 0: no fade
    int32_t pan = 0;                          // hundredths of a decibel, -10000 .. 10000
    int fx = -1;                              // the mixer's effect set
    EffectSettings effects;
    SpatialSettings spatial;
};

struct SoundOptions {
    bool device = false;     // play through the audio device (else render on the clock)
    bool no_mixer = false;   // start without the mixer, as when it cannot be made
    std::string soundfont;   // General MIDI sound font for MIDI files
    std::string audio_file;  // --audio: the whole mix is written here
    std::function<void(std::string_view)> message;  // message boxes
    // Receives the mix as it is rendered (stereo float frames), beside the --audio file.
    std::function<void(const float*, size_t)> listen;
};

class SoundEngine {
  public:
    static constexpr int kMaxVoices = 200;
    static constexpr int64_t kMaxWholeSeconds = 10;  // longer sounds stream as they play
    static constexpr const char* kNameTooLong = "Music file name too long for player.";

    SoundEngine();
    ~SoundEngine();
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // Snd_Init: false when the mixer could not be made (every sound then goes through the
    // media player, which still keeps time).
    bool Init(const SoundOptions& options);
    void Done();  // Snd_Done
    bool HasMixer() const { return output_ != nullptr; }

    int NewSample(int32_t kind);
    int LoadMemory(const std::vector<uint8_t>& bytes, int32_t kind);  // -1: cannot be played
    int LoadFile(const std::string& file, int32_t kind);              // -1: no such file
    void Free(int index);
    void FreeAll();
    const RSoundSample* Sample(int index) const;
    int32_t Kind(int index) const;

    void Play(int index, bool loop);
    void Stop(int index);
    void StopAll();
    bool IsPlaying(int index);

    void SetVolume(int index, int64_t fade_ms, double volume);
    void SetPan(int index, double pan);
    void SetEffects(int index, int32_t flags);
    void Chorus(int index, const EffectSettings::Chorus& p);
    void Compressor(int index, const EffectSettings::Compressor& p);
    void Echo(int index, const EffectSettings::Echo& p);
    void Flanger(int index, const EffectSettings::Flanger& p);
    void Gargle(int index, const EffectSettings::Gargle& p);
    void Equalizer(int index, const EffectSettings::Equalizer& p);
    void Reverb(int index, const EffectSettings::Reverb& p);
    void Position3D(int index, double x, double y, double z);
    void Velocity3D(int index, double x, double y, double z);
    void Distance3D(int index, double min, double max);
    void Cone3D(int index, double x, double y, double z, int32_t inside, int32_t outside,
                double outside_volume);

    void GlobalVolume(double v);
    void Tempo(double t);
    void SearchDirectory(const std::string& dir) { search_directory_ = dir; }
    const std::string& SearchDirectoryName() const { return search_directory_; }
    double MasterVolume() const { return master_; }  // hundredths of a decibel
    double TempoFactor() const { return tempo_; }

    // A decoded stream played as it is (the sound of other parts: CD tracks, videos); its
    // handle, or -1 without a mixer.
    int PlayStream(std::unique_ptr<PcmSource> source, double gain = 1.0);
    void StopStream(int stream);
    bool StreamPlaying(int stream);
    int64_t StreamFrames(int stream);  // frames heard so far
    int StreamRate(int stream);

    // The game clock (microseconds): fades move, finished voices end and, without a device,
    // the mix is rendered up to this time. Called once a step.
    void Advance(int64_t now_us);
    int64_t Now() const { return now_us_; }
    // Decoded bytes held by sounds kept whole, and the seconds they last.
    size_t HeldBytes() const;
    double HeldSeconds() const;

    const std::string& SoundFont() const { return options_.soundfont; }
    void Message(std::string_view text) {
        if (options_.message) options_.message(text);
    }

  private:
    struct Voice;
    Voice* VoiceOf(int handle);
    int StartVoice(int sample, std::unique_ptr<PcmSource> source, bool loop, bool spatial);
    void EndVoice(size_t i);
    void Feed();  // refills every stream (under the mixer's lock)
    void FeedVoice(Voice& v);
    void ApplyGains(int sample);
    void ApplyGainsTo(Voice& v);
    void ApplyEffects(int sample);
    void PlayMedia(int sample, bool loop);
    RSoundSample* Used(int index);
    void RenderTo(int64_t frame);
    void Tap(const float* frames, size_t count);

    SoundOptions options_;
    std::unique_ptr<AudioOutput> output_;
    std::unique_ptr<WavWriter> writer_;
    std::vector<RSoundSample> samples_;
    std::vector<std::unique_ptr<Voice>> voices_;
    double master_ = 0;  // hundredths of a decibel
    double tempo_ = 1;
    std::string search_directory_;
    int64_t now_us_ = 0;
    int64_t rendered_ = 0;  // frames rendered on the clock
    std::vector<float> block_;
    // The media player: one file at a time.
    int media_sample_ = -1;
    std::string media_file_;
    int media_voice_ = -1;       // its voice on the mixer
    int64_t media_start_ = 0;    // without a mixer: when it started (microseconds)
    int64_t media_length_ = -1;  // and how long it lasts (microseconds, -1 unknown)
    bool media_loop_ = false;
    bool media_playing_ = false;
    int next_stream_ = 1;
};

}  // namespace tb
