// The mixer the sound engine plays through: OpenAL Soft on its loopback device, so that the
// same mix can be heard (an SDL audio device pulls it) or rendered step by step on the game's
// clock (headless runs, and runs without an audio device). Voices, clips, streams, effects
// and 3D placement are addressed by small integer handles.
//
// A 2D voice is two mono sources placed hard left and hard right, so volume and pan set the
// level of each output channel exactly. A 3D voice is one mono source in the listener's
// space; the listener stands at the origin looking along +z (the game's frame) with +y up.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "sound/effects.h"

namespace tb {

class AudioOutput {
  public:
    static constexpr int kRate = 44100;

    // `device`: play through the default audio device, which then pulls the mix on its own
    // thread; when there is none (or not asked for), the caller renders with Render. Null
    // when the mixer itself cannot be made.
    static std::unique_ptr<AudioOutput> Open(bool device);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    bool HasDevice() const;
    // Frames the device has pulled so far (0 without a device).
    int64_t DeviceFrames() const;
    // The device thread runs `feed` (under Lock) before each block it renders, and `tap`
    // with each rendered block (stereo float) after.
    void SetDeviceCallbacks(std::function<void()> feed,
                            std::function<void(const float*, size_t)> tap);
    // Guards the engine's state against the device thread (a no-op lock without a device);
    // the same thread may take it again.
    std::unique_lock<std::recursive_mutex> Lock();
    // Renders stereo float frames (only without a device).
    void Render(float* out, size_t frames);

    // Clips: decoded sound held whole. Spatial clips are mixed down to mono.
    int NewClip(const float* interleaved, int64_t frames, int channels, int rate, bool spatial);
    void FreeClip(int clip);

    int NewVoice(bool spatial);
    void FreeVoice(int voice);
    void PlayClip(int voice, int clip, bool loop);
    // Streams: buffers queued one after the other, then started with Start.
    void QueueStream(int voice, const float* interleaved, size_t frames, int channels, int rate);
    // Unqueues the buffers played so far; their frames.
    int64_t ReclaimStream(int voice);
    int QueuedBuffers(int voice) const;
    void Start(int voice);
    void Stop(int voice);  // also drops every queued buffer
    bool Playing(int voice) const;
    int64_t Offset(int voice) const;                      // frames into the buffer playing
    void SetGains(int voice, double left, double right);  // 2D: per channel; 3D: left only
    void SetPitch(int voice, double pitch);
    void SetSpatial(int voice, const SpatialSettings& s);

    int NewEffects();
    void FreeEffects(int fx);
    void SetEffects(int fx, const EffectSettings& settings);  // every voice using it follows
    void UseEffects(int voice, int fx);                       // -1: none

    void SetMasterGain(double gain);

    struct Impl;

  private:
    explicit AudioOutput(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace tb
