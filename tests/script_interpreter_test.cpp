#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "resources/room.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/interpreter.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::IsReal;
using test::IsText;
using test::RunResult;
using test::ScriptWorld;

struct InterpreterTest : ::testing::Test {
    ScriptWorld w;

    // The result of a program that must succeed.
    RValue Value(std::string_view source) {
        RunResult r = w.Run(source);
        EXPECT_TRUE(r.ok) << source << "\n" << r.message;
        return r.result;
    }
    double Real(std::string_view source) {
        RValue v = Value(source);
        EXPECT_FALSE(v.IsString()) << source;
        return v.real;
    }
    // A user variable of an instance, or NaN when it does not exist.
    double Var(const CInstance& inst, const char* name) {
        const RValue* v = inst.variables.Find(w.engine.VariableIdOf(name), 0);
        return v ? v->real : NAN;
    }
};

// A test-only built-in that appends an instance of object 0 to the running room.
void Spawn(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    CInstance& inst = e.room->AddInstance(e.game->objects, e.game->last_instance_id, 0, 0, 0);
    result = RValue::Real(inst.id);
}
// Marks the instance with id argument0 destroyed.
void Destroy(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    if (CInstance* inst = e.FindInstance(int32_t(args[0].real))) inst->destroyed = true;
}
// Counts its calls in the global `calls`.
void Count(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    RValue& n = e.globals.Slot(e.VariableIdOf("calls"), 0);
    n.real += 1;
    result = RValue::Real(0);
}

TEST_F(InterpreterTest, ExpressionValues) {
    struct Case {
        const char* source;
        double value;
    } cases[] = {
        {"x = 1 + 2 * 3", 7},
        {"a = 7; b = 3; x = a mod b", 1},
        {"a = -7; x = a mod 3", -1},
        {"a = -7; x = a div 2", -3},
        {"a = 5.5; x = a mod 2", 1.5},
        {"a = 2.5; x = a | 0", 2},
        {"a = 3.5; x = a | 0", 4},
        {"a = 1; x = a << 3", 8},
        {"a = 0.5; x = a && a", 1},
        {"a = 0.49; x = a || 0", 0},
        {"a = 1; x = a ^^ 1", 0},
        {"a = 0.5; x = !a", 0},
        {"a = 0.49; x = !a", 1},
        {"a = 5; x = ~a", -6},
        {"a = 2; x = a < 3 < 1", 0},
        {"a = 'abc'; x = a == 'abc'", 1},
        {"a = '10'; x = a < '9'", 1},
        {"a = 'ab'; x = a > 'a'", 1},
        {"a = 1; x = a = 1", 1},
        {"a = 3; x = a <> 3", 0},
        {"x = 2; x *= 3; x -= 1; x /= 2", 2.5},
        {"x = 6; x |= 1; x &= 3; x ^= 1", 2},
        {"a = 1; x = -a * 3", -3},
    };
    for (const Case& c : cases) EXPECT_EQ(Real(c.source), c.value) << c.source;
    EXPECT_TRUE(IsText(Value("a = 'ab'; x = 3 * a"), "ababab"));
    EXPECT_TRUE(IsText(Value("a = 'x'; x = 2.5 * a"), "xx"));
    EXPECT_TRUE(IsText(Value("a = 'x'; x = -2 * a"), ""));
    EXPECT_TRUE(IsText(Value("a = 'a'; t = a + 'b'; t += 'c'"), "abc"));
}

TEST_F(InterpreterTest, ExpressionUnitsAndConstants) {
    RunResult r = w.Eval("1 + 2");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(IsReal(r.result, 3));
    w.self.variables.Set(w.engine.VariableIdOf("hp"), 0, RValue::Real(4));
    r = w.Eval("hp * 2");
    EXPECT_TRUE(IsReal(r.result, 8));
    // A constant unit needs no instance.
    CCode constant{"'k'", true};
    ASSERT_TRUE(constant.Compile(w.engine));
    RValue out;
    EXPECT_TRUE(Execute(w.engine, nullptr, nullptr, constant, out));
    EXPECT_TRUE(IsText(out, "k"));
}

