// Particle types: how a particle looks, moves and changes over its life; and the random
// values every particle property is drawn with.
#pragma once

#include <array>
#include <cstdint>

namespace tb {

class RandomGenerator;

// Distributions of the emitters (and of every property, which uses the linear one).
constexpr int32_t kDistrLinear = 0;
constexpr int32_t kDistrGaussian = 1;
constexpr int32_t kDistrInvGaussian = 2;

// Region shapes of emitters, destroyers and changers.
constexpr int32_t kShapeRectangle = 0;
constexpr int32_t kShapeEllipse = 1;
constexpr int32_t kShapeDiamond = 2;
constexpr int32_t kShapeLine = 3;

constexpr int32_t kBuiltinShapes = 14;

// A value between min and max: min when max <= min (nothing drawn), else by the distribution.
double RandomBetween(RandomGenerator& random, double min, double max, int32_t distribution);

enum class ColorMode : int32_t { kOne, kTwo, kThree, kRgb, kHsv, kMix };

struct CParticleType {
    bool exists = false;
    int32_t sprite = -1;
    bool animate = true;
    bool stretch = false;
    bool random_image = false;
    int32_t shape = 0;
    double size_min = 1, size_max = 1, size_incr = 0, size_wiggle = 0;
    double xscale = 1, yscale = 1;
    int32_t life_min = 100, life_max = 100;
    int32_t death_type = 0, death_number = 0;
    int32_t step_type = 0, step_number = 0;
    double speed_min = 0, speed_max = 0, speed_incr = 0, speed_wiggle = 0;
    double dir_min = 0, dir_max = 0, dir_incr = 0, dir_wiggle = 0;
    double grav_amount = 0, grav_dir = 270;
    double ang_min = 0, ang_max = 0, ang_incr = 0, ang_wiggle = 0;
    bool ang_relative = false;
    ColorMode color_mode = ColorMode::kOne;
    std::array<double, 6> colors = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0, 0};
    double alpha_start = 1, alpha_middle = 1, alpha_end = 1;
    bool additive = false;

    // The defaults, keeping `exists`.
    void Clear() {
        const bool e = exists;
        *this = CParticleType{};
        exists = e;
    }
};

}  // namespace tb
