// The collision, place and position functions through scripts: which instance a search finds
// and in which order, obj arguments, prec and notme, the caller put back exactly, points that
// destroy and change, nearest and furthest, distances.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "collision_fixtures.h"
#include "resources/object.h"
#include "runner/compile_stages.h"
#include "script_harness.h"
#include "world/instance_ops.h"
#include "world/instance_sets.h"
#include "world/world.h"

namespace tb {
namespace {

struct CollisionFunctions : test::FunctionTest {
    World world{w.game, w.engine};
    int block = -1, diagonal = -1;
    int wall = -1, child = -1, mover = -1;  // child's parent is wall; walls are solid
    CInstance* c1 = nullptr;                // child at (0, 0), diagonal sprite (precise)
    CInstance* w1 = nullptr;                // wall at (0, 0), 16 x 16 block
    CInstance* w2 = nullptr;                // wall at (32, 0)

    CollisionFunctions() {
        w.engine.world = &world;
        block = test::AddBlockSprite(w.game, 16, 16);
        diagonal = test::AddArtSprite(w.game, {{test::Art({"#...", ".#..", "..#.", "...#"})}});
        wall = AddObject("wall", block, true);
        child = AddObject("child", diagonal, false, wall);
        mover = AddObject("mover", block, false);
        c1 = &Place(child, 0, 0);
        w1 = &Place(wall, 0, 0);
        w2 = &Place(wall, 32, 0);
    }