TEST_F(InterpreterTest, RuntimeErrors) {
    w.AddObject("obj");
    struct Case {
        const char* source;
        int position;
        const char* text;
    } cases[] = {
        {"t = q", 5, "Unknown variable q"},
        {"t += 1", 1, "Unknown variable t"},
        {"a[3] = 1; x = a[4]", 15, "Unknown variable a or array index out of bounds"},
        {"a[1, 0] = 1; x = a[1, 1]", 18, "Unknown variable a or array index out of bounds"},
        {"x = a['s']", 7, "Wrong type of array index"},
        {"x = a[-1]", 7, "Negative array index"},
        {"x = a[32000]", 7, "Array index >= 32000"},
        {"x = a[0, 'b']", 10, "Wrong type of array index"},
        {"s = 'q'; x = (s).b[0]", 15, "Wrong type of variable index"},
        {"x = noone.y", 11, "Unknown variable y"},
        {"x = obj.y", 9, "Unknown variable y"},
        {"x = (100123).y", 14, "Unknown variable y"},
        {"x = (-8).y", 10, "Unknown variable y"},
        {"x = local.y", 11, "Unknown variable y"},
        {"x = global.y", 12, "Unknown variable y"},
        {"noone.x = 1", 1, "Cannot assign to the variable"},
        {"(-9).x = 1", 1, "Cannot assign to the variable"},
        {"s = 'a'; if s x = 1", 13, "Expression expected"},
        {"s = 'a'; while s x = 1", 16, "Boolean expression expected"},
        {"s = 'a'; do x = 1 until s", 25, "Boolean expression expected"},
        {"s = 'a'; for (i = 0; s; i += 1) {}", 22, "Expression expected"},
        {"s = 'a'; repeat s x = 1", 17, "Repeat count must be a number"},
        {"s = 'a'; with (s) x = 1", 16, "Object id expected"},
        {"with (local) x = 1", 7, "Cannot use local in with statement."},
        {"with (global) x = 1", 7, "Cannot use global in with statement."},
        {"x = 1; case 1: x = 2", 8, "Case statement only allowed inside switch statement."},
        {"default: x = 2", 1, "Default statement only allowed inside switch statement."},
        {"if (1) ;", 8, "Statement expected."},
        {"; x = 1", 1, "Statement expected."},
        {"x = 1; y = x + 'a'", 16, "Wrong type of arguments to +."},
        {"s = 'a'; s += 1", 15, "Wrong type of arguments to +."},
        {"x = 0; y = 1 / x", 16, "Division by 0."},
        {"x = 0; y = 1 mod x", 18, "Modulo by 0."},
        {"s = 'a'; y = -s", 15, "Wrong type of arguments to unary operator."},
        {"s = 'a'; y = s == 1", 19, "Cannot compare arguments."},
        {"s = 'a'; y = s && 1", 19, "Wrong type of arguments for &&."},
    };
    for (const Case& c : cases) {
        RunResult r = w.Run(c.source);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_EQ(r.text, c.text) << c.source;
        EXPECT_EQ(r.position, c.position) << c.source << "\n" << r.message;
    }
}

// Expressions of locals, constants and plain variables first run on doubles alone; whatever
// that fast attempt cannot do goes through the general path with the same values and errors.
TEST_F(InterpreterTest, FastExpressionsFallBackExactly) {
    struct Value {
        const char* source;
        double value;
    };
    const Value values[] = {
        {"var i, a; i = 3; a[2] = 5; a[0] = 1; x = a[i - 1] * 2 + a[0] - -i", 14},
        {"var i; i = 7; x = (i mod 4) * 10 + (i div 2) + (i > 6) + !(i == 7)", 34},
        {"var s; s = 'ab'; x = (s + 'c' == 'abc') * 2 + (s < 'b')", 3},
        {"var i; i = 2.5; x = (i mod 1) + 1 / 4 + (3 | i) + (~0 & 1)", 4.75},
        {"var i; i = 5000000000; x = i mod 3 + (i div 1000000000)", 7},
        {"globalvar g; g = 4; b = 2; global.h = 3; x = g * b + global.h", 11},
        {"var a; a[1] = 'z'; a[2] = 3; x = (a[1] + 'y' == 'zy') + a[2] * (a[1] != 'q')", 4},
    };
    for (const Value& c : values) EXPECT_EQ(Real(c.source), c.value) << c.source;
    struct Case {
        const char* source;
        int32_t position;
        const char* text;
    };
    const Case errors[] = {
        {"var a, i; a[1] = 1; i = 2; x = a[i - 1] + a[i]", 43,
         "Unknown variable a or array index out of bounds"},
        {"var a, i; a[1] = 1; i = 1; x = 1 + a[i - 2]", 38, "Negative array index"},
        {"var a, i; a[1] = 1; i = 32000; x = 1 + a[i]", 42, "Array index >= 32000"},
        {"var a, s; s = 'k'; a[1] = 1; x = 1 + a[s]", 40, "Wrong type of array index"},
        {"var i, j; i = 1; x = i * 2 + j", 30, "Unknown variable j"},
        {"var i; i = 0; x = 1 + 2 / i", 27, "Division by 0."},
        {"var i, s; i = 1; s = 'a'; x = i * 2 - s", 39, "Wrong type of arguments to -."},
        {"var s; s = 'a'; if (s > 1) x = 1", 25, "Cannot compare arguments."},
    };
    for (const Case& c : errors) {
        RunResult r = w.Run(c.source);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_EQ(r.text, c.text) << c.source;
        EXPECT_EQ(r.position, c.position) << c.source << "\n" << r.message;
    }
    w.engine.settings.uninitialized_as_zero = true;
    EXPECT_EQ(Real("var a, i; i = 3; x = a[i] + i * unset_var + 1"), 1);
    EXPECT_EQ(Real("var a, i; i = 2; a[i] += 5; x = a[i] + a[1]"), 5);
}

