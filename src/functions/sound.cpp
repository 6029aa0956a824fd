// The sound functions: playing, volume, pan, effects and 3D placement of sound resources,
// and the global volume, tempo and search directory.
#include <cmath>

#include "functions/arguments.h"
#include "functions/register.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"
#include "sound/sound_system.h"

namespace tb {

namespace {

#define TB_SOUND_HANDLER(name)                                                         \
    void name(ScriptEngine& engine, CInstance*, CInstance*, [[maybe_unused]] int argc, \
              [[maybe_unused]] RValue& result, [[maybe_unused]] const RValue* args)

constexpr const char* kNoSound = "Sound does not exist.";

const RValue kNoArgument;

const RValue& Arg(int argc, const RValue* args, int i) {
    return i < argc ? args[i] : kNoArgument;
}
double Real(int argc, const RValue* args, int i) {
    return Number(Arg(argc, args, i));
}
int32_t Whole(int argc, const RValue* args, int i) {
    return Int(Arg(argc, args, i));
}

// The sample of the sound named by the first argument (prepared on first use), or -1 after
// "Sound does not exist." for a sound that does not exist.
int SampleArg(ScriptEngine& engine, int argc, const RValue* args) {
    CSound* snd = engine.game ? engine.game->sounds.Get(Whole(argc, args, 0)) : nullptr;
    if (!snd) {
        ShowRuntimeError(engine, kNoSound, false);
        return -1;
    }
    return SoundSample(SoundOf(engine), *snd);
}

SoundEngine& Engine(ScriptEngine& engine) {
    return SoundOf(engine).engine;
}

TB_SOUND_HANDLER(sound_play) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).Play(s, false);
}

TB_SOUND_HANDLER(sound_loop) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).Play(s, true);
}

TB_SOUND_HANDLER(sound_stop) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).Stop(s);
}

TB_SOUND_HANDLER(sound_stop_all) {
    Engine(engine).StopAll();
}

TB_SOUND_HANDLER(sound_isplaying) {
    CSound* snd = engine.game ? engine.game->sounds.Get(Whole(argc, args, 0)) : nullptr;
    if (!snd) return;
    int s = SoundSample(SoundOf(engine), *snd);
    result.SetReal(s >= 0 && Engine(engine).IsPlaying(s) ? 1 : 0);
}

TB_SOUND_HANDLER(sound_volume) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).SetVolume(s, 0, Real(argc, args, 1));
}

TB_SOUND_HANDLER(sound_fade) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).SetVolume(s, Whole(argc, args, 2), Real(argc, args, 1));
}

TB_SOUND_HANDLER(sound_pan) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).SetPan(s, Real(argc, args, 1));
}

TB_SOUND_HANDLER(sound_background_tempo) {
    Engine(engine).Tempo(Real(argc, args, 0));
}

TB_SOUND_HANDLER(sound_global_volume) {
    Engine(engine).GlobalVolume(Real(argc, args, 0));
}

TB_SOUND_HANDLER(sound_set_search_directory) {
    const RValue& dir = Arg(argc, args, 0);
    Engine(engine).SearchDirectory(dir.IsString() ? std::string(dir.text.view()) : "");
}

TB_SOUND_HANDLER(sound_effect_set) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).SetEffects(s, Whole(argc, args, 1));
}

TB_SOUND_HANDLER(sound_effect_chorus) {
    int s = SampleArg(engine, argc, args);
    if (s < 0) return;
    EffectSettings::Chorus p{Real(argc, args, 1), Real(argc, args, 2),  Real(argc, args, 3),
                             Real(argc, args, 4), Whole(argc, args, 5), Real(argc, args, 6),
                             Whole(argc, args, 7)};
    Engine(engine).Chorus(s, p);
}

TB_SOUND_HANDLER(sound_effect_compressor) {
    int s = SampleArg(engine, argc, args);
    if (s < 0) return;
    EffectSettings::Compressor p{Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                                 Real(argc, args, 4), Real(argc, args, 5), Real(argc, args, 6)};
    Engine(engine).Compressor(s, p);
}

