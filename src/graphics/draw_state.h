// What scripts set for drawing: colour and alpha, the font and the text alignment, the circle
// precision and the free primitive being built.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "graphics/device.h"

namespace tb {

struct DrawState {
    uint32_t color = 0xFF000000;  // ARGB; the alpha byte follows alpha
    double alpha = 1;
    int32_t font = -1;  // -1: the default font
    int32_t halign = 0, valign = 0;
    int32_t circle_precision = 24;
    std::array<double, 65> cos_table{}, sin_table{};  // k = 0 .. precision
    int32_t primitive_kind = 0;
    int32_t primitive_texture = -1;
    std::vector<TexVertex> primitive;  // at most 1001 vertices

    DrawState() { SetCirclePrecision(24); }
    void SetCirclePrecision(int32_t p);
    uint32_t ColorBgr() const;
};

}  // namespace tb
