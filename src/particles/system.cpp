#include "particles/system.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "graphics/colors.h"
#include "script/random.h"
#include "script/value.h"

namespace tb {

namespace {

constexpr double kRad = std::numbers::pi / 180;
constexpr int32_t kDead = -1;  // the type of a particle that died in this update

double Gaussian(RandomGenerator& random) {
    for (;;) {
        const double g = (random.NextReal() - 0.5) * 6;
        if (random.NextReal() < std::exp(-g * g / 2)) return g;
    }
}

// The wiggle wave: -1 .. 1 .. -1 as f runs 0 .. 2 .. 4.
double Wave(double f) {
    return (f > 2 ? 4 - f : f) - 1;
}

// The angle of a motion vector in degrees, 0 .. 360, counter-clockwise with y downward.
double VectorDirection(double vx, double vy) {
    if (vx == 0) return vy > 0 ? 270 : vy < 0 ? 90 : 0;
    double a = std::atan2(-vy, vx) / kRad;
    if (a < 0) a += 360;
    return a;
}

bool InRect(double px, double py, double xmin, double xmax, double ymin, double ymax) {
    return px >= xmin && px <= xmax && py >= ymin && py <= ymax;
}

// The ellipse and diamond tests on the region's normalised coordinates; every other shape is
// the whole rectangle.
bool InShape(int32_t shape, double px, double py, double xmin, double xmax, double ymin,
             double ymax) {
    if (shape != kShapeEllipse && shape != kShapeDiamond) return true;
    const double u = (px - (xmin + xmax) / 2) * 2 / (xmax - xmin);
    const double v = (py - (ymin + ymax) / 2) * 2 / (ymax - ymin);
    return shape == kShapeEllipse ? u * u + v * v <= 1 : std::abs(u) + std::abs(v) <= 1;
}

bool TypeExists(const TypeTable& types, int32_t t) {
    return t >= 0 && size_t(t) < types.size() && types[size_t(t)].exists;
}

// A count of particles asked for, with the one-in-|n| rule for negative numbers.
int64_t SecondaryCount(RandomGenerator& random, int64_t n) {
    if (n >= 0) return n;
    const uint64_t m = n < -int64_t(UINT32_MAX) ? UINT32_MAX : uint64_t(-n);
    return random.Below(uint32_t(m)) == 0 ? 1 : 0;
}

uint32_t Color(double c) {
    return ColorArgument(c);
}

}  // namespace

double RandomBetween(RandomGenerator& random, double min, double max, int32_t distribution) {
    if (max <= min) return min;
    if (distribution == kDistrGaussian) return min + (max - min) * (Gaussian(random) + 3) / 6;
    if (distribution == kDistrInvGaussian) {
        const double g = Gaussian(random);
        return min + (max - min) * (g >= 0 ? g : g + 6) / 6;
    }
    return min + random.NextReal() * (max - min);
}

void MakeParticle(const CParticleType& type, int32_t t, RandomGenerator& random, double px,
                  double py, Particle& p) {
    p.type = t;
    p.age = 0;
    p.x = p.xprev = px;
    p.y = p.yprev = py;
    p.speed = RandomBetween(random, type.speed_min, type.speed_max, kDistrLinear);
    p.direction = RandomBetween(random, type.dir_min, type.dir_max, kDistrLinear);
    p.orientation = RandomBetween(random, type.ang_min, type.ang_max, kDistrLinear);
    p.life = RoundToInt32(RandomBetween(random, type.life_min, type.life_max, kDistrLinear));
    const std::array<double, 6>& c = type.colors;
    switch (type.color_mode) {
        case ColorMode::kRgb: {
            const double r = std::nearbyint(RandomBetween(random, c[0], c[1], kDistrLinear));
            const double g = std::nearbyint(RandomBetween(random, c[2], c[3], kDistrLinear));
            const double b = std::nearbyint(RandomBetween(random, c[4], c[5], kDistrLinear));
            p.color = Color(MakeColorRgb(r, g, b));
            break;
        }
        case ColorMode::kHsv: {
            const double h = std::nearbyint(RandomBetween(random, c[0], c[1], kDistrLinear));
            const double s = std::nearbyint(RandomBetween(random, c[2], c[3], kDistrLinear));
            const double v = std::nearbyint(RandomBetween(random, c[4], c[5], kDistrLinear));
            p.color = Color(MakeColorHsv(h, s, v));
            break;
        }
        case ColorMode::kMix:
            p.color = MergeColor(Color(c[0]), Color(c[1]), random.NextReal());
            break;
        default:
            p.color = Color(c[0]);
            break;
    }
    p.alpha = type.alpha_start;
    p.size = RandomBetween(random, type.size_min, type.size_max, kDistrLinear);
    p.image = type.random_image ? int32_t(random.Below(10000)) : 0;
    p.seed = int32_t(random.Below(100000));
    p.dcos = 1;
    p.dsin = 0;
    p.heading = Particle::kStale;
}

double Particle::Direction() const {
    return heading == kVector ? VectorDirection(dcos, -dsin) : direction;
}

void Particle::SettleDirection() {
    if (heading == kVector) {
        direction = VectorDirection(dcos, -dsin);
    } else if (heading == kStale) {
        const double a = direction * kRad;
        dcos = std::cos(a);
        dsin = std::sin(a);
    }
    heading = kCached;
}

void RParticleSystem::ClearParticles() {
    particles.clear();
    if (particles.capacity() > (size_t(1) << 16)) particles.shrink_to_fit();
}

void RParticleSystem::Clear() {
    ClearParticles();
    emitters.clear();
    attractors.clear();
    destroyers.clear();
    deflectors.clear();
    changers.clear();
    old_to_new = true;
    depth = 0;
    x = y = 0;
    auto_update = auto_draw = true;
}

bool RParticleSystem::Spawn(const TypeTable& types, RandomGenerator& random, double px, double py,
                            int32_t t) {
    if (!TypeExists(types, t) || particles.size() >= kMaxParticlesPerSystem) return false;
    Particle p;
    MakeParticle(types[size_t(t)], t, random, px, py, p);
    try {
        particles.push_back(p);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void RParticleSystem::CreateParticles(const TypeTable& types, RandomGenerator& random, double px,
                                      double py, int32_t t, int64_t n, const uint32_t* color) {
    for (int64_t i = 0; i < n; ++i) {
        if (!Spawn(types, random, px, py, t)) return;
        if (color) particles.back().color = *color;
    }
}

void RParticleSystem::Secondary(const TypeTable& types, RandomGenerator& random, double px,
                                double py, int32_t t, int32_t n) {
    const int64_t count = SecondaryCount(random, n);
    for (int64_t i = 0; i < count; ++i)
        if (!Spawn(types, random, px, py, t)) return;
}

void RParticleSystem::Burst(const TypeTable& types, RandomGenerator& random, const PartEmitter& e,
                            int32_t t, int64_t n) {
    if (n == 0) return;
    n = SecondaryCount(random, n);
    // Nothing could be made: the positions are not drawn either.
    if (!TypeExists(types, t)) return;
    const int32_t d = e.distribution;
    for (int64_t i = 0; i < n; ++i) {
        double b, c;
        for (;;) {
            b = RandomBetween(random, 0, 1, d);
            c = RandomBetween(random, 0, 1, d);
            if (d == kDistrInvGaussian && e.shape != kShapeLine) {
                if (random.NextReal() < 0.5)
                    b = random.NextReal();
                else
                    c = random.NextReal();
            }
            if (e.shape == kShapeEllipse && (b - 0.5) * (b - 0.5) + (c - 0.5) * (c - 0.5) > 0.25)
                continue;
            if (e.shape == kShapeDiamond && std::abs(b - 0.5) + std::abs(c - 0.5) > 0.5) continue;
            break;
        }
        const double px = e.xmin + b * (e.xmax - e.xmin);
        const double py = e.ymin + (e.shape == kShapeLine ? b : c) * (e.ymax - e.ymin);
        if (!Spawn(types, random, px, py, t)) return;
    }
}

void RParticleSystem::Deflect() {
    for (const PartDeflector& d : deflectors) {
        if (!d.exists || !(d.xmin < d.xmax) || !(d.ymin < d.ymax)) continue;
        for (Particle& p : particles) {
            if (!InRect(p.x, p.y, d.xmin, d.xmax, d.ymin, d.ymax)) continue;
            const double direction = p.Direction();
            if (d.kind == kDeflectHorizontal) {
                p.SetDirection(180 - direction);
                if (p.direction < 0) p.direction += 360;
                p.x = p.xprev - (p.x - p.xprev);
            } else {
                p.SetDirection(360 - direction);
                p.y = p.yprev - (p.y - p.yprev);
            }
            p.speed = std::max(0.0, p.speed - d.friction);
        }
    }
}

void RParticleSystem::Change(const TypeTable& types, RandomGenerator& random) {
    for (const PartChanger& c : changers) {
        if (!c.exists || !(c.xmin < c.xmax) || !(c.ymin < c.ymax)) continue;
        if (!TypeExists(types, c.to)) continue;
        for (Particle& p : particles) {
            if (p.type != c.from || !InRect(p.x, p.y, c.xmin, c.xmax, c.ymin, c.ymax) ||
                !InShape(c.shape, p.x, p.y, c.xmin, c.xmax, c.ymin, c.ymax))
                continue;
            Particle n;
            MakeParticle(types[size_t(c.to)], c.to, random, p.x, p.y, n);
            p.type = c.to;
            if (c.kind == kChangeAll) {
                p = n;
            } else if (c.kind == kChangeMotion) {
                p.speed = n.speed;
                p.SetDirection(n.direction);
            } else if (c.kind == kChangeShape) {
                p.orientation = n.orientation;
                p.color = n.color;
                p.alpha = n.alpha;
                p.size = n.size;
                p.image = n.image;
            }
        }
    }
}

void RParticleSystem::Destroy() {
    bool any = false;
    for (const PartDestroyer& d : destroyers) {
        if (!d.exists || !(d.xmin < d.xmax) || !(d.ymin < d.ymax) || d.shape == kShapeLine)
            continue;
        for (Particle& p : particles) {
            if (p.type != kDead && InRect(p.x, p.y, d.xmin, d.xmax, d.ymin, d.ymax) &&
                InShape(d.shape, p.x, p.y, d.xmin, d.xmax, d.ymin, d.ymax)) {
                p.type = kDead;
                any = true;
            }
        }
    }
    if (any) std::erase_if(particles, [](const Particle& p) { return p.type == kDead; });
}

namespace {

using TypeStep = ParticleTypeStep;

// Channel-wise round(a * (1 - t) + b * t), halves to even, of two BGR colours.
uint32_t Merge(uint32_t a, uint32_t b, double t) {
    constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to even
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        const double m = (ca * (1 - t) + cb * t + kRound) - kRound;
        out |= uint32_t(std::clamp(m, 0.0, 255.0)) << shift;
    }
    return out;
}

void Motion(Particle& p, const TypeStep& ts, const std::vector<PartAttractor>& attractors,
            bool attract) {
    const CParticleType& t = *ts.type;
    p.xprev = p.x;
    p.yprev = p.y;
    p.speed += t.speed_incr;
    if (p.speed < 0) p.speed = 0;
    if (t.dir_incr != 0) {
        p.SettleDirection();
        p.SetDirection(p.direction + t.dir_incr);
    }
    p.orientation += t.ang_incr;
    double ex = 0, ey = 0;  // the displacement of this step alone
    double vx = 0, vy = 0;
    bool have_vector = false;
    if (t.grav_amount != 0 || attract) {
        if (p.heading == Particle::kStale) p.SettleDirection();
        vx = p.speed * p.dcos + ts.gx;
        vy = -p.speed * p.dsin + ts.gy;
        if (attract) {
            for (const PartAttractor& at : attractors) {
                if (!at.exists) continue;
                const double dx = at.x - p.x, dy = at.y - p.y;
                const double e = std::sqrt(dx * dx + dy * dy);
                if (e > at.distance || e == 0 || at.force == 0 || at.distance == 0) continue;
                double f = at.force / e;
                if (at.kind == kForceLinear) {
                    f *= (at.distance - e) / at.distance;
                } else if (at.kind == kForceQuadratic) {
                    const double k = (at.distance - e) / at.distance;
                    f *= k * k;
                }
                if (at.additive) {
                    vx += dx * f;
                    vy += dy * f;
                } else {
                    ex += dx * f;
                    ey += dy * f;
                }
            }
        }
        p.speed = std::sqrt(vx * vx + vy * vy);
        if (p.speed > 0) {
            // The angle of the vector is left until something needs it.
            p.dcos = vx / p.speed;
            p.dsin = -vy / p.speed;
            p.heading = Particle::kVector;
        } else {
            p.direction = 0;
            p.dcos = 1;
            p.dsin = 0;
            p.heading = Particle::kCached;
        }
        have_vector = true;
    }
    double s = p.speed;
    if (t.speed_wiggle != 0)
        s += t.speed_wiggle * Wave(double((int64_t(p.age) + 4 * int64_t(p.seed)) % 20) / 5);
    if (t.dir_wiggle != 0) {
        p.SettleDirection();
        const double d =
            p.direction +
            t.dir_wiggle * Wave(double((int64_t(p.age) + 3 * int64_t(p.seed)) % 24) / 6);
        const double a = d * kRad;
        p.x += s * std::cos(a) + ex;
        p.y += -s * std::sin(a) + ey;
    } else if (have_vector && t.speed_wiggle == 0) {
        // The motion vector is the vector of (speed, direction) just derived from it.
        p.x += vx + ex;
        p.y += vy + ey;
    } else if (s != 0) {
        if (p.heading == Particle::kStale) p.SettleDirection();
        p.x += s * p.dcos + ex;
        p.y += -s * p.dsin + ey;
    } else {
        p.x += ex;
        p.y += ey;
    }
}

void Looks(Particle& p, const TypeStep& ts) {
    const CParticleType& t = *ts.type;
    p.size += t.size_incr;
    if (p.size < 0) p.size = 0;
    if (t.color_mode == ColorMode::kTwo) {
        if (p.life > 0 && p.age > 0)
            p.color = Merge(ts.c1, ts.c2, std::min(double(p.age) / p.life, 1.0));
    } else if (t.color_mode == ColorMode::kThree) {
        const double e = p.life > 0 ? std::min(2.0 * p.age / p.life, 2.0) : 2.0;
        p.color = e >= 1 ? Merge(ts.c2, ts.c3, e - 1) : Merge(ts.c1, ts.c2, e);
    }
    const double e = p.life > 0 ? 2.0 * p.age / p.life : 1.0;
    p.alpha = e >= 1 ? (2 - e) * t.alpha_middle + (e - 1) * t.alpha_end
                     : (1 - e) * t.alpha_start + e * t.alpha_middle;
}

}  // namespace

void RParticleSystem::Update(const TypeTable& types, RandomGenerator& random) {
    // What each type contributes, once.
    steps_.resize(types.size());
    for (size_t i = 0; i < types.size(); ++i) {
        const CParticleType& t = types[i];
        TypeStep& s = steps_[i];
        s.type = t.exists ? &t : nullptr;
        if (!t.exists) continue;
        s.gx = t.grav_amount * std::cos(t.grav_dir * kRad);
        s.gy = -t.grav_amount * std::sin(t.grav_dir * kRad);
        s.c1 = Color(t.colors[0]);
        s.c2 = Color(t.colors[1]);
        s.c3 = Color(t.colors[2]);
    }
    const auto step_of = [this](const Particle& p) -> const TypeStep* {
        if (p.type < 0 || size_t(p.type) >= steps_.size()) return nullptr;
        const TypeStep* s = &steps_[size_t(p.type)];
        return s->type ? s : nullptr;
    };
    bool attract = false;
    for (const PartAttractor& a : attractors) attract |= a.exists;
    // Size, colour and alpha (6) go with the motion (2) when nothing acts in between (3-5).
    const bool between = !deflectors.empty() || !changers.empty() || !destroyers.empty();
    const auto move = [&](Particle& p) {
        if (const TypeStep* s = step_of(p)) {
            Motion(p, *s, attractors, attract);
            if (!between) Looks(p, *s);
        }
    };

    // 1. Ages, deaths and the particles they leave, step particles; the dead are removed and
    // the rest keep their order. Motion in the same pass: it draws no random numbers, so the
    // particles made meanwhile come out the same.
    const size_t start = particles.size();
    size_t kept = 0;
    for (size_t i = 0; i < start; ++i) {
        Particle p = particles[i];
        ++p.age;
        const TypeStep* s = step_of(p);
        if (p.age >= p.life) {
            if (s) Secondary(types, random, p.x, p.y, s->type->death_type, s->type->death_number);
            continue;
        }
        if (s && s->type->step_number != 0)
            Secondary(types, random, p.x, p.y, s->type->step_type, s->type->step_number);
        move(p);
        particles[kept++] = p;
    }
    // 2. The particles made in step 1 move too.
    for (size_t i = start; i < particles.size(); ++i) {
        Particle p = particles[i];
        move(p);
        particles[kept++] = p;
    }
    particles.resize(kept);

    if (between) {
        if (!deflectors.empty()) Deflect();            // 3
        if (!changers.empty()) Change(types, random);  // 4
        if (!destroyers.empty()) Destroy();            // 5
        for (Particle& p : particles)                  // 6
            if (const TypeStep* s = step_of(p)) Looks(p, *s);
    }

    // 7. Streams.
    for (size_t i = 0; i < emitters.size(); ++i) {
        const PartEmitter e = emitters[i];
        if (e.exists && e.stream_number != 0)
            Burst(types, random, e, e.stream_type, e.stream_number);
    }
}

}  // namespace tb
