// Event lists, dispatch along the parent chain, action lists, time lines, alarms and the
// event functions, on a world built directly over a game made here.
#include "world/events.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resources/object.h"
#include "resources/timeline.h"
#include "runner/compile_stages.h"
#include "script/registry.h"
#include "script_harness.h"
#include "world/world.h"

namespace tb::test {
namespace {

// What the test built-ins saw.
std::vector<EventContext> g_contexts;
std::vector<bool> g_relative;

// test_context(): records the event context.
void TestContext(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue*) {
    g_contexts.push_back(e.event);
}
// test_pending(code): makes a change pending.
void TestPending(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    if (e.world) e.world->pending_change = RoundToInt32(args[0].real);
}
// test_relative(): records the relative flag of the running action.
void TestRelative(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue*) {
    g_relative.push_back(e.world && e.world->argument_relative);
}

class EventsTest : public ::testing::Test {
  protected:
    ScriptWorld sw;
    World world{sw.game, sw.engine};
    std::vector<std::pair<std::string, bool>> errors;  // shown texts, fatal

    EventsTest() {
        g_contexts.clear();
        g_relative.clear();
        sw.engine.functions.Register("test_context", &TestContext, 0);
        sw.engine.functions.Register("test_pending", &TestPending, 1);
        sw.engine.functions.Register("test_relative", &TestRelative, 0);
        sw.engine.host.show_error = [this](std::string_view t, bool fatal) {
            errors.emplace_back(std::string(t), fatal);
            return ErrorChoice::kIgnore;
        };
        EXPECT_TRUE(sw.Run("global.t = \"\"").ok);
    }

    std::string Trace() {
        RunResult r = sw.Eval("global.t");
        EXPECT_TRUE(r.ok) << r.message;
        return r.result.text.str();
    }
    void ClearTrace() { EXPECT_TRUE(sw.Run("global.t = \"\"").ok); }

    CObject& Object(int index) { return *sw.game.objects.Get(index); }

    // Compiles the actions from index `from` on (compiled ones must not compile again).
    void Compile(CEvent& e, size_t from = 0) {
        for (size_t i = from; i < e.actions.size(); ++i)
            ASSERT_TRUE(CompileAction(sw.engine, e.actions[i]));
    }
    void Append(CEvent& e, CAction a) {
        e.actions.push_back(std::move(a));
        Compile(e, e.actions.size() - 1);
    }
    // An event of the object made of code actions, compiled.
    CEvent& CodeEvent(int object, int kind, int number, std::vector<std::string> codes) {
        CEvent& e = *Object(object).GetOrCreateEvent(kind, number);
        const size_t from = e.actions.size();
        for (const std::string& c : codes) e.AddCodeAction(c);
        Compile(e, from);
        return e;
    }
    // An instance with its own variable `tag` (the tests' stand-in for a position).
    CInstance& Instance(int object, double tag = 0) {
        CInstance& inst = sw.AddInstance(object);
        SetTag(inst, tag);
        return inst;
    }
    void SetTag(CInstance& inst, double tag) {
        RunResult r = RunCode(sw.engine, "tag = " + std::to_string(tag), &inst, &inst);
        EXPECT_TRUE(r.ok) << r.message;
    }
    double Tag(CInstance& inst) { return RunExpression(sw.engine, "tag", &inst).result.real; }

    // A function action (ExecType 1) calling `function` with expression arguments.
    static CAction FunctionAction(int32_t function, std::vector<std::string> args) {
        CAction a;
        a.ExecType = 1;
        a.FunctionIndex = function;
        a.ArgumentCount = int32_t(args.size());
        a.ArgumentKinds.assign(args.size(), 0);
        a.ArgumentTexts = std::move(args);
        return a;
    }
    int Builtin(std::string_view name) { return sw.engine.functions.Find(name); }

