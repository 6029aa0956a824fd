// Particles drawn on a headless device, checked at chosen pixels: built-in shapes with their
// size, colour and position, additive blending, the draw order, sprites, and the systems drawn
// in the room's depth pass among the instances.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gfx_harness.h"
#include "particles/particles.h"
#include "resources/sprite.h"
#include "room_draw_harness.h"
#include "script_harness.h"

namespace tb {
namespace {

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) return false;
    return true;
}

struct ParticlePixels : test::GraphicsTest {
    test::ScriptWorld world;

    void SetUp() override {
        GraphicsTest::SetUp();
        if (HasFatalFailure()) return;
        world.engine.graphics = &g;
        g.game = &world.game;
        Run("global.ps = part_system_create(); global.t = part_type_create();"
            "part_type_shape(global.t, pt_shape_square); part_type_size(global.t, 0.25, 0.25, 0, "
            "0)");
    }
    void Run(const std::string& code) {
        const test::RunResult r = world.Run(code);
        ASSERT_TRUE(r.ok) << code << "\n" << r.message;
    }
    // Clears to black, runs the code and draws the system.
    void Frame(const std::string& code) {
        Run("draw_clear(c_black); part_particles_clear(global.ps);" + code +
            "; part_system_drawit(global.ps)");
    }
    struct Probe {
        int x, y;
        uint32_t bgr;
    };
    void Expect(const std::string& what, const std::vector<Probe>& probes, int tolerance = 2) {
        for (const Probe& p : probes) {
            const uint32_t got = Pixel(p.x, p.y);
            EXPECT_TRUE(Near(got, p.bgr, tolerance)) << what << " at " << p.x << "," << p.y << ": "
                                                     << std::hex << got << " instead of " << p.bgr;
        }
    }
};

TEST_F(ParticlePixels, ShapesSizesColoursAndPositions) {
    // The square is 48 pixels wide at size 1: 12 at size 0.25, centred on the particle.
    Frame("part_particles_create_color(global.ps, 32, 24, global.t, c_red, 1)");
    Expect("square",
           {{32, 24, 0x0000FF}, {27, 19, 0x0000FF}, {36, 28, 0x0000FF}, {32, 32, 0}, {22, 24, 0}});
    // The disk's radius is about 30 pixels: 15 at size 0.5; scales stretch it.
    Frame(
        "part_type_shape(global.t, pt_shape_disk); part_type_size(global.t, 0.5, 0.5, 0, 0);"
        "part_type_scale(global.t, 1, 0.5); part_type_color1(global.t, c_lime);"
        "part_particles_create(global.ps, 32, 24, global.t, 1)");
    Expect("disk",
           {{32, 24, 0x00FF00}, {44, 24, 0x00FF00}, {32, 30, 0x00FF00}, {32, 33, 0}, {50, 24, 0}});
    // The system's position moves every particle; alpha blends with what is there.
    Frame(
        "part_type_shape(global.t, pt_shape_square); part_type_size(global.t, 0.25, 0.25, 0, 0);"
        "part_type_scale(global.t, 1, 1); part_type_alpha1(global.t, 0.5);"
        "part_system_position(global.ps, 10, -4);"
        "part_particles_create_color(global.ps, 22, 28, global.t, c_white, 1)");
    Expect("moved", {{32, 24, 0x808080}, {22, 28, 0}});
    // The pixel shape is one pixel.
    Frame(
        "part_system_position(global.ps, 0, 0); part_type_alpha1(global.t, 1);"
        "part_type_shape(global.t, pt_shape_pixel); part_type_size(global.t, 1, 1, 0, 0);"
        "part_particles_create_color(global.ps, 10, 10, global.t, c_white, 1)");
    Expect("pixel", {{10, 10, 0xFFFFFF}, {11, 10, 0}, {10, 11, 0}, {9, 9, 0}});
    // Shapes outside 0 .. 13 draw nothing.
    Frame("part_type_shape(global.t, 14); part_particles_create(global.ps, 10, 10, global.t, 1)");
    Expect("no shape", {{10, 10, 0}});
}

