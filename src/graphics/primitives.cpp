#include "graphics/primitives.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "graphics/colors.h"
#include "graphics/graphics.h"
#include "resources/path.h"
#include "script/value.h"

namespace tb {

namespace {

// The most rim points of a shape: an ellipse's centre and precision + 1 rim points, or a
// rounded rectangle's centre, four quarters of precision / 4 + 1 points and the closing one.
constexpr size_t kMaxShapeVertices = kMaxCirclePrecision + 6;

// Vertices of one shape, built on the stack and drawn in one call.
class Shape {
  public:
    explicit Shape(Graphics& g) : g_(g), z_(float(g.device.Depth())) {}
    void Add(double x, double y, uint32_t argb) {
        if (n_ < v_.size()) v_[n_++] = PlainVertex{float(x), float(y), z_, argb};
    }
    void Draw(Primitive kind) {
        g_.device.SelectTexture(0);
        g_.device.Draw(kind, std::span<const PlainVertex>(v_.data(), n_));
        n_ = 0;
    }

  private:
    Graphics& g_;
    float z_;
    std::array<PlainVertex, kMaxShapeVertices> v_;
    size_t n_ = 0;
};

uint32_t Argb(const Graphics& g, uint32_t bgr) {
    return DeviceColor(bgr, g.draw.alpha);
}

bool Whole(double v) {
    return v == std::floor(v);
}

struct Box {
    double left, top, right, bottom;
};

// Sorted, with a whole right or bottom edge moved out by 0.01.
Box RectangleBox(double x1, double y1, double x2, double y2) {
    Box b{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (Whole(b.right)) b.right += 0.01;
    if (Whole(b.bottom)) b.bottom += 0.01;
    return b;
}

}  // namespace

void DrawPoint(Graphics& g, double x, double y, uint32_t color) {
    Shape s(g);
    s.Add(x, y, Argb(g, color));
    s.Draw(Primitive::PointList);
}

void DrawLine(Graphics& g, double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2) {
    Shape s(g);
    s.Add(x1, y1, Argb(g, c1));
    s.Add(x2, y2, Argb(g, c2));
    s.Draw(Primitive::LineList);
}

void DrawLineWidth(Graphics& g, double x1, double y1, double x2, double y2, double w, uint32_t c1,
                   uint32_t c2) {
    const double length = std::hypot(x2 - x1, y2 - y1);
    if (!(length > 0)) return;
    const double ox = -(y2 - y1) * (w / 2) / length;
    const double oy = (x2 - x1) * (w / 2) / length;
    const uint32_t a1 = Argb(g, c1), a2 = Argb(g, c2);
    Shape s(g);
    s.Add(x1 + ox, y1 + oy, a1);
    s.Add(x2 + ox, y2 + oy, a2);
    s.Add(x2 - ox, y2 - oy, a2);
    s.Add(x1 - ox, y1 - oy, a1);
    s.Draw(Primitive::TriangleFan);
}

void DrawRectangle(Graphics& g, double x1, double y1, double x2, double y2, uint32_t c1,
                   uint32_t c2, uint32_t c3, uint32_t c4, bool outline) {
    const Box b = RectangleBox(x1, y1, x2, y2);
    const uint32_t a1 = Argb(g, c1);
    Shape s(g);
    s.Add(b.left, b.top, a1);
    s.Add(b.right, b.top, Argb(g, c2));
    s.Add(b.right, b.bottom, Argb(g, c3));
    s.Add(b.left, b.bottom, Argb(g, c4));
    if (outline) {
        s.Add(b.left, b.top, a1);
        s.Draw(Primitive::LineStrip);
    } else {
        s.Draw(Primitive::TriangleFan);
    }
}

void DrawRoundRect(Graphics& g, double x1, double y1, double x2, double y2, uint32_t c1,
                   uint32_t c2, bool outline) {
    const Box b = RectangleBox(x1, y1, x2, y2);
    const double rx = std::min(10.0, b.right - b.left) / 2;
    const double ry = std::min(10.0, b.bottom - b.top) / 2;
    const DrawState& d = g.draw;
    const int32_t quarter = d.circle_precision / 4;
    // Quarter q covers the angles q * 90 .. q * 90 + 90 degrees: bottom-right first, then
    // bottom-left, top-left and top-right (y grows downwards).
    const std::array<std::array<double, 2>, 4> centres = {{{b.right - rx, b.bottom - ry},
                                                           {b.left + rx, b.bottom - ry},
                                                           {b.left + rx, b.top + ry},
                                                           {b.right - rx, b.top + ry}}};
    const uint32_t rim = Argb(g, c2);
    Shape s(g);
    if (!outline) s.Add((b.left + b.right) / 2, (b.top + b.bottom) / 2, Argb(g, c1));
    for (int32_t q = 0; q < 4; ++q) {
        for (int32_t k = q * quarter; k <= (q + 1) * quarter; ++k) {
            s.Add(centres[size_t(q)][0] + rx * d.cos_table[size_t(k)],
                  centres[size_t(q)][1] + ry * d.sin_table[size_t(k)], rim);
        }
    }
    s.Add(centres[0][0] + rx * d.cos_table[0], centres[0][1] + ry * d.sin_table[0], rim);
    s.Draw(outline ? Primitive::LineStrip : Primitive::TriangleFan);
}

void DrawTriangle(Graphics& g, double x1, double y1, double x2, double y2, double x3, double y3,
                  uint32_t c1, uint32_t c2, uint32_t c3, bool outline) {
    const uint32_t a1 = Argb(g, c1);
    Shape s(g);
    s.Add(x1, y1, a1);
    s.Add(x2, y2, Argb(g, c2));
    s.Add(x3, y3, Argb(g, c3));
    if (outline) {
        s.Add(x1, y1, a1);
        s.Draw(Primitive::LineStrip);
    } else {
        s.Draw(Primitive::TriangleList);
    }
}

void DrawEllipse(Graphics& g, double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2,
                 bool outline) {
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    const double rx = std::fabs(x2 - x1) / 2, ry = std::fabs(y2 - y1) / 2;
    const DrawState& d = g.draw;
    const uint32_t rim = Argb(g, c2);
    Shape s(g);
    if (!outline) s.Add(cx, cy, Argb(g, c1));
    for (int32_t k = 0; k <= d.circle_precision; ++k)
        s.Add(cx + rx * d.cos_table[size_t(k)], cy + ry * d.sin_table[size_t(k)], rim);
    s.Draw(outline ? Primitive::LineStrip : Primitive::TriangleFan);
}

void DrawArrow(Graphics& g, double x1, double y1, double x2, double y2, double size) {
    const double length = std::hypot(x2 - x1, y2 - y1);
    if (!(length > 0)) return;
    size = std::min(size, length);
    const uint32_t c = g.draw.ColorBgr();
    DrawLine(g, x1, y1, x2, y2, c, c);
    const double dx = (x2 - x1) * size / length, dy = (y2 - y1) * size / length;
    DrawTriangle(g, x2, y2, x2 - dx - dy / 3, y2 - dy + dx / 3, x2 - dx + dy / 3, y2 - dy - dx / 3,
                 c, c, c, false);
}

void DrawButton(Graphics& g, double x1, double y1, double x2, double y2, bool up) {
    const uint32_t light = up ? 0xFFFFFF : 0x808080;
    const uint32_t dark = up ? 0x808080 : 0xFFFFFF;
    DrawTriangle(g, x1, y1, x2, y1, x1, y2, light, light, light, false);
    DrawTriangle(g, x1, y2, x2, y1, x2, y2, dark, dark, dark, false);
    const uint32_t c = g.draw.ColorBgr();
    DrawRectangle(g, x1 + 2, y1 + 2, x2 - 2, y2 - 2, c, c, c, c, false);
}

void DrawHealthbar(Graphics& g, double x1, double y1, double x2, double y2, double amount,
                   uint32_t back_color, uint32_t min_color, uint32_t max_color, int32_t direction,
                   bool show_back, bool show_border) {
    const uint32_t mid = MergeColor(min_color, max_color, 0.5);
    if (show_back) {
        DrawRectangle(g, x1, y1, x2, y2, back_color, back_color, back_color, back_color, false);
        if (show_border) DrawRectangle(g, x1, y1, x2, y2, 0, 0, 0, 0, true);
    }
    amount = amount > 0 ? std::min(amount, 100.0) : 0;  // NaN counts as 0
    const double f = amount / 100;
    double left = x1, top = y1, right = x2, bottom = y2;
    switch (direction) {
        case 1:
            left = x2 - (x2 - x1) * f;
            break;
        case 2:
            bottom = y1 + (y2 - y1) * f;
            break;
        case 3:
            top = y2 - (y2 - y1) * f;
            break;
        default:
            right = x1 + (x2 - x1) * f;
            break;
    }
    const uint32_t bar = amount > 50 ? MergeColor(mid, max_color, (amount - 50) / 50)
                                     : MergeColor(min_color, mid, amount / 50);
    DrawRectangle(g, left, top, right, bottom, bar, bar, bar, bar, false);
    if (show_border) DrawRectangle(g, left, top, right, bottom, 0, 0, 0, 0, true);
}

void DrawPath(Graphics& g, const CPath& path, double x, double y, bool absolute) {
    const int64_t n = RoundToInt64(path.Length / 4);
    if (n <= 0) return;
    double dx = 0, dy = 0;
    if (!absolute) {
        const PathPoint start = path.PositionAt(0);
        dx = x - start.x;
        dy = y - start.y;
    }
    DrawState& d = g.draw;
    PrimitiveBegin(d, 3, -1);
    // Positions past the builder's capacity would be dropped anyway.
    const int64_t last = std::min<int64_t>(n, kMaxPrimitiveVertices - 1);
    for (int64_t k = 0; k <= last; ++k) {
        const PathPoint p = path.PositionAt(double(k) / double(n));
        PrimitiveVertex(g, p.x + dx, p.y + dy, 0, 0, d.ColorBgr(), d.alpha);
    }
    PrimitiveEnd(g);
}

void PrimitiveBegin(DrawState& d, int32_t kind, int32_t texture) {
    d.primitive_kind = kind;
    d.primitive_texture = texture;
    d.primitive.clear();
}

void PrimitiveVertex(Graphics& g, double x, double y, double u, double v, uint32_t color,
                     double alpha) {
    DrawState& d = g.draw;
    if (d.primitive.size() >= size_t(kMaxPrimitiveVertices)) return;
    d.primitive.push_back(TexVertex{float(x), float(y), float(g.device.Depth()),
                                    DeviceColor(color, alpha), float(u), float(v)});
}

void PrimitiveEnd(Graphics& g) {
    const DrawState& d = g.draw;
    if (d.primitive_kind < kPrPointList || d.primitive_kind > kPrTriangleFan) return;
    const int64_t n = int64_t(d.primitive.size());
    int64_t count = 0, used = 0;  // primitives, and the vertices they take
    switch (d.primitive_kind) {
        case 1:
            count = n, used = n;
            break;
        case 2:
            count = n / 2, used = count * 2;
            break;
        case 3:
            count = n - 1, used = n;
            break;
        case 4:
            count = n / 3, used = count * 3;
            break;
        default:
            count = n - 2, used = n;
            break;
    }
    if (count < 1) return;
    const auto kind = Primitive(d.primitive_kind - 1);
    g.textures.Select(d.primitive_texture);
    g.device.Draw(kind, std::span<const TexVertex>(d.primitive.data(), size_t(used)));
    g.device.SelectTexture(0);
}

}  // namespace tb