    // Layout words: a letter appends itself; ?1 / ?0 a question answering true / false
    // (!1 / !0 the same with "not" set); ?n a false question applied to object `empty`
    // (which has no instances); { } begin and end; E else; X exit; Rn repeat n times; P makes
    // a room change pending.
    CEvent Layout(std::string_view words, int empty) {
        CEvent e;
        std::istringstream in{std::string(words)};
        std::string w;
        while (in >> w) {
            CAction a;
            if (w == "{" || w == "}" || w == "E" || w == "X") {
                a.Kind = w == "{" ? 1 : w == "}" ? 2 : w == "E" ? 3 : 4;
            } else if (w[0] == 'R') {
                a.Kind = 5;
                a.ArgumentCount = 1;
                a.ArgumentKinds = {0};
                a.ArgumentTexts = {w.substr(1)};
            } else if (w[0] == '?' || w[0] == '!') {
                a = FunctionAction(Builtin("abs"), {w[1] == '1' ? "1" : "0"});
                a.IsQuestion = true;
                a.Not = w[0] == '!';
                if (w[1] == 'n') {
                    a.UseApplyTo = true;
                    a.AppliesTo = empty;
                }
            } else if (w == "P") {
                e.AddCodeAction("test_pending(4)");
                continue;
            } else {
                e.AddCodeAction("global.t += \"" + w + "\"");
                continue;
            }
            e.actions.push_back(std::move(a));
        }
        Compile(e);
        return e;
    }
};

TEST_F(EventsTest, ActionListLayouts) {
    const int empty = sw.AddObject("obj_empty");
    CInstance& self = Instance(sw.AddObject("obj_self"));
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"A B C", "ABC"},
        {"?1 A B", "AB"},
        {"?0 A B", "B"},
        {"!0 A B", "AB"},
        {"!1 A B", "B"},
        {"?1 { A B } C", "ABC"},
        {"?0 { A { B } C } D", "D"},
        {"?1 A E B C", "AC"},
        {"?0 A E B C", "BC"},
        {"?0 { A } E { B C } D", "BCD"},
        {"?1 ?1 A E B C", "AC"},
        {"?1 ?0 A E B C", "BC"},
        // The inner question's else becomes the outer one's when the outer question is false.
        {"?0 ?1 A E B C", "BC"},
        {"?0 ?0 A E B C", "BC"},
        {"?0 R3 A E B", "B"},
        {"R2.5 A B", "AAB"},
        {"R3.5 A B", "AAAAB"},
        {"R0 A B", "B"},
        {"R-2 A B", "B"},
        {"R2 { A B } C", "ABABC"},
        {"R2 ?1 A B", "AAB"},
        {"R2 ?0 A B", "B"},
        {"R2 R2 A B", "AAAAB"},
        {"A X B", "A"},
        {"?0 X A", "A"},
        {"?1 X A", ""},
        {"{ A X B } C", "A"},
        {"R3 { A X } B", "A"},
        {"A } B", "AB"},
        {"A E B", "AB"},
        {"{ A B", "AB"},
        {"?0 { A B", ""},
        {"A ?1", "A"},
        {"R2", ""},
        {"?n A E B C", "AC"},
        // A pending change ends the list, also inside blocks and repeats.
        {"A P B", "A"},
        {"R3 { A P } B", "A"},
        {"?1 { P A } E B C", ""},
    };
    for (const auto& [words, trace] : cases) {
        ClearTrace();
        world.pending_change = kNoChange;
        const CEvent e = Layout(words, empty);
        RunActions(world, e, &self, &self);
        EXPECT_EQ(Trace(), trace) << words;
    }
}

TEST_F(EventsTest, DeepNestingEndsInsteadOfOverflowing) {
    CInstance& self = Instance(sw.AddObject("obj"));
    CEvent e;
    CAction begin;
    begin.Kind = 1;
    e.actions.assign(200000, begin);
    e.AddCodeAction("global.t += \"A\"");
    Compile(e);
    RunActions(world, e, &self, &self);
    EXPECT_EQ(Trace(), "");
}