// Elements of a local found in place, created past the end and in later rows.
TEST_F(InterpreterTest, LocalElementsGrowAndAreReused) {
    EXPECT_EQ(Real("var a; a[5] = 1; a[2] = 2; a[5] += 3; a[7] = 4; x = a[5] * 100 + a[2] * 10 + "
                   "a[7] + a[0]"),
              424);
    EXPECT_EQ(Real("var a; a[1, 3] = 6; a[3] = 1; a[1, 3] *= 2; a[0, 3] += 5; x = a[1, 3] + a[3]"),
              18);
    EXPECT_EQ(Real("var a, i; for (i = 0; i < 50; i += 1) a[i] = i; a[10] = 0; x = a[49] + a[10]"),
              49);
}

// `+=` on a text appends in place only when nothing else shares the text.
TEST_F(InterpreterTest, TextAppendKeepsOtherCopies) {
    struct Case {
        const char* source;
        const char* text;
    };
    const Case values[] = {
        {"var s, t; s = 'ab'; t = s; s += 'c'; x = t + '|' + s", "ab|abc"},
        {"var s; s = 'x'; s += s; s += s; x = s", "xxxx"},
        {"var s, r; s = ''; for (i = 0; i < 5; i += 1) { s += 'a'; r[i] = s } x = r[2] + ',' + "
         "r[4]",
         "aaa,aaaaa"},
        {"var s; s = 'a'; s += ''; s = s + 'b'; s += 'c'; x = s", "abc"},
        {"s = 'p'; global.t = s; s += 'q'; global.t += 'r'; x = s + global.t", "pqpr"},
        {"var s; s = ''; s += 'k'; x = s", "k"},
    };
    for (const Case& c : values) EXPECT_TRUE(IsText(Value(c.source), c.text)) << c.source;
    const char* source = "var s; s = 'a'; s += 1";
    RunResult r = w.Run(source);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "Wrong type of arguments to +.");
    EXPECT_EQ(r.position, 22) << r.message;
}

// Assignments of reals to locals and their elements skip the general path; everything else
// about them stays as it was.
TEST_F(InterpreterTest, FastLocalAssignmentsFallBackExactly) {
    struct Expect {
        const char* source;
        double value;
    };
    const Expect values[] = {
        {"var a, i; i = 2; a[i] = 3; a[i] += i * 2; a[i] -= 1; a[0] = 4; x = a[2] * 10 + a[0]", 64},
        {"var a; a[3] = 'p'; a[3] += 'q'; a[1] = 2; a[1] |= 5; x = (a[3] == 'pq') + a[1]", 8},
        {"var v; v = 6; v /= 4; v *= 2; v ^= 1; x = v", 2},
        {"var a; a = 5; a[0] += 1; x = a", 6},
    };
    for (const Expect& c : values) EXPECT_EQ(Real(c.source), c.value) << c.source;
    EXPECT_TRUE(IsText(Value("var a, i; i = 1; a[i] = 'k'; x = a[1]"), "k"));
    struct Case {
        const char* source;
        int32_t position;
        const char* text;
    };
    const Case errors[] = {
        {"var a, i; i = 1; a[i] += 1", 18, "Unknown variable a or array index out of bounds"},
        {"var a, i; i = 0; a[i - 1] = 1", 20, "Negative array index"},
        {"var a, i; i = 32000; a[i] = 1", 24, "Array index >= 32000"},
        {"var v; v += 1", 8, "Unknown variable v"},
        {"var a; a[1] = 1; a[1] /= 0", 26, "Division by 0."},
        {"var a; a[1] = 's'; a[1] -= 1", 28, "Wrong type of arguments to -."},
    };
    for (const Case& c : errors) {
        RunResult r = w.Run(c.source);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_EQ(r.text, c.text) << c.source;
        EXPECT_EQ(r.position, c.position) << c.source << "\n" << r.message;
    }
}

