// What scripts set for drawing: colour and alpha, the font and the text alignment, the circle
// precision and the free primitive being built.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/device.h"

namespace tb {

class CFont;

constexpr int32_t kMaxPrimitiveVertices = 1001;
constexpr int32_t kMaxCirclePrecision = 64;

struct DrawState {
    uint32_t color = 0xFF000000;  // ARGB; the alpha byte follows alpha
    double alpha = 1;
    int32_t font = -1;  // -1: the default font
    int32_t halign = 0, valign = 0;
    int32_t circle_precision = 24;
    std::array<double, kMaxCirclePrecision + 1> cos_table{}, sin_table{};  // k = 0 .. precision
    int32_t primitive_kind = 0;
    int32_t primitive_texture = -1;
    std::vector<TexVertex> primitive;  // at most 1001 vertices
    // The font used while `font` is -1; rasterised on first use.
    std::unique_ptr<CFont> default_font;

    DrawState();
    ~DrawState();
    DrawState(const DrawState&) = delete;
    DrawState& operator=(const DrawState&) = delete;

    // Clamped to 4 .. 64 and rounded down to a multiple of 4; the tables are rebuilt.
    void SetCirclePrecision(int32_t p);
    uint32_t ColorBgr() const;
    void SetColor(uint32_t bgr);  // keeps the alpha
    void SetAlpha(double a);      // clamped to 0 .. 1
    // fa_left/fa_top for anything but 0, 1, 2.
    void SetHalign(int32_t a) { halign = a >= 0 && a <= 2 ? a : 0; }
    void SetValign(int32_t a) { valign = a >= 0 && a <= 2 ? a : 0; }
};

}  // namespace tb
