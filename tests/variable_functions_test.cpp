// Reading and writing variables by name, and the clipboard, window and priority functions.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "script/interpreter.h"
#include "script_harness.h"
#include "system/clipboard.h"
#include "system/priority.h"

namespace tb::test {
namespace {

// Built-in variables for these tests: `x` as the instance's field (only where the real one
// is missing), `test_score` as one game-wide number (the real `score` needs a running world),
// and one without a setter.
double g_score = 0;
bool GetX(ScriptEngine&, CInstance* i, int32_t, RValue& out) {
    out = RValue::Real(i->x);
    return true;
}
bool SetX(ScriptEngine&, CInstance* i, int32_t, const RValue& v) {
    i->x = v.real;
    return true;
}
bool GetScore(ScriptEngine&, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(g_score);
    return true;
}
bool SetScore(ScriptEngine&, CInstance*, int32_t, const RValue& v) {
    g_score = v.real;
    return true;
}
bool GetFixed(ScriptEngine&, CInstance*, int32_t, RValue& out) {
    out = RValue::Real(77);
    return true;
}

class VariableFunctionsTest : public testing::Test {
  protected:
    void SetUp() override {
        BuiltinVariableTable& t = w.engine.builtin_variables;
        if (t.Find("x") < 0) t.Register("x", &GetX, &SetX);
        t.Register("test_score", &GetScore, &SetScore);
        t.Register("test_fixed_value", &GetFixed, nullptr);
        w.engine.host.show_error = [this](std::string_view t, bool) {
            errors.emplace_back(t);
            return ErrorChoice::kIgnore;
        };
    }
    RValue Run(std::string_view code) {
        RunResult r = w.Run(code);
        EXPECT_TRUE(r.ok) << code << ": " << r.message;
        return r.result;
    }
    ScriptWorld w;
    std::vector<std::string> errors;
};

TEST_F(VariableFunctionsTest, GetSetAndExistsByName) {
    struct Case {
        const char* code;
        double expected;
    };
    const Case cases[] = {
        // global
        {"return variable_global_exists('g1')", 0},
        {"global.g1 = 3; return variable_global_exists('g1')", 1},
        {"return variable_global_get('g1') + 1", 4},
        {"return variable_global_get('never_set')", 0},
        {"variable_global_set('g2', 6); return global.g2", 6},
        {"globalvar gv; gv = 2; return variable_global_get('gv')", 2},
        {"variable_global_array_set('ga', 3, 9); return global.ga[3] + global.ga[2]", 9},
        {"return variable_global_array_get('ga', 3)", 9},
        {"return variable_global_array_get('ga', 7)", 0},  // past the row: absent, 0
        {"variable_global_array2_set('gb', 2, 5, 4); return global.gb[2, 5]", 4},
        {"return variable_global_array2_get('gb', 2, 5)", 4},
        {"global.gs = 8; return variable_global_array2_get('gs', 0, 0)", 8},  // key 0: scalar
        // local (the calling instance)
        {"return variable_local_exists('l1')", 0},
        {"l1 = 5; return variable_local_exists('l1') + variable_local_get('l1')", 6},
        {"variable_local_set('l2', 3); return l2", 3},
        {"variable_local_array_set('la', 2, 1.5); return la[2] + la[1]", 1.5},
        {"return variable_local_array_get('la', 2)", 1.5},
        {"variable_local_array2_set('lb', 1, 0, 6); return lb[1, 0]", 6},
        {"return variable_local_array2_get('lb', 1, 0)", 6},
        {"return variable_local_exists('g1')", 0},  // globals are not self's
        // names are resolved at run time from text
        {"n = 'dyn' + 'four'; variable_local_set(n, 11); return dynfour", 11},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(IsReal(Run(c.code), c.expected)) << c.code;
    }
    EXPECT_TRUE(errors.empty()) << errors[0];
}

TEST_F(VariableFunctionsTest, LocalIgnoresVarLocalsAndGlobalvar) {
    EXPECT_TRUE(IsReal(Run("var v; v = 1; return variable_local_exists('v')"), 0));
    // gv is global through the table, but the local function writes self's own gv.
    EXPECT_TRUE(IsReal(Run("globalvar gv; gv = 1; variable_local_set('gv', 2); return gv"), 1));
    RValue out;
    ASSERT_TRUE(InstanceGet(w.engine, &w.self, w.engine.VariableIdOf("gv"), 0, out));
    EXPECT_TRUE(IsReal(out, 2));
}

TEST_F(VariableFunctionsTest, BuiltinNamesReachBuiltinVariables) {
    // Local: the instance's x itself.
    Run("variable_local_set('x', 10)");
    EXPECT_EQ(w.self.x, 10);
    EXPECT_TRUE(IsReal(Run("x = 4; return variable_local_get('x')"), 4));
    EXPECT_TRUE(IsReal(Run("return variable_local_exists('x')"), 1));
    // Global: stored in the global list under the built-in id; only global.test_score sees it.
    g_score = 1;
    EXPECT_TRUE(IsReal(Run("return variable_global_exists('test_score')"), 0));
    Run("variable_global_set('test_score', 5)");
    EXPECT_EQ(g_score, 1);
    EXPECT_TRUE(IsReal(Run("return global.test_score * 10 + test_score"), 51));
    EXPECT_TRUE(IsReal(Run("return variable_global_get('test_score')"), 5));
    // A refused write is ignored silently; reads still work.
    Run("variable_local_set('test_fixed_value', 3)");
    EXPECT_TRUE(IsReal(Run("return variable_local_get('test_fixed_value')"), 77));
    EXPECT_TRUE(errors.empty()) << errors[0];
    // Built-in variables with an element index: the argument slots.
    EXPECT_TRUE(IsText(Run("variable_local_array_set('argument', 2, 'a'); return argument2"), "a"));
}

TEST_F(VariableFunctionsTest, UninitializedAsZero) {
    w.engine.settings.uninitialized_as_zero = true;
    const std::pair<const char*, double> cases[] = {
        {"return variable_global_exists('nothing_here')", 1},
        {"return variable_local_exists('nothing_here')", 1},
        {"return variable_global_get('nothing_here')", 0},
        {"return variable_local_array_get('nothing_here', 5)", 0},
    };
    for (auto [code, expected] : cases) EXPECT_TRUE(IsReal(Run(code), expected)) << code;
    EXPECT_TRUE(errors.empty());
}

TEST_F(VariableFunctionsTest, IndexesOutsideTheArrayAreErrors) {
    Run("global.ga[1] = 4; ga[1] = 4");
    const char* calls[] = {
        "variable_global_array_get('ga', -1)",
        "variable_global_array_get('ga', 32000)",
        "variable_global_array2_get('ga', 0, -1)",
        "variable_global_array2_get('ga', 32000, 0)",
        "variable_global_array_set('ga', -1, 7)",
        "variable_global_array2_set('ga', 0, 32000, 7)",
        "variable_local_array_get('ga', 100000000)",
        "variable_local_array2_get('ga', -0.6, 1)",
        "variable_local_array_set('ga', 32000, 7)",
        "variable_local_array2_set('ga', 1, -1, 7)",
    };
    for (const char* call : calls) {
        errors.clear();
        EXPECT_TRUE(IsReal(Run(std::string("return ") + call), 0)) << call;
        ASSERT_EQ(errors.size(), 1u) << call;
        EXPECT_TRUE(errors[0].ends_with("Array index >= 32000")) << errors[0];
    }
    // Nothing was written, and an index that rounds into range is fine.
    EXPECT_TRUE(IsReal(Run("return variable_global_array_get('ga', 1.4) + ga[1]"), 8));
    EXPECT_TRUE(IsReal(Run("return variable_local_array2_get('ga', -0.5, 31999)"), 0));
    EXPECT_EQ(w.engine.globals.Items().size(), 1u);
}

TEST(SystemFunctions, RegisteredWithTheirArgumentCounts) {
    ScriptEngine e;
    const std::pair<const char*, int> cases[] = {
        {"execute_string", -1},
        {"execute_file", -1},
        {"variable_global_exists", 1},
        {"variable_global_get", 1},
        {"variable_global_array_get", 2},
        {"variable_global_array2_get", 3},
        {"variable_global_set", 2},
        {"variable_global_array_set", 3},
        {"variable_global_array2_set", 4},
        {"variable_local_exists", 1},
        {"variable_local_get", 1},
        {"variable_local_array_get", 2},
        {"variable_local_array2_get", 3},
        {"variable_local_set", 2},
        {"variable_local_array_set", 3},
        {"variable_local_array2_set", 4},
        {"clipboard_has_text", 0},
        {"clipboard_get_text", 0},
        {"clipboard_set_text", 1},
        {"window_handle", 0},
        {"set_program_priority", 1},
    };
    for (auto [name, argc] : cases) {
        const int id = e.FindFunction(name);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(e.ArgumentCount(id), argc) << name;
    }
}

TEST(SystemFunctions, ClipboardRoundTripWithoutWindow) {
    ScriptWorld w;
    auto run = [&w](std::string_view code) { return w.Run(code).result; };
    run("clipboard_set_text('')");
    EXPECT_TRUE(IsReal(run("return clipboard_has_text()"), 0));
    EXPECT_TRUE(IsText(run("return clipboard_get_text()"), ""));
    run("clipboard_set_text('two ' + 'words')");
    EXPECT_TRUE(IsReal(run("return clipboard_has_text()"), 1));
    EXPECT_TRUE(IsText(run("return clipboard_get_text()"), "two words"));
    SetClipboardText("caf\xE9\r\n");  // bytes are kept as they are
    EXPECT_TRUE(IsText(run("return clipboard_get_text()"), "caf\xE9\r\n"));
}

TEST(SystemFunctions, DesktopTextBecomesGameText) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"caf\xC3\xA9", "caf\xE9"},        // U+00E9: Latin-1 range
        {"\xE2\x82\xAC 5", "\x80 5"},      // the euro sign has its own byte
        {"\xE4\xB8\xAD", "\xE4\xB8\xAD"},  // no single byte: stays UTF-8
        {"bad \xC3", "bad \xC3"},          // a cut sequence passes as it is
        {"\xC2\x81", "\xC2\x81"},          // U+0081 has no byte in the code page
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(Utf8ToGameText(in), out) << in;
}

