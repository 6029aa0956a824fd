// Room transitions: single frames of the built-in kinds where the rule is exact, the capture
// and play around a room change, and the kinds a game defines.
#include "graphics/transitions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "room_draw_harness.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::kBlack;
using test::kBlue;
using test::kGreen;
using test::kRed;
using test::Opaque;

struct Transitions : test::RoomDrawTest {
    int32_t a = -1, b = -1;  // old picture: red with a green column at x 20; new: blue

    void SetUp() override {
        RoomDrawTest::SetUp();
        a = g.surfaces.Create(64, 48);
        b = g.surfaces.Create(64, 48);
        ASSERT_GE(a, 0);
        ASSERT_GE(b, 0);
        g.surfaces.SetTarget(a);
        g.device.Clear(Opaque(kRed));
        const int32_t green = SolidTexture(1, 48, Opaque(kGreen));
        g.textures.DrawSimple(green, 20, 0);
        g.surfaces.SetTarget(b);
        g.device.Clear(Opaque(kBlue));
        g.surfaces.ResetTarget();
    }
    void Frame(int32_t kind, double f, int32_t steps = 80) {
        g.device.Clear(Opaque(kBlack));
        DrawTransitionFrame(*world, g, kind, f, steps, a, b, 64, 48);
        g.device.Flush();
    }
};

TEST_F(Transitions, BuiltInFramesPlaceBothPicturesExactly) {
    struct Probe {
        int x, y;
        uint32_t color;
    };
    struct Case {
        int32_t kind;
        double f;
        int32_t steps;
        std::vector<Probe> probes;
    };
    const std::vector<Case> cases = {
        {1, 0.25, 80, {{15, 10, kBlue}, {16, 10, kRed}, {20, 10, kGreen}}},
        {2, 0.25, 80, {{47, 10, kRed}, {48, 10, kBlue}}},
        {3, 0.5, 80, {{30, 23, kBlue}, {30, 24, kRed}}},
        {4, 0.5, 80, {{30, 23, kRed}, {30, 24, kBlue}}},
        {5, 0.5, 80, {{15, 12, kRed}, {16, 12, kBlue}, {47, 35, kBlue}, {48, 35, kRed}}},
        {6, 0.25, 80, {{15, 5, kBlue}, {16, 5, kRed}, {20, 5, kGreen}}},
        {7, 0.25, 80, {{47, 5, kRed}, {48, 5, kBlue}}},
        {8, 0.5, 80, {{30, 23, kBlue}, {30, 24, kRed}}},
        {9, 0.5, 80, {{30, 23, kRed}, {30, 24, kBlue}}},
        {14, 0.25, 80, {{15, 5, kBlue}, {20, 5, kRed}, {36, 5, kGreen}}},
        {15, 0.25, 80, {{4, 5, kGreen}, {47, 5, kRed}, {48, 5, kBlue}}},
        {16, 0.5, 80, {{20, 23, kBlue}, {20, 24, kGreen}}},
        {17, 0.5, 80, {{20, 23, kGreen}, {20, 24, kBlue}}},
        // Interlaced, 8 steps: strips 8 wide at 16 i, then the wipe from k > 4 on.
        {10, 0.25, 8, {{7, 5, kBlue}, {8, 5, kRed}, {20, 5, kBlue}, {39, 5, kBlue}, {40, 5, kRed}}},
        {10,
         0.75,
         8,
         {{8, 5, kBlue}, {31, 5, kBlue}, {40, 5, kRed}, {48, 5, kBlue}, {56, 5, kRed}}},
        {10, 1, 8, {{20, 5, kBlue}, {60, 40, kBlue}}},
        {11, 0.25, 8, {{0, 5, kRed}, {31, 5, kRed}, {32, 5, kBlue}, {48, 5, kBlue}}},
        {12, 0.25, 8, {{30, 5, kBlue}, {30, 6, kRed}, {30, 12, kBlue}, {30, 30, kRed}}},
        {13, 0.75, 8, {{30, 2, kBlue}, {30, 8, kRed}, {30, 14, kBlue}, {30, 24, kBlue}}},
        {18, 0.25, 80, {{32, 24, kBlue}, {10, 24, kRed}, {45, 24, kRed}, {32, 15, kRed}}},
        {19, 1, 80, {{0, 0, kBlue}, {20, 30, kBlue}, {63, 47, kBlue}}},
        {20, 0, 80, {{30, 30, kRed}}},
        {20, 1, 80, {{30, 30, kBlue}}},
        {21, 0.5, 80, {{30, 30, kBlack}}},
    };
    for (const Case& c : cases) {
        Frame(c.kind, c.f, c.steps);
        for (const Probe& p : c.probes)
            EXPECT_EQ(Pixel(p.x, p.y), p.color)
                << "kind " << c.kind << " f " << c.f << " at " << p.x << "," << p.y;
    }
}