TEST_F(EventsTest, AppliesToTargets) {
    const int parent = sw.AddObject("obj_parent");
    const int child = sw.AddObject("obj_child", parent);
    const int runner = sw.AddObject("obj_runner");
    CInstance& a = Instance(parent, 1);
    Instance(child, 2);
    CInstance& gone = Instance(child, 9);
    gone.destroyed = true;
    Instance(parent, 3);
    CInstance& self = Instance(runner, 7);
    CInstance& other = Instance(runner, 8);
    sw.room.RebuildObjectLists(sw.game.objects);
    const int script = sw.AddScript("scr_ask", "global.t += string(tag); return tag < argument0;");

    auto run = [&](int32_t target, bool question, std::string_view limit) {
        ClearTrace();
        CEvent e;
        if (question) {
            e.actions.push_back(FunctionAction(kScriptIdBase + script, {std::string(limit)}));
            e.actions.back().IsQuestion = true;
        } else {
            e.AddCodeAction("global.t += string(tag) + \"/\" + string(other.tag) + \" \"");
        }
        e.actions.back().UseApplyTo = true;
        e.actions.back().AppliesTo = target;
        e.AddCodeAction("global.t += \"+\"");
        Compile(e);
        RunActions(world, e, &self, &other);
        return Trace();
    };
    EXPECT_EQ(run(-1, false, ""), "7/8 +");
    EXPECT_EQ(run(-2, false, ""), "8/7 +");
    // Every instance of the family that is not destroyed, in table order, with the event's
    // other as other.
    EXPECT_EQ(run(parent, false, ""), "1/8 2/8 3/8 +");
    EXPECT_EQ(run(child, false, ""), "2/8 +");
    EXPECT_EQ(run(-5, false, ""), "+");
    EXPECT_EQ(run(999, false, ""), "+");
    // A question over a family: true only when true for all; the first false ends the round.
    EXPECT_EQ(run(parent, true, "10"), "123+");
    EXPECT_EQ(run(parent, true, "2"), "12");
    EXPECT_EQ(run(-5, true, "0"), "+");
    EXPECT_EQ(run(999, true, "0"), "+");

    // The walk stops once a change is pending.
    ClearTrace();
    CEvent e;
    e.AddCodeAction("global.t += string(tag); test_pending(1)");
    e.actions.back().AppliesTo = parent;
    Compile(e);
    RunActions(world, e, &self, &other);
    EXPECT_EQ(Trace(), "1");
    EXPECT_EQ(Tag(a), 1);
}

TEST_F(EventsTest, AppliesToWalkSurvivesShrinkingTable) {
    const int obj = sw.AddObject("obj");
    for (int i = 0; i < 3; ++i) Instance(obj, i);
    CInstance& self = Instance(sw.AddObject("obj_self"));
    // Each run removes the table's last entry (as a deactivation rebuilding it would): the
    // walk ends at the table's new end instead of reading past it.
    auto shrink = [](ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue*) {
        auto& table = e.room->family_instances[0];
        if (!table.empty()) table.pop_back();
    };
    sw.engine.functions.Register("test_shrink", shrink, 0);
    CEvent e;
    e.AddCodeAction("global.t += string(tag); test_shrink();");
    e.actions.back().AppliesTo = obj;
    Compile(e);
    RunActions(world, e, &self, &self);
    EXPECT_EQ(Trace(), "01");
}