TEST(SystemFunctions, WindowHandle) {
    ScriptWorld w;
    EXPECT_TRUE(IsReal(w.Run("return window_handle()").result, 0));
    w.engine.host.window_handle = [] { return 12345.0; };
    EXPECT_TRUE(IsReal(w.Run("return window_handle()").result, 12345));
}

TEST(SystemFunctions, ProgramPriorityTable) {
    struct Case {
        int priority, process, thread;
    };
    const Case cases[] = {
        {-3, 19, 19},  {-2, 0, 4},    {-1, 0, 2}, {0, 0, 0},  {1, 0, -2},
        {2, -10, -14}, {3, -20, -20}, {7, 0, 0},  {-4, 0, 0},
    };
    for (const Case& c : cases) {
        const ProgramPriority p = ProgramPriorityOf(c.priority);
        EXPECT_EQ(p.process_nice, c.process) << c.priority;
        EXPECT_EQ(p.thread_nice, c.thread) << c.priority;
    }
}

// Lowering a thread's priority needs no privileges; done on a thread of its own so the rest
// of the tests keep theirs. Raising it back may be refused, which is silently ignored.
TEST(SystemFunctions, SetProgramPriorityLowersTheCallingThread) {
    const long main_tid = syscall(SYS_gettid);
    const int main_nice = getpriority(PRIO_PROCESS, id_t(main_tid));
    if (main_nice > 0) GTEST_SKIP() << "the tests already run below normal priority";
    int seen = -100;
    std::thread t([&seen] {
        ScriptWorld w;
        w.Run("set_program_priority(-1.6)");  // rounds to -2: lowest
        seen = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
        w.Run("set_program_priority(0)");  // raising again may be refused: no error
    });
    t.join();
    EXPECT_EQ(seen, 4);
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(main_tid)), main_nice);
}

}  // namespace
}  // namespace tb::test
