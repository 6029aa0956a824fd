// Type tests, random numbers, arithmetic, aggregates and plane geometry.
#include <cmath>
#include <cstdint>
#include <numbers>

#include "functions/register.h"
#include "script/engine.h"
#include "script/errors.h"

namespace tb {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// A fault of a math function: the message, and the result stays real 0.
void Fail(ScriptEngine& engine, const char* message) {
    ShowRuntimeError(engine, message, false);
}

// An integral value as a 32-bit signed integer: only its low 32 bits remain. Infinite and
// NaN values have no integer and give 0.
double Low32(double integral) {
    if (integral >= -2147483648.0 && integral <= 2147483647.0) return integral;
    if (!std::isfinite(integral)) return 0;
    const double low = std::fmod(integral, 4294967296.0);  // exact, in (-2^32, 2^32)
    return double(int32_t(uint32_t(int64_t(low))));
}

// Values this close to an integer are that integer, so right angles give exact zeros.
double Snap(double v) {
    const double r = std::nearbyint(v);
    return std::fabs(v - r) < 0.0001 ? r : v;
}

// --- type tests and random numbers

void is_real(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = args[0].IsString() ? 0 : 1;
}
void is_string(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = args[0].IsString() ? 1 : 0;
}
void random(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = engine.random.NextReal() * args[0].real;
}
void random_set_seed(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&,
                     const RValue* args) {
    engine.random.SetSeed(uint32_t(uint64_t(RoundToInt64(args[0].real))));
}
void random_get_seed(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                     const RValue*) {
    result.real = double(int32_t(engine.random.Seed()));
}
void randomize(ScriptEngine& engine, CInstance*, CInstance*, int, RValue&, const RValue*) {
    engine.random.Randomize();
}
void choose(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue& result,
            const RValue* args) {
    if (argc > 0) result = args[engine.random.Below(uint32_t(argc))];
}

// --- one real argument

void abs(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = std::fabs(args[0].real);
}
void round(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    // Halves to even; values beyond every 64-bit integer are integral already and stay.
    result.real = std::nearbyint(args[0].real);
}
void floor(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = Low32(std::floor(args[0].real));
}
void ceil(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = Low32(std::ceil(args[0].real));
}
void sign(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const double x = args[0].real;
    result.real = x > 0 ? 1 : (x < 0 ? -1 : 0);
}
void frac(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const double x = args[0].real;
    result.real = x - std::trunc(x);
}
void sqrt(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const double x = args[0].real;
    if (x < 0) return Fail(engine, "Cannot apply sqrt to negative number.");
    result.real = std::sqrt(x);
}
void sqr(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = args[0].real * args[0].real;
}
void exp(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = std::exp(args[0].real);
}
void ln(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (args[0].real <= 0) return Fail(engine, "Error in function ln().");
    result.real = std::log(args[0].real);
}
void log2(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (args[0].real <= 0) return Fail(engine, "Error in function log2().");
    result.real = std::log2(args[0].real);
}
void log10(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (args[0].real <= 0) return Fail(engine, "Error in function log10().");
    result.real = std::log10(args[0].real);
}
void logn(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const double n = args[0].real, x = args[1].real;
    // Base 1 has no logarithm: its own is 0.
    if (!(n > 0) || n == 1 || !(x > 0)) return Fail(engine, "Error in function logn().");
    result.real = std::log(x) / std::log(n);
}
void sin(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = std::sin(args[0].real);
}
void cos(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = std::cos(args[0].real);
}
void tan(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = std::tan(args[0].real);
}
void arcsin(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (std::fabs(args[0].real) > 1) return Fail(engine, "Error in function arcsin().");
    result.real = std::asin(args[0].real);
}
void arccos(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (std::fabs(args[0].real) > 1) return Fail(engine, "Error in function arccos().");
    result.real = std::acos(args[0].real);
}
void arctan(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = std::atan(args[0].real);
}
void arctan2(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
             const RValue* args) {
    const double a = std::atan2(args[0].real, args[1].real);
    if (std::isnan(a)) return Fail(engine, "Error in function arctan2().");
    result.real = a;
}
void degtorad(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = args[0].real / kDegreesPerRadian;
}
void radtodeg(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = args[0].real * kDegreesPerRadian;
}

// x to a whole power by squaring: the same products as repeated multiplication up to
// rounding, in 31 steps at most.
double WholePower(double x, int64_t n) {
    const bool reciprocal = n < 0;
    uint64_t e = uint64_t(reciprocal ? -n : n);
    double r = 1, base = x;
    while (e) {
        if (e & 1) r *= base;
        e >>= 1;
        if (e) base *= base;
    }
    return reciprocal ? 1 / r : r;
}

void power(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const double x = args[0].real, n = args[1].real;
    if (n == 0) {
        result.real = 1;
        return;
    }
    if (x == 0 && n > 0) return;  // 0
    if (x != 0 && n == std::trunc(n) && std::fabs(n) <= 2147483647.0) {
        result.real = WholePower(x, int64_t(n));
        return;
    }
    // Negative x with a fractional power, 0 to a negative power, NaN.
    if (!(x > 0)) return Fail(engine, "Error in function power().");
    result.real = std::pow(x, n);
}

// --- aggregates

// The running result against the next value, for min (less = true) and max: first as reals
// while the result is a real, then as texts while it is a text.
void Aggregate(RValue& result, const RValue* args, int argc, bool less) {
    if (argc <= 0) return;
    const RValue* best = &args[0];
    for (int i = 1; i < argc; ++i) {
        const RValue& v = args[i];
        if (!best->IsString() && (less ? v.real < best->real : v.real > best->real)) best = &v;
        if (best->IsString()) {
            const int c = v.text.view().compare(best->text.view());
            if (less ? c < 0 : c > 0) best = &v;
        }
    }
    result = *best;
}

void min(ScriptEngine&, CInstance*, CInstance*, int argc, RValue& result, const RValue* args) {
    Aggregate(result, args, argc, true);
}
void max(ScriptEngine&, CInstance*, CInstance*, int argc, RValue& result, const RValue* args) {
    Aggregate(result, args, argc, false);
}
void min3(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    Aggregate(result, args, 3, true);
}
void max3(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    Aggregate(result, args, 3, false);
}
void mean(ScriptEngine&, CInstance*, CInstance*, int argc, RValue& result, const RValue* args) {
    if (argc <= 0) return;
    double sum = 0;
    for (int i = 0; i < argc; ++i) sum += args[i].real;
    result.real = sum / argc;
}
void median(ScriptEngine&, CInstance*, CInstance*, int argc, RValue& result, const RValue* args) {
    const double half = argc / 2.0;
    for (int i = 0; i < argc; ++i) {
        int below = 0, at_most = 0;
        for (int j = 0; j < argc; ++j) {
            below += args[j].real < args[i].real;
            at_most += args[j].real <= args[i].real;
        }
        if (below < half && at_most >= half) {
            result = args[i];
            return;
        }
    }
}

// --- geometry

void point_distance(ScriptEngine&, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    const double dx = args[2].real - args[0].real, dy = args[3].real - args[1].real;
    result.real = std::sqrt(dx * dx + dy * dy);
}
void point_direction(ScriptEngine&, CInstance*, CInstance*, int, RValue& result,
                     const RValue* args) {
    const double dx = args[2].real - args[0].real, dy = args[3].real - args[1].real;
    if (dx == 0) {
        result.real = dy > 0 ? 270 : (dy < 0 ? 90 : 0);
        return;
    }
    const double a = std::atan2(dy, dx) * kDegreesPerRadian;
    double d = a > 0 ? 360 - a : -a;
    if (d >= 360) d = 0;    // a tiny positive angle would round to 360, outside the range
    result.real = d + 0.0;  // no -0
}
void lengthdir_x(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = Snap(args[0].real * std::cos(args[1].real / kDegreesPerRadian));
}
void lengthdir_y(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = Snap(-args[0].real * std::sin(args[1].real / kDegreesPerRadian));
}

}  // namespace

