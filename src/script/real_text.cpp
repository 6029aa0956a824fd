#include "script/real_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "script/value.h"

namespace tb {

namespace {

constexpr int kStringPrecision = 10;  // significant digits of string()
constexpr int kFormatPrecision = 18;  // significant digits of string_format()
constexpr double kStringScientificFrom = 1e10;
constexpr double kFormatScientificFrom = 1e18;

// Large enough for every form written here: sign, 18 integer digits, point, 18 decimals and a
// carry, or the scientific form of any double.
constexpr size_t kBufferSize = 64;

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// NaN and the infinities; null for a finite x.
const char* SpecialText(double x) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
    return nullptr;
}

// Adds one unit of the last digit of the decimal text [first, end) (an optional minus sign,
// digits, maybe a point). Needs one character of room after end; returns the new end.
char* IncrementLastDigit(char* first, char* end) {
    char* digits = first + (*first == '-' ? 1 : 0);
    for (char* p = end; p > digits;) {
        --p;
        if (*p == '.') continue;
        if (*p != '9') {
            ++*p;
            return end;
        }
        *p = '0';
    }
    // Every digit carried over: one more digit in front.
    std::memmove(digits + 1, digits, size_t(end - digits));
    *digits = '1';
    return end + 1;
}

// x with `decimals` decimals, the last rounded half away from zero. The conversion rounds the
// exact binary value, ties to even; a tie at d decimals is a value with x * 2^(d + 1) odd
// (only then does the exact expansion end in a 5 at decimal d + 1), and then that exact
// expansion is cut and rounded up in magnitude by hand.
char* WriteFixed(char* first, char* last, double x, int decimals) {
    const double scaled = std::ldexp(x, decimals + 1);
    const bool tie = std::fabs(scaled) < 9007199254740992.0 && scaled == std::trunc(scaled) &&
                     std::fmod(scaled, 2.0) != 0;
    if (tie) {
        char* end = std::to_chars(first, last - 1, x, std::chars_format::fixed, decimals + 1).ptr;
        --end;                     // the final 5
        if (decimals == 0) --end;  // and the point before it
        return IncrementLastDigit(first, end);
    }
    char* end = std::to_chars(first, last, x, std::chars_format::fixed, decimals).ptr;
    if (*first == '-') {
        bool zero = true;
        for (const char* p = first + 1; p < end; ++p) zero = zero && (*p == '0' || *p == '.');
        if (zero) {  // no "-0.00"
            std::memmove(first, first + 1, size_t(end - first - 1));
            --end;
        }
    }
    return end;
}

// d.dddE+XX with `precision` significant digits, trailing zeros of the mantissa dropped.
char* WriteScientific(char* first, char* last, double x, int precision) {
    char* end = std::to_chars(first, last, x, std::chars_format::scientific, precision - 1).ptr;
    char* e = static_cast<char*>(std::memchr(first, 'e', size_t(end - first)));
    if (!e) return end;
    *e = 'E';
    char* mantissa_end = e;
    if (std::memchr(first, '.', size_t(e - first))) {
        while (mantissa_end[-1] == '0') --mantissa_end;
        if (mantissa_end[-1] == '.') --mantissa_end;
    }
    std::memmove(mantissa_end, e, size_t(end - e));
    return mantissa_end + (end - e);
}

int SignificantDigits(const char* first, const char* end) {
    int count = 0;
    bool leading = true;
    for (const char* p = first; p < end; ++p) {
        if (!IsDigit(*p)) continue;
        if (leading && *p == '0') continue;
        leading = false;
        ++count;
    }
    return count;
}

}  // namespace

std::string RealToString(double x) {
    if (const char* special = SpecialText(x)) return special;
    char buffer[kBufferSize];
    char* const last = buffer + sizeof buffer;
    char* end;
    const int64_t rounded = RoundToInt64(x);
    if (double(rounded) == x) {
        end = std::to_chars(buffer, last, rounded).ptr;
    } else if (std::fabs(x) >= kStringScientificFrom) {
        end = WriteScientific(buffer, last, x, kStringPrecision);
    } else {
        end = WriteFixed(buffer, last, x, 2);
    }
    return std::string(buffer, end);
}

std::string FormatReal(double x, int total, int decimals) {
    char buffer[kBufferSize];
    char* const last = buffer + sizeof buffer;
    char* end;
    if (const char* special = SpecialText(x)) {
        end = std::strcpy(buffer, special) + std::strlen(special);
    } else if (std::fabs(x) >= kFormatScientificFrom) {
        end = WriteScientific(buffer, last, x, kFormatPrecision);
    } else {
        decimals = decimals < 0 ? 0 : (decimals > kFormatPrecision ? kFormatPrecision : decimals);
        int used = decimals;
        end = WriteFixed(buffer, last, x, used);
        // Digits past the significant ones are written as 0 (a carry can add one digit, so
        // look again).
        for (int excess;
             (excess = SignificantDigits(buffer, end) - kFormatPrecision) > 0 && used > 0;) {
            used = excess < used ? used - excess : 0;
            end = WriteFixed(buffer, last, x, used);
        }
        if (used < decimals) {
            if (used == 0) *end++ = '.';
            for (int i = used; i < decimals; ++i) *end++ = '0';
        }
    }
    const size_t length = size_t(end - buffer);
    const size_t pad = total > 0 && size_t(total) > length ? size_t(total) - length : 0;
    std::string out;
    out.reserve(pad + length);
    out.append(pad, ' ');
    out.append(buffer, length);
    return out;
}

bool ParseReal(std::string_view text, double& out) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7f'; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    if (b == e) {
        out = 0;
        return true;
    }
    const std::string_view s = text.substr(b, e - b);
    size_t i = 0;
    const bool negative = s[0] == '-';
    if (s[0] == '+' || s[0] == '-') ++i;
    const size_t start = i;
    size_t digits = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i) ++digits;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && IsDigit(s[i]); ++i) ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t exponent_digits = 0;
        for (; i < s.size() && IsDigit(s[i]); ++i) ++exponent_digits;
        if (exponent_digits == 0) return false;
    }
    if (i != s.size()) return false;
    double v = 0;
    const auto [ptr, ec] =
        std::from_chars(s.data() + start, s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || ptr != s.data() + s.size()) return false;
    out = negative ? -v : v;
    return true;
}

}  // namespace tb
