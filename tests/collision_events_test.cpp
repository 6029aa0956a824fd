// The collision event pass: the order of the events over the listed pairs, the treatment of
// solid instances (put back, events both ways, the second move, put back again), and the grid
// against the plain walk over all pairs on worlds whose events change everything.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "collision_fixtures.h"
#include "resources/object.h"
#include "runner/compile_stages.h"
#include "script_harness.h"
#include "world/broad_phase.h"
#include "world/collision.h"
#include "world/events.h"
#include "world/world.h"

namespace tb {
namespace {

// A world of one room whose objects get their events from code; the pass is run directly.
struct PassWorld {
    Game game;
    ScriptEngine engine;
    std::unique_ptr<World> world;
    int block = -1;

    PassWorld() {
        game.last_instance_id = 100000;
        engine.game = &game;
        block = test::AddBlockSprite(game, 16, 16);
    }
    int AddObject(const std::string& name, bool solid) {
        auto o = std::make_unique<CObject>();
        o->SpriteIndex = block;
        o->MaskIndex = -1;
        o->Solid = solid;
        return game.objects.Add(std::move(o), name);
    }
    void On(int object, int kind, int number, const std::string& code) {
        game.objects.Get(object)->GetOrCreateEvent(kind, number)->AddCodeAction(code);
    }
    // Compiles the events, lists them and makes the room.
    void Start() {
        ASSERT_TRUE(CompileAllObjects(engine, game));
        world = std::make_unique<World>(game, engine);
        BuildEventLists(game, world->events);
        world->rooms.resize(1);
        world->rooms[0] = std::make_unique<CRoom>();
        world->room = 0;
        engine.room = world->Room();
        ASSERT_TRUE(test::RunCode(engine, "global.log = '';").ok);
    }
    // An instance at (x, y) that was at (x - hspeed, y - vspeed) when the step began.
    CInstance& Moving(int object, double x, double y, double hspeed = 0, double vspeed = 0) {
        CInstance& inst = CreateInstance(*world->Room(), game, object, x, y);
        SetHspeed(inst, hspeed);
        SetVspeed(inst, vspeed);
        inst.xprevious = x - hspeed;
        inst.yprevious = y - vspeed;
        return inst;
    }
    std::string Log() {
        return std::string(test::RunExpression(engine, "global.log").result.text.view());
    }
};

// Each collision event writes "self>other ".
std::string Logged(const char* extra = "") {
    return std::string(
               "global.log += string(id - 100000) + '>' + string(other.id - 100000) + "
               "' '; ") +
           extra;
}

TEST(CollisionPass, PairsInListOrderBothWaysAndBothOrdersForOneObject) {
    for (bool all_pairs : {false, true}) {
        PassWorld p;
        const int ball = p.AddObject("ball", false);
        const int wall = p.AddObject("wall", false);
        p.On(ball, ev_collision, ball, Logged());
        p.On(wall, ev_collision, ball, Logged());
        p.Start();
        p.world->collision_all_pairs = all_pairs;
        p.Moving(ball, 0, 0);    // 1
        p.Moving(wall, 8, 0);    // 2
        p.Moving(ball, 10, 0);   // 3
        p.Moving(ball, 100, 0);  // 4, alone
        RunCollisionEvents(*p.world);
        // Pairs (ball, ball), then (wall, ball); the balls meet in both orders, and each
        // meeting runs the events of both instances (ball's for the wall does not exist).
        EXPECT_EQ(p.Log(), "1>3 3>1 3>1 1>3 2>1 2>3 ") << all_pairs;
    }
}

TEST(CollisionPass, SolidInstancesArePutBackAndMoveAgain) {
    struct Case {
        const char* event;  // the mover's collision event with the wall
        double x;           // where the mover ends
        const char* log;
    } cases[] = {
        {"", 14, "m14 w "},                      // moves again into the wall: put back again
        {"hspeed = -4;", 10, "m14 w "},          // bounced: moves away
        {"hspeed = 0;", 14, "m14 w "},           // stopped
        {"hspeed = 2;", 16, "m14 w "},           // 16 .. 31 stops short of the wall at 32
        {"hspeed = 3;", 14, "m14 w "},           // 17 .. 32 still meets
        {"solid = true;", 14, "m14 w "},         // both solid: the same
        {"other.solid = false;", 14, "m14 w "},  // neither solid now: no second move
    };
    for (const Case& c : cases) {
        PassWorld p;
        const int mover = p.AddObject("mover", false);
        const int wall = p.AddObject("wall", true);
        p.On(mover, ev_collision, wall,
             std::string("global.log += 'm' + string(x) + ' ';") + c.event);
        p.On(wall, ev_collision, mover, "global.log += 'w ';");
        p.Start();
        CInstance& m = p.Moving(mover, 18, 0, 4);  // from 14: box 18 .. 33 meets 32 .. 47
        CInstance& w = p.Moving(wall, 32, 0);
        m.path_positionprevious = 0.25;
        m.path_position = 0.5;
        RunCollisionEvents(*p.world);
        EXPECT_EQ(m.x, c.x) << c.event;
        EXPECT_EQ(m.bbox_left, int(c.x)) << c.event;
        EXPECT_EQ(m.path_position, 0.25) << c.event;
        EXPECT_EQ(w.x, 32) << c.event;
        EXPECT_EQ(p.Log(), c.log) << c.event;
    }
}

TEST(CollisionPass, NonSolidInstancesKeepTheirPlaces) {
    PassWorld p;
    const int mover = p.AddObject("mover", false);
    const int rock = p.AddObject("rock", false);
    p.On(mover, ev_collision, rock, Logged());
    p.On(rock, ev_collision, mover, Logged());
    p.Start();
    CInstance& m = p.Moving(mover, 18, 0, 4);
    CInstance& r = p.Moving(rock, 32, 0);
    RunCollisionEvents(*p.world);
    EXPECT_EQ(m.x, 18);
    EXPECT_EQ(r.x, 32);
    // Both (mover, rock) and (rock, mover) are listed: each visits the collision.
    EXPECT_EQ(p.Log(), "1>2 2>1 2>1 1>2 ");
}

TEST(CollisionPass, EventsThatDestroyCreateAndMoveAreSeenAtOnce) {
    for (bool all_pairs : {false, true}) {
        PassWorld p;
        const int a = p.AddObject("a", false);
        const int b = p.AddObject("b", false);
        // The first b hit is destroyed; the second one jumps onto the third a; a new b made
        // on top of the first a is not visited for it, but is for the later ones.
        p.On(a, ev_collision, b,
             Logged("if (other.id == 100002) with (other) instance_destroy();"
                    "if (other.id == 100003) other.x = 200;"
                    "if (id == 100001 && other.id == 100003) instance_create(x, y, b);"));
        p.Start();
        p.world->collision_all_pairs = all_pairs;
        p.Moving(a, 0, 0);    // 1
        p.Moving(b, 4, 0);    // 2
        p.Moving(b, 8, 0);    // 3
        p.Moving(a, 200, 0);  // 4
        p.Moving(a, 2, 0);    // 5
        RunCollisionEvents(*p.world);
        EXPECT_EQ(p.Log(), "1>2 1>3 4>3 5>6 ") << all_pairs;
    }
}

TEST(CollisionPass, MouseEventsTestThePointPrecisely) {
    PassWorld p;
    const int button = p.AddObject("button", false);
    p.game.objects.Get(button)->SpriteIndex =
        test::AddArtSprite(p.game, {{test::Art({"#...", ".#..", "..#.", "...#"})}});
    p.On(button, ev_mouse, 0, "global.log += 'left ';");
    p.Start();
    CreateInstance(*p.world->Room(), p.game, button, 0, 0);
    p.world->input.mouse_held[1] = true;
    p.world->input.mouse_x = 1;
    p.world->input.mouse_y = 0;  // inside the box, off the mask
    Step(*p.world);
    EXPECT_EQ(p.Log(), "");
    p.world->input.mouse_y = 1;
    Step(*p.world);
    EXPECT_EQ(p.Log(), "left ");
}

// --- the grid against the plain walk

// A room full of instances of four objects with sprites of several sizes (some precise,
// scaled, rotated, very large or missing), moving and wrapping, whose collision events log
// themselves and then, depending on the pair and the step, destroy, jump, create, change object or
// sprite, deactivate, bounce or turn solid. Returns the log and the final places. `queries`,
// when given, is the End step code of every object; it may fold its results into global.h,
// which the log then shows at each step.
std::string RunRandomWorld(uint32_t seed, bool all_pairs, int steps,
                           const std::string& queries = "") {
    Game game;
    game.last_instance_id = 100000;
    std::vector<int> sprites = {
        test::AddBlockSprite(game, 8, 8),
        test::AddBlockSprite(game, 20, 6),
        test::AddArtSprite(game,
                           {{test::Art({"..##..", ".####.", "######", ".####.", "..##.."})}, 3, 2}),
        test::AddArtSprite(game, {{test::Art({"#...#", ".#.#.", "..#..", ".#.#.", "#...#"}),
                                   test::Art({"#####", "#...#", "#...#", "#...#", "#####"})},
                                  2,
                                  2}),
    };
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return int(rng() % uint32_t(n)); };
    const int objects = 4;
    for (int o = 0; o < objects; ++o) {
        auto obj = std::make_unique<CObject>();
        obj->SpriteIndex = sprites[size_t(o)];
        obj->MaskIndex = -1;
        obj->Solid = o == 3;
        obj->Visible = true;
        game.objects.Add(std::move(obj), "o" + std::to_string(o));
    }
    const std::string reaction =
        "k = (id * 7 + other.id * 3 + global.step) mod 29;"
        "if (k == 0) instance_destroy();"
        "else if (k == 1) x += 37;"
        "else if (k == 2 && instance_number(all) < 400) instance_create(x + 3, y, o1);"
        "else if (k == 3) { hspeed = -hspeed; vspeed = -vspeed; }"
        "else if (k == 4) instance_change(o2, false);"
        "else if (k == 5) sprite_index = spr3;"
        "else if (k == 6) instance_deactivate_object(other);"
        "else if (k == 7) solid = !solid;"
        "else if (k == 8) other.y -= 9;"
        "else if (k == 9) image_xscale = 2;"
        "else if (k == 10 || k == 11) {"
        "  o = o0; if (k == 11) o = o3; n = instance_number(o);"
        "  if (n > 0) with (instance_find(o, (id + global.step) mod n)) { x = other.x; y = "
        "other.y; }"
        "}";
    for (int o = 0; o < objects; ++o) {
        CObject& obj = *game.objects.Get(o);
        obj.GetOrCreateEvent(ev_create, 0)
            ->AddCodeAction(
                "hspeed = (id mod 7) - 3; vspeed = ((id div 7) mod 5) - 2;"
                "if (id mod 5 == 0) image_angle = (id mod 4) * 30;"
                "if (id mod 3 == 0) image_yscale = 1.5; image_index = id mod 2;"
                "if (id mod 23 == 0) { image_xscale = 8; image_yscale = 6; }"
                "if (id mod 19 == 0) sprite_index = -1;");
        obj.GetOrCreateEvent(ev_step, ev_step_normal)->AddCodeAction("move_wrap(true, true, 0);");
        if (!queries.empty()) obj.GetOrCreateEvent(ev_step, ev_step_end)->AddCodeAction(queries);
        // Random pairs, always including a pair of one object with itself.
        for (int j = 0; j < objects; ++j) {
            if (j != o && pick(3) == 0) continue;
            obj.GetOrCreateEvent(ev_collision, j)
                ->AddCodeAction(
                    "global.log += string(id) + '>' + string(other.id) + '@' + string(x) + ',' + "
                    "string(y) + ' ';" +
                    reaction);
        }
    }
    CObject& control = *game.objects.Get(0);
    control.GetOrCreateEvent(ev_step, ev_step_begin)
        ->AddCodeAction("if (id == global.first) { global.step += 1; instance_activate_all(); }");
    if (!queries.empty())
        control.GetOrCreateEvent(ev_step, ev_step_begin)
            ->AddCodeAction("if (id == global.first) global.log += 'h' + string(global.h) + ' ';");
    auto room = std::make_unique<CRoom>();
    room->Width = 240;
    room->Height = 180;
    for (int i = 0; i < 160; ++i) {
        auto inst = std::make_unique<CInstance>();
        inst->id = ++game.last_instance_id;
        inst->object_index = pick(objects);
        inst->x = inst->xstart = pick(240);
        inst->y = inst->ystart = pick(180);
        room->instances.push_back(std::move(inst));
    }
    // The first instance of object 0 counts the steps.
    room->instances[0]->object_index = 0;
    room->CreationCode = "global.first = " + std::to_string(room->instances[0]->id) +
                         "; global.step = 0; global.log = ''; global.h = 0;";
    game.rooms.Add(std::move(room), "room0");
    game.room_order = {0};

