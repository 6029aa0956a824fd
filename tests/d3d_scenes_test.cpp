// 3D mode through the script functions on a headless device: small scenes read back pixel by
// pixel, the world transform and its stack, the mode switch, and models with their files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/d3d.h"
#include "graphics/d3d_model_buffers.h"
#include "room_draw_harness.h"
#include "script_harness.h"
#include "system/file_bytes.h"

namespace tb {
namespace {

using test::kBlack;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::kWhite;

struct D3DScenes : test::RoomDrawTest {
    CInstance self;

    RValue Eval(const std::string& source) {
        test::RunResult r = test::RunExpression(engine, source, &self);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
        return r.result;
    }
    double Num(const std::string& source) { return Eval(source).real; }
    void Run(const std::string& source) {
        test::RunResult r = test::RunCode(engine, source, &self, &self);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
    }
    // 3D mode on a black back buffer, drawing in white.
    void Start() {
        Run("d3d_start(); draw_set_color(c_white); draw_set_alpha(1)");
        g.device.Clear(0xFF000000);
        g.device.ClearZ();
    }
    // A room-aligned orthographic camera: pixel (x, y) shows room point (x, y).
    void Ortho() { Run("d3d_set_projection_ortho(0, 0, 64, 48, 0)"); }
    Vec3 World(Vec3 p) { return TransformPoint(g.device.WorldTransform(), p); }
};

bool Near(uint32_t bgr, int r, int gr, int b, int tolerance = 2) {
    return std::abs(int(bgr & 0xFF) - r) <= tolerance &&
           std::abs(int(bgr >> 8 & 0xFF) - gr) <= tolerance &&
           std::abs(int(bgr >> 16 & 0xFF) - b) <= tolerance;
}

TEST_F(D3DScenes, ABlockSeenFromOutsideAndFromInside) {
    Start();
    const std::string block = "d3d_draw_block(-2, -2, -2, 2, 2, 2, -1, 1, 1)";
    const std::string outside =
        "d3d_set_projection_ext(0, 0, -10, 0, 0, 0, 0, 1, 0, 60, 64 / 48, 1, 100);";
    const std::string inside =
        "d3d_set_projection_ext(0, 0, 0, 0, 0, 1, 0, 1, 0, 60, 64 / 48, 0.5, 100);";
    const struct {
        const std::string& camera;
        bool culling;
        uint32_t centre;
    } cases[] = {
        {outside, false, kWhite},
        {outside, true, kWhite},  // the faces towards the camera turn clockwise
        {inside, false, kWhite},
        {inside, true, kBlack},  // seen from inside every face turns the other way
    };
    for (const auto& c : cases) {
        g.device.Clear(0xFF000000);
        g.device.ClearZ();
        Run(c.camera + "d3d_set_culling(" + (c.culling ? "1" : "0") + ");" + block);
        EXPECT_EQ(Pixel(32, 24), c.centre) << c.camera << " culling " << c.culling;
        if (&c.camera == &outside) {
            EXPECT_EQ(Pixel(1, 1), kBlack);
        }
    }
}

TEST_F(D3DScenes, AFloorLitByOneDirectionalLight) {
    Start();
    Run("d3d_set_projection_ext(0, 0, 10, 0, 0, 0, 0, 1, 0, 60, 64 / 48, 1, 100);"
        "d3d_light_define_direction(0, 0, -1, -1, c_white);"
        "d3d_light_enable(0, true); d3d_set_lighting(true);"
        "d3d_draw_floor(-20, -20, 0, 20, 20, 0, -1, 1, 1)");
    // The normal (0, 0, 1) against the light coming from (0, 1, 1): cos 45 degrees.
    const int shade = int(std::lround(255 * std::sqrt(0.5)));
    EXPECT_TRUE(Near(Pixel(32, 24), shade, shade, shade, 1)) << std::hex << Pixel(32, 24);
    Run("d3d_light_define_direction(0, 0, 0, -1, c_red)");  // straight down, red light
    Run("d3d_draw_floor(-20, -20, 0, 20, 20, 0, -1, 1, 1)");
    EXPECT_EQ(Pixel(32, 24), kRed);
    Run("d3d_light_enable(0, false); d3d_draw_floor(-20, -20, 0, 20, 20, 0, -1, 1, 1)");
    EXPECT_EQ(Pixel(32, 24), kBlack);  // lighting on, no light
    Run("d3d_set_lighting(false); d3d_draw_floor(-20, -20, 0, 20, 20, 0, -1, 1, 1)");
    EXPECT_EQ(Pixel(32, 24), kWhite);
}

TEST_F(D3DScenes, FogAtAKnownDistance) {
    Start();
    // A plane 50 in front of the eye; without perspective fog runs over the view depth.
    Run("d3d_set_perspective(false);"
        "d3d_set_projection_ext(0, 0, 0, 0, 0, 1, 0, 1, 0, 60, 64 / 48, 1, 1000)");
    const std::string plane = "d3d_draw_floor(-500, -500, 50, 500, 500, 50, -1, 1, 1)";
    const struct {
        double start, end;
        int r, gr, b;
    } cases[] = {{0, 100, 255, 128, 128},
                 {60, 100, 255, 255, 255},
                 {0, 40, 255, 0, 0},
                 {25, 75, 255, 128, 128}};
    for (const auto& c : cases) {
        Run("d3d_set_fog(true, c_red, " + std::to_string(c.start) + ", " + std::to_string(c.end) +
            ");" + plane);
        EXPECT_TRUE(Near(Pixel(32, 24), c.r, c.gr, c.b))
            << c.start << " " << std::hex << Pixel(32, 24);
    }
    Run("d3d_set_fog(false, c_red, 0, 10);" + plane);
    EXPECT_EQ(Pixel(32, 24), kWhite);
}

TEST_F(D3DScenes, OrthographicProjectionShowsRoomCoordinates) {
    Start();
    Ortho();
    Run("d3d_draw_floor(10, 10, 0, 20, 20, 0, -1, 1, 1)");
    EXPECT_EQ(Pixel(15, 15), kWhite);
    EXPECT_EQ(Pixel(25, 25), kBlack);
    EXPECT_EQ(Pixel(5, 5), kBlack);
    // Turned half way round the centre of the room.
    g.device.Clear(0xFF000000);
    Run("d3d_set_projection_ortho(0, 0, 64, 48, 180); d3d_draw_floor(10, 10, 0, 20, 20, 0, -1, 1, "
        "1)");
    EXPECT_EQ(Pixel(49, 33), kWhite);
    EXPECT_EQ(Pixel(15, 15), kBlack);
}

TEST_F(D3DScenes, TheTransformStackSavesAndRestoresTheWorld) {
    Start();
    Ortho();
    EXPECT_EQ(Num("d3d_transform_stack_pop()"), 0);
    EXPECT_EQ(Num("d3d_transform_stack_top()"), 0);
    EXPECT_EQ(Num("d3d_transform_stack_discard()"), 0);
    Run("d3d_transform_set_translation(20, 0, 0)");
    EXPECT_EQ(Num("d3d_transform_stack_push()"), 1);
    EXPECT_EQ(Num("d3d_transform_stack_empty()"), 0);
    Run("d3d_transform_set_identity(); draw_set_color(c_red);"
        "d3d_draw_floor(0, 0, 0, 10, 10, 0, -1, 1, 1)");
    EXPECT_EQ(Num("d3d_transform_stack_pop()"), 1);
    Run("draw_set_color(c_lime); d3d_draw_floor(0, 0, 0, 10, 10, 0, -1, 1, 1)");
    EXPECT_EQ(Pixel(5, 5), kRed);
    EXPECT_EQ(Pixel(25, 5), kGreen);
    EXPECT_EQ(Num("d3d_transform_stack_empty()"), 1);

    // 1001 slots: the 1002nd push fails; a pop gives back the 1001st matrix.
    for (int i = 0; i < 1001; ++i) {
        g.device.SetWorldTransform(TranslationMatrix(i, 0, 0));
        ASSERT_TRUE(StackPush(g)) << i;
    }
    EXPECT_EQ(Num("d3d_transform_stack_push()"), 0);
    Run("d3d_transform_set_identity()");
    EXPECT_EQ(Num("d3d_transform_stack_top()"), 1);
    EXPECT_EQ(World({0, 0, 0}).x, 1000);
    EXPECT_EQ(Num("d3d_transform_stack_discard()"), 1);
    EXPECT_EQ(Num("d3d_transform_stack_pop()"), 1);
    EXPECT_EQ(World({0, 0, 0}).x, 999);
    Run("d3d_transform_stack_clear()");
    EXPECT_EQ(Num("d3d_transform_stack_empty()"), 1);
}

TEST_F(D3DScenes, WorldTransformsComposeWithRowVectors) {
    Start();
    const struct {
        const char* code;
        Vec3 point, expected;
    } cases[] = {
        {"d3d_transform_set_rotation_z(90)", {1, 0, 0}, {0, -1, 0}},
        {"d3d_transform_set_rotation_x(90)", {0, 1, 0}, {0, 0, -1}},
        {"d3d_transform_set_rotation_y(90)", {0, 0, 1}, {-1, 0, 0}},
        {"d3d_transform_set_rotation_axis(0, 0, 2, 90)", {1, 0, 0}, {0, -1, 0}},
        {"d3d_transform_set_translation(10, 0, 0); d3d_transform_add_scaling(2, 2, 2)",
         {0, 0, 0},
         {20, 0, 0}},
        {"d3d_transform_set_translation(10, 0, 0); d3d_transform_add_rotation_z(90)",
         {0, 0, 0},
         {0, -10, 0}},
        {"d3d_transform_set_scaling(1, 2, 3); d3d_transform_add_translation(1, 1, 1)",
         {1, 1, 1},
         {2, 3, 4}},
        {"d3d_transform_set_rotation_z(90); d3d_transform_add_rotation_axis(0, 0, 1, -90)",
         {1, 0, 0},
         {1, 0, 0}},
        {"d3d_transform_set_rotation_x(0); d3d_transform_add_rotation_x(90);"
         "d3d_transform_add_rotation_y(90)",
         {0, 1, 0},
         {1, 0, 0}},
        {"d3d_transform_set_identity()", {3, 4, 5}, {3, 4, 5}},
    };
    for (const auto& c : cases) {
        Run(c.code);
        const Vec3 p = World(c.point);
        EXPECT_NEAR(p.x, c.expected.x, 1e-5) << c.code;
        EXPECT_NEAR(p.y, c.expected.y, 1e-5) << c.code;
        EXPECT_NEAR(p.z, c.expected.z, 1e-5) << c.code;
    }
}

TEST_F(D3DScenes, SwitchingTheModeResetsTheDeviceOnceAndRestores2D) {
    EXPECT_EQ(Num("d3d_end()"), 1);  // already off
    Run("d3d_set_depth(20000)");
    EXPECT_EQ(g.device.Depth(), 0);
    const int32_t before = g.surfaces.Create(8, 8);
    EXPECT_EQ(Num("d3d_start()"), 1);
    EXPECT_FALSE(g.surfaces.Exists(before));  // the reset lost it
    EXPECT_TRUE(g.device.Is3DMode());
    EXPECT_TRUE(g.device.Perspective());
    const int32_t again = g.surfaces.Create(8, 8);
    EXPECT_EQ(Num("d3d_start()"), 1);  // no second reset
    EXPECT_TRUE(g.surfaces.Exists(again));
    Run("d3d_set_depth(20000)");
    EXPECT_EQ(g.device.Depth(), 16000);
    Run("d3d_set_depth(-123.5)");
    EXPECT_EQ(g.device.Depth(), -123.5);
    EXPECT_EQ(Num("d3d_end()"), 1);
    EXPECT_FALSE(g.device.Is3DMode());
    EXPECT_FALSE(g.device.Perspective());
    EXPECT_EQ(g.device.Depth(), 0);
    // 2D drawing as before: the last drawn wins whatever its depth.
    Run("draw_set_color(c_red); draw_rectangle(0, 0, 9, 9, false);"
        "d3d_set_depth(-500); draw_set_color(c_blue); draw_rectangle(0, 0, 9, 9, false)");
    EXPECT_EQ(Pixel(5, 5), kBlue);
}

TEST_F(D3DScenes, TwoDimensionalDrawingStandsAtItsDepthIn3DMode) {
    Start();
    Ortho();
    // A near card first, then a far one behind it: hidden-surface removal keeps the near one.
    Run("d3d_set_depth(-100); draw_set_color(c_red); draw_rectangle(0, 0, 9, 9, false);"
        "d3d_set_depth(100); draw_set_color(c_blue); draw_rectangle(0, 0, 19, 19, false)");
    EXPECT_EQ(Pixel(5, 5), kRed);
    EXPECT_EQ(Pixel(15, 15), kBlue);
    Run("d3d_set_hidden(false); d3d_set_depth(100); draw_rectangle(0, 0, 9, 9, false)");
    EXPECT_EQ(Pixel(5, 5), kBlue);
}

TEST_F(D3DScenes, BuiltPrimitivesTakeTheirColoursAndTextures) {
    Start();
    Ortho();
    const int32_t tex = SolidTexture(4, 4, 0xFF00FF00);
    Run("d3d_primitive_begin(pr_trianglestrip);"
        "d3d_vertex_color(0, 0, 0, c_red, 1); d3d_vertex_color(10, 0, 0, c_red, 1);"
        "d3d_vertex_color(0, 10, 0, c_red, 1); d3d_vertex_color(10, 10, 0, c_red, 1);"
        "d3d_primitive_end()");
    EXPECT_EQ(Pixel(5, 5), kRed);
    Run("d3d_primitive_begin_texture(pr_trianglefan, " + std::to_string(tex) +
        ");"
        "d3d_vertex_normal_texture(20, 0, 0, 0, 0, -1, 0, 0);"
        "d3d_vertex_normal_texture(30, 0, 0, 0, 0, -1, 1, 0);"
        "d3d_vertex_normal_texture(30, 10, 0, 0, 0, -1, 1, 1);"
        "d3d_vertex_normal_texture(20, 10, 0, 0, 0, -1, 0, 1);"
        "d3d_primitive_end()");
    EXPECT_EQ(Pixel(25, 5), kGreen);
    // Half transparent blue over the red square.
    Run("d3d_set_hidden(false); d3d_primitive_begin(pr_trianglelist);"
        "d3d_vertex_texture_color(0, 0, 0, 0, 0, c_blue, 0.5);"
        "d3d_vertex_texture_color(10, 0, 0, 0, 0, c_blue, 0.5);"
        "d3d_vertex_texture_color(0, 10, 0, 0, 0, c_blue, 0.5);"
        "d3d_primitive_end()");
    EXPECT_TRUE(Near(Pixel(2, 2), 128, 0, 128)) << std::hex << Pixel(2, 2);
}

// --- models

TEST_F(D3DScenes, ModelsAreDrawnAtAnOffsetInTheDrawColour) {
    Start();
    Ortho();
    EXPECT_EQ(Num("d3d_model_create()"), 0);
    Run("m = d3d_model_create(); d3d_model_floor(m, 0, 0, 0, 10, 10, 0, 1, 1);"
        "d3d_model_draw(m, 30, 20, 0, -1)");
    EXPECT_EQ(Pixel(35, 25), kWhite);
    EXPECT_EQ(Pixel(5, 5), kBlack);
    Run("draw_set_color(c_red); d3d_model_draw(m, 0, 0, 0, -1)");  // rebuilt for the colour
    EXPECT_EQ(Pixel(5, 5), kRed);
    Run("d3d_model_floor(m, 50, 0, 0, 60, 10, 0, 1, 1); d3d_model_draw(m, 0, 0, 0, -1)");
    EXPECT_EQ(Pixel(55, 5), kRed);  // rebuilt for the new command
    // A vertex recorded at (1, 2, 3) lands at (101, 52, 13): here seen as a triangle.
    Run("d3d_model_clear(m); d3d_model_primitive_begin(m, pr_trianglelist);"
        "d3d_model_vertex_color(m, 1, 2, 3, c_blue, 1);"
        "d3d_model_vertex_color(m, 11, 2, 3, c_blue, 1);"
        "d3d_model_vertex_color(m, 1, 12, 3, c_blue, 1);"
        "d3d_model_primitive_end(m); d3d_model_draw(m, -1, 38, 0, -1)");
    EXPECT_EQ(Pixel(2, 41), kBlue);
    // The world transform applies after the offset.
    Run("d3d_transform_set_translation(20, 0, 0); d3d_model_draw(m, -1, 38, 0, -1);"
        "d3d_transform_set_identity()");
    EXPECT_EQ(Pixel(22, 41), kBlue);
    EXPECT_EQ(g.device.WorldTransform(), IdentityMatrix());
}

TEST_F(D3DScenes, AModelTooLargeForOneBufferIsStillDrawn) {
    Start();
    Ortho();
    ModelTable& models = g.d3d.models;
    const int32_t m = models.Create();
    // 30 blocks of 36 list vertices: more than one buffer takes. Only the last is seen.
    for (int i = 0; i < 30; ++i) models.Add(m, {kModelBlock, {-9, -9, 0, -8, -8, 1, 1, 1}});
    models.Add(m, {kModelBlock, {10, 10, 0, 20, 20, 1, 1, 1}});
    DrawModelLimited(g, m, 0, 0, 0, -1, 1000);
    EXPECT_EQ(Pixel(15, 15), kWhite);
    EXPECT_EQ(models.Get(m)->buffer, 0u);
}

TEST_F(D3DScenes, ModelSlotsAreReusedLowestFirst) {
    Start();
    EXPECT_EQ(Num("d3d_model_create()"), 0);
    EXPECT_EQ(Num("d3d_model_create()"), 1);
    EXPECT_EQ(Num("d3d_model_create()"), 2);
    Run("d3d_model_destroy(1); d3d_model_destroy(0); d3d_model_destroy(99);"
        "d3d_model_destroy(-1); d3d_model_block(1, 0, 0, 0, 1, 1, 1, 1, 1);"
        "d3d_model_draw(1, 0, 0, 0, -1); d3d_model_clear(7)");
    EXPECT_EQ(Num("d3d_model_create()"), 0);
    EXPECT_EQ(Num("d3d_model_create()"), 1);
    EXPECT_EQ(Num("d3d_model_create()"), 3);
    EXPECT_TRUE(g.d3d.models.Get(1)->commands.empty());
}

struct D3DModelFiles : D3DScenes {
    std::filesystem::path dir;
    void SetUp() override {
        D3DScenes::SetUp();
        dir =
            std::filesystem::temp_directory_path() /
            ("tb_d3d_models_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        D3DScenes::TearDown();
    }
    std::string File(const char* name) { return (dir / name).string(); }
    std::string Read(const std::string& file) {
        std::vector<uint8_t> b;
        EXPECT_TRUE(ReadFileBytes(file, b));
        return {b.begin(), b.end()};
    }
    void Write(const std::string& file, const std::string& text) {
        ASSERT_TRUE(
            WriteFileAtomically(file, reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
};

TEST_F(D3DModelFiles, SaveWritesTheTextFormatAndLoadReadsItBack) {
    const std::string a = File("a.d3d"), b = File("b.d3d");
    Run("m = d3d_model_create(); d3d_model_primitive_begin(m, 4.6);"
        "d3d_model_vertex_color(m, 12.5, -3, 0.12346, c_red + 0.4, 0.5);"
        "d3d_model_primitive_end(m);"
        "d3d_model_cylinder(m, 0, 0, 0, 1, 1, 1, 2, 3, 0.7, 500.4);"
        "d3d_model_vertex(m, 123456789012, 0, -0.00001);"
        "d3d_model_save(m, '" +
        a + "')");
    const std::string expected =
        "100\r\n5\r\n"
        "0 5.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000\r\n"
        "3 12.5000 -3.0000 0.1235 255.0000 0.5000 0.0000 0.0000 0.0000 0.0000 0.0000\r\n"
        "1 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000\r\n"
        "11 0.0000 0.0000 0.0000 1.0000 1.0000 1.0000 2.0000 3.0000 1.0000 500.0000\r\n"
        "2 1.234567890E+11 0.0000 -0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000\r\n";
    EXPECT_EQ(Read(a), expected);
    Run("n = d3d_model_create(); d3d_model_load(n, '" + a + "'); d3d_model_save(n, '" + b + "')");
    EXPECT_EQ(Read(b), expected);
    const C3DModel* n = g.d3d.models.Get(1);
    ASSERT_NE(n, nullptr);
    ASSERT_EQ(n->commands.size(), 5u);
    EXPECT_EQ(n->commands[1].v[2], 0.1235);
    EXPECT_EQ(n->commands[4].v[0], 123456789000);
}

TEST_F(D3DModelFiles, BadFilesLoadNothing) {
    const std::string line = "2 1 2 3 0 0 0 0 0 0 0\r\n";
    const struct {
        const char* what;
        std::string text;
        bool ok;
        size_t commands;
    } cases[] = {
        {"good", "100\r\n2\r\n" + line + line, true, 2},
        {"numbers over lines", "100\n2\n2 1 2 3 0 0\n0 0 0 0 0 extra\n" + line, true, 2},
        {"version", "101\r\n1\r\n" + line, false, 0},
        {"truncated", "100\r\n3\r\n" + line + line, false, 0},
        {"cut in a line", "100\r\n1\r\n2 1 2 3", false, 0},
        {"not a number", "100\r\n1\r\n2 1 x 3 0 0 0 0 0 0 0\r\n", false, 0},
        {"real type", "100\r\n1\r\n2.5 1 2 3 0 0 0 0 0 0 0\r\n", false, 0},
        {"negative count", "100\r\n-1\r\n", false, 0},
        {"huge count", "100\r\n2000000000\r\n" + line, false, 0},
        {"empty", "", false, 0},
    };
    ModelTable& models = g.d3d.models;
    const int32_t m = models.Create();
    for (const auto& c : cases) {
        models.Add(m, ModelCommand{kModelEnd, {}});
        const std::string file = File("m.d3d");
        Write(file, c.text);
        EXPECT_EQ(models.Load(m, file), c.ok) << c.what;
        EXPECT_EQ(models.Get(m)->commands.size(), c.commands) << c.what;
    }
    models.Add(m, ModelCommand{kModelEnd, {}});
    EXPECT_FALSE(models.Load(m, File("missing.d3d")));
    EXPECT_TRUE(models.Get(m)->commands.empty());
    EXPECT_FALSE(models.Load(m + 1, File("m.d3d")));
    EXPECT_FALSE(models.Save(m + 1, File("x.d3d")));
    EXPECT_FALSE(models.Save(m, (dir / "no" / "such" / "x.d3d").string()));
}

TEST_F(D3DModelFiles, ALoadedModelDrawsLikeTheRecordedOne) {
    Start();
    Ortho();
    const std::string file = File("room.d3d");
    Run("m = d3d_model_create(); d3d_model_block(m, 2, 2, 0, 12, 12, 4, 1, 1);"
        "d3d_model_wall(m, 20, 2, 0, 30, 2, 10, 1, 1);"
        "d3d_model_ellipsoid(m, 40, 2, -5, 50, 12, 5, 1, 1, 8);"
        "d3d_model_save(m, '" +
        file + "'); d3d_model_draw(m, 0, 0, 0, -1)");
    const CBitmap32 first = g.device.Capture(0, 0, 64, 48);
    g.device.Clear(0xFF000000);
    g.device.ClearZ();
    Run("n = d3d_model_create(); d3d_model_load(n, '" + file +
        "'); d3d_model_draw(n, 0, 0, 0, -1)");
    const CBitmap32 second = g.device.Capture(0, 0, 64, 48);
    EXPECT_EQ(first.pixels, second.pixels);
    EXPECT_EQ(Pixel(7, 7), kWhite);
    EXPECT_EQ(Pixel(45, 7), kWhite);
}

TEST_F(D3DScenes, AModelIsOneDriverCallPerRunOfEqualState) {
    Start();
    Ortho();
    Run("m = d3d_model_create();"
        "for (i = 0; i < 50; i += 1) d3d_model_block(m, i, 0, 0, i + 1, 1, 1, 1, 1)");
    Run("d3d_model_draw(m, 0, 0, 0, -1)");  // builds the buffer
    g.device.Flush();
    const uint64_t before = g.device.DriverDrawCalls();
    Run("d3d_model_draw(m, 0, 0, 0, -1)");
    g.device.Flush();
    EXPECT_EQ(g.device.DriverDrawCalls() - before, 1u);
}

}  // namespace
}  // namespace tb
