// Particle systems through the script functions: counts after bursts and deaths, the update's
// order (motion, deflectors, changers, destroyers, looks), the elements acting at the next
// update, automatic update, seeded repeatability and the simple effects.
#include "particles/particles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "particles/effects.h"
#include "resources/room.h"
#include "script_harness.h"
#include "world/world.h"

namespace tb {
namespace {

struct Particles : test::FunctionTest {
    Particles() {
        // ps = system 0, t = type 0 at rest living 100 steps, u = type 1.
        Run("global.ps = part_system_create(); global.t = part_type_create();"
            "global.u = part_type_create();");
    }
    ParticleState& state() { return *w.engine.particles; }
    RParticleSystem& sys(int id = 0) { return *state().System(id); }
    double Num(const std::string& expr) { return Eval(expr).real; }
    int Count() { return int(Num("part_particles_count(global.ps)")); }
    void Update(int times = 1) {
        for (int i = 0; i < times; ++i) Run("part_system_update(global.ps)");
    }
};

TEST_F(Particles, CountsAfterCreatingAndBursts) {
    struct Case {
        const char* code;
        int count;
    };
    const std::vector<Case> cases = {
        {"part_particles_create(global.ps, 0, 0, global.t, 10)", 10},
        {"part_particles_create(global.ps, 0, 0, global.t, 0)", 0},
        {"part_particles_create(global.ps, 0, 0, global.t, -3)", 0},
        {"part_particles_create(global.ps, 0, 0, 99, 10)", 0},  // no such type
        {"part_particles_create(99, 0, 0, global.t, 10)", 0},   // no such system
        {"part_particles_create_color(global.ps, 0, 0, global.t, c_red, 7)", 7},
        {"e = part_emitter_create(global.ps); part_emitter_region(global.ps, e, 0, 10, 0, 10,"
         "ps_shape_ellipse, ps_distr_gaussian); part_emitter_burst(global.ps, e, global.t, 25)",
         25},
        {"e = part_emitter_create(global.ps); part_emitter_burst(global.ps, e, global.t, 0)", 0},
        {"e = part_emitter_create(global.ps); part_emitter_burst(global.ps, e + 1, global.t, 5)",
         0},
        // Numbers far beyond memory end at once when nothing could be made.
        {"part_particles_create(global.ps, 0, 0, 99, 1000000000000000)", 0},
        {"e = part_emitter_create(global.ps); part_emitter_burst(global.ps, e, 99, "
         "1000000000000000)",
         0},
    };
    for (const Case& c : cases) {
        Run("part_system_clear(global.ps);" + std::string(c.code));
        EXPECT_EQ(Count(), c.count) << c.code;
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Particles, ASystemStopsGrowingAtItsBound) {
    Run("part_particles_create(global.ps, 0, 0, global.t, 3000000)");
    EXPECT_EQ(Count(), int(kMaxParticlesPerSystem));
    Run("e = part_emitter_create(global.ps); part_emitter_burst(global.ps, e, global.t, "
        "1000000000000)");
    EXPECT_EQ(Count(), int(kMaxParticlesPerSystem));
    Run("part_particles_clear(global.ps)");
    EXPECT_EQ(Count(), 0);
}

TEST_F(Particles, EmitterShapesKeepParticlesInTheirRegion) {
    struct Case {
        int shape, distribution;
    };
    for (const Case c : std::vector<Case>{{0, 0}, {1, 1}, {2, 2}, {3, 0}, {1, 2}}) {
        Run("part_system_clear(global.ps); e = part_emitter_create(global.ps);"
            "part_emitter_region(global.ps, e, 100, 200, 50, 150, " +
            std::to_string(c.shape) + ", " + std::to_string(c.distribution) +
            "); part_emitter_burst(global.ps, e, global.t, 200)");
        ASSERT_EQ(Count(), 200);
        for (const Particle& p : sys().particles) {
            const double u = (p.x - 150) / 50, v = (p.y - 100) / 50;
            ASSERT_TRUE(std::abs(u) <= 1 && std::abs(v) <= 1)
                << c.shape << ": " << p.x << "," << p.y;
            if (c.shape == 1) {
                EXPECT_LE(u * u + v * v, 1 + 1e-9);
            } else if (c.shape == 2) {
                EXPECT_LE(std::abs(u) + std::abs(v), 1 + 1e-9);
            } else if (c.shape == 3) {
                EXPECT_NEAR(u, v, 1e-9);  // along the diagonal
            }
        }
    }
}

TEST_F(Particles, NegativeNumbersGiveOneParticleOnceInSoManyTimes) {
    Run("e = part_emitter_create(global.ps); random_set_seed(7);"
        "repeat (4000) part_emitter_burst(global.ps, e, global.t, -4)");
    EXPECT_NEAR(Count(), 1000, 120);
    // Death number -4: one death particle a quarter of the time.
    Run("part_system_clear(global.ps); part_type_life(global.t, 30, 30);"
        "part_type_death(global.t, -4, global.u);"
        "part_particles_create(global.ps, 0, 0, global.t, 4000)");
    Update(30);
    EXPECT_NEAR(Count(), 1000, 120);
}

TEST_F(Particles, DeathsAtExactLivesAndSecondaryParticles) {
    Run("part_type_life(global.t, 3, 3); part_type_death(global.t, 2, global.u);"
        "part_type_life(global.u, 5, 5); part_type_step(global.u, 1, global.u);"
        "part_particles_create(global.ps, 0, 0, global.t, 4)");
    Update(2);
    EXPECT_EQ(Count(), 4);
    Update();  // age 3: each dies and leaves two of u
    EXPECT_EQ(Count(), 8);
    for (const Particle& p : sys().particles) EXPECT_EQ(p.type, 1);
    // u makes one more u every step; the new ones are not aged in the step that made them.
    Update();
    EXPECT_EQ(Count(), 16);
    EXPECT_EQ(sys().particles[0].age, 1);
    EXPECT_EQ(sys().particles[8].age, 0);
}

TEST_F(Particles, MotionGravityAndAttractors) {
    // At rest under gravity 0.5 downwards: 0.5 faster each step.
    Run("part_type_gravity(global.t, 0.5, 270);"
        "part_particles_create(global.ps, 10, 20, global.t, 1)");
    Update();
    const Particle& p = sys().particles[0];
    EXPECT_DOUBLE_EQ(p.speed, 0.5);
    EXPECT_DOUBLE_EQ(p.Direction(), 270);
    EXPECT_NEAR(p.y, 20.5, 1e-12);
    Update();
    EXPECT_NEAR(sys().particles[0].y, 21.5, 1e-12);
    EXPECT_NEAR(sys().particles[0].x, 10, 1e-12);

    // A linear attractor pulls with half its force at half its distance; a non-additive one
    // only displaces, an additive one gives speed; one exactly on the particle does nothing.
    struct Case {
        double px;
        int additive;
        double x, speed;
    };
    for (const Case c : std::vector<Case>{
             {50, 0, 50.5, 0}, {50, 1, 50.5, 0.5}, {100, 1, 100, 0}, {-10, 1, -10, 0}}) {
        Run("part_system_clear(global.ps); part_type_clear(global.t);"
            "a = part_attractor_create(global.ps); part_attractor_position(global.ps, a, 100, 0);"
            "part_attractor_force(global.ps, a, 1, 100, ps_force_linear, " +
            std::to_string(c.additive) + "); part_particles_create(global.ps, " +
            std::to_string(c.px) + ", 0, global.t, 1)");
        Update();
        EXPECT_NEAR(sys().particles[0].x, c.x, 1e-12) << c.px << " " << c.additive;
        EXPECT_NEAR(sys().particles[0].speed, c.speed, 1e-12);
    }
}

TEST_F(Particles, SpeedDirectionIncrementsAndWiggle) {
    Run("part_type_speed(global.t, 2, 2, -1, 0); part_type_direction(global.t, 90, 90, 10, 0);"
        "part_particles_create(global.ps, 0, 0, global.t, 1)");
    Update();
    EXPECT_DOUBLE_EQ(sys().particles[0].speed, 1);
    EXPECT_DOUBLE_EQ(sys().particles[0].Direction(), 100);
    Update(2);  // speed never below 0
    EXPECT_DOUBLE_EQ(sys().particles[0].speed, 0);
    // Wiggle moves the particle but leaves the stored speed alone.
    Run("part_system_clear(global.ps); part_type_clear(global.t);"
        "part_type_speed(global.t, 1, 1, 0, 1); part_particles_create(global.ps, 0, 0, global.t, "
        "1)");
    const int seed = sys().particles[0].seed;
    Update();
    const double f = double((1 + 4 * seed) % 20) / 5;
    const double wave = (f > 2 ? 4 - f : f) - 1;
    EXPECT_NEAR(sys().particles[0].x, 1 + wave, 1e-12);
    EXPECT_DOUBLE_EQ(sys().particles[0].speed, 1);
}

TEST_F(Particles, DeflectorsReflect) {
    Run("part_type_speed(global.t, 4, 4, 0, 0);"
        "d = part_deflector_create(global.ps); part_deflector_region(global.ps, d, 2, 10, -5, 5);"
        "part_deflector_kind(global.ps, d, ps_deflect_horizontal);"
        "part_deflector_friction(global.ps, d, 1);"
        "part_particles_create(global.ps, 0, 0, global.t, 1)");
    Update();
    const Particle& p = sys().particles[0];
    EXPECT_DOUBLE_EQ(p.Direction(), 180);
    EXPECT_NEAR(p.x, -4, 1e-12);
    EXPECT_DOUBLE_EQ(p.speed, 3);
    // Vertical: moving down (270) becomes up (90) and y is mirrored about the previous y.
    Run("part_system_clear(global.ps); part_type_direction(global.t, 270, 270, 0, 0);"
        "d = part_deflector_create(global.ps); part_deflector_region(global.ps, d, -5, 5, 2, 10);"
        "part_particles_create(global.ps, 0, 0, global.t, 1)");
    Update();
    EXPECT_DOUBLE_EQ(sys().particles[0].Direction(), 90);
    EXPECT_NEAR(sys().particles[0].y, -4, 1e-12);
}

TEST_F(Particles, DestroyersAndChangersActAtTheNextUpdate) {
    struct Case {
        const char* element;
        int shape;
        int left;  // particles left of the two at (50, 50) and (3, 3)
    };
    for (const Case c : std::vector<Case>{
             {"destroyer", 0, 0}, {"destroyer", 1, 1}, {"destroyer", 2, 1}, {"destroyer", 3, 2}}) {
        const std::string s = std::to_string(c.shape);
        Run("part_system_clear(global.ps); part_particles_create(global.ps, 50, 50, global.t, 1);"
            "part_particles_create(global.ps, 3, 3, global.t, 1);"
            "d = part_destroyer_create(global.ps);"
            "part_destroyer_region(global.ps, d, 0, 100, 0, 100, " +
            s + ")");
        EXPECT_EQ(Count(), 2);
        Update();
        EXPECT_EQ(Count(), c.left) << c.shape;
    }
    // Changers: the line shape uses its whole rectangle; kinds take all, the motion or the looks.
    Run("part_type_speed(global.u, 0, 0, 0, 0); part_type_size(global.u, 3, 3, 0, 0);"
        "part_type_life(global.u, 7, 7); part_type_speed(global.t, 0, 0, 0, 0);"
        "part_type_life(global.t, 50, 50)");
    struct Change {
        int shape, kind;
        double size;
        int life;
    };
    for (const Change c :
         std::vector<Change>{{3, 0, 3, 7}, {0, 1, 3, 50}, {0, 2, 1, 50}, {1, 0, 1, 50}}) {
        Run("part_system_clear(global.ps); part_particles_create(global.ps, 3, 3, global.t, 1);"
            "c = part_changer_create(global.ps); part_changer_region(global.ps, c, 0, 100, 0, "
            "100, " +
            std::to_string(c.shape) + "); part_changer_kind(global.ps, c, " +
            std::to_string(c.kind) + "); part_changer_types(global.ps, c, global.t, global.u)");
        EXPECT_EQ(sys().particles[0].type, 0);
        Update();
        const Particle& p = sys().particles[0];
        const bool changed = c.shape != 1;  // (3, 3) lies outside the ellipse
        EXPECT_EQ(p.type, changed ? 1 : 0) << c.shape << " " << c.kind;
        EXPECT_DOUBLE_EQ(p.size, c.size) << c.shape << " " << c.kind;
        EXPECT_EQ(p.life, c.life) << c.shape << " " << c.kind;
    }
}

TEST_F(Particles, ColoursAndAlphaOverTheLife) {
    Run("part_type_life(global.t, 10, 10); part_type_color3(global.t, c_red, c_lime, c_blue);"
        "part_type_alpha2(global.t, 1, 0); part_particles_create(global.ps, 0, 0, global.t, 1)");
    Update(5);
    EXPECT_EQ(sys().particles[0].color, 0x00FF00u);  // colour 2 at half the life
    EXPECT_DOUBLE_EQ(sys().particles[0].alpha, 0.5);
    Update(4);
    EXPECT_NEAR(sys().particles[0].alpha, 0.1, 1e-12);
    // part_type_color is part_type_color3 and part_type_alpha part_type_alpha3.
    Run("part_type_color(global.u, 1, 2, 3); part_type_alpha(global.u, 0.1, 0.2, 0.3)");
    const CParticleType& u = *state().Type(1);
    EXPECT_EQ(u.color_mode, ColorMode::kThree);
    EXPECT_EQ(u.colors[2], 3);
    EXPECT_EQ(u.alpha_middle, 0.2);
    // Two colours over the life; a created colour lasts until the next update then.
    Run("part_system_clear(global.ps); part_type_color2(global.t, c_black, c_white);"
        "part_particles_create_color(global.ps, 0, 0, global.t, c_red, 1)");
    EXPECT_EQ(sys().particles[0].color, 0x0000FFu);
    Update(5);
    EXPECT_EQ(sys().particles[0].color, 0x808080u);
}

TEST_F(Particles, ClearingAndDestroyingTypesAndSystems) {
    Run("part_type_blend(global.t, 1); part_type_clear(global.t)");
    EXPECT_FALSE(state().Type(0)->additive);
    Run("part_type_destroy(global.u)");
    EXPECT_EQ(Num("part_type_exists(global.u)"), 0);
    EXPECT_EQ(Num("part_type_create()"), 1);  // the slot is reused
    Run("e = part_emitter_create(global.ps); part_system_destroy(global.ps)");
    EXPECT_EQ(Num("part_system_exists(global.ps)"), 0);
    EXPECT_EQ(Num("part_emitter_create(global.ps)"), -1);
    EXPECT_EQ(Num("part_particles_count(global.ps)"), 0);
    EXPECT_EQ(Num("part_system_create()"), 0);
    // Elements: ids reused, exists, destroy all.
    EXPECT_EQ(Num("part_attractor_create(0)"), 0);
    EXPECT_EQ(Num("part_attractor_create(0)"), 1);
    Run("part_attractor_destroy(0, 0)");
    EXPECT_EQ(Num("part_attractor_exists(0, 0)"), 0);
    EXPECT_EQ(Num("part_attractor_exists(0, 1)"), 1);
    EXPECT_EQ(Num("part_attractor_create(0)"), 0);
    Run("part_attractor_destroy_all(0)");
    EXPECT_EQ(Num("part_attractor_exists(0, 1)"), 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Particles, AutomaticUpdateOnAndOff) {
    World world(w.game, w.engine);
    AttachParticles(world, state());
    Run("part_type_life(global.t, 2, 2); part_particles_create(global.ps, 0, 0, global.t, 3);"
        "global.q = part_system_create(); part_particles_create(global.q, 0, 0, global.t, 3);"
        "part_system_automatic_update(global.q, false)");
    world.hooks.particles();
    world.hooks.particles();
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Num("part_particles_count(global.q)"), 3);
    // The depth pass: automatic drawing only, highest depth first, each system once.
    Run("part_system_depth(global.ps, -5); part_system_depth(global.q, 10);"
        "global.r = part_system_create(); part_system_depth(global.r, -5);"
        "part_system_automatic_draw(part_system_create(), false);"
        "part_system_depth(part_system_create(), -100000000)");
    std::vector<std::pair<double, int32_t>> layers;
    world.hooks.particle_layers(layers);
    EXPECT_EQ(layers, (std::vector<std::pair<double, int32_t>>{{10, 1}, {-5, 0}, {-5, 2}}));
}

std::vector<Particle> SeededRun(uint32_t seed) {
    test::ScriptWorld w;
    w.engine.random.SetSeed(seed);
    const test::RunResult r = w.Run(
        "ps = part_system_create(); t = part_type_create(); part_type_speed(t, 1, 3, 0, 0.5);"
        "part_type_direction(t, 0, 360, 1, 10); part_type_life(t, 5, 40);"
        "part_type_color_hsv(t, 0, 255, 100, 200, 200, 255); part_type_gravity(t, 0.1, 270);"
        "part_type_death(t, -3, t); e = part_emitter_create(ps);"
        "part_emitter_region(ps, e, 0, 100, 0, 100, ps_shape_diamond, ps_distr_invgaussian);"
        "part_emitter_stream(ps, e, t, 5); repeat (60) part_system_update(ps)");
    EXPECT_TRUE(r.ok) << r.message;
    return w.engine.particles->System(0)->particles;
}

TEST(ParticlesSeeded, ARunRepeatsParticleForParticle) {
    const std::vector<Particle> a = SeededRun(99), b = SeededRun(99), c = SeededRun(100);
    ASSERT_GT(a.size(), 100u);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].x, b[i].x);
        EXPECT_EQ(a[i].y, b[i].y);
        EXPECT_EQ(a[i].color, b[i].color);
    }
    EXPECT_FALSE(a.size() == c.size() && a[0].x == c[0].x);
}

