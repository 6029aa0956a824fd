// Place queries: 10,000 walkers whose Step event calls place_free and instance_place once each,
// among 10,000 solid rocks, spread over a room that keeps one instance per 40 x 40 pixels on
// average (16 x 16 boxes), run headless. Reports the time per query step through the query
// index and through the walk of every instance, measured in the same run.
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
#include "world/world.h"

namespace {

using namespace tb;

struct Result {
    double seconds = 0;  // the timed steps
    double found = 0;    // instance_place hits per step, on average
};

Result Run(int walkers, int rocks, int steps, bool walk) {
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
    for (const char* name : {"walker", "rock"}) {
        auto obj = std::make_unique<CObject>();
        obj->SpriteIndex = 0;
        obj->MaskIndex = -1;
        obj->Solid = name[0] == 'r';
        game.objects.Add(std::move(obj), name);
    }
    game.objects.Get(0)->GetOrCreateEvent(ev_create, 0)->AddCodeAction("hspeed = 1 + id mod 3;");
    game.objects.Get(0)
        ->GetOrCreateEvent(ev_step, ev_step_normal)
        ->AddCodeAction(
            "if (place_free(x + hspeed * 4, y)) x += hspeed; else hspeed = -hspeed;"
            "if (instance_place(x, y + 2, rock) != noone) global.found += 1;");

    auto room = std::make_unique<CRoom>();
    const int side = int(std::sqrt(double(walkers + rocks)) * 40);
    room->Width = room->Height = side;
    room->Speed = 1000000;
    room->CreationCode = "global.found = 0;";
    std::mt19937 rng(11);
    for (int i = 0; i < walkers + rocks; ++i) {
        auto inst = std::make_unique<CInstance>();
        inst->id = ++game.last_instance_id;
        inst->object_index = i < walkers ? 0 : 1;
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
    world.collision_all_pairs = walk;
    if (!StartGame(world)) return {};
    Step(world);  // the first step files and settles
    const auto start = std::chrono::steady_clock::now();
    for (int s = 0; s < steps; ++s) Step(world);
    Result r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RValue found;
    engine.globals.Get(engine.VariableIdOf("found"), 0, found, true);
    r.found = found.real / (steps + 1);
    EndGame(world);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const int walkers = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rocks = argc > 2 ? std::atoi(argv[2]) : 10000;
    std::printf("%-6s %8s %8s %6s %12s %16s %10s\n", "query", "walkers", "in room", "steps",
                "ms/step", "us/walker-step", "hits/step");
    const int steps = 50;
    const Result index = Run(walkers, rocks, steps, false);
    const Result walk = Run(walkers, rocks, 2, true);
    const Result same = Run(walkers, rocks, 2, false);
    for (const auto& [name, r, n] : {std::tuple{"index", index, steps}, {"walk", walk, 2}})
        std::printf("%-6s %8d %8d %6d %12.3f %16.3f %10.1f\n", name, walkers, walkers + rocks, n,
                    r.seconds / n * 1e3, r.seconds / n / walkers * 1e6, r.found);
    std::printf(
        "the index answers %.0fx faster than the walk (whole steps); same hits over the "
        "first steps: %s\n",
        (walk.seconds / 2) / (index.seconds / steps), same.found == walk.found ? "yes" : "NO");
    return 0;
}
