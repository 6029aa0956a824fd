#define AL_ALEXT_PROTOTYPES
#include "platform/audio_effects.h"

#include <AL/efx.h>

#include <algorithm>
#include <cmath>

namespace tb {

// clang-format off
// How the game's effect parameters (the units of its sound functions) become OpenAL effect
// parameters. The game's effects are inserted one after the other in a chain; OpenAL's are
// sends from the source into slots whose outputs are added to the direct path. The chain is
// therefore approximated in parallel:
//   * "added" stages (chorus, echo, flanger, reverb, room reverb) put their wet share w on a
//     send and leave (1 - w) of the signal for what follows: the direct path carries the
//     product of the (1 - w) of every added stage, and an added stage's send is its w times
//     the (1 - w) of the added stages after it (what survives of it further down the chain);
//   * "whole-signal" stages (gargle, equaliser, compressor, distortion) replace the signal:
//     when one is present the direct path is silent and the whole-signal stages share what
//     the direct path would have carried.
// Both equaliser stages of the equaliser flag become two bands of one OpenAL equaliser, so
// they act one after the other as in the chain.
//
// | parameter (game units)            | OpenAL parameter            | conversion and why
// |-----------------------------------|-----------------------------|-------------------------
// | chorus/flanger wet/dry 0..100 %   | send gain                   | /100: share of the wet part
// | chorus/flanger depth 0..100 %     | DEPTH 0..1                  | /100: same measure, as a fraction
// | chorus/flanger feedback -99..99 % | FEEDBACK -1..1              | /100
// | chorus/flanger frequency 0..10 Hz | RATE 0..10 Hz               | unchanged
// | chorus/flanger waveform 0 tri, 1 sine | WAVEFORM 1 tri, 0 sine  | swapped: the codes differ
// | chorus/flanger delay ms           | DELAY s (chorus <= 16 ms, flanger <= 4 ms) | /1000, clamped
// | chorus/flanger phase 0..4         | PHASE -180..180 degrees     | index * 90 - 180
// | echo wet/dry 0..100 %             | send gain                   | /100
// | echo feedback 0..100 %            | FEEDBACK 0..0.99            | /100, below 1 so it fades
// | echo left/right delay 1..2000 ms  | DELAY (<= 207 ms) + LRDELAY (<= 404 ms) | the shorter delay is
// |                                   |                             | DELAY, the difference LRDELAY
// | echo pan delay 0/1                | SPREAD                      | 0: taps on their own sides (-1
// |                                   |                             | when left is first, else 1); 1: 0
// | gargle rate 1..1000 Hz            | ring modulator FREQUENCY    | unchanged (clamped to 8000)
// | gargle shape 0 triangle, 1 square | WAVEFORM 0 sine, 2 square   | OpenAL has no triangle: sine
// | equaliser centre Hz               | the band that holds it      | < 200 low shelf cutoff, <= 3000
// |                                   |                             | mid 1, <= 8000 mid 2, else high
// | equaliser bandwidth semitones     | band WIDTH octaves          | /12, clamped 0.01..1
// | equaliser gain -15..15 dB         | band GAIN linear            | 10^(dB/20)
// | reverb in-gain dB, mix dB         | send gain, direct share     | wet = 10^(in/20) * 10^(mix/20),
// |                                   |                             | the rest of 10^(in/20) stays dry
// | reverb time ms                    | DECAY_TIME s 0.1..20        | /1000
// | reverb high-frequency ratio       | DECAY_HFRATIO 0.2..2        | clamped; below 0.2 the mixer's
// |                                   |                             | damping filters break down
// | compressor gain dB                | send gain                   | 10^(dB/20), at most 1; the other
// |                                   |                             | compressor values have no OpenAL
// |                                   |                             | counterpart (it only turns on)
// | distortion (no setter)            | EDGE 0.15, GAIN 0.126, ...  | the chain's defaults: -18 dB,
// |                                   |                             | edge 15 %, 2400 Hz post-filter
// | room reverb (no setter)           | EAX reverb, GAIN 0.316      | the default room of -10 dB
// clang-format on

namespace {

float Clamp(double v, double lo, double hi) {
    if (!(v >= lo)) return float(lo);  // NaN too
    return float(std::min(v, hi));
}

float Db(double db) {
    return float(std::pow(10.0, db / 20.0));
}

EffectStage NewStage(ALenum type) {
    EffectStage st;
    alGenEffects(1, &st.effect);
    alEffecti(st.effect, AL_EFFECT_TYPE, type);
    alGenAuxiliaryEffectSlots(1, &st.slot);
    return st;
}

void Chorus(ALuint e, const EffectSettings::Chorus& c) {
    alEffecti(e, AL_CHORUS_WAVEFORM,
              c.waveform == 0 ? AL_CHORUS_WAVEFORM_TRIANGLE : AL_CHORUS_WAVEFORM_SINUSOID);
    alEffecti(e, AL_CHORUS_PHASE, std::clamp(c.phase, 0, 4) * 90 - 180);
    alEffectf(e, AL_CHORUS_RATE, Clamp(c.frequency, 0, 10));
    alEffectf(e, AL_CHORUS_DEPTH, Clamp(c.depth / 100, 0, 1));
    alEffectf(e, AL_CHORUS_FEEDBACK, Clamp(c.feedback / 100, -1, 1));
    alEffectf(e, AL_CHORUS_DELAY, Clamp(c.delay / 1000, 0, 0.016));
}

void Flanger(ALuint e, const EffectSettings::Flanger& f) {
    alEffecti(e, AL_FLANGER_WAVEFORM,
              f.waveform == 0 ? AL_FLANGER_WAVEFORM_TRIANGLE : AL_FLANGER_WAVEFORM_SINUSOID);
    alEffecti(e, AL_FLANGER_PHASE, std::clamp(f.phase, 0, 4) * 90 - 180);
    alEffectf(e, AL_FLANGER_RATE, Clamp(f.frequency, 0, 10));
    alEffectf(e, AL_FLANGER_DEPTH, Clamp(f.depth / 100, 0, 1));
    alEffectf(e, AL_FLANGER_FEEDBACK, Clamp(f.feedback / 100, -1, 1));
    alEffectf(e, AL_FLANGER_DELAY, Clamp(f.delay / 1000, 0, 0.004));
}

void Echo(ALuint e, const EffectSettings::Echo& c) {
    double first = std::min(c.left, c.right), second = std::max(c.left, c.right);
    alEffectf(e, AL_ECHO_DELAY, Clamp(first / 1000, 0, 0.207));
    alEffectf(e, AL_ECHO_LRDELAY, Clamp((second - first) / 1000, 0, 0.404));
    alEffectf(e, AL_ECHO_DAMPING, 0);
    alEffectf(e, AL_ECHO_FEEDBACK, Clamp(c.feedback / 100, 0, 0.99));
    alEffectf(e, AL_ECHO_SPREAD, c.pandelay ? 0.f : c.left <= c.right ? -1.f : 1.f);
}

void Gargle(ALuint e, const EffectSettings::Gargle& g) {
    alEffectf(e, AL_RING_MODULATOR_FREQUENCY, Clamp(g.rate, 0, 8000));
    alEffectf(e, AL_RING_MODULATOR_HIGHPASS_CUTOFF, 0);
    alEffecti(e, AL_RING_MODULATOR_WAVEFORM, g.shape == 1 ? 2 : 0);
}

// One equaliser stage onto a band of the OpenAL equaliser; `taken` marks the bands in use
// (a second stage whose band is taken moves to a free one).
void EqualizerBand(ALuint e, const EffectSettings::Equalizer& q, bool taken[4]) {
    double c = q.center;
    int band = c < 200 ? 0 : c <= 3000 ? 1 : c <= 8000 ? 2 : 3;
    for (int i = 0; taken[band] && i < 4; ++i) band = (band + 1) % 4;
    if (taken[band]) return;
    taken[band] = true;
    float gain = Clamp(Db(q.gain), 0.126, 7.943);
    float width = Clamp(q.bandwidth / 12, 0.01, 1);
    switch (band) {
        case 0:
            alEffectf(e, AL_EQUALIZER_LOW_GAIN, gain);
            alEffectf(e, AL_EQUALIZER_LOW_CUTOFF, Clamp(c, 50, 800));
            break;
        case 1:
            alEffectf(e, AL_EQUALIZER_MID1_GAIN, gain);
            alEffectf(e, AL_EQUALIZER_MID1_CENTER, Clamp(c, 200, 3000));
            alEffectf(e, AL_EQUALIZER_MID1_WIDTH, width);
            break;
        case 2:
            alEffectf(e, AL_EQUALIZER_MID2_GAIN, gain);
            alEffectf(e, AL_EQUALIZER_MID2_CENTER, Clamp(c, 1000, 8000));
            alEffectf(e, AL_EQUALIZER_MID2_WIDTH, width);
            break;
        default:
            alEffectf(e, AL_EQUALIZER_HIGH_GAIN, gain);
            alEffectf(e, AL_EQUALIZER_HIGH_CUTOFF, Clamp(c, 4000, 16000));
    }
}

void NeutralEqualizer(ALuint e) {
    for (ALenum g : {AL_EQUALIZER_LOW_GAIN, AL_EQUALIZER_MID1_GAIN, AL_EQUALIZER_MID2_GAIN,
                     AL_EQUALIZER_HIGH_GAIN})
        alEffectf(e, g, 1.f);
}

}  // namespace

void EffectChain::Clear() {
    for (EffectStage& st : stages) {
        alDeleteAuxiliaryEffectSlots(1, &st.slot);
        alDeleteEffects(1, &st.effect);
    }
    stages.clear();
    dry = 1;
}

void EffectChain::Build(const EffectSettings& s) {
    Clear();
    if (s.flags <= 0) return;
    struct Planned {
        EffectStage stage;
        bool added;  // an added stage (else whole-signal)
        float wet;   // added: the wet share
    };
    std::vector<Planned> plan;
    auto add = [&](ALenum type, bool added, float wet) -> ALuint {
        plan.push_back({NewStage(type), added, wet});
        return plan.back().stage.effect;
    };
    const int f = s.flags;
    if (f & kFxChorus)
        Chorus(add(AL_EFFECT_CHORUS, true, Clamp(s.chorus.wetdry / 100, 0, 1)), s.chorus);
    if (f & kFxEcho) Echo(add(AL_EFFECT_ECHO, true, Clamp(s.echo.wetdry / 100, 0, 1)), s.echo);
    if (f & kFxFlanger)
        Flanger(add(AL_EFFECT_FLANGER, true, Clamp(s.flanger.wetdry / 100, 0, 1)), s.flanger);
    if (f & kFxGargle) Gargle(add(AL_EFFECT_RING_MODULATOR, false, 1), s.gargle);
    if (f & kFxEqualizer) {
        // Both stages in one equaliser; the second keeps its defaults (the setter reaches the
        // first only), which are neutral.
        ALuint e = add(AL_EFFECT_EQUALIZER, false, 1);
        NeutralEqualizer(e);
        bool taken[4] = {false, false, false, false};
        EqualizerBand(e, s.equalizer, taken);
        EqualizerBand(e, EffectSettings::Equalizer{}, taken);
    }
    if (f & kFxReverb) {
        double in = Db(std::min(s.reverb.in_gain, 0.0)), mix = Db(std::min(s.reverb.mix, 0.0));
        ALuint e = add(AL_EFFECT_REVERB, true, Clamp(mix, 0, 1));
        alEffectf(e, AL_REVERB_DECAY_TIME, Clamp(s.reverb.time / 1000, 0.1, 20));
        alEffectf(e, AL_REVERB_DECAY_HFRATIO, Clamp(s.reverb.ratio, 0.2, 2));
        alEffectf(e, AL_REVERB_GAIN, Clamp(in, 0, 1));
    }
    if (f & kFxCompressor) {
        ALuint e = add(AL_EFFECT_COMPRESSOR, false, Clamp(Db(s.compressor.gain), 0, 1));
        alEffecti(e, AL_COMPRESSOR_ONOFF, 1);
    }
    if (f & kFxDistortion) {
        ALuint e = add(AL_EFFECT_DISTORTION, false, 1);
        alEffectf(e, AL_DISTORTION_EDGE, 0.15f);
        alEffectf(e, AL_DISTORTION_GAIN, Db(-18));
        alEffectf(e, AL_DISTORTION_LOWPASS_CUTOFF, 8000);
        alEffectf(e, AL_DISTORTION_EQCENTER, 2400);
        alEffectf(e, AL_DISTORTION_EQBANDWIDTH, 2400);
    }
    if (f & kFxRoomReverb) {
        ALuint e = add(AL_EFFECT_EAXREVERB, true, 1);
        alEffectf(e, AL_EAXREVERB_GAIN, Db(-10));
    }

    // The parallel approximation of the chain (see the table above).
    float through = 1;  // what the added stages leave of the dry signal
    int whole = 0;
    for (const Planned& p : plan) {
        if (p.added)
            through *= 1 - p.wet;
        else
            ++whole;
    }
    for (size_t i = 0; i < plan.size(); ++i) {
        Planned& p = plan[i];
        if (p.added) {
            float after = 1;
            for (size_t j = i + 1; j < plan.size(); ++j)
                if (plan[j].added) after *= 1 - plan[j].wet;
            p.stage.send = p.wet * after;
        } else {
            p.stage.send = p.wet * through / float(whole);
        }
        alAuxiliaryEffectSloti(p.stage.slot, AL_EFFECTSLOT_EFFECT, ALint(p.stage.effect));
        stages.push_back(p.stage);
    }
    dry = whole ? 0 : through;
}

}  // namespace tb