TEST_F(InterpreterTest, FailedStatementsStoreNothing) {
    EXPECT_FALSE(w.Run("s = 'a'; s += 1").ok);
    const RValue* s = w.self.variables.Find(w.engine.VariableIdOf("s"), 0);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(IsText(*s, "a"));
    // The first error wins; what ran before it stays.
    EXPECT_FALSE(w.Run("k = 1; k = q + r; k = 3").ok);
    EXPECT_EQ(Var(w.self, "k"), 1);
    EXPECT_NE(w.engine.errors.pending_message.find("Unknown variable q"), std::string::npos);
}

TEST_F(InterpreterTest, InternalErrors) {
    CCode raw{"x = 1", false};
    RValue out;
    EXPECT_FALSE(Execute(w.engine, &w.self, &w.self, raw, out));
    EXPECT_NE(w.engine.errors.pending_message.find("Internal Error: Executing non-compiled code."),
              std::string::npos);
    ASSERT_TRUE(raw.Compile(w.engine));
    EXPECT_FALSE(Execute(w.engine, nullptr, &w.self, raw, out));
    EXPECT_NE(
        w.engine.errors.pending_message.find("Internal Error: Executing code for nil instance."),
        std::string::npos);
    EXPECT_TRUE(Execute(w.engine, &w.self, &w.self, raw, out));
    EXPECT_FALSE(w.engine.errors.pending);
}

TEST_F(InterpreterTest, TruthRulesAndLoops) {
    struct Case {
        const char* source;
        double value;
    } cases[] = {
        {"h = 0.5; x = 0; if (h) x = 1", 0},
        {"h = 0.51; x = 0; if (h) x = 1 else x = 2", 1},
        {"h = 0; x = 0; if h x = 1 else x = 2", 2},
        {"n = 0; h = 0.5; while (h) { n += 1; if n >= 3 h = 0 } x = n", 3},
        {"n = 0; do n += 1 until n >= 0.5; x = n", 1},
        {"n = 0; do n += 0.25 until n; x = n", 0.5},
        {"n = 0; repeat (2.5) n += 1; x = n", 2},
        {"n = 0; repeat (3.5) n += 1; x = n", 4},
        {"n = 0; repeat (-3) n += 1; x = n", 0},
        {"n = 0; repeat 10 { n += 1; if n == 4 break } x = n", 4},
        {"n = 0; repeat 5 { if n == 2 { n += 10; continue } n += 1 } x = n", 14},
        {"n = 0; for (i = 0; i < 5; i += 1) n += i; x = n", 10},
        {"n = 0; for (i = 0; i < 5; i += 1) { if i == 3 break; n += i } x = n", 3},
        {"n = 0; for (i = 0; i < 5; i += 1) { if i == 1 continue; n += i } x = n", 9},
        {"n = 0; while 1 { n += 1; if n > 6 break; if n > 2 continue; n += 1 } x = n", 7},
        {"n = 0; do { n += 1; if n == 2 continue; if n == 5 break } until n > 9; x = n", 5},
    };
    for (const Case& c : cases) EXPECT_EQ(Real(c.source), c.value) << c.source;

    // exit leaves every loop and the execution; break outside a loop ends it too.
    EXPECT_EQ(Real("x = 1; repeat 3 { while 1 { x = 2; exit } } x = 3"), 2);
    EXPECT_EQ(Real("x = 1; break; x = 2"), 1);
    EXPECT_EQ(Real("x = 1; continue; x = 2"), 1);
}

TEST_F(InterpreterTest, ResultSlot) {
    EXPECT_EQ(Real("x = 3; y = 4"), 4);
    EXPECT_EQ(Real("x = 3; return x + 10; x = 5"), 13);
    // A for loop's header runs with its own result slot.
    EXPECT_EQ(Real("y = 7; for (i = 0; i < 3; i += 1) {}"), 7);
    EXPECT_FALSE(w.Run("return q").ok);
}

