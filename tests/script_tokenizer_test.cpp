#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/tokenizer.h"

namespace tb {
namespace {

// "kind:text@position" for every token before the end token.
std::string Dump(std::string_view code) {
    int32_t error = 0;
    std::vector<RToken1> tokens = Tokenize(code, error);
    std::string out;
    for (const RToken1& t : tokens) {
        if (t.kind == kTokEnd) break;
        if (!out.empty()) out += ' ';
        out += std::to_string(t.kind) + ":" + t.text + "@" + std::to_string(t.position);
    }
    return out;
}

std::string Kinds(std::string_view code) {
    int32_t error = 0;
    std::string out;
    for (const RToken1& t : Tokenize(code, error)) {
        if (t.kind == kTokEnd) break;
        if (!out.empty()) out += ' ';
        out += std::to_string(t.kind);
    }
    return out;
}

TEST(TokenizerTest, KindsOfSpellings) {
    struct Case {
        const char* code;
        const char* kinds;
    } cases[] = {
        {"a=b", "0 101 0"},
        {"a==b", "0 206 0"},
        {"a:=b", "0 101 0"},
        {"x<>y", "0 207 0"},
        {"x< >y", "0 204 209 0"},
        {"!x", "203 0"},
        {"a!=b", "0 207 0"},
        {"^^ ^ ^=", "216 219 116"},
        {"{ begin } end", "11 11 12 12"},
        {"If BEGIN if", "0 0 13"},
        {"and or not div mod xor", "201 202 203 214 215 216"},
        {"&& || <= >= << >> |= &= += -= *= /=", "201 202 205 208 221 222 114 115 102 103 104 105"},
        {"( ) ; , [ ] . : ~ | & + - * / < >",
         "106 107 108 109 110 111 112 113 220 217 218 210 211 212 213 204 209"},
        {"then else while do for until repeat exit break continue with return",
         "14 15 16 17 18 19 20 21 22 23 24 25"},
        {"switch case default var globalvar", "26 27 28 29 30"},
        {"12abc", "1 0"},
        {"1e5", "1 0"},
        {"$1.5", "1 1"},
        {"a.b", "0 112 0"},
        {"100001.x", "1 0"},
        {"(100001).x", "106 1 107 112 0"},
        {"x // comment\ny", "0 0"},
        {"x // last line", "0"},
        {"/*/ x", "0"},
        {"a /* b */ c", "0 0"},
        {"a /* unclosed", "0"},
        {"_a1 a_b", "0 0"},
    };
    for (const Case& c : cases) EXPECT_EQ(Kinds(c.code), c.kinds) << c.code;
}

TEST(TokenizerTest, TextsAndPositions) {
    EXPECT_EQ(Dump("a = 'x'"), "0:a@1 101:=@3 2:x@5");
    EXPECT_EQ(Dump("  \"a\r\nb\""), "2:a\r\nb@3");
    EXPECT_EQ(Dump("'a\"b'"), "2:a\"b@1");
    EXPECT_EQ(Dump("$FF 3.14.15"), "1:$FF@1 1:3.14.15@5");
    EXPECT_EQ(Dump("x<=.5"), "0:x@1 205:<=@2 1:.5@4");
    // An unclosed string runs to the end and keeps the three appended blanks.
    EXPECT_EQ(Dump("s = 'abc"), "0:s@1 101:=@3 2:abc   @5");
}

TEST(TokenizerTest, EndTokenAndErrors) {
    int32_t error = 0;
    std::vector<RToken1> tokens = Tokenize("", error);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].kind, kTokEnd);
    EXPECT_EQ(error, 0);

    for (const char* bad : {"a # b", "a % b", "a ? b", "a @ b", "a ` b", "a \\ b", "a \xC4 b"}) {
        tokens = Tokenize(bad, error);
        EXPECT_EQ(error, 3) << bad;
        EXPECT_EQ(tokens.back().kind, kTokError) << bad;
    }
    // Inside strings and comments the same bytes are fine.
    tokens = Tokenize("'#%?' // @\n/* \\ */", error);
    EXPECT_EQ(error, 0);
}

TEST(TokenizerTest, NextTokenMovesPastTheToken) {
    int32_t pos = 1;
    RToken1 t = NextToken("  abc+", pos);
    EXPECT_EQ(t.kind, kTokName);
    EXPECT_EQ(t.position, 3);
    EXPECT_EQ(pos, 6);
    t = NextToken("  abc+", pos);
    EXPECT_EQ(t.kind, 210);
    EXPECT_EQ(pos, 7);
    t = NextToken("  abc+", pos);
    EXPECT_EQ(t.kind, kTokEnd);
    EXPECT_EQ(t.position, 7);
}

TEST(TokenizerTest, NumberValues) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"$FF", 255}, {"$ff", 255},        {"$", 0},  {"$10", 16},    {"1.2.3", 1.23}, {".5", 0.5},
        {"42", 42},   {"3.14.15", 3.1415}, {"7.", 7}, {"0.25", 0.25},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(NumberValue(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace tb
