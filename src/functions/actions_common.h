// What every action function shares: the relative flag of the running action, the comparison
// codes of the questions, and calling the built-in function an action stands for.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "functions/arguments.h"
#include "script/engine.h"
#include "script/registry.h"
#include "script/value.h"
#include "world/world.h"

namespace tb::actions {

#define TB_ACTION(name)                                                                \
    void name([[maybe_unused]] ScriptEngine& e, [[maybe_unused]] CInstance* self,      \
              [[maybe_unused]] CInstance* other, int, [[maybe_unused]] RValue& result, \
              [[maybe_unused]] const RValue* a)

// The action's relative box is ticked (false when a script calls the function).
inline bool Relative(const ScriptEngine& e) {
    return e.world && e.world->argument_relative;
}

// A value that Relative adds to the current one.
inline double Rel(const ScriptEngine& e, double current, const RValue& v) {
    return Relative(e) ? current + Number(v) : Number(v);
}

// A position taken relative to the calling instance when Relative holds.
double RelX(const ScriptEngine& e, const CInstance* self, const RValue& v);
double RelY(const ScriptEngine& e, const CInstance* self, const RValue& v);

// Comparison codes: 0 equal, 1 smaller than, 2 larger than, anything else equal.
template <class T>
bool Compare(const T& left, const T& right, const RValue& code) {
    switch (Int(code)) {
        case 1:
            return left < right;
        case 2:
            return left > right;
        default:
            return left == right;
    }
}

inline void SetAnswer(RValue& result, bool yes) {
    result.SetReal(yes ? 1 : 0);
}

// The text of a caption-like argument: a string as it is, a real as string() writes it.
std::string TextOf(const RValue& v);

// Calls a built-in function with the given arguments; its result.
template <size_t N>
RValue CallBuiltin(BuiltinFunction f, ScriptEngine& e, CInstance* self, CInstance* other,
                   const std::array<RValue, N>& args) {
    RValue result;
    f(e, self, other, int(N), result, args.data());
    return result;
}

inline RValue Real(double v) {
    return RValue::Real(v);
}

}  // namespace tb::actions
