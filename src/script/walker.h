// What the register machine shares with the tree walker: the execution context, the `var`
// locals, the storage places and the nodes the machine leaves to the walker.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "script/operators.h"
#include "script/program.h"
#include "script/value.h"
#include "script/value_stack.h"

#if defined(__GNUC__)
#define TB_COLD __attribute__((cold, noinline))
#define TB_NOINLINE __attribute__((noinline))
#define TB_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define TB_COLD
#define TB_NOINLINE
#define TB_LIKELY(x) (x)
#endif

namespace tb {

class ScriptEngine;
struct CInstance;
class CCode;

namespace walk {

enum Completion : int { kNormal = 0, kError = -1, kExit = -2, kBreak = -3, kContinue = -4 };

// One `var` local of an execution: the scalar (element key 0) and the array rows.
struct LocalSlot {
    RValue value;
    std::vector<std::vector<RValue>> rows;
    size_t elements = 0;  // in all rows
    bool defined = false;
};

struct Ctx {
    ScriptEngine& engine;
    CInstance* self;
    CInstance* other;
    const CCode& code;
    const XNode* nodes;
    const int32_t* kids;
    const PureOp* pure;
    LocalSlot* locals;
};

bool Fail(Ctx& c, int32_t position, std::string_view text);
int FailStatement(Ctx& c, int32_t position, std::string_view text);

bool LocalRead(const LocalSlot& s, int32_t key, RValue& out);
bool LocalCanCreate(const LocalSlot& s, int32_t key);
RValue& GrowLocalPlace(LocalSlot& s, int32_t key);

// A local's element, created when missing; an element of the first row that exists already
// is found without growing anything.
inline RValue& LocalPlace(LocalSlot& s, int32_t key) {
    s.defined = true;
    if (key == 0) return s.value;
    if (TB_LIKELY(key < kArrayDimension && !s.rows.empty() && size_t(key) < s.rows[0].size()))
        return s.rows[0][size_t(key)];
    return GrowLocalPlace(s, key);
}

// How a write went: refused (the variable cannot be written) or its array would grow past
// kMaxArrayElements.
enum WriteResult { kWriteRefused = 0, kWriteDone = 1, kWriteTooLarge = 2 };
constexpr const char* kOutOfMemory = "Out of memory.";

bool SpecifierRead(Ctx& c, const XNode& n, int64_t specifier, int32_t key, RValue& out);
int SpecifierWrite(Ctx& c, const XNode& n, int64_t specifier, int32_t key, const RValue& v);
// The place of a variable node; only kIndexed evaluates anything.
bool PlaceOf(Ctx& c, const XNode& n, int64_t& specifier, int32_t& key);
bool ReadVariable(Ctx& c, const XNode& n, RValue& out);
bool UnknownVariable(Ctx& c, const XNode& n, int32_t key, RValue& out);
int32_t CompoundOperator(int32_t assign);

bool Eval(Ctx& c, int32_t index, RValue& out);
int Exec(Ctx& c, int32_t index, RValue& result);
// A script call with its 16 argument slots in `frame`.
bool CallScriptLean(Ctx& c, const XNode& n, RValue& out, ValueStack::Frame& frame);

// SetReal without touching the text when there is none (the usual case for temporaries).
inline void StoreReal(RValue& v, double d) {
    if (TB_LIKELY(v.text.empty())) {
        v.kind = kKindReal;
        v.real = d;
    } else {
        v.SetReal(d);
    }
}

// Operators on two reals computed in place; false sends the pair to ApplyBinary (strings,
// division by zero, and the rarer operators).
inline bool RealBinary(int32_t op, double l, double r, double& out) {
    switch (op) {
        case kOpPlus:
            out = l + r;
            return true;
        case kOpMinus:
            out = l - r;
            return true;
        case kOpTimes:
            out = l * r;
            return true;
        case kOpDivide:
            if (r == 0) return false;
            out = l / r;
            return true;
        case kOpLess:
            out = (l - r) < 0 ? 1 : 0;
            return true;
        case kOpLessEqual:
            out = (l - r) <= 0 ? 1 : 0;
            return true;
        case kOpAssign:
        case kOpEqual:
            out = (l - r) == 0 ? 1 : 0;
            return true;
        case kOpNotEqual:
            out = (l - r) != 0 ? 1 : 0;
            return true;
        case kOpGreaterEqual:
            out = (l - r) >= 0 ? 1 : 0;
            return true;
        case kOpGreater:
            out = (l - r) > 0 ? 1 : 0;
            return true;
        case kOpDiv:
        case kOpMod: {
            // Quotients outside 32 bits keep only their low bits: left to ApplyBinary.
            if (r == 0) return false;
            // Inside this range the conversion truncates exactly as the 32-bit quotient does.
            const double q = l / r;
            if (!(q > -2147483649.0 && q < 2147483648.0)) return false;
            const int32_t t = int32_t(q);
            out = op == kOpDiv ? double(t) : l - double(t) * r;
            return true;
        }
        case kOpAnd:
            out = (l >= 0.5 && r >= 0.5) ? 1 : 0;
            return true;
        case kOpOr:
            out = (l >= 0.5 || r >= 0.5) ? 1 : 0;
            return true;
        default:
            return false;
    }
}

// The register machine (machine.cpp): runs the unit's instructions; false on an error.
bool RunMachine(Ctx& c, RValue& result);

}  // namespace walk
}  // namespace tb
