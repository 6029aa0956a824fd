// The instance functions against a real room and world: creation with its event, destruction,
// change, copy, finding, counting, and (de)activation with the order of the instance lists.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/object.h"
#include "resources/sprite.h"
#include "runner/compile_stages.h"
#include "script_harness.h"
#include "world/instance_ops.h"
#include "world/instance_sets.h"
#include "world/world.h"

namespace tb {
namespace {

struct InstanceFunctions : test::FunctionTest {
    World world{w.game, w.engine};
    int A = -1, B = -1, C = -1;  // B is a child of A; C is unrelated

    InstanceFunctions() {
        w.engine.world = &world;
        A = w.AddObject("objA");
        B = w.AddObject("objB", A);
        C = w.AddObject("objC");
        w.game.last_instance_id = 100500;
    }

    void On(int object, int kind, int number, const std::string& code) {
        CAction& a =
            w.game.objects.Get(object)->GetOrCreateEvent(kind, number)->AddCodeAction(code);
        ASSERT_TRUE(CompileAction(w.engine, a)) << code;
    }
    CInstance& Place(int object, double x = 0, double y = 0) {
        return CreateInstance(w.room, w.game, object, x, y);
    }
    RValue RunAs(CInstance& self, const std::string& code, CInstance* other = nullptr) {
        test::RunResult r = test::RunCode(w.engine, code, &self, other ? other : &self);
        EXPECT_TRUE(r.ok) << code << "\n" << r.message;
        return r.result;
    }
    double EvalAs(CInstance& self, const std::string& expression) {
        test::RunResult r = test::RunCode(w.engine, "return " + expression + ";", &self, &self);
        EXPECT_TRUE(r.ok) << expression << "\n" << r.message;
        return r.result.real;
    }
    // The ids of a list, for comparing orders.
    static std::vector<int32_t> Ids(const std::vector<std::unique_ptr<CInstance>>& list) {
        std::vector<int32_t> ids;
        for (const auto& inst : list) ids.push_back(inst->id);
        return ids;
    }
    std::string Global(const std::string& name) { return Eval("global." + name).text.str(); }
};

TEST_F(InstanceFunctions, CreateHandsOutNextIdsAndRunsCreateForTheNewInstance) {
    On(A, ev_create, 0,
       "global.log += 'c' + string(id) + ' '; made_here = x + y; seen = other.id;");
    Run("global.log = '';");
    RValue r =
        Run("first = instance_create(10, 20, objA); second = instance_create(1, 2, objB);"
            "return first * 1000000 + second;");
    EXPECT_EQ(r.real, 100501.0 * 1000000 + 100502);
    EXPECT_EQ(w.game.last_instance_id, 100502);
    ASSERT_EQ(w.room.InstanceCount(), 2);
    CInstance& made = *w.room.instances[0];
    EXPECT_EQ(made.object_index, A);
    EXPECT_EQ(made.x, 10);
    EXPECT_EQ(made.ystart, 20);
    // The child object inherits the Create event; self and other are the new instance.
    EXPECT_EQ(Global("log"), "c100501 c100502 ");
    EXPECT_EQ(EvalAs(made, "made_here"), 30);
    EXPECT_EQ(EvalAs(made, "seen"), 100501);
    EXPECT_TRUE(errors.empty());
}

TEST_F(InstanceFunctions, CreateReturnsTheIdEvenWhenTheCreateEventDestroysOrChangesIt) {
    On(A, ev_create, 0, "instance_destroy();");
    On(C, ev_create, 0, "instance_change(objB, false);");
    EXPECT_EQ(Eval("instance_create(0, 0, objA)").real, 100501);
    EXPECT_EQ(Eval("instance_exists(100501)").real, 0);
    EXPECT_EQ(Eval("instance_create(0, 0, objC)").real, 100502);
    // The change consumed an id but the changed instance kept 100502.
    EXPECT_EQ(w.game.last_instance_id, 100503);
    EXPECT_EQ(Eval("instance_find(objB, 0)").real, 100502);
}

TEST_F(InstanceFunctions, MissingObjectsAndSpritesAreRefusedWithTheirMessages) {
    CInstance& self = Place(A);
    struct Case {
        const char* call;
        const char* message;
    } cases[] = {
        {"instance_create(0, 0, 99)", "Creating instance for non-existing object: 99"},
        {"instance_create(0, 0, -1)", "Creating instance for non-existing object: -1"},
        {"instance_create(0, 0, 2.6)", "Creating instance for non-existing object: 3"},
        {"instance_change(7, true)", "Asking to change into non-existing object: 7"},
        {"instance_sprite(5)", "Setting instance to non-existing sprite: 5"},
    };
    for (const Case& c : cases) {
        errors.clear();
        RValue r = RunAs(self, std::string("return ") + c.call + ";");
        ASSERT_EQ(errors.size(), 1u) << c.call;
        EXPECT_EQ(errors[0], c.message) << c.call;
        if (std::string(c.call).starts_with("instance_create")) {
            EXPECT_EQ(r.real, kNoone);
        }
    }
    EXPECT_EQ(w.room.InstanceCount(), 1);
    EXPECT_FALSE(self.destroyed);
    EXPECT_EQ(self.object_index, A);
    EXPECT_EQ(w.game.last_instance_id, 100501);
}

TEST_F(InstanceFunctions, InstanceSpriteSetsAnExistingSprite) {
    auto sprite = std::make_unique<CSprite>();
    sprite->BBoxRight = 9;
    sprite->BBoxBottom = 4;
    const int s = w.game.sprites.Add(std::move(sprite), "spr");
    CInstance& self = Place(A, 100, 50);
    RunAs(self, "instance_sprite(" + std::to_string(s) + ");");
    EXPECT_EQ(self.sprite_index, s);
    EXPECT_EQ(self.bbox_left, 100);
    EXPECT_EQ(self.bbox_bottom, 54);
    EXPECT_TRUE(errors.empty());
}

TEST_F(InstanceFunctions, DestroyRunsTheEventFirstThenHidesTheInstance) {
    On(A, ev_destroy, 0, "global.seen = instance_exists(id); global.count += 1;");
    CInstance& a1 = Place(A);
    CInstance& a2 = Place(A);
    Run("global.count = 0;");
    RunAs(a1, "instance_destroy();");
    EXPECT_TRUE(a1.destroyed);
    EXPECT_EQ(Eval("global.seen").real, 1);
    EXPECT_EQ(Eval("instance_number(objA)").real, 1);
    EXPECT_EQ(Eval("instance_number(all)").real, 1);
    EXPECT_EQ(Eval("instance_find(objA, 0)").real, a2.id);
    EXPECT_EQ(Eval("instance_find(all, 0)").real, a2.id);
    EXPECT_EQ(Eval("instance_exists(" + std::to_string(a1.id) + ")").real, 0);
    EXPECT_EQ(EvalAs(a1, "instance_exists(self)"), 0);
    // It stays in the list until the removal at the end of the step; a second destroy does
    // not run its event again.
    EXPECT_EQ(w.room.InstanceCount(), 2);
    RunAs(a1, "instance_destroy();");
    EXPECT_EQ(Eval("global.count").real, 1);
}

TEST_F(InstanceFunctions, DestroyEventThatDestroysItsOwnObjectRunsEachEventOnce) {
    On(A, ev_destroy, 0, "global.count += 1; with (objA) instance_destroy();");
    CInstance& first = Place(A);
    Place(A);
    Place(B);
    Run("global.count = 0;");
    RunAs(first, "instance_destroy();");
    EXPECT_EQ(Eval("global.count").real, 3);
    EXPECT_EQ(Eval("instance_number(objA)").real, 0);
    EXPECT_TRUE(errors.empty());
}

struct ChangeCase {
    bool events;
    const char* log;
};

class InstanceChange : public InstanceFunctions,
                       public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(InstanceChange, KeepsIdVariablesAlarmsAndMotionAndMovesToTheEnd) {
    On(A, ev_destroy, 0, "global.log += 'dA ';");
    On(A, ev_create, 0, "global.log += 'cA ';");
    On(C, ev_create, 0, "global.log += 'cC' + string(foo) + ' ';");
    w.game.objects.Get(C)->Depth = 7;
    w.game.objects.Get(C)->Solid = true;
    CInstance& old = Place(A, 30, 40);
    CInstance& later = Place(B);
    const int32_t id = old.id;
    RunAs(old, "foo = 5;");
    old.alarm[3] = 9;
    SetDirection(old, 90);
    SetSpeed(old, 4);
    Run("global.log = '';");
    RunAs(old,
          std::string("instance_change(objC, ") + (GetParam().events ? "true" : "false") + ");");
    EXPECT_EQ(Global("log"), GetParam().log);
    EXPECT_TRUE(old.destroyed);
    ASSERT_EQ(w.room.InstanceCount(), 3);
    CInstance& changed = *w.room.instances[2];
    EXPECT_EQ(w.room.instances[1].get(), &later);
    EXPECT_FALSE(changed.destroyed);
    EXPECT_EQ(changed.id, id);
    EXPECT_EQ(changed.object_index, C);
    EXPECT_EQ(changed.depth, 7);
    EXPECT_TRUE(changed.solid);
    EXPECT_EQ(changed.x, 30);
    EXPECT_EQ(changed.y, 40);
    EXPECT_EQ(changed.alarm[3], 9);
    EXPECT_EQ(changed.direction, 90);
    EXPECT_EQ(changed.speed, 4);
    EXPECT_EQ(changed.vspeed, -4);
    EXPECT_EQ(EvalAs(changed, "foo"), 5);
    // A new id was consumed; searches find the changed instance under its new object only.
    EXPECT_EQ(w.game.last_instance_id, 100503);
    EXPECT_EQ(Eval("instance_find(objC, 0)").real, id);
    EXPECT_EQ(Eval("instance_number(objA)").real, 1);  // only the child left
    EXPECT_EQ(Eval("instance_exists(" + std::to_string(id) + ")").real, 1);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutEvents, InstanceChange,
                         ::testing::Values(ChangeCase{true, "dA cC5 "}, ChangeCase{false, ""}));

TEST_F(InstanceFunctions, CopyGetsANewIdAndTheCreateEventOnlyWhenAsked) {
    On(A, ev_create, 0, "global.count += 1;");
    CInstance& self = Place(A, 8, 9);
    RunAs(self, "foo = 'kept'; global.count = 0;");
    self.alarm[0] = 3;
    const double quiet = EvalAs(self, "instance_copy(false)");
    const double loud = EvalAs(self, "instance_copy(true)");
    EXPECT_EQ(quiet, 100502);
    EXPECT_EQ(loud, 100503);
    EXPECT_EQ(Eval("global.count").real, 1);
    ASSERT_EQ(w.room.InstanceCount(), 3);
    for (int i : {1, 2}) {
        CInstance& copy = *w.room.instances[size_t(i)];
        EXPECT_EQ(copy.id, 100501 + i);
        EXPECT_EQ(copy.object_index, A);
        EXPECT_EQ(copy.x, 8);
        EXPECT_EQ(copy.alarm[0], 3);
        EXPECT_EQ(test::RunExpression(w.engine, "foo", &copy).result.text.str(), "kept");
    }
    EXPECT_EQ(Eval("instance_number(objA)").real, 3);
}

TEST_F(InstanceFunctions, FindNumberAndExistsOverEveryKindOfTarget) {
    CInstance& a1 = Place(A);
    CInstance& b1 = Place(B);
    CInstance& c1 = Place(C);
    CInstance& a2 = Place(A);
    const std::string a1id = std::to_string(a1.id), c1id = std::to_string(c1.id);
    struct Case {
        std::string call;
        double expected;
    } cases[] = {
        {"instance_number(objA)", 3},  // the family: a1, b1, a2
        {"instance_number(objB)", 1},
        {"instance_number(all)", 4},
        {"instance_number(self)", 1},
        {"instance_number(other)", 1},
        {"instance_number(" + c1id + ")", 1},
        {"instance_number(100499)", 0},
        {"instance_number(noone)", 0},
        {"instance_number(-7)", 0},
        {"instance_number(55)", 0},
        {"instance_find(objA, 0)", double(a1.id)},
        {"instance_find(objA, 1)", double(b1.id)},
        {"instance_find(objA, 1.6)", double(a2.id)},
        {"instance_find(objA, 3)", kNoone},
        {"instance_find(objA, -1)", kNoone},
        {"instance_find(all, 2)", double(c1.id)},
        {"instance_find(" + c1id + ", 0)", double(c1.id)},
        {"instance_find(" + c1id + ", 1)", kNoone},
        {"instance_find(self, 0)", kNoone},
        {"instance_exists(objB)", 1},
        {"instance_exists(self)", 1},
        {"instance_exists(other)", 1},
        {"instance_exists(" + a1id + ")", 1},
        {"instance_exists(all)", 1},
        {"instance_exists(noone)", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(EvalAs(a2, c.call), c.expected) << c.call;
    // An object without instances, and a room with none at all.
    EXPECT_EQ(Eval("instance_exists(objC) + instance_number(objC)").real, 2);
    for (CInstance* inst : {&a1, &b1, &c1, &a2}) inst->destroyed = true;
    EXPECT_EQ(Eval("instance_exists(all) + instance_number(all)").real, 0);
}

// The orders of the two lists after a call made by `caller`.
struct ActivationFixture : InstanceFunctions {
    CInstance *a1 = nullptr, *b1 = nullptr, *c1 = nullptr, *a2 = nullptr;
    void SetUp() override {
        a1 = &Place(A, 10, 10);   // 100501
        b1 = &Place(B, 50, 10);   // 100502
        c1 = &Place(C, 100, 10);  // 100503
        a2 = &Place(A, 200, 10);  // 100504
    }
    std::vector<int32_t> Active() const { return Ids(w.room.instances); }
    std::vector<int32_t> Inactive() const { return Ids(w.room.inactive_instances); }
};

TEST_F(ActivationFixture, ObjectDeactivationTakesTheFamilyAndActivationAppends) {
    RunAs(*c1, "instance_deactivate_object(objA);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100503}));
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100501, 100502, 100504}));
    EXPECT_EQ(Eval("instance_number(objA) + instance_exists(100501)").real, 0);
    EXPECT_TRUE(w.room.InstancesOfFamily(A).empty());
    RunAs(*c1, "instance_activate_object(objB);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100503, 100502}));
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100501, 100504}));
    RunAs(*c1, "instance_activate_object(100504);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100503, 100502, 100504}));
    RunAs(*c1, "instance_deactivate_object(self);");
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100501, 100503}));
    RunAs(*c1, "instance_activate_all();");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100502, 100504, 100501, 100503}));
    EXPECT_TRUE(w.room.inactive_instances.empty());
    EXPECT_EQ(w.room.InstancesOfFamily(A).size(), 3u);
}

