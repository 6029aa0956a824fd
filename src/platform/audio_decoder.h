// Decoding sound files: WAV, OGG, FLAC, MP3 (and what else the sound file library reads)
// through libsndfile; standard MIDI files rendered with FluidSynth and a General MIDI sound
// font. Also the writer of the run's mix (--audio).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/pcm_source.h"

namespace tb {

using SoundBytes = std::shared_ptr<const std::vector<uint8_t>>;

// True when the bytes are a standard MIDI file (also inside a RIFF "RMID" wrapper).
bool IsMidi(const std::vector<uint8_t>& bytes);

// A decoder over bytes in memory (shared, so many voices can stream one file); null when no
// decoder accepts them. MIDI needs the sound font; without one it cannot be decoded.
std::unique_ptr<PcmSource> OpenSoundBytes(SoundBytes bytes, const std::string& soundfont);
// The same for a file on disk (read whole; large files are still decoded as they play).
std::unique_ptr<PcmSource> OpenSoundFile(const std::string& path, const std::string& soundfont);

// The General MIDI sound font: $TAMBERLO_SOUNDFONT when set, else the packaged one; empty
// when neither exists.
std::string FindSoundFont();

// Writes interleaved stereo float frames as a 16-bit WAV file, appending as the run goes.
class WavWriter {
  public:
    static std::unique_ptr<WavWriter> Create(const std::string& path, int rate, int channels);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    void Write(const float* frames, size_t count);

  private:
    WavWriter() = default;
    void* file_ = nullptr;
    int channels_ = 2;
};

// Writes a whole sound file (WAV or OGG by the extension) from interleaved float frames; for
// tests and tools. False when the file cannot be written.
bool WriteSoundFile(const std::string& path, const std::vector<float>& frames, int channels,
                    int rate);

}  // namespace tb
