// Particles headless: 100,000 live particles of three types (colour over the life, alpha,
// size change, gravity) kept alive by three streams. Times the update and the drawing of a
// step separately, and draws the same particles again as sprites through TextureTable::DrawExt
// (one quad each, the sprite path of the drawing benchmark) for the cost per quad.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "frame_timer.h"
#include "graphics/graphics.h"
#include "particles/particles.h"
#include "script/random.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kLife = 100;
constexpr int kStream = 1000 / 3 + 1;  // per type and step: 3 x 334 x 100 live at the steady state

// Processor time of the whole process (the rasteriser's threads included): the machine may
// be shared, and wall time then counts the waits for a core.
double Seconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void MakeType(tb::ParticleState& ps, int shape, double gravity, int32_t c1, int32_t c2,
              int32_t c3) {
    tb::CParticleType& t = *ps.Type(ps.CreateType());
    t.shape = shape;
    t.life_min = t.life_max = kLife;
    t.size_min = 0.2;
    t.size_max = 0.3;
    t.size_incr = 0.0005;
    t.speed_min = 0.5;
    t.speed_max = 2;
    t.dir_min = 0;
    t.dir_max = 360;
    t.ang_min = 0;
    t.ang_max = 360;
    t.grav_amount = gravity;
    t.grav_dir = 270;
    t.color_mode = tb::ColorMode::kThree;
    t.colors = {double(c1), double(c2), double(c3), 0, 0, 0};
    t.alpha_start = 1;
    t.alpha_middle = 0.8;
    t.alpha_end = 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int steps = argc > 1 ? std::atoi(argv[1]) : 200;
    tb::Graphics g;
    tb::DeviceOptions o;
    o.headless = true;
    if (!tb::InitDevice(g, o, kWidth, kHeight)) {
        std::fprintf(stderr, "bench_particles: %s\n", g.device.LastError());
        return 1;
    }
    tb::RandomGenerator random;
    random.SetSeed(12345);
    tb::ParticleState ps;
    MakeType(ps, 1, 0.02, 0x0000FF, 0x00FFFF, 0xFFFFFF);   // disk
    MakeType(ps, 8, 0.05, 0xFF0000, 0xFF00FF, 0x000000);   // flare
    MakeType(ps, 12, 0.01, 0x808080, 0xC0C0C0, 0x404040);  // smoke
    const int32_t id = ps.CreateSystem();
    tb::RParticleSystem& s = *ps.System(id);
    for (int t = 0; t < 3; ++t) {
        tb::PartEmitter e;
        e.xmin = 120 + 150 * t;
        e.xmax = e.xmin + 100;
        e.ymin = 140;
        e.ymax = 340;
        e.shape = tb::kShapeEllipse;
        e.stream_type = t;
        e.stream_number = kStream;
        s.emitters.push_back(e);
    }
    for (int i = 0; i < kLife + 5; ++i) ps.Update(id, random);  // the steady state
    const size_t live = s.particles.size();

    const double wall = tb::bench::Seconds();
    double update_s = 0, draw_s = 0, sprite_s = 0;
    size_t counted = 0;
    const int32_t sprite = g.textures.FromBitmap(tb::CBitmap32(64, 64, 0xFFFFFFFF));
    for (int k = 0; k < steps; ++k) {
        double t0 = Seconds();
        ps.Update(id, random);
        update_s += Seconds() - t0;
        counted += s.particles.size();

        g.device.Clear(0xFF000000);
        t0 = Seconds();
        ps.Draw(g, nullptr, id);
        g.device.Flush();
        (void)g.device.Capture(0, 0, 1, 1);  // waits for the rasteriser
        draw_s += Seconds() - t0;

        g.device.Clear(0xFF000000);
        t0 = Seconds();
        for (const tb::Particle& p : s.particles)
            g.textures.DrawExt(sprite, 32, 32, p.x, p.y, p.size, p.size, p.orientation, p.color,
                               p.alpha);
        g.device.Flush();
        (void)g.device.Capture(0, 0, 1, 1);
        sprite_s += Seconds() - t0;
    }
    const double n = double(counted);
    std::printf("(processor time; the whole loop took %.2f s of wall time)\n",
                tb::bench::Seconds() - wall);
    std::printf("live particles %zu (steady state), %d steps\n", live, steps);
    std::printf("update: %8.3f ms/step %8.1f ns/particle %8.0f steps/s\n", update_s * 1e3 / steps,
                update_s * 1e9 / n, steps / update_s);
    std::printf("draw:   %8.3f ms/step %8.1f ns/particle\n", draw_s * 1e3 / steps,
                draw_s * 1e9 / n);
    std::printf("sprite: %8.3f ms/step %8.1f ns/quad (DrawExt of the same quads)\n",
                sprite_s * 1e3 / steps, sprite_s * 1e9 / n);
    std::printf("draw / sprite: %.2f; update + draw: %.0f steps/s\n", draw_s / sprite_s,
                steps / (update_s + draw_s));
    tb::ReleaseGraphics(g);
    return 0;
}