TEST_F(EventsTest, CodeActionArgumentsAndRelative) {
    CInstance& self = Instance(sw.AddObject("obj"));
    CEvent e;
    CAction code;  // a library action that runs code with two arguments
    code.ExecType = 2;
    code.UseRelative = true;
    code.Relative = true;
    code.Code =
        "global.t += string(argument0) + \",\" + argument1 + \",\" + string(argument2);"
        "argument5 = 4; test_relative();";
    code.ArgumentCount = 2;
    code.ArgumentKinds = {0, 1};
    code.ArgumentTexts = {"tag + 40", "text"};
    e.actions.push_back(code);
    CAction call = FunctionAction(Builtin("test_relative"), {});
    call.UseRelative = false;
    call.Relative = true;  // not offered: reads false
    e.actions.push_back(call);
    Compile(e);

    SetTag(self, 2);
    sw.engine.arguments[0] = RValue::Real(7);
    sw.engine.arguments[2] = RValue::Real(9);
    world.argument_relative = true;
    RunActions(world, e, &self, &self);
    EXPECT_EQ(Trace(), "42,text,9");
    EXPECT_EQ(g_relative, (std::vector<bool>{true, false}));
    // Code actions put the argument slots back; function actions leave the flag set.
    EXPECT_EQ(sw.engine.arguments[0].real, 7);
    EXPECT_TRUE(sw.engine.arguments[1].text.empty());
    EXPECT_EQ(sw.engine.arguments[2].real, 9);
    EXPECT_EQ(sw.engine.arguments[5].real, 0);
    EXPECT_FALSE(world.argument_relative);
}

TEST_F(EventsTest, FunctionActionsCallScriptsBuiltinsAndExtensions) {
    CInstance& self = Instance(sw.AddObject("obj"));
    const int script = sw.AddScript("scr_add", "global.t += string(argument0 + argument1);");
    std::vector<std::pair<int, int>> calls;  // extension index, argc
    sw.engine.host.call_extension = [&](int index, CInstance*, CInstance*, int argc, const RValue*,
                                        RValue& result) {
        calls.emplace_back(index, argc);
        result.SetReal(1);
        return true;
    };
    CEvent e;
    e.actions.push_back(FunctionAction(kScriptIdBase + script, {"2", "tag + 3"}));
    e.actions.push_back(FunctionAction(kExtensionIdBase + 4, {"1", "2", "3"}));
    e.actions.push_back(FunctionAction(-1, {"1"}));  // unresolved: calls nothing
    e.actions.push_back(FunctionAction(Builtin("test_context"), {}));
    Compile(e);
    SetTag(self, 10);
    RunActions(world, e, &self, &self);
    EXPECT_EQ(Trace(), "15");
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{4, 3}}));
    ASSERT_EQ(g_contexts.size(), 1u);
    EXPECT_EQ(g_contexts[0].action, 3);
}

TEST_F(EventsTest, RuntimeErrorNamesTheAction) {
    const int obj = sw.AddObject("obj_thing");
    CInstance& self = Instance(obj);
    CodeEvent(obj, ev_step, ev_step_normal, {"global.t += \"A\"", "x = undefined_thing;"});
    Dispatch(world, &self, &self, ev_step, ev_step_normal);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].first.find("action number 2\r\nof  Step Event\r\nfor object obj_thing:"),
              std::string::npos)
        << errors[0].first;
    EXPECT_FALSE(errors[0].second);

    // A failing script called by a function action reports its chain of script names.
    const int script = sw.AddScript("scr_bad", "return missing_var;");
    CEvent& e = CodeEvent(obj, ev_step, ev_step_end, {});
    Append(e, FunctionAction(kScriptIdBase + script, {}));
    Dispatch(world, &self, &self, ev_step, ev_step_end);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[1].first.find("action number 1\r\nof End Step Event\r\nfor object "
                                   "obj_thing:\r\n\r\nIn script scr_bad:\r"),
              std::string::npos)
        << errors[1].first;
}

