// A source of decoded sound: interleaved float frames pulled as they are needed. Decoded
// sound files, MIDI renderings, CD tracks and (later) the sound of videos all reach the
// sound engine through this.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tb {

class PcmSource {
  public:
    virtual ~PcmSource() = default;
    int channels = 2;     // 1 or 2
    int rate = 44100;     // frames per second
    int64_t frames = -1;  // the length in frames, -1 when it is not known ahead

    // Fills up to `count` frames; fewer only at the end of the sound.
    virtual size_t Read(float* out, size_t count) = 0;
    // Back to the first frame; false when the source cannot go back.
    virtual bool Rewind() = 0;
    // To frame `frame` from the start; false when the source cannot seek.
    virtual bool Seek(int64_t) { return false; }
    // Playback speed of music that has a tempo of its own (MIDI); others ignore it.
    virtual void SetTempo(double) {}
};

}  // namespace tb
