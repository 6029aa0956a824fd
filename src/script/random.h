// The one random generator of the runner: a 32-bit linear congruential sequence. Scripts,
// shuffles and the runner's own choices all draw from the same state, so a seed reproduces
// a whole run.
#pragma once

#include <cstdint>
#include <optional>

namespace tb {

class RandomGenerator {
  public:
    void SetSeed(uint32_t seed) { seed_ = seed; }
    uint32_t Seed() const { return seed_; }

    // In [0, 1).
    double NextReal() { return double(Advance()) / 4294967296.0; }
    // In 0 .. n - 1 (0 when n is 0).
    uint32_t Below(uint32_t n) { return uint32_t((uint64_t(Advance()) * n) >> 32); }

    // Seeds from the clock, or from the fixed seed of the command line when there is one.
    void Randomize();
    std::optional<uint32_t> fixed_seed;

  private:
    uint32_t Advance() {
        seed_ = seed_ * 134775813u + 1u;
        return seed_;
    }
    uint32_t seed_ = 0;
};

}  // namespace tb