TEST_F(Particles, SimpleEffects) {
    w.room.Speed = 30;
    Run("effect_create_above(ef_ring, 100, 100, 5, c_red)");  // an unknown size is medium
    const EffectState& fx = state().effects;
    const RParticleSystem* above = state().System(fx.above);
    ASSERT_TRUE(above);
    EXPECT_EQ(above->depth, kEffectAboveDepth);
    EXPECT_EQ(state().System(fx.below)->depth, kEffectBelowDepth);
    ASSERT_EQ(above->particles.size(), 1u);
    const Particle& ring = above->particles[0];
    EXPECT_EQ(ring.color, 0x0000FFu);
    EXPECT_TRUE(ring.life >= 13 && ring.life <= 15);
    EXPECT_DOUBLE_EQ(state().Type(ring.type)->size_incr, 0.25);
    EXPECT_EQ(state().Type(ring.type)->shape, 6);

    struct Case {
        const char* code;
        int below;
    };
    const std::vector<Case> cases = {
        {"effect_create_below(ef_explosion, 0, 0, 0, c_white)", 21},
        {"effect_create_below(ef_firework, 0, 0, 2, c_white)", 250},
        {"effect_create_below(ef_smoke, 0, 0, 1, c_white)", 11},
        {"effect_create_below(ef_rain, 0, 0, 2, c_white)", 9},
        {"effect_create_below(ef_snow, 0, 0, 0, c_white)", 1},
        {"effect_create_below(12, 0, 0, 0, c_white)", 0},
    };
    for (const Case& c : cases) {
        Run("effect_clear()");
        EXPECT_EQ(state().System(fx.above)->particles.size(), 0u);
        Run(c.code);
        EXPECT_EQ(state().System(fx.below)->particles.size(), size_t(c.below)) << c.code;
    }
    // A destroyed effect system comes back at the next call.
    Run("part_system_destroy(" + std::to_string(fx.below) +
        "); effect_create_below(ef_star, 0, 0, 0, 0)");
    EXPECT_EQ(state().System(fx.below)->depth, kEffectBelowDepth);
    // Room entry clears both systems.
    World world(w.game, w.engine);
    AttachParticles(world, state());
    world.hooks.clear_particles();
    EXPECT_EQ(state().System(fx.below)->particles.size(), 0u);
}

TEST_F(Particles, EffectsKeepTheirDurationAtHigherRoomSpeeds) {
    struct Case {
        double speed, fps, factor;
    };
    for (const Case c :
         std::vector<Case>{{30, 30, 1}, {60, 25, 1}, {60, 60, 0.5}, {60, 55, 0.5}, {120, 40, 0.75}})
        EXPECT_DOUBLE_EQ(EffectSpeedFactor(c.speed, c.fps), c.factor) << c.speed << " " << c.fps;
    World world(w.game, w.engine);
    w.engine.world = &world;
    world.fps = 60;
    w.room.Speed = 60;
    Run("effect_create_above(ef_explosion, 0, 0, 0, c_white)");
    const RParticleSystem& s = *state().System(state().effects.above);
    ASSERT_EQ(s.particles.size(), 21u);
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_TRUE(s.particles[i].life >= 20 && s.particles[i].life <= 30);
        EXPECT_DOUBLE_EQ(s.particles[i].speed, 1);
    }
    EXPECT_EQ(s.particles[20].life, 30);
    EXPECT_EQ(s.particles[20].color, 0u);
    w.engine.world = nullptr;
}

}  // namespace
}  // namespace tb
