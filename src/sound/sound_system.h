// The sound side of a run: the engine with its samples, the CD drive, and the operations
// that turn sound resources into samples (preparing, discarding, adding, replacing,
// deleting). The script engine holds one for the whole run.
#pragma once

#include <cstdint>
#include <string>

#include "resources/resource_list.h"
#include "resources/sound.h"
#include "sound/cd_audio.h"
#include "sound/engine.h"

namespace tb {

class RandomGenerator;
class Runner;
class ScriptEngine;

struct SoundSystem {
    SoundEngine engine;
    CdAudio cd;
    std::string temp_dir;               // multimedia sounds are written here
    RandomGenerator* random = nullptr;  // draws the names of those files
};

// Snd_Prepare: the sound's sample from its data, falling back to a multimedia file in the
// temporary directory; then its effects, volume and pan.
void PrepareSound(SoundSystem& sys, CSound& snd);
void DiscardSound(SoundSystem& sys, CSound& snd);
// The sample, preparing the sound first when it has none (-1 when it cannot have one).
int SoundSample(SoundSystem& sys, CSound& snd);
// LoadFromFile: false when the file does not exist.
bool LoadSoundFromFile(SoundSystem& sys, CSound& snd, const std::string& file, int32_t kind,
                       bool preload);
// Appends a sound named "__newsound" + its index; -1 (and no slot) when the file is missing.
int AddSound(SoundSystem& sys, ResourceList<CSound>& list, const std::string& file, int32_t kind,
             bool preload);
// Into an existing index, creating the sound in an empty slot; false for an index out of
// range or a missing file.
bool ReplaceSound(SoundSystem& sys, ResourceList<CSound>& list, int index, const std::string& file,
                  int32_t kind, bool preload);
void DeleteSound(SoundSystem& sys, ResourceList<CSound>& list, int index);

// "Preparing sounds": starts the engine (through the audio device when `device`), sets the
// global volume to 1 and prepares every preloaded sound. Always succeeds.
bool PrepareSounds(Runner& r, bool device);
void ReleaseSounds(Runner& r);
// The script engine's sound system, started on the clock when nothing started it yet.
SoundSystem& SoundOf(ScriptEngine& engine);

}  // namespace tb
