// Reading the arguments of built-in functions: a string where a number is expected counts as 0.
#pragma once

#include <cstdint>

#include "script/value.h"

namespace tb {

inline double Number(const RValue& v) {
    return v.IsString() ? 0 : v.real;
}

inline int32_t Int(const RValue& v) {
    return RoundToInt32(Number(v));
}

inline bool Flag(const RValue& v) {
    return IsTrue(Number(v));
}

}  // namespace tb
