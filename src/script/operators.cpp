#include "script/operators.h"

#include <cmath>
#include <string>
#include <string_view>

namespace tb {

namespace {

// The sign of the comparison of two values of one kind: L - R for reals (no tolerance, so
// only the sign of that difference counts), byte order for texts.
inline int CompareSign(const RValue& l, const RValue& r) {
    if (!l.IsString()) {
        const double d = l.real - r.real;
        return d < 0 ? -1 : (d > 0 ? 1 : (d == 0 ? 0 : 2));  // 2: NaN, unequal to everything
    }
    const int c = l.text.view().compare(r.text.view());  // unsigned bytes, then length
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// The truncated quotient as a 32-bit signed integer: only its low 32 bits remain. A
// quotient with no integer value (infinite or NaN) gives 0.
inline int32_t TruncatedQuotient32(double l, double r) {
    const double q = std::trunc(l / r);
    if (!std::isfinite(q)) return 0;
    if (q >= -2147483648.0 && q <= 2147483647.0) return int32_t(q);
    const double low = std::fmod(q, 4294967296.0);  // exact, in (-2^32, 2^32)
    return int32_t(uint32_t(int64_t(low)));
}

// Shift count: the low 8 bits of the rounded count. 0 to 63 shift; every other byte value
// (64 to 127, and 128 to 255, which covers every negative count) gives 0.
inline int ShiftCount(double r) {
    return int(uint8_t(uint64_t(RoundToInt64(r))));
}

inline void SetBool(RValue& v, bool b) {
    v.SetReal(b ? 1.0 : 0.0);
}

// The text repeated n times (n <= 0: empty).
RString Repeat(std::string_view text, int32_t n) {
    if (n <= 0 || text.empty()) return RString();
    std::string out;
    out.reserve(text.size() * size_t(n));
    for (int32_t i = 0; i < n; ++i) out.append(text);
    return RString(out);
}

}  // namespace

const char* ApplyUnary(int32_t op, RValue& v) {
    switch (op) {
        case kOpNot:
        case kOpPlus:
        case kOpMinus:
        case kOpBitNot:
            break;
        default:
            return "Internal error: unknown unary operator.";
    }
    if (v.IsString()) return "Wrong type of arguments to unary operator.";
    switch (op) {
        case kOpNot:
            v.real = v.real < 0.5 ? 1.0 : 0.0;
            break;
        case kOpMinus:
            v.real = -v.real;
            break;
        case kOpBitNot:
            v.real = double(~RoundToInt64(v.real));
            break;
        default:  // unary plus
            break;
    }
    return nullptr;
}

const char* ApplyBinary(int32_t op, RValue& left, const RValue& right) {
    const bool both_real = !left.IsString() && !right.IsString();
    // Reals stay reals, so the arithmetic paths only write `real` (the text is already empty).
    switch (op) {
        case kOpPlus:
            if (both_real) {
                left.real += right.real;
            } else if (left.IsString() && right.IsString()) {
                // `s += s` doubles: bounded like every other text that grows.
                if (left.text.size() + right.text.size() > kMaxRepeatBytes) return "Out of memory.";
                left.text.Append(right.text);
            } else {
                return "Wrong type of arguments to +.";
            }
            return nullptr;
        case kOpMinus:
            if (!both_real) return "Wrong type of arguments to -.";
            left.real -= right.real;
            return nullptr;
        case kOpTimes:
            if (both_real) {
                left.real *= right.real;
            } else if (!left.IsString() && right.IsString()) {
                const int32_t n = RoundToInt32(left.real);
                if (n > 0 && right.text.size() > kMaxRepeatBytes / size_t(n)) {
                    return "Out of memory.";
                }
                left.SetString(Repeat(right.text.view(), n));
            } else {
                return "Wrong type of arguments to *.";
            }
            return nullptr;
        case kOpDivide:
            if (!both_real) return "Wrong type of arguments to /.";
            if (right.real == 0) return "Division by 0.";
            left.real /= right.real;
            return nullptr;
        case kOpDiv:
            if (!both_real) return "Wrong type of arguments to div.";
            if (right.real == 0) return "Division by 0.";
            left.real = double(TruncatedQuotient32(left.real, right.real));
            return nullptr;
        case kOpMod:
            if (!both_real) return "Wrong type of arguments to mod.";
            if (right.real == 0) return "Modulo by 0.";
            left.real -= double(TruncatedQuotient32(left.real, right.real)) * right.real;
            return nullptr;

        case kOpAssign:  // `=` in an expression compares
        case kOpEqual:
        case kOpNotEqual:
        case kOpLess:
        case kOpLessEqual:
        case kOpGreater:
        case kOpGreaterEqual: {
            if (left.kind != right.kind) return "Cannot compare arguments.";
            const int d = CompareSign(left, right);
            bool result;
            switch (op) {
                case kOpNotEqual:
                    result = d != 0;
                    break;
                case kOpLess:
                    result = d == -1;
                    break;
                case kOpLessEqual:
                    result = d == -1 || d == 0;
                    break;
                case kOpGreater:
                    result = d == 1;
                    break;
                case kOpGreaterEqual:
                    result = d == 1 || d == 0;
                    break;
                default:
                    result = d == 0;
                    break;
            }
            SetBool(left, result);
            return nullptr;
        }

        case kOpAnd:
            if (!both_real) return "Wrong type of arguments for &&.";
            left.real = IsTrue(left.real) && IsTrue(right.real) ? 1.0 : 0.0;
            return nullptr;
        case kOpOr:
            if (!both_real) return "Wrong type of arguments for ||.";
            left.real = IsTrue(left.real) || IsTrue(right.real) ? 1.0 : 0.0;
            return nullptr;
        case kOpXor:
            if (!both_real) return "Wrong type of arguments for ^^.";
            left.real = IsTrue(left.real) != IsTrue(right.real) ? 1.0 : 0.0;
            return nullptr;

        case kOpBitOr:
            if (!both_real) return "Wrong type of arguments for |.";
            left.real = double(RoundToInt64(left.real) | RoundToInt64(right.real));
            return nullptr;
        case kOpBitAnd:
            if (!both_real) return "Wrong type of arguments for &.";
            left.real = double(RoundToInt64(left.real) & RoundToInt64(right.real));
            return nullptr;
        case kOpBitXor:
            if (!both_real) return "Wrong type of arguments for ^.";
            left.real = double(RoundToInt64(left.real) ^ RoundToInt64(right.real));
            return nullptr;
        case kOpShiftLeft: {
            if (!both_real) return "Wrong type of arguments for <<.";
            const int n = ShiftCount(right.real);
            const uint64_t bits = uint64_t(RoundToInt64(left.real));
            left.real = n < 64 ? double(int64_t(bits << n)) : 0.0;
            return nullptr;
        }
        case kOpShiftRight: {
            if (!both_real) return "Wrong type of arguments for >>.";
            const int n = ShiftCount(right.real);
            const uint64_t bits = uint64_t(RoundToInt64(left.real));
            left.real = n < 64 ? double(int64_t(bits >> n)) : 0.0;
            return nullptr;
        }
        default:
            return "Internal error: unknown binary operator.";
    }
}

}  // namespace tb