TEST_F(Transitions, FadesMixThePictures) {
    auto channels = [&](int x, int y) {
        const uint32_t c = Pixel(x, y);
        return std::vector<int>{int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)};
    };
    auto near = [](const std::vector<int>& got, const std::vector<int>& want) {
        for (size_t i = 0; i < 3; ++i)
            if (std::abs(got[i] - want[i]) > 1) return false;
        return true;
    };
    Frame(20, 0.5);  // the new picture with alpha 0.5 (128 of 255) over the old
    EXPECT_TRUE(near(channels(30, 30), {127, 0, 128}));
    Frame(21, 0.25);  // through black: the old picture with alpha 0.5
    EXPECT_TRUE(near(channels(30, 30), {128, 0, 0}));
    Frame(21, 0.75);
    EXPECT_TRUE(near(channels(30, 30), {0, 0, 128}));
}

// Two rooms in the game, entered through the room changes.
struct RoomChange : Transitions {
    void SetUp() override {
        Transitions::SetUp();
        for (uint32_t color : {kRed, kBlue}) {
            auto r = std::make_unique<CRoom>();
            r->Width = 64;
            r->Height = 48;
            r->Color = int32_t(color);
            game.rooms.Add(std::move(r), "room");
        }
        world->rooms.clear();
        world->rooms.resize(2);
        EnterRoom(*world, 0, false);
    }
    std::string Global(const std::string& name) {
        RValue v = test::RunExpression(engine, "string(global." + name + ")").result;
        return std::string(v.text.view());
    }
};

TEST_F(RoomChange, AGameTransitionGetsBothPicturesForEveryStep) {
    auto script = std::make_unique<CScript>();
    script->SetScriptText(
        "global.args += string(argument0 != argument1) + string(argument2) + 'x' + "
        "string(argument3) + ' ' + string(argument4) + ';';"
        "draw_surface(argument1, 0, 0);");
    game.scripts.Add(std::move(script), "wipe_in");
    EXPECT_EQ(test::RunExpression(engine, "transition_define(30, 'wipe_in')").result.real, 1);
    EXPECT_EQ(test::RunExpression(engine, "transition_exists(30)").result.real, 1);
    test::RunCode(engine, "global.args = ''; transition_steps = 2; transition_kind = 30;");
    GotoRoom(*world, 1);
    EXPECT_EQ(Global("args"), "164x48 0;164x48 0.50;164x48 1;");
    EXPECT_EQ(world->transition_kind, 0);
    EXPECT_EQ(g.surfaces.Target(), -1);
    EXPECT_EQ(world->transitions.surface_old, -1);
    EXPECT_EQ(world->transitions.surface_new, -1);
    g.device.Flush();
    EXPECT_EQ(Pixel(10, 10), kBlue);  // the last frame showed the new room
}

TEST_F(RoomChange, StepsBelowOneShowTwoFramesAndInvalidKindsNone) {
    auto script = std::make_unique<CScript>();
    script->SetScriptText("global.n += 1;");
    game.scripts.Add(std::move(script), "count");
    test::RunCode(engine, "global.n = 0; transition_define(40, 'count'); transition_steps = 0;");
    EXPECT_EQ(world->transition_steps, 1);
    world->transition_kind = 40;
    GotoRoom(*world, 0);
    EXPECT_EQ(Global("n"), "2");
    const int surfaces_before = g.surfaces.Create(1, 1);
    g.surfaces.Free(surfaces_before);
    for (int32_t kind : {0, 22, -3}) {
        world->transition_kind = kind;
        GotoRoom(*world, 1);
        EXPECT_EQ(Global("n"), "2") << kind;
        // No surfaces were made for it: the next one gets the same id.
        EXPECT_EQ(g.surfaces.Create(1, 1), surfaces_before) << kind;
        g.surfaces.Free(surfaces_before);
    }
    EXPECT_EQ(g.surfaces.Target(), -1);
}

TEST_F(RoomChange, DefiningNeedsAScriptOrExtensionFunction) {
    auto script = std::make_unique<CScript>();
    script->SetScriptText("x = 1;");
    game.scripts.Add(std::move(script), "mine");
    struct Case {
        const char* expr;
        double want;
    };
    const Case cases[] = {
        {"transition_define(25, 'mine')", 1},
        {"transition_exists(25)", 1},
        {"transition_define(26, 'sin')", 0},
        {"transition_exists(26)", 0},
        {"transition_define(27, 'nothing')", 0},
        {"transition_define(0, 'mine')", 1},
        {"transition_exists(0)", 0},
        {"transition_define(1000000, 'mine')", 1},
        {"transition_exists(1000000)", 0},
        {"transition_exists(21)", 1},
        {"transition_exists(22)", 0},
        {"transition_define(999999, 'mine')", 1},
        {"transition_exists(999999)", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(test::RunExpression(engine, c.expr).result.real, c.want) << c.expr;
}

TEST_F(RoomChange, FailingAndMissingFunctionsAreReported) {
    std::vector<std::string> errors;
    engine.host.show_error = [&](std::string_view t, bool) {
        errors.emplace_back(t);
        return ErrorChoice::kIgnore;
    };
    auto script = std::make_unique<CScript>();
    script->SetScriptText("x = no_such_variable;");
    game.scripts.Add(std::move(script), "broken");
    test::RunCode(engine, "transition_define(50, 'broken')");
    Frame(50, 0.5);
    Frame(51, 0.5);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("ERROR in transition function broken\r\n", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("no_such_variable"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[1], "Transition Function does not exist.");
}

}  // namespace
}  // namespace tb
