// A particle system: its particles in one flat array, the emitters, attractors, destroyers,
// deflectors and changers acting on them, and the update of one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "particles/types.h"

namespace tb {

class RandomGenerator;

// Positions relative to the system's position; colour BGR.
//
// The direction has a cache: (dcos, dsin), its cosine and sine, are valid when `heading` is
// not kStale. After gravity or attractors turned the motion vector, the unit vector is what
// is known and the angle is worked out only when something asks for it (kVector): most
// steps of most particles never need it.
struct Particle {
    enum Heading : uint8_t { kStale, kCached, kVector };
    double x, y, xprev, yprev;
    double speed, direction, orientation;
    double alpha, size;
    double dcos, dsin;
    int32_t type, age, life;
    uint32_t color;
    int32_t image;  // image offset
    int32_t seed;   // wiggle seed
    Heading heading;

    // The direction in degrees, 0 .. 360 after a motion vector.
    double Direction() const;
    // Makes `direction` current (and the cache valid).
    void SettleDirection();
    void SetDirection(double d) {
        direction = d;
        heading = kStale;
    }
};

struct PartEmitter {
    bool exists = true;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t distribution = 0, shape = 0;
    int32_t stream_number = 0, stream_type = 0;
};

struct PartAttractor {
    bool exists = true;
    double x = 0, y = 0, force = 0, distance = 0;
    int32_t kind = 0;
    bool additive = true;
};

struct PartDestroyer {
    bool exists = true;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t shape = 0;
};

struct PartDeflector {
    bool exists = true;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t kind = 0;
    double friction = 0;
};

struct PartChanger {
    bool exists = true;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t shape = 0;
    int32_t from = -1, to = -1;
    int32_t kind = 0;
};

constexpr int32_t kForceConstant = 0, kForceLinear = 1, kForceQuadratic = 2;
constexpr int32_t kDeflectVertical = 0, kDeflectHorizontal = 1;
constexpr int32_t kChangeAll = 0, kChangeShape = 1, kChangeMotion = 2;

// More particles than this in one system are not made: a runaway burst or a chain of step
// particles ends at the bound instead of exhausting memory (about 250 MB).
constexpr size_t kMaxParticlesPerSystem = size_t(2) << 20;

// The particle types of the game, shared by every system: read-only during an update.
using TypeTable = std::vector<CParticleType>;

// What an update needs of each type, worked out once per update.
struct ParticleTypeStep {
    const CParticleType* type = nullptr;  // null: the type no longer exists
    double gx = 0, gy = 0;                // the gravity vector
    uint32_t c1 = 0, c2 = 0, c3 = 0;      // the first three colours
};

class RParticleSystem {
  public:
    bool exists = false;
    bool old_to_new = true;
    double depth = 0;
    double x = 0, y = 0;
    bool auto_update = true;
    bool auto_draw = true;

    std::vector<Particle> particles;
    std::vector<PartEmitter> emitters;
    std::vector<PartAttractor> attractors;
    std::vector<PartDestroyer> destroyers;
    std::vector<PartDeflector> deflectors;
    std::vector<PartChanger> changers;

    // Removes particles and every element and restores the defaults (keeps `exists`).
    void Clear();
    // Removes the particles; the memory of a very large system is given back.
    void ClearParticles();

    // n particles of type t at (px, py); colour, when given, replaces each one's own.
    void CreateParticles(const TypeTable& types, RandomGenerator& random, double px, double py,
                         int32_t t, int64_t n, const uint32_t* color = nullptr);
    // An emitter's burst of n particles of type t.
    void Burst(const TypeTable& types, RandomGenerator& random, const PartEmitter& e, int32_t t,
               int64_t n);
    // One step of the system in the fixed order.
    void Update(const TypeTable& types, RandomGenerator& random);

  private:
    // Appends one particle of type t (nothing when it does not exist or the bound is reached);
    // false when nothing was appended.
    bool Spawn(const TypeTable& types, RandomGenerator& random, double px, double py, int32_t t);
    // Death and step particles: n of them, a negative n giving one with probability 1/|n|.
    void Secondary(const TypeTable& types, RandomGenerator& random, double px, double py, int32_t t,
                   int32_t n);
    void Deflect();
    void Change(const TypeTable& types, RandomGenerator& random);
    void Destroy();

    std::vector<ParticleTypeStep> steps_;  // kept between updates: no allocation per step
};

// A new particle of type `type` at (px, py) with every property drawn in order.
void MakeParticle(const CParticleType& type, int32_t t, RandomGenerator& random, double px,
                  double py, Particle& p);

}  // namespace tb
