// Random well-formed programs run by the register machine and by the tree walker alone: the
// results, the messages (with their positions) and the variables left behind must agree.
// TAMBERLO_DIFFERENTIAL_PROGRAMS=N runs N programs instead of the default.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/interpreter.h"
#include "script/program.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::ScriptWorld;

class ProgramGenerator {
  public:
    explicit ProgramGenerator(uint32_t seed) : rng_(seed) {}

    std::string Program() {
        loops_ = 0;
        in_loop_ = 0;
        std::string text = "var a, b, c, s, arr;\n";
        // Now and then a variable stays undefined, so that reads of it fail.
        for (const char* name : {"a", "b", "c", "x", "y", "global.g"})
            if (R(10)) text += std::string(name) + " = " + Number() + ";\n";
        text += "s = " + (R(2) ? Text() : Number()) + ";\n";
        if (R(8)) {
            for (int i = 0; i < 5; ++i)
                text += "arr[" + std::to_string(i) + "] = " + Number() + ";\n";
        }
        const int n = 1 + R(6);
        for (int i = 0; i < n; ++i) text += Statement(3) + "\n";
        if (R(2)) text += "return " + Expression(3) + ";\n";
        return text;
    }

  private:
    int R(int n) { return int(rng_() % uint32_t(n)); }
    template <size_t N>
    const char* Pick(const char* const (&options)[N]) {
        return options[R(int(N))];
    }

    std::string Number() {
        static constexpr const char* kNumbers[] = {"0", "1",   "2",       "3",    "0.5",   "-1",
                                                   "7", "2.5", "1000000", "-3.5", "31999", "32000"};
        return Pick(kNumbers);
    }
    std::string Text() {
        static constexpr const char* kTexts[] = {"\"a\"", "\"bc\"", "\"\"", "\"12\"", "'x y'"};
        return Pick(kTexts);
    }
    std::string Local() {
        static constexpr const char* kLocals[] = {"a", "b", "c", "s"};
        return Pick(kLocals);
    }
    std::string Variable() {
        switch (R(7)) {
            case 0:
                return "x";
            case 1:
                return "self.x";
            case 2:
                return "global.g";
            case 3:
                return "y";
            default:
                return R(4) ? Pick({"a", "b", "c"}) : Local();
        }
    }
    std::string Index() { return R(3) ? std::to_string(R(5)) : Expression(1); }

    std::string Expression(int depth) {
        if (depth <= 0 || R(3) == 0) {
            switch (R(12)) {
                case 0:
                case 1:
                case 2:
                    return Number();
                case 3:
                    return R(3) ? Number() : Text();
                case 4:
                    return "arr[" + Index() + "]";
                case 5:
                    return "argument0";
                default:
                    return Variable();
            }
        }
        static constexpr const char* kBinary[] = {
            "+",  "-",  "*", "/", "div", "mod", "<",  "<=", "==", "!=", ">=", ">", "&&",
            "||", "^^", "|", "&", "^",   "<<",  ">>", "+",  "-",  "*",  "<",  "+"};
        switch (R(10)) {
            case 0:
                return std::string(Pick({"-", "!", "~", "+"})) + Expression(depth - 1);
            case 1:
                return "(" + Expression(depth - 1) + ")";
            case 2: {
                static constexpr const char* kCalls[] = {
                    "string(",    "real(",      "abs(",  "string_length(",
                    "is_string(", "scr_twice(", "floor("};
                return std::string(Pick(kCalls)) + Expression(depth - 1) + ")";
            }
            case 3:
                return "scr_add(" + Expression(depth - 1) + ", " + Expression(depth - 1) + ")";
            case 4:
                return "max(" + Expression(depth - 1) + ", " + Expression(depth - 1) + ")";
            default:
                return Expression(depth - 1) + " " + Pick(kBinary) + " " + Expression(depth - 1);
        }
    }

    std::string Target() {
        if (R(4) == 0) return "arr[" + Index() + "]";
        return Variable();
    }

