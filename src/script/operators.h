// Every unary and binary operator of the language, shared by the interpreter, compound
// assignments and constant folding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script/value.h"

namespace tb {

// Longest text that joining and repeating build (`+`, `*` and the text functions); a larger
// result fails with "Out of memory." instead of exhausting memory.
constexpr size_t kMaxRepeatBytes = size_t(1) << 30;

// Operator codes are the token codes.
enum Op : int32_t {
    kOpAssign = 101,
    kOpAddAssign = 102,
    kOpSubAssign = 103,
    kOpMulAssign = 104,
    kOpDivAssign = 105,
    kOpOrAssign = 114,
    kOpAndAssign = 115,
    kOpXorAssign = 116,
    kOpAnd = 201,
    kOpOr = 202,
    kOpNot = 203,
    kOpLess = 204,
    kOpLessEqual = 205,
    kOpEqual = 206,
    kOpNotEqual = 207,
    kOpGreaterEqual = 208,
    kOpGreater = 209,
    kOpPlus = 210,
    kOpMinus = 211,
    kOpTimes = 212,
    kOpDivide = 213,
    kOpDiv = 214,
    kOpMod = 215,
    kOpXor = 216,
    kOpBitOr = 217,
    kOpBitAnd = 218,
    kOpBitXor = 219,
    kOpBitNot = 220,
    kOpShiftLeft = 221,
    kOpShiftRight = 222,
};

// Changes `operand` in place. On failure returns the message (a static string) and leaves
// the operand unspecified; on success returns nullptr.
const char* ApplyUnary(int32_t op, RValue& operand);
// The result replaces `left`. Same failure convention. Exact messages, for example
// "Wrong type of arguments to +." and "Division by 0.".
const char* ApplyBinary(int32_t op, RValue& left, const RValue& right);

}  // namespace tb
