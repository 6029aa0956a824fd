// The value order shared by every data structure: reals within the precision are equal,
// texts compare by bytes, and a real is smaller than any text.
#pragma once

#include "script/value.h"

namespace tb {

constexpr double kDefaultDsPrecision = 0.00000001;

// The precision is game-wide (ds_set_precision) and kept as its absolute value; 0 makes
// the tolerance relative: max(min(|a|, |b|) * 1e-12, 1e-12).
void SetDsPrecision(double precision);
double DsPrecision();

// -1, 0 or 1.
int CompareValues(const RValue& a, const RValue& b);

}  // namespace tb
