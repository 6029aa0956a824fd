#include "graphics/colors.h"

#include <algorithm>
#include <cmath>

#include "script/value.h"

namespace tb {

namespace {

// Integer division and remainder truncate toward zero, so a negative colour keeps its sign
// in the channel it lands in.
double Channel(double c, int64_t divisor) {
    return double((RoundToInt64(c) / divisor) % 256);
}

struct Rgb {
    double r, g, b;  // 0 .. 1
};

Rgb RgbOf(double c) {
    const uint32_t bgr = ColorArgument(c);
    return {(bgr & 0xFF) / 255.0, ((bgr >> 8) & 0xFF) / 255.0, ((bgr >> 16) & 0xFF) / 255.0};
}

double Trunc255(double v) {
    return std::trunc(v * 255);
}

}  // namespace

double MakeColorRgb(double r, double g, double b) {
    return double(RoundToInt64(r)) + double(RoundToInt64(g)) * 256.0 +
           double(RoundToInt64(b)) * 65536.0;
}

double ColorGetRed(double c) {
    return Channel(c, 1);
}
double ColorGetGreen(double c) {
    return Channel(c, 256);
}
double ColorGetBlue(double c) {
    return Channel(c, 65536);
}

double MakeColorHsv(double h, double s, double v) {
    double hue = double(RoundToInt64(h) & 0xFF) * 360.0 / 255.0;
    if (hue >= 360) hue = 0;
    const double sat = double(RoundToInt64(s) & 0xFF) / 255.0;
    const double val = double(RoundToInt64(v) & 0xFF) / 255.0;
    double r = val, g = val, b = val;
    if (sat != 0) {
        const double sector = hue / 60;
        const int i = int(std::trunc(sector));
        const double f = sector - i;
        const double p = val * (1 - sat);
        const double q = val * (1 - sat * f);
        const double t = val * (1 - sat * (1 - f));
        switch (i) {
            case 0:
                r = val, g = t, b = p;
                break;
            case 1:
                r = q, g = val, b = p;
                break;
            case 2:
                r = p, g = val, b = t;
                break;
            case 3:
                r = p, g = q, b = val;
                break;
            case 4:
                r = t, g = p, b = val;
                break;
            default:
                r = val, g = p, b = q;
                break;
        }
    }
    return Trunc255(r) + Trunc255(g) * 256 + Trunc255(b) * 65536;
}

double ColorGetHue(double c) {
    const Rgb x = RgbOf(c);
    const double mx = std::max({x.r, x.g, x.b});
    const double mn = std::min({x.r, x.g, x.b});
    if (mx == 0 || mx == mn) return 0;  // no saturation, no hue
    const double d = mx - mn;
    double hue;
    if (x.r == mx)
        hue = 60 * (x.g - x.b) / d;
    else if (x.g == mx)
        hue = 120 + 60 * (x.b - x.r) / d;
    else
        hue = 240 + 60 * (x.r - x.g) / d;
    if (hue < 0) hue += 360;
    return std::trunc(hue * 255 / 360);
}

double ColorGetSaturation(double c) {
    const Rgb x = RgbOf(c);
    const double mx = std::max({x.r, x.g, x.b});
    const double mn = std::min({x.r, x.g, x.b});
    return mx == 0 ? 0 : Trunc255((mx - mn) / mx);
}

double ColorGetValue(double c) {
    const Rgb x = RgbOf(c);
    return Trunc255(std::max({x.r, x.g, x.b}));
}

uint32_t MergeColor(uint32_t a, uint32_t b, double amount) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        const int64_t m = RoundToInt64(ca * (1 - amount) + cb * amount);
        out |= uint32_t(std::clamp<int64_t>(m, 0, 255)) << shift;
    }
    return out;
}

uint32_t ColorArgument(double c) {
    return uint32_t(RoundToInt32(c)) & 0xFFFFFF;
}

}  // namespace tb
