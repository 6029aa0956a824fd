#include "platform/audio_output.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <vector>

#include "platform/audio_effects.h"

namespace tb {

namespace {

constexpr int kMaxSends = 16;

struct Clip {
    bool used = false;
    ALuint left = 0, right = 0;  // right == left for mono and spatial clips
};

struct Voice {
    bool used = false;
    bool spatial = false;
    ALuint src[2] = {0, 0};
    int count = 2;
    int fx = -1;
    std::deque<std::pair<ALuint, ALuint>> buffers;  // queued stream buffers
    std::deque<int64_t> frames;                     // their lengths
};

struct Effects {
    bool used = false;
    EffectChain chain;
};

template <class T>
int Take(std::vector<T>& table) {
    for (size_t i = 0; i < table.size(); ++i)
        if (!table[i].used) return int(i);
    table.emplace_back();
    return int(table.size() - 1);
}

ALuint MonoBuffer(const float* in, int64_t frames, int channels, int pick, int rate, bool as16) {
    // pick: 0 left, 1 right, -1 the mix of both.
    ALuint b = 0;
    alGenBuffers(1, &b);
    auto sample = [&](int64_t i) {
        if (channels == 1) return in[i];
        if (pick < 0) return 0.5f * (in[i * 2] + in[i * 2 + 1]);
        return in[i * 2 + pick];
    };
    if (as16) {
        std::vector<int16_t> pcm(static_cast<size_t>(frames));
        for (int64_t i = 0; i < frames; ++i)
            pcm[size_t(i)] = int16_t(std::lrint(std::clamp(sample(i), -1.f, 1.f) * 32767.f));
        alBufferData(b, AL_FORMAT_MONO16, pcm.data(), ALsizei(frames * 2), rate);
    } else {
        std::vector<float> pcm(static_cast<size_t>(frames));
        for (int64_t i = 0; i < frames; ++i) pcm[size_t(i)] = sample(i);
        alBufferData(b, AL_FORMAT_MONO_FLOAT32, pcm.data(), ALsizei(frames * 4), rate);
    }
    return b;
}

}  // namespace

struct AudioOutput::Impl {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    ALuint filter = 0;  // scratch filter: OpenAL copies its values where it is attached
    SDL_AudioDeviceID sdl = 0;
    bool sdl_audio = false;
    std::recursive_mutex mutex;
    std::atomic<int64_t> device_frames{0};
    std::function<void()> feed;
    std::function<void(const float*, size_t)> tap;
    std::vector<Clip> clips;
    std::vector<Voice> voices;
    std::vector<Effects> effects;

    void Use() const { alcSetThreadContext(context); }

    Voice* V(int v) {
        return v >= 0 && size_t(v) < voices.size() && voices[size_t(v)].used ? &voices[size_t(v)]
                                                                             : nullptr;
    }

    void ApplyEffects(Voice& v) {
        const EffectChain* chain =
            v.fx >= 0 && size_t(v.fx) < effects.size() && effects[size_t(v.fx)].used
                ? &effects[size_t(v.fx)].chain
                : nullptr;
        for (int s = 0; s < v.count; ++s) {
            ALuint src = v.src[s];
            alFilteri(filter, AL_FILTER_TYPE, AL_FILTER_LOWPASS);
            alFilterf(filter, AL_LOWPASS_GAINHF, 1.f);
            alFilterf(filter, AL_LOWPASS_GAIN, chain ? chain->dry : 1.f);
            alSourcei(src, AL_DIRECT_FILTER, ALint(filter));
            size_t n = chain ? chain->stages.size() : 0;
            for (size_t i = 0; i < kMaxSends; ++i) {
                if (i < n) {
                    alFilterf(filter, AL_LOWPASS_GAIN, chain->stages[i].send);
                    alSource3i(src, AL_AUXILIARY_SEND_FILTER, ALint(chain->stages[i].slot),
                               ALint(i), ALint(filter));
                } else {
                    alSource3i(src, AL_AUXILIARY_SEND_FILTER, AL_EFFECTSLOT_NULL, ALint(i),
                               AL_FILTER_NULL);
                }
            }
        }
    }

    void DropBuffers(Voice& v) {
        alSourceStopv(v.count, v.src);
        for (int s = 0; s < v.count; ++s) alSourcei(v.src[s], AL_BUFFER, 0);
        for (auto& [l, r] : v.buffers) {
            alDeleteBuffers(1, &l);
            if (r != l) alDeleteBuffers(1, &r);
        }
        v.buffers.clear();
        v.frames.clear();
    }

