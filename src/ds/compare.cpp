#include "ds/compare.h"

#include <algorithm>

namespace tb {

namespace {
double g_precision = kDefaultDsPrecision;
}

void SetDsPrecision(double precision) {
    g_precision = std::fabs(precision);
}

double DsPrecision() {
    return g_precision;
}

int CompareValues(const RValue& a, const RValue& b) {
    if (a.IsString() != b.IsString()) return a.IsString() ? 1 : -1;
    if (a.IsString()) {
        const int c = a.text.view().compare(b.text.view());
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    double eps = g_precision;
    if (eps == 0) eps = std::max(std::min(std::fabs(a.real), std::fabs(b.real)) * 1e-12, 1e-12);
    if (std::fabs(a.real - b.real) <= eps) return 0;
    return a.real < b.real ? -1 : 1;
}

}  // namespace tb
