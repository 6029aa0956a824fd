// Script colours: red + green * 256 + blue * 65536, and the arithmetic on them.
#pragma once

#include <cstdint>

namespace tb {

// round(r) + round(g) * 256 + round(b) * 65536, not clamped.
double MakeColorRgb(double r, double g, double b);
double ColorGetRed(double c);
double ColorGetGreen(double c);
double ColorGetBlue(double c);
// Arguments rounded, low 8 bits used; hue 0 .. 255 spans the whole circle.
double MakeColorHsv(double h, double s, double v);
double ColorGetHue(double c);
double ColorGetSaturation(double c);
double ColorGetValue(double c);

// Channel-wise round(a * (1 - amount) + b * amount) of two BGR colours.
uint32_t MergeColor(uint32_t a, uint32_t b, double amount);

// A script colour argument as the 24 bits the device uses.
uint32_t ColorArgument(double c);

}  // namespace tb