TEST_F(EventsTest, ParentChainAndContext) {
    const int parent = sw.AddObject("obj_parent");
    const int child = sw.AddObject("obj_child", parent);
    CodeEvent(parent, ev_step, ev_step_normal, {"global.t += \"P\"; test_context();"});
    Object(child).GetOrCreateEvent(ev_step, ev_step_normal);  // present but empty
    CodeEvent(parent, ev_other, ev_user0 + 1, {"global.t += \"U\"; test_context();"});
    CodeEvent(child, ev_step, ev_step_begin,
              {"global.t += \"C\"", "event_inherited(); test_context();",
               "event_user(1); event_perform(ev_step, ev_step_normal); test_context();"});
    CodeEvent(parent, ev_step, ev_step_begin, {"global.t += \"p\""});
    CInstance& inst = Instance(child);

    sw.engine.event = {-7, 9, 9, 9};
    Dispatch(world, &inst, &inst, ev_step, ev_step_normal);
    EXPECT_EQ(Trace(), "P");
    ASSERT_EQ(g_contexts.size(), 1u);
    EXPECT_EQ(g_contexts[0].object, parent);
    EXPECT_EQ(g_contexts[0].type, ev_step);
    EXPECT_EQ(sw.engine.event.object, -7);  // restored
    EXPECT_EQ(sw.engine.event.action, 9);

    ClearTrace();
    g_contexts.clear();
    Dispatch(world, &inst, &inst, ev_step, ev_step_begin);
    EXPECT_EQ(Trace(), "CpUP");
    ASSERT_EQ(g_contexts.size(), 4u);
    // After each nested dispatch the child's own context is back, action index included.
    EXPECT_EQ(g_contexts[0].object, child);
    EXPECT_EQ(g_contexts[0].action, 1);
    EXPECT_EQ(g_contexts[1].object, parent);
    EXPECT_EQ(g_contexts[1].number, ev_user0 + 1);
    EXPECT_EQ(g_contexts[2].object, parent);
    EXPECT_EQ(g_contexts[2].number, ev_step_normal);
    EXPECT_EQ(g_contexts[3].object, child);
    EXPECT_EQ(g_contexts[3].number, ev_step_begin);
    EXPECT_EQ(g_contexts[3].action, 2);

    // event_perform_object starts the lookup at the given object.
    ClearTrace();
    RunResult r =
        sw.Run("event_perform_object(" + std::to_string(child) + ", ev_step, ev_step_normal)");
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(Trace(), "P");
    // event_inherited follows the context's object: to its parent, or nowhere.
    const std::pair<EventContext, std::string_view> inherited[] = {
        {{child, ev_step, ev_step_begin, 0}, "p"},
        {{parent, ev_step, ev_step_begin, 0}, ""},
        {{-1, ev_step, ev_step_begin, 0}, ""},
        {{child, kTimeLineEventType, 0, 0}, ""},
    };
    for (const auto& [context, trace] : inherited) {
        ClearTrace();
        sw.engine.event = context;
        EXPECT_TRUE(sw.Run("event_inherited()").ok);
        EXPECT_EQ(Trace(), trace) << context.object;
    }
}

TEST_F(EventsTest, CollisionLookupWithTheOthersAncestor) {
    const int p = sw.AddObject("obj_p");
    const int b = sw.AddObject("obj_b", p);
    const int bchild = sw.AddObject("obj_bchild", b);
    const int a = sw.AddObject("obj_a");
    const int achild = sw.AddObject("obj_achild", a);
    sw.AddObject("obj_unrelated");
    CodeEvent(a, ev_collision, p, {"global.t += \"ap\" + string(other.tag)"});
    CodeEvent(achild, ev_collision, b, {"global.t += \"cb\""});
    Object(b).GetOrCreateEvent(ev_collision, a);  // no actions: absent

    BuildEventLists(sw.game, world.events);
    const std::vector<std::pair<int32_t, int32_t>> pairs = {
        {a, p}, {a, b}, {a, bchild}, {achild, p}, {achild, b}, {achild, bchild}};
    EXPECT_EQ(world.events.collision_pairs, pairs);

    CInstance& ia = Instance(a);
    CInstance& ic = Instance(achild);
    CInstance& ib = Instance(bchild, 5);
    Dispatch(world, &ia, &ib, ev_collision, bchild);
    Dispatch(world, &ic, &ib, ev_collision, bchild);  // own event with b wins over a's with p
    Dispatch(world, &ic, &ib, ev_collision, p);
    EXPECT_EQ(Trace(), "ap5cbap5");
}