    static void Callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<Impl*>(user);
        size_t frames = size_t(len) / (2 * sizeof(float));
        auto* out = reinterpret_cast<float*>(stream);
        std::lock_guard<std::recursive_mutex> lock(self->mutex);
        if (self->feed) self->feed();
        alcRenderSamplesSOFT(self->device, out, ALCsizei(frames));
        self->device_frames += int64_t(frames);
        if (self->tap) self->tap(out, frames);
    }
};

AudioOutput::AudioOutput(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<AudioOutput> AudioOutput::Open(bool device) {
    auto impl = std::make_unique<Impl>();
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return nullptr;
    impl->device = alcLoopbackOpenDeviceSOFT(nullptr);
    if (!impl->device) return nullptr;
    const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT,
                            ALC_STEREO_SOFT,
                            ALC_FORMAT_TYPE_SOFT,
                            ALC_FLOAT_SOFT,
                            ALC_FREQUENCY,
                            kRate,
                            ALC_MAX_AUXILIARY_SENDS,
                            kMaxSends,
                            ALC_HRTF_SOFT,
                            ALC_FALSE,
                            ALC_OUTPUT_LIMITER_SOFT,
                            ALC_FALSE,
                            0};
    impl->context = alcCreateContext(impl->device, attrs);
    if (!impl->context) {
        alcCloseDevice(impl->device);
        return nullptr;
    }
    impl->Use();
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    const ALfloat orientation[] = {0, 0, -1, 0, 1, 0};
    alListenerfv(AL_ORIENTATION, orientation);
    alGenFilters(1, &impl->filter);
    alFilteri(impl->filter, AL_FILTER_TYPE, AL_FILTER_LOWPASS);

    if (device && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        impl->sdl_audio = true;
        SDL_AudioSpec want{}, have{};
        want.freq = kRate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &Impl::Callback;
        want.userdata = impl.get();
        impl->sdl = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (impl->sdl) SDL_PauseAudioDevice(impl->sdl, 0);
    }
    return std::unique_ptr<AudioOutput>(new AudioOutput(std::move(impl)));
}

AudioOutput::~AudioOutput() {
    Impl& m = *impl_;
    if (m.sdl) SDL_CloseAudioDevice(m.sdl);
    if (m.sdl_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m.Use();
    for (size_t i = 0; i < m.voices.size(); ++i) FreeVoice(int(i));
    for (size_t i = 0; i < m.clips.size(); ++i) FreeClip(int(i));
    for (size_t i = 0; i < m.effects.size(); ++i) FreeEffects(int(i));
    alDeleteFilters(1, &m.filter);
    alcSetThreadContext(nullptr);
    alcDestroyContext(m.context);
    alcCloseDevice(m.device);
}

bool AudioOutput::HasDevice() const {
    return impl_->sdl != 0;
}

int64_t AudioOutput::DeviceFrames() const {
    return impl_->device_frames.load();
}

void AudioOutput::SetDeviceCallbacks(std::function<void()> feed,
                                     std::function<void(const float*, size_t)> tap) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    impl_->feed = std::move(feed);
    impl_->tap = std::move(tap);
}

std::unique_lock<std::recursive_mutex> AudioOutput::Lock() {
    return impl_->sdl ? std::unique_lock<std::recursive_mutex>(impl_->mutex)
                      : std::unique_lock<std::recursive_mutex>();
}

void AudioOutput::Render(float* out, size_t frames) {
    if (impl_->sdl) return;
    alcRenderSamplesSOFT(impl_->device, out, ALCsizei(frames));
}

int AudioOutput::NewClip(const float* in, int64_t frames, int channels, int rate, bool spatial) {
    Impl& m = *impl_;
    m.Use();
    int id = Take(m.clips);
    Clip& c = m.clips[size_t(id)];
    c.used = true;
    if (channels == 1 || spatial) {
        c.left = c.right = MonoBuffer(in, frames, channels, -1, rate, true);
    } else {
        c.left = MonoBuffer(in, frames, channels, 0, rate, true);
        c.right = MonoBuffer(in, frames, channels, 1, rate, true);
    }
    return id;
}

