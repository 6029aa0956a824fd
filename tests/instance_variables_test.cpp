// The instance built-in variables as scripts see them: reads, writes and their side effects.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "script/interpreter.h"
#include "script_harness.h"
#include "world/instance_ops.h"

namespace tb::test {
namespace {

struct InstanceVariables : FunctionTest {
    InstanceVariables() {
        // Sprite 0: 32 x 32, origin in the middle, four images; sprite 1: 16 x 8, origin
        // (2, 3), one image.
        AddSprite(32, 32, 16, 16, 4);
        AddSprite(16, 8, 2, 3, 1);
    }
    void AddSprite(int32_t w_, int32_t h, int32_t xo, int32_t yo, int frames) {
        auto s = std::make_unique<CSprite>();
        s->Width = w_;
        s->Height = h;
        s->XOrigin = xo;
        s->YOrigin = yo;
        s->BBoxRight = w_ - 1;
        s->BBoxBottom = h - 1;
        for (int i = 0; i < frames; ++i) s->frames.emplace_back(w_, h);
        w.game.sprites.Add(std::move(s), "spr");
    }
    int IdOf(const char* name) { return w.engine.builtin_variables.Find(name); }
};

TEST_F(InstanceVariables, AssignmentsAndReads) {
    struct Case {
        const char* program;
        const char* read;
        double expected;
    } cases[] = {
        // position: through the position setter, so the box follows
        {"x = 5; x = 'abc'", "x", 0},
        {"x[3] = 9", "x", 9},
        {"x = 100; y = 100", "bbox_left * 1000 + bbox_top", 84084},
        {"x = 100; y = 100", "bbox_right * 1000 + bbox_bottom", 115115},
        {"x = 100; y = 100; x = 'abc'", "bbox_left", -16},
        {"xstart = 3; ystart = 4; xprevious = 5; yprevious = 6",
         "xstart + ystart * 10 + xprevious * 100 + yprevious * 1000", 6543},
        // motion
        {"direction = -90", "direction", 270},
        {"direction = 720", "direction", 0},
        {"direction = 90; speed = 4", "vspeed", -4},
        {"direction = 90; speed = 4", "hspeed", 0},
        {"hspeed = 3; vspeed = 4", "speed", 5},
        {"hspeed = 0; vspeed = -3", "direction", 90},
        {"speed = -2", "hspeed * 10 + speed", -22},
        {"friction = 0.25; gravity = 0.5; gravity_direction = 90",
         "friction + gravity + gravity_direction", 90.75},
        // alarms: an index outside 0 .. 11 means alarm 0
        {"alarm[15] = 5", "alarm[0]", 5},
        {"alarm[0] = 8", "alarm[12]", 8},
        {"alarm[1, 2] = 6", "alarm[0]", 6},
        {"alarm[3] = 2.5", "alarm[3]", 2},
        {"alarm[11] = 3.5", "alarm[11] * 100 + alarm[0]", 399},
        {"alarm = 4", "alarm[0]", 4},
        // flags store whether the rounded value is above 0.5
        {"visible = 0.5", "visible", 0},
        {"visible = 0.51", "visible", 1},
        {"visible = 1.5", "visible", 1},
        {"visible = 'yes'", "visible", 0},
        {"solid = 2.5", "solid", 1},
        {"persistent = -1", "persistent", 0},
        {"depth = -2.5", "depth", -2.5},
        // images and sprites
        {"", "image_single", -1},
        {"image_single = 2", "image_index * 10 + image_speed", 20},
        {"image_single = 2", "image_single", 2},
        {"image_single = 2; image_single = -1", "image_speed", 1},
        {"image_single = 2; image_single = -1", "image_single", -1},
        {"image_single = 2; image_single = -1", "image_index", 2},
        {"", "image_number", 4},
        {"sprite_index = 1", "image_number", 1},
        {"sprite_index = 7", "image_number + sprite_width + sprite_xoffset", 0},
        {"sprite_index = 0.5", "sprite_index", 0},
        {"image_index = 3; sprite_index = 1", "image_index", 0},
        {"image_index = 0.5; sprite_index = 1", "image_index", 0.5},
        {"image_xscale = 2", "sprite_width", 64},
        {"image_yscale = -1", "sprite_height", -32},
        {"image_xscale = 0.5", "sprite_xoffset", 8},
        {"image_yscale = 3", "sprite_yoffset", 48},
        {"x = 100; y = 100; image_xscale = -1", "bbox_left * 1000 + bbox_right", 83116},
        {"x = 100; y = 100; image_angle = 90", "bbox_top * 1000 + bbox_bottom", 85116},
        {"x = 100; y = 100; mask_index = 1", "bbox_left * 1000 + bbox_right", 98113},
        {"x = 100; y = 100; mask_index = -1; sprite_index = 1", "bbox_top * 1000 + bbox_bottom",
         97104},
        {"x = 100; y = 100; mask_index = 9", "bbox_left", kNoBox},
        {"image_alpha = 0.25; image_speed = 0.5", "image_alpha + image_speed", 0.75},
        {"image_blend = 2.5", "image_blend", 2},
        {"image_blend = 3.5", "image_blend", 4},
        // paths and time lines
        {"", "path_index", -1},
        {"path_position = 1.5", "path_position", 1},
        {"path_position = 0.25", "path_position", 0.25},
        {"path_positionprevious = -3", "path_positionprevious", 0},
        {"path_speed = -1; path_scale = 2; path_orientation = 45",
         "path_speed + path_scale + path_orientation", 46},
        {"path_endaction = 1.4", "path_endaction", 1},
        {"timeline_index = 3.5", "timeline_index", 4},
        {"timeline_position = 2.5; timeline_speed = 0.5", "timeline_position * timeline_speed",
         1.25},
    };
    for (const Case& c : cases) {
        w.self = CInstance();
        Run(c.program);
        const RValue v = Eval(c.read);
        EXPECT_TRUE(IsReal(v, c.expected))
            << c.program << " / " << c.read << " = " << v.real << ", not " << c.expected;
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(InstanceVariables, ReadOnlyVariablesRefuseWrites) {
    for (const char* program :
         {"id = 5", "object_index = 1", "bbox_left = 0", "bbox_right = 0", "bbox_top = 0",
          "bbox_bottom = 0", "image_number = 2", "sprite_width = 3", "sprite_height = 1",
          "sprite_xoffset = 1", "sprite_yoffset = 1", "path_index = 1", "id += 1"}) {
        w.self = CInstance();
        RunResult r = w.Run(program);
        EXPECT_FALSE(r.ok) << program;
        EXPECT_EQ(r.text, "Cannot assign to the variable") << program;
        EXPECT_EQ(w.self, CInstance()) << program;
    }
    // The names are built-in: no script can declare them as its own.
    RunResult r = CompileCode(w.engine, "var speed;");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "Cannot redeclare a builtin variable.");
}

TEST_F(InstanceVariables, OtherInstancesThroughPrefixes) {
    const int obj = w.AddObject("obj");
    CInstance& a = w.AddInstance(obj);
    const std::string prefix = "(" + std::to_string(a.id) + ").";
    Run(prefix + "x = 50; " + prefix + "alarm[20] = 3; " + prefix + "visible = 1");
    EXPECT_EQ(a.x, 50);
    EXPECT_EQ(a.bbox_left, 34);  // mask 0 is sprite 0: the box moved with the instance
    EXPECT_EQ(a.alarm[0], 3);
    EXPECT_TRUE(a.visible);
    EXPECT_EQ(w.self.x, 0);
    EXPECT_TRUE(IsReal(Eval(prefix + "id"), a.id));
    EXPECT_TRUE(IsReal(Eval(prefix + "object_index"), obj));

    CInstance other;
    RunResult r = RunCode(w.engine, "other.direction = -90; speed = 1", &w.self, &other);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(other.direction, 270);
    EXPECT_EQ(w.self.direction, 0);
    EXPECT_EQ(w.self.hspeed, 1);
}

TEST_F(InstanceVariables, TableOrderAndDirectAccess) {
    EXPECT_EQ(IdOf("x"), 0);
    EXPECT_EQ(IdOf("alarm"), 15);
    EXPECT_EQ(IdOf("sprite_index"), 24);
    EXPECT_EQ(IdOf("timeline_speed"), 48);

    // The variable-by-id entry points go through the same setters.
    CInstance& self = w.self;
    EXPECT_TRUE(InstanceSet(w.engine, &self, IdOf("direction"), 0, RValue::Real(-90)));
    EXPECT_EQ(self.direction, 270);
    EXPECT_FALSE(InstanceSet(w.engine, &self, IdOf("id"), 0, RValue::Real(1)));
    RValue out;
    EXPECT_TRUE(InstanceGet(w.engine, &self, IdOf("alarm"), 99, out));
    EXPECT_TRUE(IsReal(out, -1));

    // An access without an instance is refused rather than followed.
    const BuiltinVariableTable& table = w.engine.builtin_variables;
    for (const char* name : {"x", "alarm", "image_single", "sprite_width", "path_position"}) {
        const BuiltinVariable* b = table.At(IdOf(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_FALSE(b->get(w.engine, nullptr, 0, out)) << name;
        if (b->set) {
            EXPECT_FALSE(b->set(w.engine, nullptr, 0, RValue::Real(1))) << name;
        }
    }
}

TEST(InstanceVariablesWithoutGame, SpriteVariablesSeeNoSprites) {
    ScriptEngine engine;  // no game, no room
    CInstance inst;
    RunResult r = RunCode(engine, "x = 5; sprite_index = 3; image_xscale = 2", &inst);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(inst.x, 5);
    EXPECT_EQ(inst.sprite_index, 3);
    EXPECT_EQ(inst.bbox_left, kNoBox);
    r = RunExpression(engine, "image_number + sprite_width + sprite_yoffset", &inst);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(IsReal(r.result, 0));
}

}  // namespace
}  // namespace tb::test