TEST_F(EventsTest, EventListsCoverTheListedNumbers) {
    const int parent = sw.AddObject("obj_parent");
    sw.game.objects.Add(nullptr, "");
    const int child = sw.AddObject("obj_child", parent);
    const int other = sw.AddObject("obj_other");
    for (auto [kind, number] : std::vector<std::pair<int, int>>{{ev_alarm, 12},
                                                                {ev_alarm, 13},
                                                                {ev_step, 16},
                                                                {ev_step, 17},
                                                                {ev_keyboard, 128},
                                                                {ev_keypress, 129},
                                                                {ev_draw, 0},
                                                                {ev_draw, 1},
                                                                {ev_other, ev_user0}})
        CodeEvent(parent, kind, number, {"x = 1"});
    Object(other).GetOrCreateEvent(ev_create, 0);  // no actions
    CodeEvent(other, ev_draw, 0, {"x = 1"});
    CodeEvent(other, ev_collision, parent, {"x = 1"});

    world.events.objects[ev_create][0].push_back(99);  // stale entries go
    BuildEventLists(sw.game, world.events);
    const EventLists& l = world.events;
    EXPECT_EQ(l.Of(ev_alarm, 12), (std::vector<int32_t>{parent, child}));
    EXPECT_TRUE(l.Of(ev_alarm, 13).empty());
    EXPECT_EQ(l.Of(ev_step, 16), (std::vector<int32_t>{parent, child}));
    EXPECT_TRUE(l.Of(ev_step, 17).empty());
    EXPECT_EQ(l.Of(ev_keyboard, 128), (std::vector<int32_t>{parent, child}));
    EXPECT_TRUE(l.Of(ev_keypress, 129).empty());
    EXPECT_EQ(l.Of(ev_draw, 0), (std::vector<int32_t>{parent, child, other}));
    EXPECT_TRUE(l.Of(ev_draw, 1).empty());
    EXPECT_EQ(l.Of(ev_other, ev_user0), (std::vector<int32_t>{parent, child}));
    EXPECT_TRUE(l.Of(ev_create, 0).empty());
    EXPECT_TRUE(l.Of(ev_collision, parent).empty());
    const std::vector<std::pair<int32_t, int32_t>> pairs = {{other, parent}, {other, child}};
    EXPECT_EQ(l.collision_pairs, pairs);
}

TEST_F(EventsTest, WalksVisitListedObjectsInOrder) {
    const int o1 = sw.AddObject("obj_1");
    const int o2 = sw.AddObject("obj_2");
    sw.AddObject("obj_3");
    CodeEvent(o2, ev_step, ev_step_normal, {"global.t += \"b\" + string(tag)"});
    CodeEvent(o1, ev_step, ev_step_normal, {"global.t += \"a\" + string(tag)"});
    Instance(o2, 1);
    Instance(2, 9);
    Instance(o1, 2);
    Instance(o2, 3).destroyed = true;
    Instance(o2, 4);
    BuildEventLists(sw.game, world.events);
    DispatchWalk(world, ev_step, ev_step_normal);
    EXPECT_EQ(Trace(), "a2b1b4");

    ClearTrace();
    DispatchToAll(world, ev_step, ev_step_normal);
    EXPECT_EQ(Trace(), "b1a2b4");

    // Out of range event numbers walk nothing.
    DispatchWalk(world, ev_step, kEventNumbers);
    DispatchWalk(world, -1, 0);
    Dispatch(world, nullptr, nullptr, ev_step, ev_step_normal);
    EXPECT_EQ(Trace(), "b1a2b4");
}