TB_SOUND_HANDLER(sound_effect_echo) {
    int s = SampleArg(engine, argc, args);
    if (s < 0) return;
    EffectSettings::Echo p{Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                           Real(argc, args, 4), Whole(argc, args, 5)};
    Engine(engine).Echo(s, p);
}

TB_SOUND_HANDLER(sound_effect_flanger) {
    int s = SampleArg(engine, argc, args);
    if (s < 0) return;
    EffectSettings::Flanger p{Real(argc, args, 1), Real(argc, args, 2),  Real(argc, args, 3),
                              Real(argc, args, 4), Whole(argc, args, 5), Real(argc, args, 6),
                              Whole(argc, args, 7)};
    Engine(engine).Flanger(s, p);
}

TB_SOUND_HANDLER(sound_effect_gargle) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).Gargle(s, {Whole(argc, args, 1), Whole(argc, args, 2)});
}

TB_SOUND_HANDLER(sound_effect_equalizer) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0)
        Engine(engine).Equalizer(s,
                                 {Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3)});
}

TB_SOUND_HANDLER(sound_effect_reverb) {
    int s = SampleArg(engine, argc, args);
    if (s < 0) return;
    Engine(engine).Reverb(
        s, {Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3), Real(argc, args, 4)});
}

TB_SOUND_HANDLER(sound_3d_set_sound_position) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0)
        Engine(engine).Position3D(s, Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3));
}

TB_SOUND_HANDLER(sound_3d_set_sound_velocity) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0)
        Engine(engine).Velocity3D(s, Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3));
}

TB_SOUND_HANDLER(sound_3d_set_sound_distance) {
    int s = SampleArg(engine, argc, args);
    if (s >= 0) Engine(engine).Distance3D(s, Real(argc, args, 1), Real(argc, args, 2));
}

TB_SOUND_HANDLER(sound_3d_set_sound_cone) {
    int s = SampleArg(engine, argc, args);
    if (s < 0) return;
    Engine(engine).Cone3D(s, Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                          Whole(argc, args, 4), Whole(argc, args, 5), Real(argc, args, 6));
}

}  // namespace

void RegisterSoundFunctions(FunctionRegistry& r) {
    r.Register("sound_play", sound_play, 1);
    r.Register("sound_loop", sound_loop, 1);
    r.Register("sound_stop", sound_stop, 1);
    r.Register("sound_stop_all", sound_stop_all, 0);
    r.Register("sound_isplaying", sound_isplaying, 1);
    r.Register("sound_volume", sound_volume, 2);
    r.Register("sound_fade", sound_fade, 3);
    r.Register("sound_pan", sound_pan, 2);
    r.Register("sound_background_tempo", sound_background_tempo, 1);
    r.Register("sound_global_volume", sound_global_volume, 1);
    r.Register("sound_set_search_directory", sound_set_search_directory, 1);
    r.Register("sound_effect_set", sound_effect_set, 2);
    r.Register("sound_effect_chorus", sound_effect_chorus, 8);
    r.Register("sound_effect_compressor", sound_effect_compressor, 7);
    r.Register("sound_effect_echo", sound_effect_echo, 6);
    r.Register("sound_effect_flanger", sound_effect_flanger, 8);
    r.Register("sound_effect_gargle", sound_effect_gargle, 3);
    r.Register("sound_effect_equalizer", sound_effect_equalizer, 4);
    r.Register("sound_effect_reverb", sound_effect_reverb, 5);
    r.Register("sound_3d_set_sound_position", sound_3d_set_sound_position, 4);
    r.Register("sound_3d_set_sound_velocity", sound_3d_set_sound_velocity, 4);
    r.Register("sound_3d_set_sound_distance", sound_3d_set_sound_distance, 3);
    r.Register("sound_3d_set_sound_cone", sound_3d_set_sound_cone, 7);
}

}  // namespace tb
