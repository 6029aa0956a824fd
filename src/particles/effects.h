// The simple effects: preset particle types burst into two systems of their own, one below
// and one above the instances.
#pragma once

#include <cstdint>

namespace tb {

class ParticleState;
class RandomGenerator;

constexpr int32_t kEffectKinds = 12;
constexpr double kEffectBelowDepth = 100000;
constexpr double kEffectAboveDepth = -100000;

struct EffectCall {
    int32_t kind = 0;
    double x = 0, y = 0;
    int32_t size = 1;  // 0 small, 1 medium, 2 large; anything else medium
    uint32_t color = 0xFFFFFF;
    bool above = false;
    double speed_factor = 1;  // EffectSpeedFactor
    double room_width = 0, room_height = 0;
};

// 1 at a room speed or a frame rate of at most 30, else 30 over the room speed (when the
// game keeps up with it) or over the measured frame rate: effects last as long in time
// whatever the room speed.
double EffectSpeedFactor(double room_speed, double fps);

// Makes the two systems when missing (and the preset types at the first call), then the
// effect's particles.
void CreateEffect(ParticleState& particles, RandomGenerator& random, const EffectCall& call);

// Removes the particles of both effect systems.
void ClearEffects(ParticleState& particles);

}  // namespace tb
