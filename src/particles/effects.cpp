#include "particles/effects.h"

#include <cmath>

#include "particles/particles.h"
#include "script/random.h"
#include "script/value.h"

namespace tb {

namespace {

enum Kind : int32_t {
    kExplosion,
    kRing,
    kEllipse,
    kFirework,
    kSmoke,
    kSmokeUp,
    kStar,
    kSpark,
    kFlare,
    kCloud,
    kRain,
    kSnow
};

// A life in steps at speed factor c.
int32_t Life(double steps, double c) {
    return RoundToInt32(steps / c);
}

// Every preset starts from the defaults and takes only what its row names.
CParticleType& Preset(ParticleState& ps, int32_t id) {
    CParticleType& t = *ps.Type(id);
    t.Clear();
    return t;
}

void SetLife(CParticleType& t, double min, double max, double c) {
    t.life_min = Life(min, c);
    t.life_max = Life(max, c);
}

void SetAlpha(CParticleType& t, double start, double end) {
    t.alpha_start = start;
    t.alpha_end = end;
    t.alpha_middle = (start + end) / 2;
}

void SetColor(CParticleType& t, uint32_t color) {
    t.color_mode = ColorMode::kOne;
    t.colors[0] = color;
}

void SetSize(CParticleType& t, double min, double max, double incr) {
    t.size_min = min;
    t.size_max = max;
    t.size_incr = incr;
}

}  // namespace

double EffectSpeedFactor(double room_speed, double fps) {
    if (room_speed <= 30 || fps <= 30) return 1;
    const double s = room_speed / fps < 1.2 ? room_speed : fps;
    return 30 / s;
}

void ClearEffects(ParticleState& particles) {
    for (int32_t id : {particles.effects.below, particles.effects.above})
        if (RParticleSystem* s = particles.System(id)) s->ClearParticles();
}

void CreateEffect(ParticleState& ps, RandomGenerator& random, const EffectCall& call) {
    EffectState& fx = ps.effects;
    if (!ps.System(fx.below)) {
        fx.below = ps.CreateSystem();
        ps.System(fx.below)->depth = kEffectBelowDepth;
    }
    if (!ps.System(fx.above)) {
        fx.above = ps.CreateSystem();
        ps.System(fx.above)->depth = kEffectAboveDepth;
    }
    if (!fx.types_made) {
        for (int32_t kind = 0; kind < kEffectKinds; ++kind)
            for (int32_t size = 0; size < 3; ++size)
                for (int32_t k = 0; k < 2; ++k)
                    fx.types[size_t(kind)][size_t(size)][size_t(k)] =
                        (kind == kExplosion || k == 0) && (kind != kFirework || size == 0)
                            ? ps.CreateType()
                            : -1;
        fx.types_made = true;
    }
    if (call.kind < 0 || call.kind >= kEffectKinds) return;
    const int32_t size = call.size >= 0 && call.size <= 2 ? call.size : 1;
    const double c = call.speed_factor;
    const auto& ids = fx.types[size_t(call.kind)][size_t(call.kind == kFirework ? 0 : size)];
    // The preset types may have been destroyed by the game: made again in their slots.
    int32_t type = ids[0], second = ids[1];
    auto ensure = [&ps](int32_t& id) {
        if (id >= 0 && !ps.TypeExists(id)) id = ps.CreateType();
    };
    ensure(type);
    ensure(second);
    fx.types[size_t(call.kind)][size_t(call.kind == kFirework ? 0 : size)] = {type, second};
    RParticleSystem& sys = *ps.System(call.above ? fx.above : fx.below);
    const TypeTable& types = ps.Types();
    auto burst = [&](int32_t t, int64_t n, double x, double y) {
        sys.CreateParticles(types, random, x, y, t, n);
    };
    const double x = call.x, y = call.y;
    switch (call.kind) {
        case kExplosion: {
            static constexpr double kSize[3] = {0.1, 0.3, 0.4}, kGrow[3] = {0.05, 0.1, 0.2};
            static constexpr double kSpeed[3] = {2, 4, 7}, kSlow[3] = {0.1, 0.18, 0.2};
            static constexpr double kLife[3] = {10, 12, 15};
            static constexpr double kCloudGrow[3] = {0.1, 0.2, 0.4};
            CParticleType& t = Preset(ps, type);
            t.shape = 10;
            SetSize(t, kSize[size], kSize[size], kGrow[size] * c);
            t.speed_min = t.speed_max = kSpeed[size] * c;
            t.speed_incr = -kSlow[size] * c;
            t.dir_min = t.ang_min = 0;
            t.dir_max = t.ang_max = 360;
            SetAlpha(t, 0.6, 0);
            SetLife(t, kLife[size], kLife[size] + 5, c);
            SetColor(t, call.color);
            CParticleType& b = Preset(ps, second);
            b.shape = 10;
            SetSize(b, kSize[size], kSize[size], kCloudGrow[size] * c);
            b.ang_min = 0;
            b.ang_max = 360;
            SetAlpha(b, 0.8, 0);
            SetLife(b, kLife[size] + 5, kLife[size] + 5, c);
            SetColor(b, 0);
            burst(type, 20, x, y);
            burst(second, 1, x, y);
            break;
        }
        case kRing:
        case kEllipse: {
            static constexpr double kRingGrow[3] = {0.15, 0.25, 0.4};
            static constexpr double kEllipseGrow[3] = {0.2, 0.35, 0.6};
            static constexpr double kLife[3] = {10, 13, 18};
            CParticleType& t = Preset(ps, type);
            t.shape = 6;
            if (call.kind == kEllipse) t.yscale = 0.5;
            SetSize(t, 0, 0, (call.kind == kRing ? kRingGrow : kEllipseGrow)[size] * c);
            SetAlpha(t, 1, 0);
            SetLife(t, kLife[size], kLife[size] + 2, c);
            SetColor(t, call.color);
            burst(type, 1, x, y);
            break;
        }
        case kFirework: {
            static constexpr int64_t kCount[3] = {75, 150, 250};
            static constexpr double kSpeed[3] = {3, 6, 8}, kGravity[3] = {0.1, 0.15, 0.17};
            static constexpr double kLife[3] = {15, 20, 30};
            CParticleType& t = Preset(ps, type);
            t.shape = 8;
            SetSize(t, 0.1, 0.2, 0);
            t.speed_min = 0.5 * c;
            t.speed_max = kSpeed[size] * c;
            t.dir_min = 0;
            t.dir_max = 360;
            SetAlpha(t, 1, 0.4);
            t.grav_amount = kGravity[size] * c;
            t.grav_dir = 270;
            SetLife(t, kLife[size], kLife[size] + 10, c);
            SetColor(t, call.color);
            burst(type, kCount[size], x, y);
            break;
        }
        case kSmoke:
        case kSmokeUp: {
            static constexpr int64_t kCount[3] = {6, 11, 16};
            static constexpr int32_t kSpread[3] = {10, 30, 60};
            static constexpr double kMax[3] = {0.4, 0.7, 1.0}, kMin[3] = {0.2, 0.4, 0.4};
            static constexpr double kLife[3] = {25, 30, 50};
            static constexpr double kRise[3] = {3, 5, 6};
            CParticleType& t = Preset(ps, type);
            t.shape = 10;
            SetSize(t, kMin[size], kMax[size], -0.01 * c);
            SetAlpha(t, 0.4, 0);
            SetLife(t, kLife[size], kLife[size], c);
            if (call.kind == kSmokeUp) {
                t.speed_min = kRise[size] * c;
                t.speed_max = (kRise[size] + 1) * c;
                t.dir_min = t.dir_max = 90;
            }
            SetColor(t, call.color);
            const int32_t spread = kSpread[size];
            for (int64_t i = 0; i < kCount[size]; ++i) {
                const double r = random.Below(uint32_t(spread));
                const double r2 = random.Below(uint32_t(spread));
                burst(type, 1, x - spread / 2 + r, y - spread / 2 + r2);
            }
            break;
        }
        case kStar:
        case kSpark:
        case kFlare: {
            static constexpr double kSize[3] = {0.4, 0.75, 1.2}, kShrink[3] = {0.02, 0.03, 0.04};
            static constexpr double kLife[3] = {20, 25, 30};
            CParticleType& t = Preset(ps, type);
            t.shape = call.kind == kStar ? 4 : call.kind == kSpark ? 9 : 8;
            SetSize(t, kSize[size], kSize[size], -kShrink[size] * c);
            t.ang_min = 0;
            t.ang_max = 360;
            SetLife(t, kLife[size], kLife[size], c);
            SetColor(t, call.color);
            burst(type, 1, x, y);
            break;
        }
        case kCloud: {
            static constexpr double kSize[3] = {2, 4, 8};
            CParticleType& t = Preset(ps, type);
            t.shape = 10;
            SetSize(t, kSize[size], kSize[size], 0);
            t.yscale = 0.5;
            t.alpha_start = 0;
            t.alpha_middle = 0.3;
            t.alpha_end = 0;
            SetLife(t, 100, 100, c);
            SetColor(t, call.color);
            burst(type, 1, x, y);
            break;
        }
        case kRain: {
            static constexpr int64_t kCount[3] = {2, 5, 9};
            CParticleType& t = Preset(ps, type);
            t.shape = 3;
            SetSize(t, 0.2, 0.3, 0);
            t.ang_relative = true;
            t.speed_min = t.speed_max = 7 * c;
            t.dir_min = t.dir_max = 250;
            t.alpha_start = t.alpha_middle = t.alpha_end = 0.4;
            t.life_min = t.life_max = RoundToInt32(call.room_height * 0.2 / c);
            SetColor(t, call.color);
            for (int64_t i = 0; i < kCount[size]; ++i) {
                const double px = random.NextReal() * 1.2 * call.room_width;
                const double py = -30.0 + random.Below(20);
                burst(type, 1, px, py);
            }
            break;
        }
        case kSnow: {
            static constexpr int64_t kCount[3] = {1, 3, 7};
            CParticleType& t = Preset(ps, type);
            t.shape = 13;
            SetSize(t, 0.1, 0.25, 0);
            t.ang_min = 0;
            t.ang_max = 360;
            t.speed_min = 2.5 * c;
            t.speed_max = 3 * c;
            t.dir_min = 240;
            t.dir_max = 280;
            t.dir_wiggle = 20;
            t.alpha_start = t.alpha_middle = t.alpha_end = 0.6;
            t.life_min = t.life_max = RoundToInt32(call.room_height * 0.5 / c);
            SetColor(t, call.color);
            for (int64_t i = 0; i < kCount[size]; ++i) {
                const double px = random.NextReal() * 1.2 * call.room_width - 60;
                const double py = -30.0 + random.Below(20);
                burst(type, 1, px, py);
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace tb