TEST_F(ParticlePixels, AdditiveBlendingAndDrawOrder) {
    Frame(
        "part_type_color1(global.t, $400000);"
        "part_particles_create(global.ps, 32, 24, global.t, 2)");
    Expect("normal", {{32, 24, 0x400000}});
    Frame("part_type_blend(global.t, true); part_particles_create(global.ps, 32, 24, global.t, 2)");
    Expect("additive", {{32, 24, 0x800000}});
    // Blending is back to normal after the system: a rectangle drawn now covers.
    Run("draw_set_color(c_red); draw_rectangle(0, 0, 4, 4, false)");
    Expect("normal after", {{2, 2, 0x0000FF}});
    // Old to new: the newest on top; new to old: the newest underneath.
    const std::string two =
        "part_type_blend(global.t, false); part_particles_create_color(global.ps, 32, 24, "
        "global.t, c_red, 1); part_particles_create_color(global.ps, 32, 24, global.t, c_blue, 1)";
    Frame("part_system_draw_order(global.ps, true);" + two);
    Expect("old to new", {{32, 24, 0xFF0000}});
    Frame("part_system_draw_order(global.ps, false);" + two);
    Expect("new to old", {{32, 24, 0x0000FF}});
    // Interpolation is on while particles draw and restored afterwards.
    Run("texture_set_interpolation(false); part_system_drawit(global.ps)");
    EXPECT_FALSE(g.device.Interpolation());
}

TEST_F(ParticlePixels, SpritesAndTheirFrames) {
    auto s = std::make_unique<CSprite>();
    s->Width = s->Height = 4;
    s->frames = {CBitmap32(4, 4, 0xFFFF0000), CBitmap32(4, 4, 0xFF00FF00)};
    CreateSpriteTextures(g.textures, *s);
    const int sprite = world.game.sprites.Add(std::move(s), "spr");
    // Animated: frame = age; not animated: frame 0. The particle's colour tints the sprite.
    Frame("part_type_sprite(global.t, " + std::to_string(sprite) +
          ", true, false, false); part_type_size(global.t, 1, 1, 0, 0);"
          "part_particles_create(global.ps, 10, 10, global.t, 1); part_system_update(global.ps)");
    Expect("frame 1", {{11, 11, 0x00FF00}, {15, 11, 0}});
    Frame("part_type_sprite(global.t, " + std::to_string(sprite) +
          ", false, false, false); part_type_color1(global.t, $00FFFF);"
          "part_particles_create(global.ps, 10, 10, global.t, 1); part_system_update(global.ps)");
    Expect("frame 0 tinted", {{11, 11, 0x0000FF}});
}

struct ParticleRoom : test::RoomDrawTest {
    void SetUp() override {
        RoomDrawTest::SetUp();
        if (HasFatalFailure()) return;
        AttachParticles(*world, *engine.particles);
    }
};

TEST_F(ParticleRoom, SystemsDrawAtTheirDepthAmongInstances) {
    const int block = AddSprite(20, 20, {0xFF0000FF});  // blue block
    Place(AddObject(block), 20, 14, 0);
    ParticleState& ps = *engine.particles;
    CParticleType& t = *ps.Type(ps.CreateType());
    t.shape = 2;  // square
    t.size_min = t.size_max = 0.25;
    t.colors[0] = 0x0000FF;  // red
    const int32_t id = ps.CreateSystem();
    const uint32_t red = 0x0000FF;
    ps.System(id)->CreateParticles(ps.Types(), engine.random, 30, 24, 0, 1, &red);
    struct Case {
        double depth;
        uint32_t bgr;
        bool automatic;
    };
    for (const Case c : std::vector<Case>{
             {10, test::kBlue, true}, {-10, test::kRed, true}, {-10, test::kBlue, false}}) {
        ps.System(id)->depth = c.depth;
        ps.System(id)->auto_draw = c.automatic;
        Draw();
        EXPECT_EQ(Pixel(30, 24), c.bgr) << c.depth << " " << c.automatic;
    }
}

}  // namespace
}  // namespace tb