    int AddObject(const std::string& name, int sprite, bool solid, int parent = -1) {
        const int o = w.AddObject(name, parent);
        w.game.objects.Get(o)->SpriteIndex = sprite;
        w.game.objects.Get(o)->MaskIndex = -1;
        w.game.objects.Get(o)->Solid = solid;
        return o;
    }
    CInstance& Place(int object, double x, double y) {
        return CreateInstance(w.room, w.game, object, x, y);
    }
    void On(int object, int kind, int number, const std::string& code) {
        CAction& a =
            w.game.objects.Get(object)->GetOrCreateEvent(kind, number)->AddCodeAction(code);
        ASSERT_TRUE(CompileAction(w.engine, a)) << code;
    }
    double EvalAs(CInstance& self, const std::string& expression, CInstance* other = nullptr) {
        test::RunResult r =
            test::RunCode(w.engine, "return " + expression + ";", &self, other ? other : &self);
        EXPECT_TRUE(r.ok) << expression << "\n" << r.message;
        return r.result.real;
    }
    // An expression evaluated by the caller, with its ids written as names.
    struct Case {
        std::string expression;
        double expected;
    };
    void Check(CInstance& self, const std::vector<Case>& cases, CInstance* other = nullptr) {
        for (const Case& c : cases)
            EXPECT_EQ(EvalAs(self, c.expression, other), c.expected) << c.expression;
    }
    std::string Id(const CInstance* inst) const { return std::to_string(inst->id); }
};

TEST_F(CollisionFunctions, SearchesWalkTheNamedInstancesInOrder) {
    CInstance& me = Place(mover, 300, 300);
    const double C1 = c1->id, W1 = w1->id, W2 = w2->id;
    Check(me, {
                  // The family of wall: the child comes first, as in the room.
                  {"collision_point(1, 0, wall, false, false)", C1},
                  {"collision_point(1, 0, wall, true, false)", W1},  // (1, 0) is off the mask
                  {"collision_point(1, 1, wall, true, false)", C1},
                  {"collision_point(1, 0, child, true, false)", kNoone},
                  {"collision_point(1, 0, all, false, false)", C1},
                  {"collision_point(33, 3, " + Id(w2) + ", false, false)", W2},
                  {"collision_point(33, 3, " + Id(w1) + ", false, false)", kNoone},
                  {"collision_point(1, 0, self, false, false)", kNoone},
                  {"collision_point(1, 0, other, false, false)", kNoone},
                  {"collision_point(1, 0, -7, false, false)", kNoone},
                  {"collision_point(1, 0, 99, false, false)", kNoone},
                  {"collision_rectangle(20, -5, 40, 2, all, false, false)", W2},
                  {"collision_rectangle(40, 2, 20, -5, all, false, false)", W2},
                  {"collision_circle(24, 8, 8.1, wall, false, false)", W1},
                  {"collision_circle(24, 8, 8.1, " + Id(w2) + ", false, false)", W2},
                  {"collision_circle(24, 8, 7.9, " + Id(w2) + ", false, false)", kNoone},
                  {"collision_ellipse(-2, -2, 4, 4, all, true, false)", C1},
                  {"collision_line(-10, 1, 100, 1, all, true, false)", C1},
                  {"collision_line(2, -5, 2, 1, all, true, false)", W1},
                  {"collision_line(2, -5, 2, 1, all, false, false)", C1},
                  {"collision_line(-10, 40, 100, 40, all, false, false)", kNoone},
              });
    // notme skips the caller; destroyed instances are never found.
    Check(*c1, {{"collision_point(1, 1, all, false, true)", W1},
                {"collision_point(1, 1, all, false, false)", C1}});
    c1->destroyed = true;
    Check(me, {{"collision_point(1, 1, all, false, false)", W1},
               {"collision_rectangle(0, 0, 3, 3, child, false, false)", kNoone}});
    EXPECT_TRUE(errors.empty());
}

TEST_F(CollisionFunctions, PlacesTryTheCallerAndPutItBackExactly) {
    CInstance& me = Place(mover, 100, 100);
    CInstance& loose = Place(mover, 200, 200);  // not solid
    // A box that is not what the position gives (as a saved game may hold) survives the trial.
    me.bbox_left = 7;
    const CInstance before = me;
    Check(me, {
                  {"place_free(10, 0)", 0},  // the walls are solid
                  {"place_free(100, 100)", 1},
                  {"place_free(200, 200)", 1},  // only a loose mover there
                  {"place_empty(200, 200)", 0},
                  {"place_empty(100, 100)", 1},
                  {"place_empty(16, 16)", 1},   // diagonal corner: boxes 16.. and ..15
                  {"place_empty(15.5, 0)", 1},  // halves to even: x 16
                  {"place_empty(14.5, 0)", 0},
                  {"place_meeting(5, 5, wall)", 1},
                  {"place_meeting(2, 2, child)", 1},
                  {"place_meeting(4, 0, child)", 0},
                  {"place_meeting(x, y, self)", 0},
                  {"place_meeting(195, 195, " + Id(&loose) + ")", 1},
                  {"instance_place(2, 2, wall)", double(c1->id)},
                  {"instance_place(5, 5, wall)", double(w1->id)},
                  {"instance_place(5, 5, " + Id(w1) + ")", double(w1->id)},
                  {"instance_place(200, 200, all)", double(loose.id)},
                  {"instance_place(x, y, self)", kNoone},
                  {"instance_place(210, 200, other)", kNoone},  // other is not accepted
              });
    Check(me, {{"place_meeting(195, 195, other)", 1}}, &loose);
    EXPECT_EQ(me, before);
    // The diagonal child seen precisely: only its pixels count.
    CInstance& dot = Place(mover, 0, 0);
    SetSprite(dot, w.game, test::AddArtSprite(w.game, {{test::Art({"#"})}}));
    Check(dot, {{"place_meeting(2, 2, child)", 1}, {"place_meeting(2, 1, child)", 0}});
    EXPECT_TRUE(errors.empty());
}

TEST_F(CollisionFunctions, PositionsFindDestroyAndChange) {
    CInstance& me = Place(mover, 300, 300);
    Check(me, {
                  {"position_empty(1, 0)", 0},
                  {"position_empty(20, 0)", 1},
                  {"position_meeting(1, 0, child)", 0},  // precise
                  {"position_meeting(1, 1, child)", 1},
                  {"position_meeting(305, 305, self)", 1},
                  {"position_meeting(1, 1, self)", 0},
                  {"instance_position(1, 0, wall)", double(w1->id)},
                  {"instance_position(1, 1, wall)", double(c1->id)},
                  {"instance_position(305, 305, self)", kNoone},
              });
    On(wall, ev_destroy, 0, "global.log += 'd' + string(id) + ' ';");
    w.Run("global.log = '';");
    // Destroy events run for every instance containing the point, the child's inherited one
    // first.
    EvalAs(me, "position_destroy(1, 1)");
    EXPECT_TRUE(c1->destroyed && w1->destroyed);
    EXPECT_FALSE(w2->destroyed);
    EXPECT_EQ(std::string(w.Eval("global.log").result.text.view()),
              "d" + Id(c1) + " d" + Id(w1) + " ");

    const int32_t id2 = w2->id;
    EvalAs(me, "position_change(33, 3, 99, false)");
    EXPECT_EQ(errors, std::vector<std::string>{"Asking to change into non-existing object: 99"});
    EvalAs(me, "position_change(33, 3, mover, false)");
    EXPECT_TRUE(w2->destroyed);
    const CInstance& changed = *w.room.instances.back();
    EXPECT_EQ(changed.id, id2);
    EXPECT_EQ(changed.object_index, mover);
    EXPECT_FALSE(changed.solid);
}

TEST_F(CollisionFunctions, NearestAndFurthestOrigins) {
    CInstance& me = Place(mover, 0, 0);
    CInstance& a = Place(child, 10, 0);
    CInstance& b = Place(child, 0, -10);  // as near as a: the earlier one is kept
    CInstance& far = Place(child, 100000, 0);
    Check(me, {
                  {"instance_nearest(0, 0, all)", double(c1->id)},  // at the point itself
                  {"instance_nearest(1, 1, child)", double(c1->id)},
                  {"instance_nearest(5, -5, " + Id(&a) + ")", kNoone},
                  {"instance_furthest(0, 0, child)", double(far.id)},
                  {"instance_furthest(0, 0, self)", kNoone},
              });
    c1->destroyed = true;
    Check(me, {{"instance_nearest(0, 0, child)", double(a.id)},
               {"instance_nearest(0, 0, wall)", double(w1->id)}});
    a.destroyed = true;
    Check(me, {{"instance_nearest(0, 0, child)", double(b.id)}});
    b.destroyed = true;
    // 100000 pixels away is beyond the starting distance.
    Check(me, {{"instance_nearest(0, 0, child)", kNoone},
               {"instance_furthest(0, 0, child)", double(far.id)}});
}

TEST_F(CollisionFunctions, DistancesFromTheCallersBox) {
    CInstance& me = Place(mover, 100, 100);  // box 100..115
    Check(me, {
                  {"distance_to_point(90, 100)", 10},
                  {"distance_to_point(120, 130)", std::sqrt(5.0 * 5 + 15 * 15)},
                  {"distance_to_point(108, 115.5)", 0.5},
                  {"distance_to_point(108, 105)", 0},
                  {"distance_to_object(" + Id(w2) + ")", std::sqrt(53.0 * 53 + 85 * 85)},
                  {"distance_to_object(wall)", std::sqrt(53.0 * 53 + 85 * 85)},
                  {"distance_to_object(self)", 1000000},
                  {"distance_to_object(mover)", 1000000},  // only the caller itself
                  {"distance_to_object(other)", 1000000},  // other is the caller here
              });
    Check(me, {{"distance_to_object(other)", std::sqrt(85.0 * 85 + 85 * 85)}}, w1);
    CInstance& touching = Place(mover, 116, 90);  // box 116..131 x 90..105: one pixel apart
    Check(me, {{"distance_to_object(" + Id(&touching) + ")", 1}});
    touching.destroyed = true;
    Check(me, {{"distance_to_object(mover)", 1000000}});
}

TEST_F(CollisionFunctions, SnappedPositions) {
    CInstance& me = Place(mover, 32, 48.0005);
    Check(me, {{"place_snapped(16, 16)", 1},
               {"place_snapped(16, 32)", 0},
               {"place_snapped(0, 16)", 1},
               {"place_snapped(-5, 0)", 1},
               {"place_snapped(10, 0)", 0}});
    SetPosition(me, w.game, 32, 48.002);
    Check(me, {{"place_snapped(16, 16)", 0}, {"place_snapped(16, 0)", 1}});
}

}  // namespace
}  // namespace tb
