// Steps of a running room: N instances of three objects with Step, Alarm 0 and End step
// events doing light arithmetic, run headless. Reports steps per second for 1,000, 10,000,
// 100,000 and 200,000 instances and the time per instance-step, whose growth should stay linear.
// A fourth object without events fills a quarter of the room: the step must not visit it.
#include <chrono>
#include <cstdio>
#include <memory>

#include "resources/object.h"
#include "resources/room.h"
#include "runner/compile_stages.h"
#include "runner/game.h"
#include "runner/settings.h"
#include "script/engine.h"
#include "world/events.h"
#include "world/world.h"

namespace {

using namespace tb;

void AddObject(Game& game, const char* name,
               std::initializer_list<std::pair<int, const char*>> events) {
    auto obj = std::make_unique<CObject>();
    for (const auto& [kind_number, code] : events)
        obj->GetOrCreateEvent(kind_number / 1000, kind_number % 1000)->AddCodeAction(code);
    game.objects.Add(std::move(obj), name);
}

double Run(int instances, int steps) {
    Game game;
    ResetSettings(game.settings);
    game.last_instance_id = 100000;
    AddObject(game, "walker",
              {{3000, "v = x * 0.5 + y; x += 1; if (x > 1000) x = 0;"},
               {2000, "alarm[0] = 10; n += 1;"},
               {3002, "t = v + 1;"}});
    AddObject(game, "counter", {{3000, "c += 1;"}, {0, "alarm[0] = 1 + id mod 10; c = 0;"}});
    AddObject(game, "ticker", {{3002, "s = c * 2;"}, {0, "c = 0; s = 0;"}});
    AddObject(game, "idle", {});
    auto room = std::make_unique<CRoom>();
    room->Width = 1024;
    room->Height = 768;
    room->Speed = 1000000;
    for (int i = 0; i < instances; ++i) {
        auto inst = std::make_unique<CInstance>();
        inst->id = ++game.last_instance_id;
        inst->object_index = i % 4;
        inst->x = inst->xstart = double(i % 1000);
        inst->y = inst->ystart = double(i / 1000);
        room->instances.push_back(std::move(inst));
    }
    game.rooms.Add(std::move(room), "room0");
    game.room_order = {0};

    ScriptEngine engine;
    engine.game = &game;
    if (!CompileAllObjects(engine, game)) return 0;
    World world(game, engine);
    world.clock.virtual_time = true;
    if (!StartGame(world)) return 0;
    Step(world);  // the first step sorts and settles
    const auto start = std::chrono::steady_clock::now();
    for (int s = 0; s < steps; ++s) Step(world);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EndGame(world);
    return seconds;
}

}  // namespace

int main() {
    std::printf("%10s %8s %12s %14s %16s\n", "instances", "steps", "seconds", "steps/s",
                "ns/instance-step");
    double base = 0;
    for (int n : {1000, 10000, 100000, 200000}) {
        const int steps = n >= 200000 ? 30 : n >= 100000 ? 60 : 300;
        const double s = Run(n, steps);
        const double per = s / steps / n * 1e9;
        if (base == 0) base = per;
        std::printf("%10d %8d %12.4f %14.1f %16.1f  (x%.2f of 1,000)\n", n, steps, s, steps / s,
                    per, per / base);
    }
    return 0;
}