TEST_F(EventsTest, InstancesCreatedDuringAWalkWaitForTheNext) {
    const int o = sw.AddObject("obj");
    auto spawn = [](ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue*) {
        CInstance& n = e.room->AddInstance(e.game->objects, e.game->last_instance_id, 0, 5, 0);
        RunCode(e, "tag = 5", &n, &n);
    };
    const int id = sw.engine.functions.Register("test_spawn", spawn, 0);
    CEvent& e = CodeEvent(o, ev_step, ev_step_normal, {"global.t += string(tag)"});
    Append(e, FunctionAction(id, {}));
    Instance(o, 1);
    BuildEventLists(sw.game, world.events);
    DispatchWalk(world, ev_step, ev_step_normal);
    EXPECT_EQ(Trace(), "1");
    DispatchWalk(world, ev_step, ev_step_normal);
    EXPECT_EQ(Trace(), "115");
}

TEST_F(EventsTest, PendingChangeStopsActionsAndDispatch) {
    const int o = sw.AddObject("obj");
    CodeEvent(o, ev_step, ev_step_normal,
              {"global.t += \"A\"", "test_pending(3); global.t += \"B\"", "global.t += \"C\""});
    CodeEvent(o, ev_alarm, 0, {"global.t += \"!\""});
    CInstance& i1 = Instance(o);
    CInstance& i2 = Instance(o);
    i1.alarm[0] = 1;
    i2.alarm[0] = 1;
    BuildEventLists(sw.game, world.events);
    DispatchWalk(world, ev_step, ev_step_normal);
    // The running code ends; the next action and the next instance do not run.
    EXPECT_EQ(Trace(), "AB");
    EXPECT_EQ(world.pending_change, 3);
    Dispatch(world, &i1, &i1, ev_step, ev_step_normal);
    DispatchToAll(world, ev_step, ev_step_normal);
    RunAlarms(world);
    EXPECT_EQ(Trace(), "AB");
    EXPECT_EQ(i2.alarm[0], 0);  // counted down, not fired
}

TEST_F(EventsTest, Alarms) {
    const int with = sw.AddObject("obj_alarm");
    const int without = sw.AddObject("obj_plain");
    CodeEvent(with, ev_alarm, 0, {"global.t += \"0\" + string(tag)"});
    CodeEvent(with, ev_alarm, 11, {"global.t += \"B\" + string(tag)"});
    CInstance& one = Instance(with, 1);
    CInstance& zero = Instance(with, 2);
    CInstance& plain = Instance(without, 3);
    one.alarm[0] = 1;
    one.alarm[11] = 2;
    zero.alarm[0] = 0;
    plain.alarm[0] = 5;
    BuildEventLists(sw.game, world.events);
    for (int s = 0; s < 3; ++s) {
        RunAlarms(world);
        EXPECT_TRUE(sw.Run("global.t += \"|\"").ok);
    }
    EXPECT_EQ(Trace(), "01|B1||");
    EXPECT_EQ(one.alarm[0], -1);
    EXPECT_EQ(zero.alarm[0], -1);
    EXPECT_EQ(plain.alarm[0], 5);  // no alarm event: not counted down
}