    std::string Statement(int depth) {
        const int kind = depth <= 0 ? R(3) : R(16);
        switch (kind) {
            case 0:
            case 1:
            case 2: {
                static constexpr const char* kAssign[] = {
                    "=", "=", "+=", "-=", "*=", "/=", "|=", "&=", "^="};
                return Target() + " " + Pick(kAssign) + " " + Expression(2) + ";";
            }
            case 3:
                return "if (" + Expression(2) + ") " + Statement(depth - 1) +
                       (R(2) ? " else " + Statement(depth - 1) : "");
            case 4: {
                std::string text = "{";
                for (int i = R(3); i >= 0; --i) text += " " + Statement(depth - 1);
                return text + " }";
            }
            case 5: {
                const std::string k = "k" + std::to_string(loops_++);
                return "for (" + k + " = 0; " + k + " < " + std::to_string(R(4)) + "; " + k +
                       " += 1) " + Body(depth);
            }
            case 6: {
                const std::string w = "w" + std::to_string(loops_++);
                return "{ " + w + " = 0; while (" + w + " < " + std::to_string(R(4)) + ") { " + w +
                       " += 1; " + Body(depth) + " } }";
            }
            case 7: {
                const std::string d = "d" + std::to_string(loops_++);
                return "{ " + d + " = 0; do { " + d + " += 1; " + Body(depth) + " } until (" + d +
                       " >= " + std::to_string(1 + R(3)) + ") }";
            }
            case 8:
                return "repeat (" + (R(5) ? std::to_string(R(4)) : Expression(1)) + ") " +
                       Body(depth);
            case 9:
                if (in_loop_ > 0 || R(8) == 0) return R(2) ? "break;" : "continue;";
                return Statement(depth - 1);
            case 10:
                return "switch (" + Expression(1) + ") { case 1: " + Statement(depth - 1) +
                       " break; case \"a\": " + Statement(depth - 1) +
                       " default: " + Statement(depth - 1) + " }";
            case 11:
                return "scr_add(" + Expression(2) + ", " + Expression(1) + ");";
            case 12:
                return "with (self) " + Statement(depth - 1);
            case 13:
                return R(6)   ? Statement(depth - 1)
                       : R(2) ? "exit;"
                              : "return " + Expression(2) + ";";
            default:
                return Target() + " " + Pick({"=", "+="}) + " " + Expression(3) + ";";
        }
    }
    std::string Body(int depth) {
        ++in_loop_;
        std::string text = Statement(depth - 1);
        --in_loop_;
        return text;
    }

    std::mt19937 rng_;
    int loops_ = 0;
    int in_loop_ = 0;
};

struct Outcome {
    bool compiled = false;
    bool ok = false;
    RValue result;
    std::string message;
    CVariableList self, globals;
};

// A world whose scripts run either as instructions or, with `walker`, by the tree walker
// alone (their instructions taken away). Each run starts from empty variables.
struct Side {
    ScriptWorld w;
    bool walker;

    explicit Side(bool use_walker) : walker(use_walker) {
        w.AddScript("scr_add", "return argument0 + argument1;");
        w.AddScript("scr_twice",
                    "var t; t = argument0; if (is_string(t)) return t + t; return t * 2 - "
                    "argument1;");
        for (int i = 0; i < w.game.scripts.Count(); ++i) {
            const CCode* script = ScriptCode(w.engine, i);
            if (walker && script && script->program)
                w.game.scripts.Get(i)->code->program->code.clear();
        }
    }

    Outcome Run(const std::string& source, bool as_zero) {
        w.engine.ResetGlobals();
        w.self.variables.Clear();
        w.engine.settings.uninitialized_as_zero = as_zero;
        Outcome o;
        CCode code{source, false};
        o.compiled = code.Compile(w.engine);
        if (!o.compiled) {
            o.message = w.engine.errors.pending_message;
            return o;
        }
        if (walker) code.program->code.clear();
        o.ok = Execute(w.engine, &w.self, &w.self, code, o.result);
        if (!o.ok) o.message = w.engine.errors.pending_message;
        o.self.Assign(w.self.variables);
        o.globals.Assign(w.engine.globals);
        return o;
    }
};

bool SameValue(const RValue& a, const RValue& b) {
    if (a.IsString() != b.IsString()) return false;
    if (a.IsString()) return a.text.view() == b.text.view();
    return a.real == b.real || (std::isnan(a.real) && std::isnan(b.real));
}

TEST(MachineDifferentialTest, RandomProgramsAgreeWithTheWalker) {
    int programs = 2000;
    if (const char* n = std::getenv("TAMBERLO_DIFFERENTIAL_PROGRAMS")) programs = std::atoi(n);
    Side machine(false), walker(true);
    int failures = 0, errors = 0;
    for (int i = 0; i < programs && failures < 5; ++i) {
        ProgramGenerator gen(uint32_t(i) * 2654435761u + 17);
        const std::string source = gen.Program();
        const bool as_zero = i % 5 == 0;
        const Outcome m = machine.Run(source, as_zero);
        const Outcome t = walker.Run(source, as_zero);
        if (!m.ok) ++errors;  // folding constants can fail at compile time too
        const bool same = m.compiled == t.compiled && m.ok == t.ok && m.message == t.message &&
                          (!m.ok || SameValue(m.result, t.result)) && m.self == t.self &&
                          m.globals == t.globals;
        if (!same) {
            ++failures;
            ADD_FAILURE() << "program " << i << ":\n"
                          << source << "\nmachine: " << m.ok << " " << m.message
                          << "\nwalker: " << t.ok << " " << t.message;
        }
    }
    std::printf("%d programs, %d of them failing\n", programs, errors);
    // The generator must reach the error paths as well as the normal ones.
    if (programs >= 200) {
        EXPECT_GT(errors, programs / 20);
        EXPECT_LT(errors, programs - programs / 20);
    }
}

}  // namespace
}  // namespace tb
