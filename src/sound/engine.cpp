#include "sound/engine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/audio_decoder.h"
#include "platform/audio_output.h"

namespace tb {

namespace {

constexpr size_t kChunkFrames = 4096;  // one streamed buffer (about 93 ms)
constexpr int kQueueDepth = 4;         // buffers kept ahead of a stream
constexpr size_t kBlockFrames = 1024;  // clock rendering goes in blocks, streams fed between
constexpr int64_t kMaxCatchUpUs = 10'000'000;

double GainOfMb(double mb) {
    // The mixer's volume stops at 0 dB, as the original's path volume does.
    return std::pow(10.0, std::min(mb, 0.0) / 2000.0);
}

}  // namespace

struct SoundEngine::Voice {
    int id = 0;
    int sample = -1;  // -1: a stream of another part
    int out = -1;     // the mixer's voice
    bool loop = false;
    bool media = false;
    bool spatial = false;
    std::unique_ptr<PcmSource> source;  // null: a clip held whole
    bool source_done = false;
    bool fresh = true;  // started since the last Advance: counts as playing
    int64_t heard = 0;  // stream frames played out
    double gain = 1;    // streams of other parts
    std::vector<float> scratch;
};

SoundEngine::SoundEngine() = default;

SoundEngine::~SoundEngine() {
    Done();
}

bool SoundEngine::Init(const SoundOptions& options) {
    Done();
    options_ = options;
    if (!options.no_mixer) output_ = AudioOutput::Open(options.device);
    if (!options.audio_file.empty())
        writer_ = WavWriter::Create(options.audio_file, AudioOutput::kRate, 2);
    if (output_ && output_->HasDevice()) {
        output_->SetDeviceCallbacks([this] { Feed(); },
                                    [this](const float* f, size_t n) { Tap(f, n); });
    }
    GlobalVolume(1.0);
    return output_ != nullptr;
}

void SoundEngine::Done() {
    if (output_) output_->SetDeviceCallbacks({}, {});
    {
        auto lock = output_ ? output_->Lock() : std::unique_lock<std::recursive_mutex>();
        while (!voices_.empty()) EndVoice(voices_.size() - 1);
        FreeAll();
        samples_.clear();
    }
    output_.reset();
    writer_.reset();
    media_sample_ = media_voice_ = -1;
    media_playing_ = false;
    rendered_ = 0;
}

// ---- samples

RSoundSample* SoundEngine::Used(int index) {
    if (index < 0 || size_t(index) >= samples_.size() || !samples_[size_t(index)].used)
        return nullptr;
    return &samples_[size_t(index)];
}

const RSoundSample* SoundEngine::Sample(int index) const {
    return const_cast<SoundEngine*>(this)->Used(index);
}

int32_t SoundEngine::Kind(int index) const {
    const RSoundSample* s = Sample(index);
    return s ? s->kind : -1;
}

int SoundEngine::NewSample(int32_t kind) {
    size_t i = 0;
    while (i < samples_.size() && samples_[i].used) ++i;
    if (i == samples_.size()) samples_.emplace_back();
    RSoundSample& s = samples_[i];
    s = RSoundSample{};
    s.used = true;
    s.kind = output_ && kind >= 0 && kind <= 2 ? kind : kSoundMedia;
    return int(i);
}

int SoundEngine::LoadMemory(const std::vector<uint8_t>& bytes, int32_t kind) {
    if (!output_) return -1;
    auto shared = std::make_shared<const std::vector<uint8_t>>(bytes);
    std::unique_ptr<PcmSource> src = OpenSoundBytes(shared, options_.soundfont);
    if (!src) return -1;
    auto lock = output_->Lock();
    int index = NewSample(kind);
    RSoundSample& s = samples_[size_t(index)];
    s.rate = src->rate;
    s.channels = src->channels;
    s.frames = src->frames;
    if (src->frames >= 0 && src->frames <= kMaxWholeSeconds * src->rate) {
        // Short sounds are decoded once, here, so playing them costs nothing.
        std::vector<float> pcm(size_t(src->frames) * size_t(src->channels));
        size_t got = src->frames ? src->Read(pcm.data(), size_t(src->frames)) : 0;
        if (got == 0) {
            s = RSoundSample{};
            return -1;
        }
        s.frames = int64_t(got);
        s.clip =
            output_->NewClip(pcm.data(), s.frames, src->channels, src->rate, s.kind == kSound3D);
    } else {
        s.bytes = std::move(shared);
        s.spare = std::move(src);
    }
    return index;
}

int SoundEngine::LoadFile(const std::string& file, int32_t kind) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return -1;
    if (kind != kSoundMedia && output_) {
        std::unique_ptr<PcmSource> probe = OpenSoundFile(file, options_.soundfont);
        if (probe) {
            std::ifstream in(file, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            int index = LoadMemory(bytes, kind);
            if (index >= 0) return index;
        }
    }
    int index = NewSample(kSoundMedia);
    samples_[size_t(index)].kind = kSoundMedia;
    samples_[size_t(index)].file_name = file;
    return index;
}

void SoundEngine::Free(int index) {
    RSoundSample* s = Used(index);
    if (!s) return;
    auto lock = output_ ? output_->Lock() : std::unique_lock<std::recursive_mutex>();
    for (size_t i = voices_.size(); i-- > 0;)
        if (voices_[i]->sample == index) EndVoice(i);
    if (media_sample_ == index) {
        media_sample_ = -1;
        media_playing_ = false;
    }
    if (output_) {
        output_->FreeClip(s->clip);
        output_->FreeEffects(s->fx);
    }
    *s = RSoundSample{};
}

void SoundEngine::FreeAll() {
    for (size_t i = 0; i < samples_.size(); ++i) Free(int(i));
}

// ---- voices

SoundEngine::Voice* SoundEngine::VoiceOf(int handle) {
    for (auto& v : voices_)
        if (v->id == handle) return v.get();
    return nullptr;
}

int SoundEngine::StartVoice(int sample, std::unique_ptr<PcmSource> source, bool loop,
                            bool spatial) {
    if (voices_.size() >= size_t(kMaxVoices)) {
        // Full: the oldest voice that ends on its own makes room.
        size_t victim = 0;
        for (size_t i = 0; i < voices_.size(); ++i) {
            if (!voices_[i]->loop) {
                victim = i;
                break;
            }
        }
        EndVoice(victim);
    }
    auto v = std::make_unique<Voice>();
    v->id = next_stream_++;
    v->sample = sample;
    v->loop = loop;
    v->spatial = spatial;
    v->out = output_->NewVoice(spatial);
    v->source = std::move(source);
    if (v->source) v->source->SetTempo(tempo_);
    Voice& ref = *v;
    voices_.push_back(std::move(v));
    if (RSoundSample* s = Used(sample)) {
        if (s->fx >= 0) output_->UseEffects(ref.out, s->fx);
        if (spatial) output_->SetSpatial(ref.out, s->spatial);
        ApplyGainsTo(ref);
        if (!ref.source) output_->PlayClip(ref.out, s->clip, loop);
    } else {
        ApplyGainsTo(ref);
    }
    // A stream is decoded by the next feed (the render or the device), not here.
    return ref.id;
}

void SoundEngine::EndVoice(size_t i) {
    std::unique_ptr<Voice> v = std::move(voices_[i]);
    voices_.erase(voices_.begin() + std::ptrdiff_t(i));
    if (output_) output_->FreeVoice(v->out);
    if (media_voice_ == v->id) media_voice_ = -1;
    // A finished decoder goes back to its sample for the next play.
    if (v->source && !v->media) {
        if (RSoundSample* s = Used(v->sample); s && !s->spare && v->source->Rewind())
            s->spare = std::move(v->source);
    }
}

void SoundEngine::FeedVoice(Voice& v) {
    if (!v.source) return;
    v.heard += output_->ReclaimStream(v.out);
    const int ch = v.source->channels;
    while (!v.source_done && output_->QueuedBuffers(v.out) < kQueueDepth) {
        v.scratch.resize(kChunkFrames * size_t(ch));
        size_t got = 0;
        while (got < kChunkFrames) {
            size_t n = v.source->Read(v.scratch.data() + got * size_t(ch), kChunkFrames - got);
            got += n;
            if (got < kChunkFrames) {
                if (v.loop && n > 0 && v.source->Rewind()) continue;
                if (v.loop && n == 0 && got > 0 && v.source->Rewind()) continue;
                v.source_done = true;
                break;
            }
        }
        if (got == 0) break;
        output_->QueueStream(v.out, v.scratch.data(), got, ch, v.source->rate);
    }
    if (output_->QueuedBuffers(v.out) > 0 && !output_->Playing(v.out)) output_->Start(v.out);
}

void SoundEngine::Feed() {
    for (auto& v : voices_) FeedVoice(*v);
}

void SoundEngine::ApplyGainsTo(Voice& v) {
    if (!output_) return;
    const RSoundSample* s = Used(v.sample);
    if (!s || v.media) {
        output_->SetGains(v.out, v.gain, v.gain);
        return;
    }
    double mb = s->volume;
    if (s->fade_length > 0) {
        double t = std::clamp(double(now_us_ - s->fade_start) / double(s->fade_length), 0.0, 1.0);
        mb = s->fade_from + (s->fade_to - s->fade_from) * t;
    }
    double g = GainOfMb(mb);
    if (v.spatial) {
        output_->SetGains(v.out, g, g);
        return;
    }
    // Pan attenuates the other side: +p hundredths of a decibel off the left, -p off the right.
    double left = g * std::pow(10.0, -std::max(s->pan, 0) / 2000.0);
    double right = g * std::pow(10.0, std::min(s->pan, 0) / 2000.0);
    output_->SetGains(v.out, left, right);
}

void SoundEngine::ApplyGains(int sample) {
    for (auto& v : voices_)
        if (v->sample == sample) ApplyGainsTo(*v);
}

// ---- playing

void SoundEngine::Play(int index, bool loop) {
    RSoundSample* s = Used(index);
    if (!s) return;
    if (s->kind == kSoundMedia) {
        PlayMedia(index, loop);
        return;
    }
    auto lock = output_->Lock();
    if (s->kind == kSoundMusic) {
        // Background music replaces the background music that plays.
        for (size_t i = voices_.size(); i-- > 0;) {
            const RSoundSample* o = Used(voices_[i]->sample);
            if (o && o->kind == kSoundMusic && !voices_[i]->media) EndVoice(i);
        }
    }
    std::unique_ptr<PcmSource> source;
    if (s->clip < 0) {
        source = s->spare ? std::move(s->spare) : OpenSoundBytes(s->bytes, options_.soundfont);
        if (!source) return;
    }
    StartVoice(index, std::move(source), loop, s->kind == kSound3D);
}

void SoundEngine::PlayMedia(int index, bool loop) {
    RSoundSample& s = samples_[size_t(index)];
    if (s.file_name.size() >= 127) {
        Message(kNameTooLong);
        return;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(s.file_name, ec)) return;
    auto lock = output_ ? output_->Lock() : std::unique_lock<std::recursive_mutex>();
    // One file at a time: the player stops what it plays.
    if (Voice* old = VoiceOf(media_voice_)) {
        for (size_t i = 0; i < voices_.size(); ++i)
            if (voices_[i].get() == old) EndVoice(i);
    }
    media_voice_ = -1;
    media_playing_ = false;
    media_sample_ = index;
    media_file_ = s.file_name;
    media_loop_ = loop;
    std::unique_ptr<PcmSource> source = OpenSoundFile(s.file_name, options_.soundfont);
    if (!source) return;  // the player cannot play it: nothing is heard, nothing plays
    media_playing_ = true;
    media_start_ = now_us_;
    media_length_ = source->frames >= 0 ? source->frames * 1'000'000 / source->rate : -1;
    if (!output_) return;
    media_voice_ = StartVoice(index, std::move(source), loop, false);
    if (Voice* v = VoiceOf(media_voice_)) {
        v->media = true;
        ApplyGainsTo(*v);
    }
}

void SoundEngine::Stop(int index) {
    RSoundSample* s = Used(index);
    if (!s) return;
    auto lock = output_ ? output_->Lock() : std::unique_lock<std::recursive_mutex>();
    if (s->kind == kSoundMedia) {
        if (media_sample_ != index || media_file_ != s->file_name) return;
        for (size_t i = voices_.size(); i-- > 0;)
            if (voices_[i]->id == media_voice_) EndVoice(i);
        media_voice_ = -1;
        media_playing_ = false;
        return;
    }
    for (size_t i = voices_.size(); i-- > 0;)
        if (voices_[i]->sample == index && !voices_[i]->media) EndVoice(i);
}

void SoundEngine::StopAll() {
    for (size_t i = 0; i < samples_.size(); ++i) Stop(int(i));
}

bool SoundEngine::IsPlaying(int index) {
    RSoundSample* s = Used(index);
    if (!s) return false;
    if (s->kind == kSoundMedia) {
        if (media_sample_ != index || media_file_ != s->file_name || !media_playing_) return false;
        if (!output_) {
            // No mixer: the player keeps time by the file's length on the game clock.
            return media_loop_ || media_length_ < 0 || now_us_ - media_start_ < media_length_;
        }
    }
    auto lock = output_->Lock();
    for (auto& v : voices_) {
        if (v->sample != index) continue;
        if (v->fresh || output_->Playing(v->out)) return true;
        if (v->source && (!v->source_done || output_->QueuedBuffers(v->out) > 0)) return true;
    }
    return false;
}

// ---- volume, pan, global settings

void SoundEngine::SetVolume(int index, int64_t fade_ms, double volume) {
    RSoundSample* s = Used(index);
    if (!s || s->kind == kSoundMedia) return;
    auto lock = output_->Lock();
    double target = std::round(volume * 9600) - 9600;
    if (fade_ms > 0) {
        double current = s->volume;
        if (s->fade_length > 0) {
            double t =
                std::clamp(double(now_us_ - s->fade_start) / double(s->fade_length), 0.0, 1.0);
            current = s->fade_from + (s->fade_to - s->fade_from) * t;
        }
        s->fade_from = current;
        s->fade_to = target;
        s->fade_start = now_us_;
        s->fade_length = fade_ms * 1000;
    } else {
        s->fade_length = 0;
    }
    s->volume = target;
    ApplyGains(index);
}

void SoundEngine::SetPan(int index, double pan) {
    RSoundSample* s = Used(index);
    if (!s || s->kind == kSoundMedia) return;
    auto lock = output_->Lock();
    s->pan = int32_t(std::clamp(std::nearbyint(pan * 10000), -10000.0, 10000.0));
    ApplyGains(index);
}

void SoundEngine::GlobalVolume(double v) {
    master_ = std::clamp(std::nearbyint(v * 11000 - 10000), -10000.0, 1000.0);
    // The +10 dB maximum is the mixer's unity gain, so a game at full volume plays its
    // samples at their own level and nothing clips that would not clip anyway.
    if (output_) output_->SetMasterGain(std::pow(10.0, (master_ - 1000) / 2000.0));
}

void SoundEngine::Tempo(double t) {
    tempo_ = std::clamp(t, 0.01, 100.0);
    if (!output_) return;
    auto lock = output_->Lock();
    for (auto& v : voices_)
        if (v->source) v->source->SetTempo(tempo_);
}

// ---- effects

void SoundEngine::ApplyEffects(int index) {
    RSoundSample* s = Used(index);
    if (!s || !output_) return;
    if (s->fx < 0) {
        if (s->effects.flags <= 0) return;
        s->fx = output_->NewEffects();
        output_->SetEffects(s->fx, s->effects);
        for (auto& v : voices_)
            if (v->sample == index && !v->media) output_->UseEffects(v->out, s->fx);
        return;
    }
    output_->SetEffects(s->fx, s->effects);
}

void SoundEngine::SetEffects(int index, int32_t flags) {
    RSoundSample* s = Used(index);
    if (!s || s->kind == kSoundMedia) return;
    auto lock = output_->Lock();
    // A new chain is made of new effects, with their default parameters.
    s->effects = EffectSettings{};
    s->effects.flags = std::max(flags, 0);
    ApplyEffects(index);
}

#define TB_EFFECT_SETTER(Name, field, flag)                                 \
    void SoundEngine::Name(int index, const EffectSettings::Name& p) {      \
        RSoundSample* s = Used(index);                                      \
        if (!s || s->kind == kSoundMedia || !(s->effects.flags & (flag))) { \
            return;                                                         \
        }                                                                   \
        auto lock = output_->Lock();                                        \
        s->effects.field = p;                                               \
        ApplyEffects(index);                                                \
    }
TB_EFFECT_SETTER(Chorus, chorus, kFxChorus)
TB_EFFECT_SETTER(Compressor, compressor, kFxCompressor)
TB_EFFECT_SETTER(Echo, echo, kFxEcho)
TB_EFFECT_SETTER(Flanger, flanger, kFxFlanger)
TB_EFFECT_SETTER(Gargle, gargle, kFxGargle)
TB_EFFECT_SETTER(Equalizer, equalizer, kFxEqualizer)
TB_EFFECT_SETTER(Reverb, reverb, kFxReverb)
#undef TB_EFFECT_SETTER

// ---- 3D

void SoundEngine::Position3D(int index, double x, double y, double z) {
    RSoundSample* s = Used(index);
    if (!s || s->kind != kSound3D) return;
    auto lock = output_->Lock();
    s->spatial.position[0] = x, s->spatial.position[1] = y, s->spatial.position[2] = z;
    for (auto& v : voices_)
        if (v->sample == index) output_->SetSpatial(v->out, s->spatial);
}

void SoundEngine::Velocity3D(int index, double x, double y, double z) {
    RSoundSample* s = Used(index);
    if (!s || s->kind != kSound3D) return;
    auto lock = output_->Lock();
    s->spatial.velocity[0] = x, s->spatial.velocity[1] = y, s->spatial.velocity[2] = z;
    for (auto& v : voices_)
        if (v->sample == index) output_->SetSpatial(v->out, s->spatial);
}

void SoundEngine::Distance3D(int index, double min, double max) {
    RSoundSample* s = Used(index);
    if (!s || s->kind != kSound3D) return;
    auto lock = output_->Lock();
    s->spatial.max_distance = std::max(max, 0.0);
    s->spatial.min_distance = min;
    for (auto& v : voices_)
        if (v->sample == index) output_->SetSpatial(v->out, s->spatial);
}

void SoundEngine::Cone3D(int index, double x, double y, double z, int32_t inside, int32_t outside,
                         double outside_volume) {
    RSoundSample* s = Used(index);
    if (!s || s->kind != kSound3D) return;
    auto lock = output_->Lock();
    s->spatial.cone[0] = x, s->spatial.cone[1] = y, s->spatial.cone[2] = z;
    s->spatial.inside_angle = inside;
    s->spatial.outside_angle = outside;
    s->spatial.outside_volume = int32_t(std::nearbyint(outside_volume * 10000 - 10000));
    for (auto& v : voices_)
        if (v->sample == index) output_->SetSpatial(v->out, s->spatial);
}

// ---- streams of other parts

int SoundEngine::PlayStream(std::unique_ptr<PcmSource> source, double gain) {
    if (!output_ || !source) return -1;
    auto lock = output_->Lock();
    int id = StartVoice(-1, std::move(source), false, false);
    if (Voice* v = VoiceOf(id)) {
        v->gain = gain;
        ApplyGainsTo(*v);
    }
    return id;
}

void SoundEngine::StopStream(int stream) {
    if (!output_) return;
    auto lock = output_->Lock();
    for (size_t i = voices_.size(); i-- > 0;)
        if (voices_[i]->id == stream && voices_[i]->sample == -1) EndVoice(i);
}

bool SoundEngine::StreamPlaying(int stream) {
    if (!output_) return false;
    auto lock = output_->Lock();
    Voice* v = VoiceOf(stream);
    if (!v) return false;
    return v->fresh || output_->Playing(v->out) || !v->source_done ||
           output_->QueuedBuffers(v->out) > 0;
}

int64_t SoundEngine::StreamFrames(int stream) {
    if (!output_) return 0;
    auto lock = output_->Lock();
    Voice* v = VoiceOf(stream);
    if (!v) return 0;
    return v->heard + (output_->QueuedBuffers(v->out) ? output_->Offset(v->out) : 0);
}

int SoundEngine::StreamRate(int stream) {
    if (!output_) return AudioOutput::kRate;
    auto lock = output_->Lock();
    Voice* v = VoiceOf(stream);
    return v && v->source ? v->source->rate : AudioOutput::kRate;
}

// ---- the clock

void SoundEngine::Tap(const float* frames, size_t count) {
    if (writer_) writer_->Write(frames, count);
    if (options_.listen) options_.listen(frames, count);
}

void SoundEngine::RenderTo(int64_t frame) {
    block_.resize(kBlockFrames * 2);
    while (rendered_ < frame) {
        size_t n = size_t(std::min<int64_t>(int64_t(kBlockFrames), frame - rendered_));
        Feed();
        output_->Render(block_.data(), n);
        Tap(block_.data(), n);
        rendered_ += int64_t(n);
    }
}

void SoundEngine::Advance(int64_t now_us) {
    if (!output_) {
        now_us_ = now_us;
        return;
    }
    auto lock = output_->Lock();
    if (!output_->HasDevice()) {
        int64_t target = now_us * AudioOutput::kRate / 1'000'000;
        if (target < rendered_ ||
            target - rendered_ > kMaxCatchUpUs * AudioOutput::kRate / 1'000'000)
            rendered_ = target;  // the clock jumped: the mix does not replay or rush the gap
        RenderTo(target);
    }
    now_us_ = now_us;
    for (size_t i = voices_.size(); i-- > 0;) {
        Voice& v = *voices_[i];
        if (v.fresh) {
            v.fresh = false;
            continue;
        }
        if (v.source) {
            v.heard += output_->ReclaimStream(v.out);
            if (v.source_done && output_->QueuedBuffers(v.out) == 0) {
                if (v.media) media_playing_ = false;
                EndVoice(i);
            }
        } else if (!output_->Playing(v.out)) {
            EndVoice(i);
        }
    }
    // Fades move with the clock.
    for (size_t i = 0; i < samples_.size(); ++i) {
        RSoundSample& s = samples_[i];
        if (!s.used || s.fade_length <= 0) continue;
        ApplyGains(int(i));
        if (now_us_ - s.fade_start >= s.fade_length) {
            s.volume = s.fade_to;
            s.fade_length = 0;
        }
    }
}

size_t SoundEngine::HeldBytes() const {
    size_t n = 0;
    for (const RSoundSample& s : samples_)
        if (s.used && s.clip >= 0)
            n += size_t(s.frames) * size_t(s.kind == kSound3D ? 1 : s.channels) * 2;
    return n;
}

double SoundEngine::HeldSeconds() const {
    double t = 0;
    for (const RSoundSample& s : samples_)
        if (s.used && s.clip >= 0) t += double(s.frames) / s.rate;
    return t;
}

}  // namespace tb
