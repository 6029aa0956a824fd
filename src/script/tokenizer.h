// Cutting script text into tokens.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

// Token kinds; statement and operator nodes of the code tree reuse these codes.
enum TokenKind : int32_t {
    kTokEnd = -2,
    kTokError = -1,
    kTokName = 0,
    kTokNumber = 1,
    kTokString = 2,
    kTokValue = 5,
    kTokFunction = 6,
    kTokVariable = 7,  // resolved tokens
    kTokBegin = 11,
    kTokEndBlock = 12,
    kTokIf = 13,
    kTokThen = 14,
    kTokElse = 15,
    kTokWhile = 16,
    kTokDo = 17,
    kTokFor = 18,
    kTokUntil = 19,
    kTokRepeat = 20,
    kTokExit = 21,
    kTokBreak = 22,
    kTokContinue = 23,
    kTokWith = 24,
    kTokReturn = 25,
    kTokSwitch = 26,
    kTokCase = 27,
    kTokDefault = 28,
    kTokVar = 29,
    kTokGlobalVar = 30,
    kTokAssign = 101,
    kTokAddAssign = 102,
    kTokSubAssign = 103,
    kTokMulAssign = 104,
    kTokDivAssign = 105,
    kTokOpenParen = 106,
    kTokCloseParen = 107,
    kTokSemicolon = 108,
    kTokComma = 109,
    kTokOpenBracket = 110,
    kTokCloseBracket = 111,
    kTokDot = 112,
    kTokColon = 113,
    kTokOrAssign = 114,
    kTokAndAssign = 115,
    kTokXorAssign = 116,
    // 201 .. 222: the operators (see script/operators.h)
};

struct RToken1 {
    int32_t kind = kTokEnd;
    std::string text;      // a string literal without its quotes; empty for the end token
    int32_t position = 0;  // 1-based index of the first character in the source
};

// Reads one token at the 1-based `position` and moves it past the token.
RToken1 NextToken(std::string_view text, int32_t& position);

// The tokens of a whole text (three blanks appended first), ending with the end token.
// Stops at an error token; `error_position` is then its position (> 0), else 0.
std::vector<RToken1> Tokenize(std::string_view code, int32_t& error_position);

// The value of a number token: "$" hexadecimal, or decimal with any number of dots.
double NumberValue(std::string_view token_text);

}  // namespace tb
