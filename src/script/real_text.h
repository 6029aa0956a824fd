// Reals as text and texts as reals, with "." as the separator whatever the C locale says.
#pragma once

#include <string>
#include <string_view>

namespace tb {

// The text of string(x). An integral value is written without decimals ("3", "-12", "0" for
// -0); any other value with exactly two decimals, the last one rounded half away from zero
// on the exact binary value ("0.33", "2.50", "-0.13" for -0.125). A value that rounds to zero
// drops its minus sign ("0.00" for -0.001).
// Open cases: a non-integral value of 1e10 or more in magnitude (more integer digits than the
// 10 significant digits of this form) and any value of 2^63 or more is written in scientific
// form with 10 significant digits, trailing zeros dropped ("1.23456789E+10", "1E+20"); NaN is
// "NAN" and the infinities are "INF" and "-INF".
std::string RealToString(double x);

// The text of string_format for a real: fixed notation with `decimals` decimals and at most
// 18 significant digits (decimals past them are written as 0), rounded like RealToString,
// then blanks in front until it is at least `total` characters long. The caller bounds
// `total`.
// Open cases: `decimals` below 0 counts as 0 and above 18 as 18; a magnitude of 1e18 or more
// uses the scientific form of RealToString with 18 significant digits.
std::string FormatReal(double x, int total, int decimals);

// A text as a number: blanks and control characters around it, an optional sign, digits with
// an optional fractional part ("5." and ".5" included), an optional exponent ("E" or "e",
// optional sign, digits). A text of blanks and control characters only is 0. False for
// anything else, and for a number outside the range of a double (too large, or so small that
// only 0 would remain).
bool ParseReal(std::string_view text, double& out);

}  // namespace tb
