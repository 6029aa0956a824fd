// The debug window's rules: the value display, watches, the information texts, the speed
// command, and pausing and single-stepping the game loop.
#include "dialogs/debug_info.h"

#include <gtest/gtest.h>

#include "harness.h"
#include "resources/object.h"
#include "resources/room.h"
#include "runner/runner.h"
#include "script_harness.h"
#include "world/world.h"

namespace tb {
namespace {

TEST(DebugValues, DisplayRule) {
    const std::pair<RValue, const char*> cases[] = {
        {RValue::Real(0.5), "0.50"},
        {RValue::Real(0.125), "0.1250"},
        {RValue::Real(1.0 / 3), "0.3333333333"},
        {RValue::Real(3), "3"},
        {RValue::Real(-2), "-2"},
        {RValue::Real(0.1), "0.10"},
        {RValue::Real(1e-13), "0"},
        {RValue::Real(-0.000001), "-0.000001"},
        {RValue::Real(1.00000001), "1.00000001"},
        {RValue::String("abc"), "abc"},
        {RValue::String("1.5"), "1.5"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(DebugValueText(v), text) << text;
    EXPECT_EQ(DebugVariableLine("x", RValue::Real(5)), "x:                  5\n");
    EXPECT_EQ(DebugVariableLine("a_very_long_variable_name", RValue::Real(1)),
              "a_very_long_variable_name:1\n");
}

struct DebugTexts : test::FunctionTest {
    DebugSession session;
};

TEST_F(DebugTexts, WatchesUpdateAndReportCompileErrors) {
    Run("global.a = 0.25");
    session.AddWatch("global.a * 2");
    session.AddWatch("1 +");
    session.AddWatch("'t' + 'u'");
    session.RefreshWatches(w.engine);
    EXPECT_EQ(session.watches[0].value, "0.50");
    EXPECT_EQ(session.watches[1].value, "COMPILE ERROR");
    EXPECT_EQ(session.watches[2].value, "tu");
    Run("global.a = 2");
    session.RefreshWatches(w.engine);
    EXPECT_EQ(session.watches[0].value, "4");
    session.watches[1].expression = "id";  // the temporary instance's id
    session.RefreshWatches(w.engine);
    EXPECT_EQ(session.watches[1].value, "0");
    EXPECT_TRUE(errors.empty());
}

TEST_F(DebugTexts, InstancesLocalsAndGlobals) {
    const int ball = w.AddObject("ball");
    CInstance& a = w.AddInstance(ball);
    a.x = 12;
    a.variables.Set(w.engine.VariableIdOf("energy"), 0, RValue::Real(0.5));
    CInstance& b = w.AddInstance(ball);
    const std::string all = DebugSession::AllInstancesText(w.engine);
    char line[64];
    std::snprintf(line, sizeof line, "%6d %14s %14s\n", a.id, "ball", "");
    EXPECT_EQ(all.rfind("   Id     Object Name    Sprite Name\n" + std::string(36, '_') + "\n", 0),
              0u);
    EXPECT_NE(all.find(line), std::string::npos) << all;

    std::string local = DebugSession::LocalVariablesText(w.engine, "ball");
    EXPECT_EQ(local.rfind(DebugVariableLine("x", RValue::Real(12)), 0), 0u) << local;
    EXPECT_NE(local.find(DebugVariableLine("image_scale", RValue::Real(0))), std::string::npos);
    EXPECT_NE(local.find(DebugVariableLine("energy", RValue::Real(0.5))), std::string::npos);
    EXPECT_EQ(DebugSession::LocalVariablesText(w.engine, std::to_string(b.id)).find("energy"),
              std::string::npos);  // the second one has no own variables
    a.destroyed = b.destroyed = true;
    EXPECT_EQ(DebugSession::LocalVariablesText(w.engine, "ball"), "NO SUCH INSTANCE EXISTS");

    Run("global.zeta = 'z'");
    const std::string globals = DebugSession::GlobalVariablesText(w.engine);
    EXPECT_EQ(globals.rfind(DebugVariableLine("mouse_x", RValue::Real(0)), 0), 0u) << globals;
    EXPECT_NE(
        globals.find(std::string(32, '_') + "\n" + DebugVariableLine("score", RValue::Real(0))),
        std::string::npos)
        << globals;
    EXPECT_NE(globals.find(DebugVariableLine("zeta", RValue::String("z"))), std::string::npos);
}

TEST_F(DebugTexts, SetSpeedTakesOnlyNumbers) {
    w.engine.room = &w.room;
    w.room.Speed = 30;
    EXPECT_FALSE(DebugSession::SetSpeed(w.engine, "abc"));
    EXPECT_EQ(w.room.Speed, 30);
    EXPECT_TRUE(DebugSession::SetSpeed(w.engine, " 60 "));
    EXPECT_EQ(w.room.Speed, 60);
    EXPECT_EQ(session.ExecuteCode(w.engine, "global.b = 5"), "");
    EXPECT_TRUE(test::IsReal(Eval("global.b"), 5));
    EXPECT_EQ(session.ExecuteCode(w.engine, "global.b = "), "COMPILE ERROR");
    EXPECT_EQ(session.last_code, "global.b = ");
}

// Pauses after step 2, steps once, then stops: exactly one step runs while paused and the
// game ends with its game-end event.
TEST(DebugLoop, StepWhilePausedRunsExactlyOneStep) {
    Game g = test::MinimalGame();
    g.last_instance_id = 100000;
    test::AddCodeObject(g, "counter", ev_step, ev_step_normal,
                        "global.n += 1; show_debug_message('step ' + string(global.n));");
    g.objects.Get(0)->GetOrCreateEvent(ev_create, 0)->AddCodeAction("global.n = 0;");
    g.objects.Get(0)->GetOrCreateEvent(ev_other, 3)->AddCodeAction("show_debug_message('end');");
    auto inst = std::make_unique<CInstance>();
    inst->id = ++g.last_instance_id;
    inst->object_index = 0;
    g.rooms.Get(0)->instances.push_back(std::move(inst));

    test::ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    RunnerOptions options;
    options.headless = true;
    options.steps = 100;
    options.game_path = dir / "g.bin";
    std::vector<std::string> trace;
    RunnerHost host;
    host.script.debug_message = [&](std::string_view t) { trace.emplace_back(t); };
    RunnerStages stages;
    int waits = 0;
    DebugSession session;
    stages.attach_world = [&](Runner&, World& w) {
        w.hooks.debug_refresh = [&w, &waits, &trace, &session] {
            if (w.step_number == 2) DebugSession::Pause(w);
            session.AfterStep(w, [&] {
                ++waits;
                trace.push_back("paused");
                if (waits == 1) session.Step(w);
                if (waits == 2) DebugSession::Stop(w);
            });
        };
    };
    Runner runner(options, host, stages);
    ASSERT_TRUE(runner.StartRunner());
    runner.Shutdown();
    EXPECT_EQ(trace,
              (std::vector<std::string>{"step 1", "step 2", "paused", "step 3", "paused", "end"}));
}

}  // namespace
}  // namespace tb
