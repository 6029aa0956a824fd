// Conversions between reals and texts and the text functions, run through script code, and
// the text forms of reals used across the runner.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "script/random.h"
#include "script/real_text.h"
#include "script_harness.h"

namespace tb {
namespace {

using test::IsReal;
using test::IsText;
using test::RunResult;
using test::ScriptWorld;

// --- the text forms themselves

// string(x) by another route: the exact decimal expansion, cut after two decimals and
// rounded up in magnitude when the third decimal is 5 or more (half away from zero).
std::string TwoDecimalsReference(double x) {
    char buf[200];
    char* end =
        std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed, 90).ptr;
    std::string exact(buf, end);
    const size_t point = exact.find('.');
    int64_t cents = std::stoll(exact.substr(0, point)) * 100 + (exact[point + 1] - '0') * 10 +
                    (exact[point + 2] - '0');
    if (exact[point + 3] >= '5') ++cents;
    std::string out =
        std::to_string(cents / 100) + "." + char('0' + cents / 10 % 10) + char('0' + cents % 10);
    return (x < 0 && cents != 0 ? "-" : "") + out;
}

TEST(RealText, StringOfReals) {
    const std::pair<double, const char*> cases[] = {
        {3, "3"},
        {-12, "-12"},
        {-0.0, "0"},
        {1e12, "1000000000000"},
        {1e15, "1000000000000000"},
        {4611686018427387904.0, "4611686018427387904"},  // 2^62
        {1.0 / 3, "0.33"},
        {2.5, "2.50"},
        {-2.5, "-2.50"},
        {0.1 + 0.2, "0.30"},
        // Exact ties go away from zero.
        {-0.125, "-0.13"},
        {0.125, "0.13"},
        {0.375, "0.38"},
        {0.625, "0.63"},
        {-1.875, "-1.88"},
        // Otherwise the stored value decides: 2.675 is stored below, 0.005 above.
        {2.675, "2.67"},
        {1.005, "1.00"},
        {0.005, "0.01"},
        {0.999, "1.00"},
        {-0.001, "0.00"},  // no minus sign on a zero
        {9999999999.5, "9999999999.50"},
        // More integer digits than the form holds.
        {12345678901.5, "1.23456789E+10"},
        {-12345678901.5, "-1.23456789E+10"},
        {1e20, "1E+20"},
        {9223372036854775808.0, "9.223372037E+18"},  // 2^63: no 64-bit integer
        {1e300, "1E+300"},
        {INFINITY, "INF"},
        {-INFINITY, "-INF"},
        {NAN, "NAN"},
    };
    for (auto [x, text] : cases) EXPECT_EQ(RealToString(x), text) << x;
}

TEST(RealText, StringRoundsTheExactBinaryValueHalfAwayFromZero) {
    for (int k = -20000; k <= 20000; ++k) {
        for (double x : {k / 1000.0, k / 8.0, k / 1000.0 + 123456.0, k * 0.0001}) {
            if (x == std::nearbyint(x)) continue;
            ASSERT_EQ(RealToString(x), TwoDecimalsReference(x)) << x;
        }
    }
    RandomGenerator g;
    g.SetSeed(99);
    for (int i = 0; i < 20000; ++i) {
        const double x = (g.NextReal() - 0.5) * std::ldexp(1.0, int(g.Below(40)));
        if (x == std::nearbyint(x)) continue;
        ASSERT_EQ(RealToString(x), TwoDecimalsReference(x)) << x;
    }
}

TEST(RealText, FormatReal) {
    struct Case {
        double x;
        int total, decimals;
        const char* text;
    };
    const Case cases[] = {
        {3.14159, 8, 2, "    3.14"},
        {1234.5, 2, 0, "1235"},  // a tie at 0 decimals, away from zero
        {-1234.5, 0, 0, "-1235"},
        {2.5, 0, 0, "3"},
        {0.5, 0, 0, "1"},
        {-0.5, 0, 0, "-1"},
        {-0.4, 0, 0, "0"},
        {99.5, 0, 0, "100"},  // the carry adds a digit
        {-99.5, 6, 0, "  -100"},
        {9.75, 0, 1, "9.8"},
        {0.125, 0, 2, "0.13"},
        {1, 6, 3, " 1.000"},
        {1, 5, 3, "1.000"},
        {1, -4, 1, "1.0"},
        {2.7, 0, -3, "3"},                     // negative decimals: none
        {0.5, 0, 25, "0.500000000000000000"},  // more than 18 decimals: 18
        // At most 18 significant digits; the rest are written as 0.
        {1.0 / 3, 0, 18, "0.333333333333333315"},
        {123.456, 0, 18, "123.456000000000003000"},
        // Stored as ...345.671875: 15 integer digits leave 3 significant decimals.
        {123456789012345.678, 0, 5, "123456789012345.67200"},
        {123456789012345.678, 0, 4, "123456789012345.6720"},
        {1e18, 0, 2, "1E+18"},
        {1180591620717411303424.0, 25, 0, "   1.1805916207174113E+21"},  // 2^70
        {-INFINITY, 5, 2, " -INF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatReal(c.x, c.total, c.decimals), c.text)
            << c.x << " " << c.total << " " << c.decimals;
}

TEST(RealText, ParseReal) {
    const std::pair<const char*, double> good[] = {
        {"12", 12},       {"  12.5 ", 12.5}, {"", 0},       {" \t\r\n", 0}, {"1e3", 1000},
        {"2.5E-1", 0.25}, {"-3", -3},        {"+4.5", 4.5}, {".5", 0.5},    {"5.", 5},
        {"007", 7},       {"1E+2", 100},     {"-0.0", 0},
    };
    for (auto [text, value] : good) {
        double v = -1;
        EXPECT_TRUE(ParseReal(text, v)) << text;
        EXPECT_EQ(v, value) << text;
    }
    const char* bad[] = {"0x10", "1,5", "$10", "abc", "1 2",   "1e",  "e5",    ".",  "-",
                         "+-1",  "1e+", "inf", "nan", "1.2.3", "--1", "1e400", "5a", "1e3.5"};
    for (const char* text : bad) {
        double v = 0;
        EXPECT_FALSE(ParseReal(text, v)) << text;
    }
    // A text is a byte string: an embedded zero byte is not the end.
    double v = 0;
    EXPECT_FALSE(ParseReal(std::string_view("12\0"
                                            "3",
                                            4),
                           v));
}

TEST(RealText, ParseRealReadsBackWhatStringWrites) {
    for (double x : {0.33, -12.0, 1e15, 4611686018427387904.0, 2.5}) {
        double v = 0;
        ASSERT_TRUE(ParseReal(RealToString(x), v)) << x;
        EXPECT_EQ(v, x);
    }
}

// --- the script functions

using StringFunctionsTest = test::FunctionTest;

TEST_F(StringFunctionsTest, TextResults) {
    const std::pair<const char*, std::string_view> cases[] = {
        // conversions
        {"string(\"abc\")", "abc"},
        {"string(1 / 3)", "0.33"},
        {"string(-0.125)", "-0.13"},
        {"string(0.1 + 0.2)", "0.30"},
        {"string(-0)", "0"},
        {"string(power(10, 15))", "1000000000000000"},
        {"string_format(3.14159, 8, 2)", "    3.14"},
        {"string_format(1234.5, 2, 0)", "1235"},
        {"string_format(\"abc\", 10, 2)", "abc"},
        {"string_format(2.5, 3.6, 0.4)", "   3"},  // tot and dec are rounded
        {"chr(65)", "A"},
        {"chr(321)", "A"},   // the low 8 bits
        {"chr(65.5)", "B"},  // rounded half to even: 66
        {"chr(-1)", "\xff"},
        {"chr(0)", std::string_view("\0", 1)},
        // pieces
        {"string_copy(\"hello\", 0, 2)", "he"},
        {"string_copy(\"hello\", -5, 3)", "hel"},
        {"string_copy(\"hello\", 4, 10)", "lo"},
        {"string_copy(\"hello\", 2.5, 2)", "el"},
        {"string_copy(\"hello\", 6, 1)", ""},
        {"string_copy(\"hello\", 2, -1)", ""},
        {"string_copy(\"hello\", 2, 0)", ""},
        {"string_copy(\"hello\", 1, 1000000000000)", "hello"},
        {"string_copy(5, 1, 1)", ""},  // a real is the empty text
        {"string_char_at(\"abc\", 5)", ""},
        {"string_char_at(\"abc\", 0)", "a"},
        {"string_char_at(\"abc\", 3)", "c"},
        {"string_delete(\"abc\", 0, 1)", "abc"},
        {"string_delete(\"abc\", 4, 1)", "abc"},
        {"string_delete(\"abc\", 1, 0)", "abc"},
        {"string_delete(\"abc\", 1, -1)", "abc"},
        {"string_delete(\"abc\", 2, 1)", "ac"},
        {"string_delete(\"abc\", 2, 10)", "a"},
        {"string_delete(\"abc\", 1, 3)", ""},
        {"string_insert(\"X\", \"abc\", 10)", "abcX"},
        {"string_insert(\"X\", \"abc\", 4)", "abcX"},
        {"string_insert(\"X\", \"abc\", 3)", "abXc"},
        {"string_insert(\"X\", \"abc\", 1)", "Xabc"},
        {"string_insert(\"X\", \"abc\", -3)", "Xabc"},
        {"string_insert(\"X\", \"\", 1)", "X"},
        // case and filters: only A to Z and a to z are letters
        {"string_lower(\"AbC-z\" + chr(196))", "abc-z\xc4"},
        {"string_upper(\"AbC-z\" + chr(228))", "ABC-Z\xe4"},
        {"string_repeat(\"ab\", 3)", "ababab"},
        {"string_repeat(\"ab\", 2.5)", "abab"},
        {"string_repeat(\"ab\", 0)", ""},
        {"string_repeat(\"ab\", -2)", ""},
        {"string_repeat(\"\", 1000000000000)", ""},
        {"string_letters(\"a1b2-C\" + chr(233))", "abC"},
        {"string_digits(\"a1b2-C9\")", "129"},
        {"string_lettersdigits(\"a1 b2-C_\")", "a1b2C"},
        // search and replace
        {"string_replace(\"hello\", \"l\", \"L\")", "heLlo"},
        {"string_replace(\"hello\", \"\", \"x\")", "hello"},
        {"string_replace(\"hello\", \"z\", \"x\")", "hello"},
        {"string_replace(\"aaa\", \"a\", \"aa\")", "aaaa"},
        {"string_replace_all(\"aaa\", \"a\", \"aa\")", "aaaaaa"},
        {"string_replace_all(\"hello\", \"l\", \"\")", "heo"},
        {"string_replace_all(\"abab\", \"ab\", \"b\")", "bb"},
        {"string_replace_all(\"aaaa\", \"aa\", \"a\")", "aa"},
        {"string_replace_all(\"aaa\", \"aa\", \"b\")", "ba"},
        {"string_replace_all(\"x\", \"\", \"y\")", "x"},
    };
    for (auto [source, text] : cases) {
        RValue v = Eval(source);
        EXPECT_TRUE(IsText(v, text))
            << source << " gave " << (v.IsString() ? v.text.str() : std::to_string(v.real));
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(StringFunctionsTest, RealResults) {
    const std::pair<const char*, double> cases[] = {
        {"real(5)", 5},
        {"real(\"  12.5 \")", 12.5},
        {"real(\"\")", 0},
        {"real(\" \" + chr(9))", 0},
        {"real(\"1e3\")", 1000},
        {"real(\"-2.5\")", -2.5},
        {"ord(\"A\")", 65},
        {"ord(\"Abc\")", 65},
        {"ord(\"\")", 0},
        {"ord(chr(200))", 200},  // bytes are unsigned
        {"ord(5)", 0},
        {"string_length(\"abc\")", 3},
        {"string_length(chr(0))", 1},
        {"string_length(\"\")", 0},
        {"string_length(12)", 0},
        {"string_pos(\"lo\", \"hello\")", 4},
        {"string_pos(\"l\", \"hello\")", 3},
        {"string_pos(\"x\", \"hello\")", 0},
        {"string_pos(\"\", \"hello\")", 0},
        {"string_pos(\"hello!\", \"hello\")", 0},
        {"string_pos(\"L\", \"hello\")", 0},  // case-sensitive
        {"string_count(\"aa\", \"aaaa\")", 2},
        {"string_count(\"aa\", \"aaa\")", 1},
        {"string_count(\"a\", \"banana\")", 3},
        {"string_count(\"ana\", \"banana\")", 1},
        {"string_count(\"\", \"abc\")", 0},
    };
    for (auto [source, value] : cases) {
        RValue v = Eval(source);
        EXPECT_TRUE(IsReal(v, value))
            << source << " gave " << (v.IsString() ? v.text.str() : std::to_string(v.real));
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(StringFunctionsTest, FaultsShowTheirMessageAndGiveZero) {
    const std::pair<const char*, const char*> cases[] = {
        {"real(\"0x10\")", "Error in function real()."},
        {"real(\"1,5\")", "Error in function real()."},
        {"real(\"$10\")", "Error in function real()."},
        {"real(\"abc\")", "Error in function real()."},
        {"real(\"1 2\")", "Error in function real()."},
        // Results beyond 1 GiB fail instead of exhausting memory.
        {"string_repeat(\"ab\", 1000000000000)", "Out of memory."},
        {"string_repeat(\"ab\", 600000000)", "Out of memory."},
        {"string_format(1, 1000000000000, 0)", "Out of memory."},
        {"string_replace_all(string_repeat(\"a\", 1048576), \"a\", string_repeat(\"b\", 2048))",
         "Out of memory."},
    };
    for (auto [source, message] : cases) {
        errors.clear();
        RValue v = Eval(source);
        EXPECT_TRUE(IsReal(v, 0)) << source;
        ASSERT_EQ(errors.size(), 1u) << source;
        EXPECT_EQ(errors.back(), message) << source;
    }
}

TEST_F(StringFunctionsTest, LongResultsBelowTheLimitAreBuilt) {
    RValue v = Eval("string_length(string_repeat(\"abc\", 100000))");
    EXPECT_TRUE(IsReal(v, 300000));
    v = Eval(
        "string_count(\"ab\", string_replace_all(string_repeat(\"x\", 50000), \"x\", \"ab\"))");
    EXPECT_TRUE(IsReal(v, 50000));
    EXPECT_TRUE(errors.empty());
}

TEST_F(StringFunctionsTest, AllFunctionsAreRegisteredWithTheirCounts) {
    const std::pair<const char*, int> cases[] = {
        {"real", 1},
        {"string", 1},
        {"string_format", 3},
        {"chr", 1},
        {"ord", 1},
        {"string_length", 1},
        {"string_pos", 2},
        {"string_copy", 3},
        {"string_char_at", 2},
        {"string_delete", 3},
        {"string_insert", 3},
        {"string_lower", 1},
        {"string_upper", 1},
        {"string_repeat", 2},
        {"string_letters", 1},
        {"string_digits", 1},
        {"string_lettersdigits", 1},
        {"string_replace", 3},
        {"string_replace_all", 3},
        {"string_count", 2},
    };
    for (auto [name, argc] : cases) {
        const int id = w.engine.FindFunction(name);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(w.engine.functions.At(id).argc, argc) << name;
    }
}

}  // namespace
}  // namespace tb
