#include "graphics/draw_state.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/textures.h"
#include "resources/font.h"

namespace tb {

DrawState::DrawState() {
    primitive.reserve(kMaxPrimitiveVertices);
    SetCirclePrecision(24);
}

DrawState::~DrawState() = default;

void DrawState::SetCirclePrecision(int32_t p) {
    p = std::clamp(p, 4, kMaxCirclePrecision);
    p -= p % 4;
    circle_precision = p;
    for (int32_t k = 0; k <= p; ++k) {
        const double a = 2 * std::numbers::pi * k / p;
        cos_table[size_t(k)] = std::cos(a);
        sin_table[size_t(k)] = std::sin(a);
    }
    // The last entry closes the circle exactly where the first one starts.
    cos_table[size_t(p)] = cos_table[0];
    sin_table[size_t(p)] = sin_table[0];
}

uint32_t DrawState::ColorBgr() const {
    return ((color >> 16) & 0xFF) | (color & 0xFF00) | ((color & 0xFF) << 16);
}

void DrawState::SetColor(uint32_t bgr) {
    color = DeviceColor(bgr, alpha);
}

void DrawState::SetAlpha(double a) {
    alpha = a > 0 ? std::min(a, 1.0) : 0.0;  // NaN counts as 0
    color = DeviceColor(ColorBgr(), alpha);
}

}  // namespace tb
