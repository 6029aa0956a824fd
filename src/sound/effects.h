// The effect settings of one sample, in the units the game's sound functions use (the
// platform maps them to its own effects). Defaults are those of a freshly added effect.
#pragma once

#include <cstdint>

namespace tb {

// Effect flag bits, in the order the chain is built: chorus, echo, flanger, gargle,
// equaliser, reverb, compressor, a second equaliser, distortion, room reverb.
enum EffectFlag : int32_t {
    kFxChorus = 1,
    kFxEcho = 2,
    kFxFlanger = 4,
    kFxGargle = 8,
    kFxReverb = 16,
    kFxCompressor = 32,
    kFxEqualizer = 64,
    kFxDistortion = 128,
    kFxRoomReverb = 256,
};

struct EffectSettings {
    int32_t flags = 0;
    struct Chorus {
        double wetdry = 50, depth = 10, feedback = 25, frequency = 1.1;
        int32_t waveform = 1;  // 0 triangle, 1 sine
        double delay = 16;     // ms
        int32_t phase = 3;     // 0 .. 4: -180, -90, 0, 90, 180 degrees
    } chorus;
    struct Compressor {
        double gain = 0, attack = 10, release = 200, threshold = -20, ratio = 3, predelay = 4;
    } compressor;
    struct Echo {
        double wetdry = 50, feedback = 50, left = 500, right = 500;  // delays in ms
        int32_t pandelay = 0;
    } echo;
    struct Flanger {
        double wetdry = 50, depth = 100, feedback = -50, frequency = 0.25;
        int32_t waveform = 1;
        double delay = 2;
        int32_t phase = 2;
    } flanger;
    struct Gargle {
        int32_t rate = 20;  // Hz
        int32_t shape = 0;  // 0 triangle, 1 square
    } gargle;
    struct Equalizer {
        double center = 8000, bandwidth = 12, gain = 0;  // Hz, semitones, dB
    } equalizer;
    struct Reverb {
        double in_gain = 0, mix = 0, time = 1000, ratio = 0.001;  // dB, dB, ms, ratio
    } reverb;
};

// A 3D voice's place: positions in the game's left-handed frame (x right, y up, z ahead).
struct SpatialSettings {
    double position[3] = {0, 0, 0};
    double velocity[3] = {0, 0, 0};
    double min_distance = 1, max_distance = 1e9;
    double cone[3] = {0, 0, 1};
    int32_t inside_angle = 360, outside_angle = 360;
    int32_t outside_volume = 0;  // hundredths of a decibel
};

}  // namespace tb