TEST_F(ActivationFixture, DeactivateAllKeepsTheCallerOnlyWithNotme) {
    RunAs(*b1, "instance_deactivate_all(true);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100502}));
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100501, 100503, 100504}));
    RunAs(*b1, "instance_deactivate_all(false);");
    EXPECT_TRUE(Active().empty());
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100501, 100503, 100504, 100502}));
    RunAs(*b1, "instance_activate_object(all);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100501, 100503, 100504, 100502}));
}

TEST_F(ActivationFixture, SelfAndOtherTargets) {
    // deactivating other; activating self only clears the mark of the caller
    RunAs(*a1, "instance_deactivate_object(other);", c1);
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100503}));
    RunAs(*a1, "instance_deactivate_object(self); instance_activate_object(self);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100502, 100504, 100501}));
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100503}));
    // noone and unknown ids touch nothing
    RunAs(*a1,
          "instance_deactivate_object(noone); instance_deactivate_object(123456);"
          "instance_activate_object(noone); instance_activate_object(99);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100502, 100504, 100501}));
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100503}));
}

TEST_F(ActivationFixture, RegionsInsideAndOutside) {
    // Positions 10, 50, 100, 200 on y = 10; no sprites, so positions are tested (edges in).
    RunAs(*a1, "instance_deactivate_region(0, 0, 50, 20, true, false);");
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100501, 100502}));
    RunAs(*c1, "instance_activate_region(40, 0, 100, 20, true);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100503, 100504, 100502}));
    // outside, keeping the caller
    RunAs(*c1, "instance_deactivate_region(90, 0, 20, 20, false, true);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100503}));
    EXPECT_EQ(Inactive(), (std::vector<int32_t>{100501, 100504, 100502}));
    RunAs(*c1, "instance_activate_region(0, 0, 60, 20, false);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100503, 100504}));
    // outside without notme takes the caller too
    RunAs(*c1, "instance_deactivate_region(150, 0, 100, 20, false, false);");
    EXPECT_EQ(Active(), (std::vector<int32_t>{100504}));
}

TEST_F(InstanceFunctions, RegionTestUsesTheBoxWhenThereIsAMaskSprite) {
    auto sprite = std::make_unique<CSprite>();
    sprite->BBoxRight = 9;
    sprite->BBoxBottom = 9;
    const int s = w.game.sprites.Add(std::move(sprite), "spr");
    CInstance& inst = Place(A, 100, 100);
    SetSprite(inst, w.game, s);
    ASSERT_EQ(inst.bbox_right, 109);
    struct Case {
        double left, top, width, height;
        bool inside;
    } cases[] = {
        {109, 109, 5, 5, true},    // touches the bottom right corner
        {110, 100, 5, 5, false},   // one pixel right of it
        {90, 90, 10, 10, true},    // reaches the top left corner
        {90, 90, 9.5, 10, false},  // falls short of it
        {0, 0, 1000, 1000, true},  // covers it
        {102, 102, 2, 2, true},    // inside it
    };
    for (const Case& c : cases)
        EXPECT_EQ(InRegion(w.game, inst, c.left, c.top, c.width, c.height), c.inside)
            << c.left << "," << c.top << " " << c.width << "x" << c.height;
    // A mask index that names no sprite falls back to the position test.
    SetMask(inst, w.game, 42);
    EXPECT_FALSE(InRegion(w.game, inst, 102, 102, 2, 2));
    EXPECT_TRUE(InRegion(w.game, inst, 100, 100, 0, 0));
}

TEST_F(InstanceFunctions, DestroyedInstancesAreNotDeactivated) {
    CInstance& gone = Place(A);
    CInstance& self = Place(C);
    gone.destroyed = true;
    RunAs(self, "instance_deactivate_all(true);");
    EXPECT_TRUE(w.room.inactive_instances.empty());
    // so that the removal at the end of the step still frees it
    w.room.RemoveDeletedInstances(w.game.objects);
    EXPECT_EQ(Ids(w.room.instances), (std::vector<int32_t>{self.id}));
}

TEST_F(InstanceFunctions, WalksOverSetsThatChangeUnderThemFinish) {
    On(A, ev_create, 0, "global.created += 1;");
    On(C, ev_destroy, 0, "instance_create(x, y, objA);");
    Place(A);
    Place(B);
    CInstance& c = Place(C);
    Run("global.created = 0;");
    // Growing the walked family visits only the instances there were at the start.
    Run("with (objA) instance_create(0, 0, objA);");
    EXPECT_EQ(Eval("global.created").real, 2);
    EXPECT_EQ(Eval("instance_number(objA)").real, 4);
    // Changing every instance while walking all of them, then walking and deactivating.
    Run("with (all) instance_change(objC, true);");
    EXPECT_EQ(Eval("instance_number(objC)").real, 5);
    EXPECT_EQ(Eval("instance_number(objA)").real, 1);  // the Destroy event of the old C made one
    Run("with (objC) { instance_deactivate_all(false); instance_activate_object(objA); }");
    EXPECT_EQ(Eval("instance_number(objC)").real, 0);
    // The walk over all takes its count before the body brings the five back.
    Run("with (all) { instance_activate_all(); instance_destroy(); }");
    EXPECT_EQ(Eval("instance_number(all)").real, 5);
    Run("with (all) instance_destroy();");
    EXPECT_EQ(Eval("instance_number(objC)").real, 0);
    EXPECT_EQ(Eval("instance_number(objA)").real, 5);  // made by their Destroy events
    EXPECT_TRUE(c.destroyed);
    w.room.RemoveDeletedInstances(w.game.objects);
    EXPECT_EQ(w.room.InstanceCount(), 5);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tb
