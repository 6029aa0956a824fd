#include "script/random.h"

#include <chrono>

namespace tb {

void RandomGenerator::Randomize() {
    if (fixed_seed) {
        seed_ = *fixed_seed;
        return;
    }
    // The low 32 bits of a high-resolution counter.
    seed_ = uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
}

}  // namespace tb