void RegisterMathFunctions(FunctionRegistry& r) {
    r.Register("is_real", &is_real, 1);
    r.Register("is_string", &is_string, 1);
    r.Register("random", &random, 1);
    r.Register("random_set_seed", &random_set_seed, 1);
    r.Register("random_get_seed", &random_get_seed, 0);
    r.Register("randomize", &randomize, 0);
    r.Register("choose", &choose, -1);
    r.Register("abs", &abs, 1);
    r.Register("round", &round, 1);
    r.Register("floor", &floor, 1);
    r.Register("ceil", &ceil, 1);
    r.Register("sign", &sign, 1);
    r.Register("frac", &frac, 1);
    r.Register("sqrt", &sqrt, 1);
    r.Register("sqr", &sqr, 1);
    r.Register("exp", &exp, 1);
    r.Register("ln", &ln, 1);
    r.Register("log2", &log2, 1);
    r.Register("log10", &log10, 1);
    r.Register("logn", &logn, 2);
    r.Register("sin", &sin, 1);
    r.Register("cos", &cos, 1);
    r.Register("tan", &tan, 1);
    r.Register("arcsin", &arcsin, 1);
    r.Register("arccos", &arccos, 1);
    r.Register("arctan", &arctan, 1);
    r.Register("arctan2", &arctan2, 2);
    r.Register("degtorad", &degtorad, 1);
    r.Register("radtodeg", &radtodeg, 1);
    r.Register("power", &power, 2);
    r.Register("min", &min, -1);
    r.Register("max", &max, -1);
    r.Register("min3", &min3, 3);
    r.Register("max3", &max3, 3);
    r.Register("mean", &mean, -1);
    r.Register("median", &median, -1);
    r.Register("point_distance", &point_distance, 4);
    r.Register("point_direction", &point_direction, 4);
    r.Register("lengthdir_x", &lengthdir_x, 2);
    r.Register("lengthdir_y", &lengthdir_y, 2);
}

}  // namespace tb