void AudioOutput::FreeClip(int id) {
    Impl& m = *impl_;
    if (id < 0 || size_t(id) >= m.clips.size() || !m.clips[size_t(id)].used) return;
    m.Use();
    Clip& c = m.clips[size_t(id)];
    // Sources still holding the clip let go of it first.
    for (Voice& v : m.voices) {
        if (!v.used || !v.buffers.empty()) continue;
        for (int s = 0; s < v.count; ++s) {
            ALint b = 0;
            alGetSourcei(v.src[s], AL_BUFFER, &b);
            if (ALuint(b) == c.left || ALuint(b) == c.right) {
                alSourceStop(v.src[s]);
                alSourcei(v.src[s], AL_BUFFER, 0);
            }
        }
    }
    alDeleteBuffers(1, &c.left);
    if (c.right != c.left) alDeleteBuffers(1, &c.right);
    c = Clip{};
}

int AudioOutput::NewVoice(bool spatial) {
    Impl& m = *impl_;
    m.Use();
    int id = Take(m.voices);
    Voice& v = m.voices[size_t(id)];
    v = Voice{};
    v.used = true;
    v.spatial = spatial;
    v.count = spatial ? 1 : 2;
    alGenSources(v.count, v.src);
    for (int s = 0; s < v.count; ++s) {
        ALuint src = v.src[s];
        if (spatial) {
            alSourcei(src, AL_SOURCE_RELATIVE, AL_FALSE);
            alSourcef(src, AL_ROLLOFF_FACTOR, 1.f);
        } else {
            // Hard left and hard right: each source feeds one output channel alone.
            alSourcei(src, AL_SOURCE_RELATIVE, AL_TRUE);
            alSource3f(src, AL_POSITION, s == 0 ? -1.f : 1.f, 0, 0);
            alSourcef(src, AL_ROLLOFF_FACTOR, 0.f);
        }
    }
    SetSpatial(id, SpatialSettings{});
    m.ApplyEffects(v);
    return id;
}

void AudioOutput::FreeVoice(int id) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v) return;
    m.Use();
    m.DropBuffers(*v);
    alDeleteSources(v->count, v->src);
    *v = Voice{};
}

void AudioOutput::PlayClip(int id, int clip, bool loop) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v || clip < 0 || size_t(clip) >= m.clips.size() || !m.clips[size_t(clip)].used) return;
    m.Use();
    m.DropBuffers(*v);
    const Clip& c = m.clips[size_t(clip)];
    for (int s = 0; s < v->count; ++s) {
        alSourcei(v->src[s], AL_BUFFER, ALint(s == 0 ? c.left : c.right));
        alSourcei(v->src[s], AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    }
    alSourcePlayv(v->count, v->src);
}

void AudioOutput::QueueStream(int id, const float* in, size_t frames, int channels, int rate) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v || frames == 0) return;
    m.Use();
    if (v->buffers.empty()) {
        for (int s = 0; s < v->count; ++s) {
            ALint state = 0;
            alGetSourcei(v->src[s], AL_SOURCE_STATE, &state);
            if (state != AL_INITIAL && state != AL_STOPPED) alSourceStop(v->src[s]);
            alSourcei(v->src[s], AL_BUFFER, 0);
            alSourcei(v->src[s], AL_LOOPING, AL_FALSE);
        }
    }
    ALuint l, r;
    if (v->spatial || channels == 1) {
        l = MonoBuffer(in, int64_t(frames), channels, -1, rate, false);
        r = l;
    } else {
        l = MonoBuffer(in, int64_t(frames), channels, 0, rate, false);
        r = MonoBuffer(in, int64_t(frames), channels, 1, rate, false);
    }
    alSourceQueueBuffers(v->src[0], 1, &l);
    if (v->count == 2) alSourceQueueBuffers(v->src[1], 1, &r);
    v->buffers.emplace_back(l, r);
    v->frames.push_back(int64_t(frames));
}

int64_t AudioOutput::ReclaimStream(int id) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v || v->buffers.empty()) return 0;
    m.Use();
    ALint done = 0;
    alGetSourcei(v->src[0], AL_BUFFERS_PROCESSED, &done);
    int64_t frames = 0;
    for (ALint i = 0; i < done && !v->buffers.empty(); ++i) {
        auto [l, r] = v->buffers.front();
        alSourceUnqueueBuffers(v->src[0], 1, &l);
        if (v->count == 2) alSourceUnqueueBuffers(v->src[1], 1, &r);
        alDeleteBuffers(1, &l);
        if (r != l) alDeleteBuffers(1, &r);
        frames += v->frames.front();
        v->buffers.pop_front();
        v->frames.pop_front();
    }
    return frames;
}

