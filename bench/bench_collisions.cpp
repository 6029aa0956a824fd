// The collision pass: N moving instances with a collision event against N resting ones, spread
// over a room that grows with N so the density stays the same (16 x 16 boxes, one instance per
// 40 x 40 pixels on average), run headless. Reports steps per second and the time per
// instance-step for N = 2,000, 20,000 and 200,000, whose growth should stay linear, and at
// 20,000 the same world with the pass forced to test all pairs.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "resources/object.h"
#include "resources/room.h"
#include "runner/compile_stages.h"
#include "runner/game.h"
#include "runner/settings.h"
#include "script/engine.h"
#include "world/collision.h"
#include "world/world.h"

namespace {

using namespace tb;

struct Result {
    double seconds = 0;       // the timed steps
    double pass_seconds = 0;  // the same number of collision passes alone, on the last state
    double hits = 0;          // collision events per step, on average
};

Result Run(int n, int steps, bool all_pairs) {
    Game game;
    ResetSettings(game.settings);
    game.last_instance_id = 100000;
    auto sprite = std::make_unique<CSprite>();
    sprite->Width = sprite->Height = 16;
    sprite->frames.emplace_back(16, 16, 0xFF000000);
    sprite->textures.assign(1, -1);
    sprite->Precise = false;
    sprite->ComputeBoundingBox();
    sprite->BuildMasks();
    game.sprites.Add(std::move(sprite), "block");
    for (const char* name : {"mover", "rock"}) {
        auto obj = std::make_unique<CObject>();
        obj->SpriteIndex = 0;
        obj->MaskIndex = -1;
        game.objects.Add(std::move(obj), name);
    }
    game.objects.Get(0)->GetOrCreateEvent(ev_collision, 1)->AddCodeAction("global.hits += 1;");
    game.objects.Get(0)
        ->GetOrCreateEvent(ev_create, 0)
        ->AddCodeAction("direction = (id * 37) mod 360; speed = 2;");

    auto room = std::make_unique<CRoom>();
    const int side = int(std::sqrt(2.0 * n) * 40);
    room->Width = room->Height = side;
    room->Speed = 1000000;
    room->CreationCode = "global.hits = 0;";
    std::mt19937 rng(7);
    for (int i = 0; i < 2 * n; ++i) {
        auto inst = std::make_unique<CInstance>();
        inst->id = ++game.last_instance_id;
        inst->object_index = i % 2;
        inst->x = inst->xstart = double(rng() % uint32_t(side));
        inst->y = inst->ystart = double(rng() % uint32_t(side));
        room->instances.push_back(std::move(inst));
    }
    game.rooms.Add(std::move(room), "room0");
    game.room_order = {0};

    ScriptEngine engine;
    engine.game = &game;
    if (!CompileAllObjects(engine, game)) return {};
    World world(game, engine);
    world.clock.virtual_time = true;
    world.automatic_draw = false;
    world.collision_all_pairs = all_pairs;
    if (!StartGame(world)) return {};
    Step(world);  // the first step files and settles
    const auto start = std::chrono::steady_clock::now();
    for (int s = 0; s < steps; ++s) Step(world);
    Result r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RValue hits;
    engine.globals.Get(engine.VariableIdOf("hits"), 0, hits, true);
    r.hits = hits.real / (steps + 1);
    // The pass alone: its events only count, so the world stays as it is.
    const auto pass_start = std::chrono::steady_clock::now();
    for (int s = 0; s < steps; ++s) RunCollisionEvents(world);
    r.pass_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - pass_start).count();
    EndGame(world);
    return r;
}

// Nanoseconds per instance and step, of the whole step and of the pass alone.
struct PerInstance {
    double step = 0, pass = 0;
};

PerInstance Per(int n, int steps, const Result& r) {
    const double d = double(steps) * 2.0 * n / 1e9;
    return {r.seconds / d, r.pass_seconds / d};
}

void Print(const char* pass, int n, int steps, const Result& r, const PerInstance& base) {
    const PerInstance p = Per(n, steps, r);
    std::printf("%-9s %7d %7d %5d %9.1f %10.1f %6.2f %11.1f %6.2f %9.0f\n", pass, n, 2 * n, steps,
                steps / r.seconds, p.step, base.step > 0 ? p.step / base.step : 1.0, p.pass,
                base.pass > 0 ? p.pass / base.pass : 1.0, r.hits);
}

}  // namespace

int main(int argc, char** argv) {
    // bench_collisions N [all]: only that world, for profiling.
    if (argc > 1) {
        const int n = std::atoi(argv[1]);
        const bool all = argc > 2;
        const int steps = all ? 3 : n >= 200000 ? 20 : n >= 20000 ? 100 : 500;
        Print(all ? "all-pairs" : "grid", n, steps, Run(n, steps, all), {});
        return 0;
    }
    std::printf("%-9s %7s %7s %5s %9s %10s %6s %11s %6s %9s\n", "pass", "movers", "total", "steps",
                "steps/s", "ns/i-step", "growth", "pass ns/i-s", "growth", "hits/step");
    PerInstance base;
    for (int n : {2000, 20000, 200000}) {
        const int steps = n >= 200000 ? 20 : n >= 20000 ? 100 : 500;
        const Result r = Run(n, steps, false);
        Print("grid", n, steps, r, base);
        if (base.step == 0) base = Per(n, steps, r);
        if (n == 20000) {
            const Result all = Run(n, 2, true);
            Print("all-pairs", n, 2, all, base);
            std::printf(
                "at %d the grid's pass is %.0fx faster than all pairs (%.0fx by whole steps)\n", n,
                (all.pass_seconds / 2) / (r.pass_seconds / steps),
                (all.seconds / 2) / (r.seconds / steps));
        }
    }
    return 0;
}
