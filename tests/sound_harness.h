// Sounds made by the tests themselves (tones written through the sound file library, a MIDI
// file from hand-written bytes) and measures of the rendered mix.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio_decoder.h"

namespace tb::test {

constexpr double kPi = 3.14159265358979323846;

// A sine tone, interleaved; the same on every channel.
inline std::vector<float> Tone(double seconds, double hz, int channels = 1, int rate = 44100,
                               float amplitude = 0.5f) {
    size_t frames = size_t(seconds * rate);
    std::vector<float> out(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * size_t(channels) + size_t(c)] =
                amplitude * float(std::sin(2 * kPi * hz * double(i) / rate));
    return out;
}

inline std::vector<uint8_t> FileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
        std::fclose(f);
    }
    return bytes;
}

// A tone written as a sound file (the format by the extension) and read back as bytes.
inline std::vector<uint8_t> ToneFile(const std::string& path, double seconds, double hz,
                                     int channels = 1, int rate = 44100) {
    WriteSoundFile(path, Tone(seconds, hz, channels, rate), channels, rate);
    return FileBytes(path);
}

// A standard MIDI file: one track, a piano holding middle C and E for `beats` beats at
// 120 beats a minute (480 ticks a beat).
inline std::vector<uint8_t> MidiFile(int beats = 2) {
    std::vector<uint8_t> track = {0x00, 0xC0, 0x00,        // program 0
                                  0x00, 0x90, 60,   100,   // note on C
                                  0x00, 0x90, 64,   100};  // note on E
    uint32_t ticks = uint32_t(beats) * 480;
    // Variable-length delta time.
    std::vector<uint8_t> delta;
    delta.push_back(uint8_t(ticks & 0x7F));
    for (ticks >>= 7; ticks; ticks >>= 7)
        delta.insert(delta.begin(), uint8_t(0x80 | (ticks & 0x7F)));
    track.insert(track.end(), delta.begin(), delta.end());
    for (uint8_t b : {0x80, 60, 0, 0x00, 0x80, 64, 0, 0x00, 0xFF, 0x2F, 0x00}) track.push_back(b);
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd',  0,    0,   0,   6,   0,
                                 0,   0,   1,   0x01, 0xE0, 'M', 'T', 'r', 'k'};
    uint32_t n = uint32_t(track.size());
    for (int s = 24; s >= 0; s -= 8) file.push_back(uint8_t(n >> s));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

// The mix as it was rendered: stereo frames.
struct Mix {
    std::vector<float> frames;
    void Add(const float* f, size_t n) { frames.insert(frames.end(), f, f + n * 2); }
    size_t Count() const { return frames.size() / 2; }
    // RMS of one channel (0 left, 1 right, -1 both) over frames [from, to).
    double Rms(size_t from, size_t to, int channel = -1) const {
        to = std::min(to, Count());
        double sum = 0;
        size_t n = 0;
        for (size_t i = from; i < to; ++i) {
            for (int c = 0; c < 2; ++c) {
                if (channel >= 0 && c != channel) continue;
                double v = frames[i * 2 + size_t(c)];
                sum += v * v;
                ++n;
            }
        }
        return n ? std::sqrt(sum / double(n)) : 0;
    }
    // Power of one frequency (Goertzel) over both channels, relative to the window's length.
    double Tone(size_t from, size_t to, double hz, int rate = 44100) const {
        to = std::min(to, Count());
        double w = 2 * std::cos(2 * kPi * hz / rate), s1 = 0, s2 = 0;
        for (size_t i = from; i < to; ++i) {
            double s = 0.5 * (frames[i * 2] + frames[i * 2 + 1]) + w * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        double power = s1 * s1 + s2 * s2 - w * s1 * s2;
        return to > from ? std::sqrt(power) / double(to - from) : 0;
    }
};

inline double Db(double ratio) {
    return 20 * std::log10(ratio);
}

}  // namespace tb::test