TEST_F(EventsTest, TimeLines) {
    auto tl = std::make_unique<CTimeLine>();
    for (int t : {0, 5, 10})
        tl->AddMoment(t).AddCodeAction("global.t += \"" + std::to_string(t) + "\"");
    tl->GetMomentEvent(1)->AddCodeAction("test_context()");
    for (int m = 0; m < tl->Count(); ++m) Compile(*tl->GetMomentEvent(m));
    sw.game.timelines.Add(nullptr, "");
    const int index = sw.game.timelines.Add(std::move(tl), "tl_main");
    const int o = sw.AddObject("obj");

    const std::pair<double, std::string_view> cases[] = {
        {1, "0|||||5|||||10||"}, {5, "0|5|10||||||||||"}, {2.5, "0||5||10||||||||"},
        {0, "||||||||||||"},     {-1, "||||||||||||"},
    };
    for (const auto& [speed, trace] : cases) {
        ClearTrace();
        sw.room.ClearInstances();
        sw.room.RebuildObjectLists(sw.game.objects);
        CInstance& inst = Instance(o);
        inst.timeline_index = index;
        inst.timeline_speed = speed;
        Instance(o).timeline_index = 0;  // names no time line
        Instance(o).timeline_index = 99;
        for (int s = 0; s < 12; ++s) {
            RunTimeLines(world);
            EXPECT_TRUE(sw.Run("global.t += \"|\"").ok);
        }
        EXPECT_EQ(Trace(), trace) << speed;
    }
    ASSERT_FALSE(g_contexts.empty());
    EXPECT_EQ(g_contexts[0].object, index);
    EXPECT_EQ(g_contexts[0].type, kTimeLineEventType);
    EXPECT_EQ(g_contexts[0].number, 5);
    EXPECT_EQ(g_contexts[0].action, 1);
}

TEST_F(EventsTest, TimeLineMomentsMayChangeWhileRunning) {
    auto tl = std::make_unique<CTimeLine>();
    tl->AddMoment(0).AddCodeAction("global.t += \"a\"; test_grow()");
    tl->AddMoment(1).AddCodeAction("global.t += \"b\"");
    auto grow = [](ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue*) {
        CTimeLine& t = *e.game->timelines.Get(0);
        for (int i = 0; i < 100; ++i) t.AddMoment(-100 - i);  // moves every moment
    };
    sw.engine.functions.Register("test_grow", grow, 0);
    for (int m = 0; m < tl->Count(); ++m) Compile(*tl->GetMomentEvent(m));
    sw.game.timelines.Add(std::move(tl), "tl");
    CInstance& inst = Instance(sw.AddObject("obj"));
    inst.timeline_index = 0;
    inst.timeline_speed = 2;
    RunTimeLines(world);
    // The walk keeps the indices it computed (moment 1 has moved on to index 101); what
    // matters is that the moved moments are not run from freed storage.
    EXPECT_EQ(Trace(), "a");
    EXPECT_EQ(inst.timeline_position, 2);
}

TEST_F(EventsTest, LibraryInitCode) {
    sw.game.library_init_code = {"self.v = 3; global.t += \"L\" + string(other.v)", "",
                                 "global.t += \"M\""};
    EXPECT_TRUE(RunLibraryInitCode(world));
    EXPECT_EQ(Trace(), "L3M");
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors[0].first);

    sw.game.library_init_code = {"global.t += \"N\"", "x = = 1", "global.t += \"Z\""};
    EXPECT_FALSE(RunLibraryInitCode(world));
    EXPECT_EQ(Trace(), "L3MN");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first.rfind("COMPILATION ERROR in library initialization code\r", 0), 0u);
    EXPECT_TRUE(errors[0].second);
}

TEST_F(EventsTest, EventFunctionsWithoutWorldDoNothing) {
    ScriptWorld bare;
    const int o = bare.AddObject("obj");
    CEvent& e = *bare.game.objects.Get(o)->GetOrCreateEvent(ev_other, ev_user0);
    e.AddCodeAction("global.t += \"U\"");
    ASSERT_TRUE(CompileAction(bare.engine, e.actions[0]));
    ASSERT_TRUE(bare.Run("global.t = \"\"").ok);
    for (std::string_view code :
         {"event_user(0)", "event_perform(ev_other, ev_user0)",
          "event_perform_object(0, ev_other, ev_user0)", "event_inherited()"}) {
        RunResult r = bare.Run(code);
        EXPECT_TRUE(r.ok) << code << r.message;
    }
    EXPECT_EQ(bare.Eval("global.t").result.text.str(), "");
}

}  // namespace
}  // namespace tb::test
