// The effect chain of a sample on OpenAL's effect extension: the stages the flags ask for,
// each an effect in an auxiliary slot that the sample's sources send to.
#pragma once

#include <AL/al.h>

#include <vector>

#include "sound/effects.h"

namespace tb {

struct EffectStage {
    ALuint effect = 0;
    ALuint slot = 0;
    float send = 0;  // the gain of the send into this stage
};

struct EffectChain {
    std::vector<EffectStage> stages;
    float dry = 1;  // the gain of the direct path

    // Rebuilds the stages from the flags and parameters (the context must be current).
    void Build(const EffectSettings& s);
    void Clear();
};

}  // namespace tb
