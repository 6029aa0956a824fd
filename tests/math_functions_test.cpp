// Type tests, random numbers, arithmetic, aggregates and geometry, run through script code.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "script_harness.h"

namespace tb {
namespace {

using test::IsReal;
using test::IsText;
using test::RunResult;
using test::ScriptWorld;

using MathFunctionsTest = test::FunctionTest;

struct RealCase {
    const char* source;
    double expected;
};

void ExpectReals(MathFunctionsTest& t, const std::vector<RealCase>& cases) {
    for (const RealCase& c : cases) {
        RValue v = t.Eval(c.source);
        EXPECT_TRUE(IsReal(v, c.expected))
            << c.source << " gave " << (v.IsString() ? v.text.str() : std::to_string(v.real))
            << ", expected " << c.expected;
    }
    EXPECT_TRUE(t.errors.empty()) << t.errors.front();
}

TEST_F(MathFunctionsTest, TypeTests) {
    ExpectReals(
        *this,
        {{"is_real(1)", 1}, {"is_real(\"1\")", 0}, {"is_string(\"\")", 1}, {"is_string(0)", 0}});
}

TEST_F(MathFunctionsTest, RoundingFloorCeilAndFrac) {
    ExpectReals(*this, {
                           {"round(2.5)", 2},
                           {"round(-2.5)", -2},
                           {"round(3.5)", 4},
                           {"round(0.5)", 0},
                           {"round(-1.5)", -2},
                           {"round(power(10, 20))", 1e20},  // beyond 64-bit integers: unchanged
                           {"floor(-0.5)", -1},
                           {"floor(2.9)", 2},
                           {"ceil(-0.5)", 0},
                           {"ceil(2.1)", 3},
                           // Only the low 32 bits remain outside the 32-bit range.
                           {"floor(2147483648.5)", -2147483648.0},
                           {"ceil(4294967296.5)", 1},
                           {"floor(-2147483649)", 2147483647},
                           {"frac(-1.25)", -0.25},
                           {"frac(3.75)", 0.75},
                           {"sign(-3)", -1},
                           {"sign(0)", 0},
                           {"sign(0.001)", 1},
                           {"abs(-2.5)", 2.5},
                       });
    // ceil(-0.5) is -0 arithmetically; it prints as "0".
    EXPECT_TRUE(IsText(Eval("string(ceil(-0.5))"), "0"));
}

TEST_F(MathFunctionsTest, Arithmetic) {
    ExpectReals(*this, {
                           {"sqrt(16)", 4},
                           {"sqr(-3)", 9},
                           {"exp(0)", 1},
                           {"ln(1)", 0},
                           {"log2(1024)", 10},
                           {"log10(1000)", 3},
                           {"logn(2, 8)", 3},
                           {"sin(0)", 0},
                           {"cos(0)", 1},
                           {"arcsin(1)", std::numbers::pi / 2},
                           {"arccos(1)", 0},
                           {"arctan(0)", 0},
                           {"arctan2(1, 0)", std::numbers::pi / 2},
                           {"arctan2(0, -1)", std::numbers::pi},
                           {"arctan2(0, 0)", 0},
                           {"degtorad(180)", std::numbers::pi},
                           {"radtodeg(pi)", 180},
                       });
    EXPECT_NEAR(Eval("tan(pi / 4)").real, 1, 1e-15);
}

TEST_F(MathFunctionsTest, Power) {
    ExpectReals(*this, {
                           {"power(5, 0)", 1},
                           {"power(0, 0)", 1},
                           {"power(0, 3)", 0},
                           {"power(0, 0.5)", 0},
                           {"power(-2, 3)", -8},  // whole powers work for negative bases
                           {"power(-2, -2)", 0.25},
                           {"power(2, 10)", 1024},
                           {"power(10, 15)", 1e15},
                           {"power(4, 0.5)", 2},
                           {"power(1, 2147483647)", 1},
                           {"power(-1, 2147483647)", -1},
                           {"power(2, -1)", 0.5},
                       });
}

TEST_F(MathFunctionsTest, FaultsShowTheirMessageAndGiveZero) {
    const std::pair<const char*, const char*> cases[] = {
        {"sqrt(-1)", "Cannot apply sqrt to negative number."},
        {"ln(0)", "Error in function ln()."},
        {"ln(-1)", "Error in function ln()."},
        {"log2(0)", "Error in function log2()."},
        {"log10(-5)", "Error in function log10()."},
        {"logn(1, 5)", "Error in function logn()."},
        {"logn(0, 5)", "Error in function logn()."},
        {"logn(2, 0)", "Error in function logn()."},
        {"arcsin(1.5)", "Error in function arcsin()."},
        {"arccos(-2)", "Error in function arccos()."},
        {"arctan2(power(10, 308) * 10 - power(10, 308) * 10, 1)",  // NaN
         "Error in function arctan2()."},
        {"power(-8, 1 / 3)", "Error in function power()."},
        {"power(0, -1)", "Error in function power()."},
        {"power(-2, power(10, 10))", "Error in function power()."},
    };
    for (auto [source, message] : cases) {
        errors.clear();
        RValue v = Eval(source);
        EXPECT_TRUE(IsReal(v, 0)) << source;
        ASSERT_FALSE(errors.empty()) << source;
        EXPECT_EQ(errors.back(), message) << source;
    }
}

TEST_F(MathFunctionsTest, FaultsDoNotStopTheCode) {
    RValue v = Run("a = sqrt(-4); b = 7; return a + b");
    EXPECT_TRUE(IsReal(v, 7));
    EXPECT_EQ(errors, std::vector<std::string>{"Cannot apply sqrt to negative number."});
    EXPECT_EQ(w.engine.errors.error_occurred, true);
}

TEST_F(MathFunctionsTest, GeneratorSequenceAfterSeed) {
    // s1 = 1 * 134775813 + 1; s2 = s1 * 134775813 + 1 (mod 2^32).
    const uint32_t s1 = 134775814u, s2 = s1 * 134775813u + 1u, s3 = s2 * 134775813u + 1u;
    RValue v = Run("random_set_seed(1); return random(1)");
    EXPECT_TRUE(IsReal(v, 134775814.0 / 4294967296.0));
    v = Run("random_set_seed(1); a = random(1); return random(10)");
    EXPECT_TRUE(IsReal(v, double(s2) / 4294967296.0 * 10));
    // An integer draw is the high half of s * n.
    v = Run("random_set_seed(1); a = random(1); b = random(1); return choose(10, 20, 30)");
    EXPECT_TRUE(IsReal(v, 10.0 * (1 + ((uint64_t(s3) * 3) >> 32))));
    // The same seed, the same sequence.
    EXPECT_TRUE(IsReal(Run("random_set_seed(77); a = random(5); random_set_seed(77); "
                           "return random(5) - a"),
                       0));
    // Negative ranges stay on their side of zero.
    const double neg = Run("random_set_seed(5); return random(-3)").real;
    EXPECT_LE(neg, 0);
    EXPECT_GT(neg, -3);
}

TEST_F(MathFunctionsTest, SeedIsTheLow32BitsAndReadsSigned) {
    EXPECT_TRUE(IsReal(Run("random_set_seed(1); return random_get_seed()"), 1));
    EXPECT_TRUE(IsReal(Run("random_set_seed(4294967295); return random_get_seed()"), -1));
    EXPECT_TRUE(IsReal(Run("random_set_seed(4294967298); return random_get_seed()"), 2));
    EXPECT_TRUE(IsReal(Run("random_set_seed(2.5); return random_get_seed()"), 2));
    EXPECT_TRUE(IsReal(Run("random_set_seed(-2); return random_get_seed()"), -2));
    // A draw advances the seed.
    EXPECT_TRUE(IsReal(Run("random_set_seed(1); random(1); return random_get_seed()"), 134775814));
}

TEST_F(MathFunctionsTest, RandomizeHonoursTheFixedSeed) {
    w.engine.random.fixed_seed = 1234u;
    EXPECT_TRUE(IsReal(Run("random_set_seed(9); randomize(); return random_get_seed()"), 1234));
}

TEST_F(MathFunctionsTest, ChooseReturnsAnArgumentUnchanged) {
    EXPECT_TRUE(IsReal(Eval("choose()"), 0));
    EXPECT_TRUE(IsText(Eval("choose(\"a\")"), "a"));
    // Every argument can be chosen, and nothing else.
    std::vector<int> seen(3);
    Run("random_set_seed(3)");
    for (int i = 0; i < 60; ++i) {
        RValue v = Eval("choose(\"x\", 1, 2)");
        if (IsText(v, "x")) {
            ++seen[0];
        } else if (IsReal(v, 1)) {
            ++seen[1];
        } else if (IsReal(v, 2)) {
            ++seen[2];
        } else {
            ADD_FAILURE() << "choose gave something else";
        }
    }
    for (int n : seen) EXPECT_GT(n, 0);
}

TEST_F(MathFunctionsTest, MinAndMaxKeepTheWinnersKind) {
    struct Case {
        const char* source;
        bool text;
        double real;
        const char* str;
    };
    const Case cases[] = {
        {"min(3, 1, 2)", false, 1, ""},
        {"max(3, 1, 2)", false, 3, ""},
        {"min()", false, 0, ""},
        {"max(-5)", false, -5, ""},
        {"max(\"a\", \"b\")", true, 0, "b"},
        {"min(\"b\", \"a\", \"c\")", true, 0, "a"},
        {"min(3, \"a\")", true, 0, "a"},    // the text counts as 0 against a real
        {"min(-1, \"a\")", false, -1, ""},  // 0 is not below -1
        {"max(3, \"a\")", false, 3, ""},
        // Once a text leads only texts are compared, and a real's text is empty.
        {"min(\"b\", -7, \"a\")", false, -7, ""},
        {"max(\"b\", -7, \"a\")", true, 0, "b"},
        {"max(\"Z\", \"a\")", true, 0, "a"},  // by byte value
        {"min3(3, 1, 2)", false, 1, ""},
        {"max3(3, 1, 2)", false, 3, ""},
        {"max3(\"a\", \"c\", \"b\")", true, 0, "c"},
    };
    for (const Case& c : cases) {
        RValue v = Eval(c.source);
        if (c.text) {
            EXPECT_TRUE(IsText(v, c.str)) << c.source;
        } else {
            EXPECT_TRUE(IsReal(v, c.real)) << c.source;
        }
    }
}

TEST_F(MathFunctionsTest, MeanAndMedian) {
    ExpectReals(*this, {
                           {"mean()", 0},
                           {"mean(1, 2, 3, 4)", 2.5},
                           {"mean(\"a\", 4)", 2},
                           {"median()", 0},
                           {"median(5)", 5},
                           {"median(1, 2, 3, 4)", 2},  // the lower middle value
                           {"median(4, 3, 2, 1)", 2},
                           {"median(9, 1, 5)", 5},
                           {"median(2, 2, 2, 1)", 2},
                           {"median(7, 7)", 7},
                       });
    // A text counts as 0 and is returned as itself.
    EXPECT_TRUE(IsReal(Eval("median(5, \"m\", 7)"), 5));
    EXPECT_TRUE(IsText(Eval("median(\"m\", -1, 7)"), "m"));
    EXPECT_TRUE(IsReal(Eval("median(\"m\", 5, 7, 9)"), 5));
}

TEST_F(MathFunctionsTest, Geometry) {
    ExpectReals(*this, {
                           {"point_distance(0, 0, 3, 4)", 5},
                           {"point_distance(1, 1, 1, 1)", 0},
                           {"point_direction(0, 0, 0, 10)", 270},
                           {"point_direction(0, 0, 0, -10)", 90},
                           {"point_direction(0, 0, 0, 0)", 0},
                           {"point_direction(0, 0, -1, 0)", 180},
                           {"point_direction(0, 0, 1, 0)", 0},
                           {"point_direction(0, 0, 1, -1)", 45},
                           {"point_direction(0, 0, -1, -1)", 135},
                           {"point_direction(0, 0, 1, 1)", 315},
                           {"point_direction(5, 5, 6, 6)", 315},
                           {"lengthdir_x(10, 90)", 0},
                           {"lengthdir_y(10, 90)", -10},
                           {"lengthdir_x(10, 180)", -10},
                           {"lengthdir_y(10, 270)", 10},
                           {"lengthdir_x(10, 0)", 10},
                           {"lengthdir_y(10, 0)", 0},
                       });
    EXPECT_DOUBLE_EQ(Eval("lengthdir_x(10, 60)").real, 5.0);
    EXPECT_DOUBLE_EQ(Eval("lengthdir_y(2, 45)").real, -std::sqrt(2.0));
    // A tiny upward step is just below 360, never 360 itself.
    const double d = Eval("point_direction(0, 0, 1, power(10, -20))").real;
    EXPECT_GE(d, 0);
    EXPECT_LT(d, 360);
}

TEST_F(MathFunctionsTest, AllFunctionsAreRegisteredWithTheirCounts) {
    const std::pair<const char*, int> cases[] = {
        {"is_real", 1},
        {"is_string", 1},
        {"random", 1},
        {"random_set_seed", 1},
        {"random_get_seed", 0},
        {"randomize", 0},
        {"choose", -1},
        {"abs", 1},
        {"round", 1},
        {"floor", 1},
        {"ceil", 1},
        {"sign", 1},
        {"frac", 1},
        {"sqrt", 1},
        {"sqr", 1},
        {"exp", 1},
        {"ln", 1},
        {"log2", 1},
        {"log10", 1},
        {"logn", 2},
        {"sin", 1},
        {"cos", 1},
        {"tan", 1},
        {"arcsin", 1},
        {"arccos", 1},
        {"arctan", 1},
        {"arctan2", 2},
        {"degtorad", 1},
        {"radtodeg", 1},
        {"power", 2},
        {"min", -1},
        {"max", -1},
        {"min3", 3},
        {"max3", 3},
        {"mean", -1},
        {"median", -1},
        {"point_distance", 4},
        {"point_direction", 4},
        {"lengthdir_x", 2},
        {"lengthdir_y", 2},
    };
    for (auto [name, argc] : cases) {
        const int id = w.engine.FindFunction(name);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(w.engine.functions.At(id).argc, argc) << name;
    }
}

}  // namespace
}  // namespace tb