int AudioOutput::QueuedBuffers(int id) const {
    Voice* v = impl_->V(id);
    return v ? int(v->buffers.size()) : 0;
}

void AudioOutput::Start(int id) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v) return;
    m.Use();
    alSourcePlayv(v->count, v->src);
}

void AudioOutput::Stop(int id) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v) return;
    m.Use();
    alSourceStopv(v->count, v->src);
    m.DropBuffers(*v);
}

bool AudioOutput::Playing(int id) const {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v) return false;
    m.Use();
    ALint state = 0;
    alGetSourcei(v->src[0], AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

int64_t AudioOutput::Offset(int id) const {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v) return 0;
    m.Use();
    ALint offset = 0;
    alGetSourcei(v->src[0], AL_SAMPLE_OFFSET, &offset);
    return offset;
}

void AudioOutput::SetGains(int id, double left, double right) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v) return;
    m.Use();
    alSourcef(v->src[0], AL_GAIN, float(std::max(left, 0.0)));
    if (v->count == 2) alSourcef(v->src[1], AL_GAIN, float(std::max(right, 0.0)));
}

void AudioOutput::SetPitch(int id, double pitch) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v) return;
    m.Use();
    for (int s = 0; s < v->count; ++s) alSourcef(v->src[s], AL_PITCH, float(pitch));
}

void AudioOutput::SetSpatial(int id, const SpatialSettings& s) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v || !v->spatial) return;
    m.Use();
    // The game's frame is left-handed (z ahead); OpenAL's is right-handed (-z ahead).
    ALuint src = v->src[0];
    alSource3f(src, AL_POSITION, float(s.position[0]), float(s.position[1]), float(-s.position[2]));
    alSource3f(src, AL_VELOCITY, float(s.velocity[0]), float(s.velocity[1]), float(-s.velocity[2]));
    alSource3f(src, AL_DIRECTION, float(s.cone[0]), float(s.cone[1]), float(-s.cone[2]));
    alSourcef(src, AL_MAX_DISTANCE, float(std::max(s.max_distance, 0.0)));
    alSourcef(src, AL_REFERENCE_DISTANCE, float(std::max(s.min_distance, 0.0)));
    alSourcef(src, AL_CONE_INNER_ANGLE, float(std::clamp(s.inside_angle, 0, 360)));
    alSourcef(src, AL_CONE_OUTER_ANGLE, float(std::clamp(s.outside_angle, 0, 360)));
    alSourcef(src, AL_CONE_OUTER_GAIN,
              float(std::pow(10.0, std::clamp(s.outside_volume, -10000, 0) / 2000.0)));
}

int AudioOutput::NewEffects() {
    Impl& m = *impl_;
    int id = Take(m.effects);
    m.effects[size_t(id)].used = true;
    return id;
}

void AudioOutput::FreeEffects(int fx) {
    Impl& m = *impl_;
    if (fx < 0 || size_t(fx) >= m.effects.size() || !m.effects[size_t(fx)].used) return;
    m.Use();
    for (Voice& v : m.voices) {
        if (v.used && v.fx == fx) {
            v.fx = -1;
            m.ApplyEffects(v);
        }
    }
    m.effects[size_t(fx)].chain.Clear();
    m.effects[size_t(fx)].used = false;
}

void AudioOutput::SetEffects(int fx, const EffectSettings& settings) {
    Impl& m = *impl_;
    if (fx < 0 || size_t(fx) >= m.effects.size() || !m.effects[size_t(fx)].used) return;
    m.Use();
    // Detach first: a slot still fed by a source cannot be deleted.
    for (Voice& v : m.voices) {
        if (!v.used || v.fx != fx) continue;
        for (int s = 0; s < v.count; ++s)
            for (ALint i = 0; i < kMaxSends; ++i)
                alSource3i(v.src[s], AL_AUXILIARY_SEND_FILTER, AL_EFFECTSLOT_NULL, i,
                           AL_FILTER_NULL);
    }
    m.effects[size_t(fx)].chain.Build(settings);
    for (Voice& v : m.voices)
        if (v.used && v.fx == fx) m.ApplyEffects(v);
}

void AudioOutput::UseEffects(int id, int fx) {
    Impl& m = *impl_;
    Voice* v = m.V(id);
    if (!v) return;
    m.Use();
    v->fx = fx;
    m.ApplyEffects(*v);
}

void AudioOutput::SetMasterGain(double gain) {
    impl_->Use();
    alListenerf(AL_GAIN, float(std::max(gain, 0.0)));
}

}  // namespace tb