    ScriptEngine engine;
    engine.game = &game;
    if (!CompileAllObjects(engine, game)) return "compile failed";
    World world(game, engine);
    world.collision_all_pairs = all_pairs;
    world.clock.virtual_time = true;
    if (!StartGame(world)) return "start failed";
    for (int s = 0; s < steps; ++s) Step(world);
    if (!all_pairs && !queries.empty() && !(world.collision_grid && world.collision_grid->queries))
        return "the index was not used";
    std::string out(test::RunExpression(engine, "global.log").result.text.view());
    out += "\n";
    for (const auto& inst : world.Room()->instances)
        out += std::to_string(inst->id) + ":" + std::to_string(inst->x) + "," +
               std::to_string(inst->y) + " ";
    EndGame(world);
    return out;
}

TEST(CollisionPass, TheGridGivesExactlyTheEventsOfAllPairs) {
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        const std::string grid = RunRandomWorld(seed, false, 40);
        const std::string all = RunRandomWorld(seed, true, 40);
        // Enough happens for the comparison to mean something.
        EXPECT_GT(std::count(all.begin(), all.end(), '>'), 300) << seed;
        EXPECT_EQ(grid, all) << seed;
    }
}

// Every place, position and collision query, from every instance at every step, folded into a
// running hash; some instances also move to contact or destroy what lies at a point.
TEST(CollisionPass, TheQueryIndexAnswersExactlyAsTheWalk) {
    const std::string queries =
        "var r, i;"
        "r[0] = place_free(x + 3, y - 2);"
        "r[1] = place_empty(x - 4, y + 1);"
        "r[2] = place_meeting(x + 2, y + 2, id mod 4);"
        "r[3] = instance_place(x - 3, y, all);"
        "r[4] = instance_place(x + 5, y + 1, (id + 1) mod 4);"
        "r[5] = instance_position(x + 1, y + 1, all);"
        "r[6] = position_meeting(x + 4, y - 3, (id + 2) mod 4);"
        "r[7] = position_empty(x - 2, y + 6);"
        "r[8] = collision_point(x + 7, y, all, id mod 2, true);"
        "r[9] = collision_rectangle(x - 10, y - 6, x + 12, y + 4, (id + 2) mod 4, id mod 3 == 0,"
        "  true);"
        "r[10] = collision_circle(x, y, 9 + id mod 5, all, id mod 2, true);"
        "r[11] = collision_ellipse(x + 14, y + 3, x - 6, y - 8, all, true, id mod 2);"
        "r[12] = collision_line(x - 20, y - 15, x + 25, y + 10, all, id mod 2, true);"
        "r[13] = floor(distance_to_object(all) * 1000);"
        "r[14] = floor(distance_to_object((id + 3) mod 4) * 1000);"
        "r[15] = instance_nearest(x + 30, y - 20, all);"
        "r[16] = instance_nearest(x, y, id mod 4);"
        "r[17] = collision_rectangle(-100, -100, 400, 300, all, false, true);"
        "r[18] = instance_place(x + 1, y, 100001 + (id mod 40));"
        "for (i = 0; i < 19; i += 1) global.h = (global.h * 31 + r[i]) mod 1000003;"
        "if (id mod 13 == 0) move_contact_solid((id * 17) mod 360, 6);"
        "if ((id + global.step) mod 37 == 0) position_destroy(x + 3, y + 3);";
    for (uint32_t seed : {1u, 2u, 3u}) {
        const std::string index = RunRandomWorld(seed, false, 30, queries);
        const std::string walk = RunRandomWorld(seed, true, 30, queries);
        // The counting instance may be destroyed on the way.
        EXPECT_GT(std::count(walk.begin(), walk.end(), 'h'), 8) << seed;
        EXPECT_EQ(index, walk) << seed;
    }
}

}  // namespace
}  // namespace tb