TEST_F(InterpreterTest, SwitchStatement) {
    struct Case {
        const char* source;
        double value;
    } cases[] = {
        {"x = 1; a = 0; switch (x) { default: a = 1; case 1: a += 2; }", 3},
        {"x = 1; a = 0; switch (x) { case 1: a = 2; case 2: a += 3; break; case 3: a = 9 }", 5},
        {"x = 7; a = 0; switch (x) { case 1: a = 2; }", 0},
        {"x = 7; a = 0; switch (x) { case 1: a = 2; break; default: a = 4 }", 4},
        {"s = 'b'; a = 0; switch (s) { case 'a': a = 1; break; case 'b': a = 2 }", 2},
        {"s = '1'; a = 0; switch (s) { case 1: a = 1; break; default: a = 3 }", 3},
        {"x = 1; a = 0; switch (x) { case 0.5 + 0.5: a = 6 }", 6},
        {"a = 0; for (i = 0; i < 4; i += 1) switch (i) { case 1: continue; default: a += 1 }", 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Real(std::string(c.source) + "; x = a"), c.value) << c.source;
    // A failing label ends the switch with its error.
    RunResult r = w.Run("x = 1; switch (x) { case q: a = 1 }");
    EXPECT_EQ(r.text, "Unknown variable q");
}

TEST_F(InterpreterTest, LocalsAndScoping) {
    EXPECT_EQ(Real("var v; v = 2; v += 3; x = v"), 5);
    EXPECT_TRUE(std::isnan(Var(w.self, "v")));  // never written to the instance
    // Before the declaration the name is an instance variable.
    EXPECT_EQ(Real("u = 1; var u; u = 5; x = self.u"), 1);
    EXPECT_EQ(Var(w.self, "u"), 1);
    // Local arrays.
    EXPECT_EQ(Real("var a; a[3] = 4; a[1, 2] = 5; x = a[3] + a[1, 2] + a[1]"), 9);
    EXPECT_EQ(Real("var a; a = 5; x = a[0] + a[0, 0]"), 10);
    RunResult r = w.Run("var a; a[3] = 4; x = a[4]");
    EXPECT_EQ(r.text, "Unknown variable a or array index out of bounds");
    r = w.Run("var v; x = v");
    EXPECT_EQ(r.text, "Unknown variable v");
    EXPECT_EQ(r.position, 12);
    // local. reaches the same slots, with or without a declaration.
    EXPECT_EQ(Real("local.k = 3; x = local.k"), 3);
    EXPECT_EQ(Real("var k; k = 4; x = local.k"), 4);
}

TEST_F(InterpreterTest, ArraysOnInstancesAndGlobals) {
    EXPECT_EQ(Real("a = 5; x = a[0] + a[0, 0]"), 10);
    EXPECT_EQ(Real("b[3] = 1; x = b + b[1] + b[2] + b[3]"), 1);
    EXPECT_EQ(Real("c[1, 0] = 2; x = c[1, 0]"), 2);
    EXPECT_FALSE(w.Run("x = c[1]").ok);  // row 0, column 1: never written
    EXPECT_EQ(Real("global.g[2] = 6; x = global.g[2]"), 6);
}

TEST_F(InterpreterTest, UninitializedAsZero) {
    w.engine.settings.uninitialized_as_zero = true;
    EXPECT_EQ(Real("x = y + 1"), 1);
    EXPECT_EQ(Real("z += 1; x = z"), 1);
    EXPECT_EQ(Real("var v; x = v + 2"), 2);
    EXPECT_EQ(Real("a[2] = 1; x = a[7]"), 0);
    EXPECT_EQ(Real("x = noone.q"), 0);
}

TEST_F(InterpreterTest, GlobalsAndGlobalvar) {
    EXPECT_EQ(Real("global.score = 3; x = global.score"), 3);
    EXPECT_TRUE(std::isnan(Var(w.self, "score")));
    // Unprefixed names reach a global only after globalvar has run.
    EXPECT_EQ(Real("g = 1; globalvar g; g = 2; x = self.g * 10 + global.g"), 12);
    CInstance other;
    RunResult r = test::RunCode(w.engine, "x = g", &other, &other);
    EXPECT_TRUE(IsReal(r.result, 2));
    w.engine.ResetGlobals();
    r = test::RunCode(w.engine, "x = g", &other, &other);
    EXPECT_EQ(r.text, "Unknown variable g");
}

struct SpecifierTest : InterpreterTest {
    int parent = 0, child = 0, lone = 0;
    CInstance* a = nullptr;  // parent object
    CInstance* b = nullptr;  // child object
    CInstance* c = nullptr;  // child object
    void SetUp() override {
        w.engine.functions.Register("test_spawn", &Spawn, 0);
        w.engine.functions.Register("test_count", &Count, 0);
        w.engine.functions.Register("test_destroy", &Destroy, 1);
        parent = w.AddObject("obj_parent");
        child = w.AddObject("obj_child", parent);
        lone = w.AddObject("obj_lone");
        a = &w.AddInstance(parent);
        b = &w.AddInstance(child);
        c = &w.AddInstance(child);
    }
    RunResult RunFor(CInstance* self, std::string_view source, CInstance* other = nullptr) {
        return test::RunCode(w.engine, source, self, other ? other : self);
    }
};

TEST_F(SpecifierTest, ReadsAndWrites) {
    ASSERT_TRUE(RunFor(a, "all.v = 1; obj_child.w = 2; obj_lone.q = 3").ok);
    for (CInstance* i : {a, b, c}) EXPECT_EQ(Var(*i, "v"), 1);
    EXPECT_TRUE(std::isnan(Var(*a, "w")));
    EXPECT_EQ(Var(*b, "w"), 2);
    EXPECT_EQ(Var(*c, "w"), 2);
    // An object reaches its descendants; reads take the first live instance.
    ASSERT_TRUE(RunFor(a, "obj_parent.p = 5").ok);
    EXPECT_EQ(Var(*c, "p"), 5);
    b->variables.Set(w.engine.VariableIdOf("w"), 0, RValue::Real(9));
    EXPECT_TRUE(IsReal(RunFor(a, "x = obj_child.w").result, 9));
    b->destroyed = true;
    EXPECT_TRUE(IsReal(RunFor(a, "x = obj_child.w").result, 2));
    ASSERT_TRUE(RunFor(a, "all.v = 7").ok);
    EXPECT_EQ(Var(*b, "v"), 1);  // destroyed instances are skipped
    EXPECT_EQ(Var(*c, "v"), 7);
    // Instance ids.
    const std::string id = std::to_string(c->id);
    EXPECT_TRUE(IsReal(RunFor(a, "(" + id + ").z = 4; x = (" + id + ").z").result, 4));
    EXPECT_EQ(Var(*c, "z"), 4);
    EXPECT_TRUE(RunFor(a, "(999999).z = 4").ok);
    EXPECT_EQ(RunFor(a, "x = (" + std::to_string(b->id) + ").v").text, "Unknown variable v");
    // Other.
    EXPECT_TRUE(IsReal(RunFor(a, "other.o = 3; x = other.o", c).result, 3));
    EXPECT_EQ(Var(*c, "o"), 3);
    // An indexed access evaluates its specifier at run time.
    EXPECT_TRUE(IsReal(RunFor(a, "t = " + id + "; t.arr[2] = 8; x = t.arr[2]").result, 8));
}

TEST_F(SpecifierTest, WithStatement) {
    // The body runs for each live instance; self and other change and come back.
    ASSERT_TRUE(RunFor(a, "n = 0; with (obj_parent) { n = 1; other.count += 1 }; x = 1",
                       nullptr)
                    .ok == false);  // `count` is unknown on a
    a->variables.Set(w.engine.VariableIdOf("count"), 0, RValue::Real(0));
    ASSERT_TRUE(RunFor(a, "with (obj_parent) { n = 1; other.count += 1 }").ok);
    EXPECT_EQ(Var(*a, "count"), 3);
    for (CInstance* i : {a, b, c}) EXPECT_EQ(Var(*i, "n"), 1);

    EXPECT_TRUE(
        IsReal(RunFor(a, "k = 0; with (all) { if n == 1 other.k += 1; n = 2 } x = k").result, 3));
    // break stops visiting, continue moves on.
    EXPECT_TRUE(IsReal(RunFor(a, "k = 0; with (all) { other.k += 1; break } x = k").result, 1));
    EXPECT_TRUE(IsReal(
        RunFor(a, "k = 0; with (all) { other.k += 1; continue; other.k += 10 } x = k").result, 3));
    // For a single instance, break reaches the enclosing loop; continue just ends the with.
    const std::string id = std::to_string(b->id);
    EXPECT_TRUE(
        IsReal(RunFor(a, "k = 0; repeat 5 { k += 1; with (" + id + ") break } x = k").result, 1));
    EXPECT_TRUE(IsReal(
        RunFor(a, "k = 0; repeat 5 { with (" + id + ") { continue; } k += 1 } x = k").result, 5));
    // Locals are shared with the body; unprefixed names belong to the visited instance.
    EXPECT_TRUE(IsReal(RunFor(a, "var v; v = 1; with (obj_child) v += 1; x = v").result, 3));
    EXPECT_TRUE(IsReal(RunFor(a, "with (self) x = 5; with (other) y = 6; z = x + y").result, 11));
    EXPECT_TRUE(IsReal(RunFor(a, "k = 1; with (noone) k = 2; x = k").result, 1));
    EXPECT_TRUE(
        IsReal(RunFor(a, "k = 1; with (obj_lone) k = 2; with (-20) k = 3; x = k").result, 1));
    // exit inside the body ends the whole execution.
    EXPECT_TRUE(IsReal(RunFor(a, "x = 1; with (all) { x = 2; exit } x = 3").result, 2));
}

TEST_F(SpecifierTest, WithSkipsInstancesCreatedAndDestroyedDuringTheLoop) {
    // Each visit spawns one more instance of object 0; only the first three are visited.
    RunResult r = RunFor(a, "k = 0; with (all) { other.k += 1; test_spawn() } x = k");
    EXPECT_TRUE(IsReal(r.result, 3)) << r.message;
    EXPECT_EQ(w.room.InstanceCount(), 6);
    // Marking a later instance destroyed during the loop skips it.
    const std::string id = std::to_string(c->id);
    r = RunFor(a, "k = 0; with (obj_child) { other.k += 1; test_destroy(" + id + ") } x = k");
    EXPECT_TRUE(IsReal(r.result, 1)) << r.message;
}

TEST_F(SpecifierTest, BothOperandsAreAlwaysEvaluated) {
    RunResult r = RunFor(
        a, "global.calls = 0; x = 0 && test_count(); y = 1 || test_count(); z = global.calls");
    EXPECT_TRUE(IsReal(r.result, 2)) << r.message;
}

struct ScriptCallTest : InterpreterTest {};

TEST_F(ScriptCallTest, ResultsAndArguments) {
    w.AddScript("scr_sum", "return argument0 + argument1");
    w.AddScript("scr_last", "x = 3;");
    w.AddScript("scr_call_last", "scr_sum(2, 5)");
    w.AddScript("scr_nothing", "var a;");
    w.AddScript("scr_args", "return string_len_free(argument3) + argument[1] * 10");
    EXPECT_EQ(Real("x = scr_sum(1, 2)"), 3);
    EXPECT_EQ(Real("x = scr_last()"), 3);
    EXPECT_EQ(Real("x = scr_call_last()"), 7);
    EXPECT_EQ(Real("x = 3; scr_nothing()"), 3);
    EXPECT_EQ(Real("x = scr_nothing()"), 0);
    EXPECT_TRUE(IsText(Value("x = scr_sum('a', 'b')"), "ab"));
}

// Real arguments (leaves, pure subtrees) are stored straight into the slots; anything else,
// texts and failures included, still takes the general evaluation.
TEST_F(ScriptCallTest, ArgumentKindsAndFailuresInArguments) {
    w.AddScript("scr_pair", "return argument0 + argument1");
    EXPECT_EQ(Real("var a; a = 4; x = scr_pair(a * 2 - 1, 3)"), 10);
    EXPECT_TRUE(IsText(Value("var a; a = 'p'; x = scr_pair(a, a + 'q')"), "ppq"));
    EXPECT_TRUE(IsText(Value("var a; a = 'p'; x = scr_pair(a, 'q')"), "pq"));
    struct Case {
        const char* source;
        int position;
        const char* text;
    } cases[] = {
        {"var a; x = scr_pair(1, a - 1)", 24, "Unknown variable a"},
        {"s = 'a'; x = scr_pair(2, s - 1)", 30, "Wrong type of arguments to -."},
        {"z = 0; x = scr_pair(1 / z, 1)", 25, "Division by 0."},
    };
    for (const Case& c : cases) {
        RunResult r = w.Run(c.source);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_EQ(r.text, c.text) << c.source;
        EXPECT_EQ(r.position, c.position) << c.source << "\n" << r.message;
    }
}

TEST_F(ScriptCallTest, ArgumentSlotsAreFilledAndRestored) {
    w.AddScript("scr_inner", "return argument0 * 100 + argument3");
    w.AddScript("scr_outer", "a = scr_inner(2, 5); return a + argument0 * 1000 + argument1");
    w.engine.arguments[0] = RValue::Real(9);
    w.engine.arguments[3] = RValue::Real(4);
    EXPECT_EQ(Real("x = scr_outer(1, 7)"), 1207);
    EXPECT_TRUE(IsReal(w.engine.arguments[0], 9));
    EXPECT_TRUE(IsReal(w.engine.arguments[3], 4));
    // Also after a failure.
    w.AddScript("scr_fail", "argument0 = 5; return q");
    EXPECT_FALSE(w.Run("x = scr_fail(1)").ok);
    EXPECT_TRUE(IsReal(w.engine.arguments[0], 9));
    // A slot the callee writes beyond its arguments goes back to the caller's value.
    w.AddScript("scr_writes", "argument5 = 7; argument[3] = 8; return argument5 + argument3");
    EXPECT_EQ(Real("x = scr_writes(1)"), 15);
    EXPECT_TRUE(IsReal(w.engine.arguments[5], 0));
    EXPECT_TRUE(IsReal(w.engine.arguments[3], 4));
    // Direct calls with fewer arguments clear the rest.
    RValue args[2] = {RValue::Real(3), RValue::Real(4)};
    RValue out;
    const int inner = 0;  // scr_inner
    EXPECT_TRUE(CallScript(w.engine, inner, &w.self, &w.self, out, args, 2));
    EXPECT_TRUE(IsReal(out, 300));
    EXPECT_FALSE(CallScript(w.engine, 99, &w.self, &w.self, out, args, 2));
}

TEST_F(ScriptCallTest, CallsStartWithFreshSlotsAfterACalleeWroteItsOwn) {
    w.AddScript("scr_dirty", "argument15 = 'x'; argument[9] = 3; argument0 = 'y'; return 0");
    w.AddScript("scr_clean", "return argument15 + argument9 + argument0 * 10");
    // The second call reuses the first one's storage; nested calls stack on top of it.
    EXPECT_EQ(Real("x = scr_dirty(1) + scr_clean(2)"), 20);
    EXPECT_EQ(Real("for (i = 0; i < 3; i += 1) { scr_dirty(1); x = scr_clean(scr_dirty(4) + 1) }"),
              10);
    EXPECT_EQ(Real("argument15 = 6; x = scr_dirty(1) + scr_clean(2) + argument15"), 26);
    EXPECT_TRUE(IsReal(w.engine.arguments[15], 6));
    EXPECT_TRUE(IsReal(w.engine.arguments[0], 0));
}

TEST_F(ScriptCallTest, LocalsBelongToOneExecution) {
    w.AddScript("scr_local", "var v; v = 10; return v");
    w.AddScript("scr_peek", "return v");
    EXPECT_EQ(Real("var v; v = 1; x = scr_local() + v"), 11);
    RunResult r = w.Run("var v; v = 1; x = scr_peek()");
    EXPECT_FALSE(r.ok);
}

TEST_F(ScriptCallTest, FailuresCarryTheScriptChain) {
    w.AddScript("scr_a", "x = 1;\r\ny = scr_b()");
    w.AddScript("scr_b", "return z + 1");
    RunResult r = w.Run("k = scr_a()");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message,
              "In script scr_a:\rIn script scr_b:\rError in code at line 1:\r   return z + 1\r\r"
              "at position 8: Unknown variable z");
    RValue out;
    EXPECT_FALSE(CallScript(w.engine, 1, &w.self, &w.self, out, nullptr, 0));
    EXPECT_TRUE(IsText(out, "ERROR"));
}

TEST_F(ScriptCallTest, RunawayRecursionStops) {
    w.AddScript("scr_loop", "return scr_loop(argument0 + 1)");
    RunResult r = w.Run("x = scr_loop(0)");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.ends_with(kRecursionMessage));
    EXPECT_TRUE(r.message.starts_with("In script scr_loop:\rIn script scr_loop:\r"));
    EXPECT_EQ(w.engine.call_depth, 0);
    // Deep but finite recursion works.
    w.AddScript("scr_depth", "if argument0 <= 0 return 0; return scr_depth(argument0 - 1) + 1");
    EXPECT_EQ(Real("x = scr_depth(1000)"), 1000);
}

TEST_F(ScriptCallTest, ExecuteVariants) {
    CCode bad{"x = q", false};
    ASSERT_TRUE(bad.Compile(w.engine));
    RValue out = RValue::Real(5);
    EXPECT_FALSE(ExecuteOrMark(w.engine, &w.self, &w.self, bad, out));
    EXPECT_TRUE(IsText(out, "ERROR"));
    EXPECT_TRUE(w.engine.errors.pending);

    w.engine.settings.display_errors = false;
    EXPECT_FALSE(ExecuteReporting(w.engine, &w.self, &w.self, bad, out));
    EXPECT_FALSE(w.engine.errors.pending);
    EXPECT_TRUE(w.engine.errors.error_occurred);
    EXPECT_TRUE(w.engine.errors.last_error.starts_with("ERROR in\r\n"));
    EXPECT_TRUE(w.engine.errors.last_error.ends_with("at position 5: Unknown variable q"));
}

}  // namespace
}  // namespace tb
