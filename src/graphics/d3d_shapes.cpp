#include "graphics/d3d_shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tb {

namespace {

constexpr int32_t kFan = 6, kStrip = 5;

// Texture repeat on for the shape, set back to what it was afterwards.
class RepeatOn {
  public:
    explicit RepeatOn(PrimitiveOutput& out) : out_(out), was_(out.Repeat()) {
        out_.SetRepeat(true);
    }
    ~RepeatOn() { out_.SetRepeat(was_); }
    RepeatOn(const RepeatOn&) = delete;
    RepeatOn& operator=(const RepeatOn&) = delete;

  private:
    PrimitiveOutput& out_;
    bool was_;
};

struct Round {
    double cx, cy, cz, rx, ry, rz;
    int32_t s;
    explicit Round(const ShapeBox& b, int32_t steps)
        : cx((b.x1 + b.x2) / 2),
          cy((b.y1 + b.y2) / 2),
          cz((b.z1 + b.z2) / 2),
          rx((b.x2 - b.x1) / 2),
          ry((b.y2 - b.y1) / 2),
          rz((b.z2 - b.z1) / 2),
          s(ClampSteps(steps)) {}
    double C(int32_t i) const { return std::cos(2 * std::numbers::pi * i / s); }
    double S(int32_t i) const { return std::sin(2 * std::numbers::pi * i / s); }
};

// The bottom cap at z1 of cylinders and cones: centre, then the rim from i = s down to 0.
void BottomCap(Builder3D& b, PrimitiveOutput& out, const Round& r, double z1, int32_t texture,
               uint32_t argb) {
    b.Begin(kFan, texture);
    b.Vertex(MakeLitVertex(r.cx, r.cy, z1, 0, 0, -1, argb, 0, 0));
    for (int32_t i = r.s; i >= 0; --i)
        b.Vertex(
            MakeLitVertex(r.cx + r.rx * r.C(i), r.cy + r.ry * r.S(i), z1, 0, 0, -1, argb, 0, 0));
    b.End(out);
}

}  // namespace

int32_t ClampSteps(int32_t steps) {
    return std::clamp(steps, 3, 128);
}

void ShapeBlock(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture, double h,
                double v, uint32_t argb) {
    RepeatOn repeat(out);
    const double x1 = box.x1, y1 = box.y1, z1 = box.z1, x2 = box.x2, y2 = box.y2, z2 = box.z2;
    struct Corner {
        double x, y, z, u, v;
    };
    struct Face {
        Corner c[4];
        double nx, ny, nz;
    };
    const Face faces[6] = {
        {{{x1, y1, z1, 0, 0}, {x1, y2, z1, 0, v}, {x2, y2, z1, h, v}, {x2, y1, z1, h, 0}},
         0,
         0,
         -1},
        {{{x1, y1, z2, 0, 0}, {x2, y1, z2, h, 0}, {x2, y2, z2, h, v}, {x1, y2, z2, 0, v}}, 0, 0, 1},
        {{{x1, y2, z1, 0, 0}, {x1, y2, z2, 0, v}, {x2, y2, z2, h, v}, {x2, y2, z1, h, 0}}, 0, 1, 0},
        {{{x2, y2, z1, 0, 0}, {x2, y2, z2, 0, v}, {x2, y1, z2, h, v}, {x2, y1, z1, h, 0}}, 1, 0, 0},
        {{{x2, y1, z1, 0, 0}, {x2, y1, z2, 0, v}, {x1, y1, z2, h, v}, {x1, y1, z1, h, 0}},
         0,
         -1,
         0},
        {{{x1, y1, z1, 0, 0}, {x1, y1, z2, 0, v}, {x1, y2, z2, h, v}, {x1, y2, z1, h, 0}},
         -1,
         0,
         0},
    };
    for (const Face& f : faces) {
        b.Begin(kFan, texture);
        for (const Corner& c : f.c)
            b.Vertex(MakeLitVertex(c.x, c.y, c.z, f.nx, f.ny, f.nz, argb, c.u, c.v));
        b.End(out);
    }
}

void ShapeCylinder(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture,
                   double h, double v, bool closed, int32_t steps, uint32_t argb) {
    RepeatOn repeat(out);
    const Round r(box, steps);
    if (closed) {
        b.Begin(kFan, texture);
        b.Vertex(MakeLitVertex(r.cx, r.cy, box.z2, 0, 0, 1, argb, 0, v));
        for (int32_t i = 0; i <= r.s; ++i)
            b.Vertex(MakeLitVertex(r.cx + r.rx * r.C(i), r.cy + r.ry * r.S(i), box.z2, 0, 0, 1,
                                   argb, 0, v));
        b.End(out);
    }
    b.Begin(kStrip, texture);
    for (int32_t i = 0; i <= r.s; ++i) {
        const double c = r.C(i), s = r.S(i), u = i * h / r.s;
        const double x = r.cx + r.rx * c, y = r.cy + r.ry * s;
        b.Vertex(MakeLitVertex(x, y, box.z2, c, s, 0, argb, u, v));
        b.Vertex(MakeLitVertex(x, y, box.z1, c, s, 0, argb, u, 0));
    }
    b.End(out);
    if (closed) BottomCap(b, out, r, box.z1, texture, argb);
}

void ShapeCone(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture, double h,
               double v, bool closed, int32_t steps, uint32_t argb) {
    RepeatOn repeat(out);
    const Round r(box, steps);
    b.Begin(kStrip, texture);
    for (int32_t i = 0; i <= r.s; ++i) {
        const double c = r.C(i), s = r.S(i), u = i * h / r.s;
        b.Vertex(MakeLitVertex(r.cx, r.cy, box.z2, 0, 0, 1, argb, u, v));
        b.Vertex(MakeLitVertex(r.cx + r.rx * c, r.cy + r.ry * s, box.z1, c, s, 0, argb, u, 0));
    }
    b.End(out);
    if (closed) BottomCap(b, out, r, box.z1, texture, argb);
}

void ShapeEllipsoid(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture,
                    double h, double v, int32_t steps, uint32_t argb) {
    RepeatOn repeat(out);
    const Round r(box, steps);
    const int32_t t = (r.s + 1) / 2;
    for (int32_t row = 0; row < t; ++row) {
        b.Begin(kStrip, texture);
        for (int32_t i = 0; i <= r.s; ++i) {
            const double c = r.C(i), s = r.S(i), u = i * h / r.s;
            for (int32_t k = row; k <= row + 1; ++k) {
                const double a = k * std::numbers::pi / t;
                const double sa = std::sin(a), ca = std::cos(a);
                b.Vertex(MakeLitVertex(r.cx + r.rx * sa * c, r.cy + r.ry * sa * s, r.cz + r.rz * ca,
                                       sa * c, sa * s, ca, argb, u, k * v / t));
            }
        }
        b.End(out);
    }
}

void ShapeWall(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture, double h,
               double v, uint32_t argb) {
    const double dx = box.x2 - box.x1, dy = box.y2 - box.y1;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0)) return;
    RepeatOn repeat(out);
    const double nx = dy / len, ny = -dx / len;
    b.Begin(kFan, texture);
    b.Vertex(MakeLitVertex(box.x1, box.y1, box.z1, nx, ny, 0, argb, 0, 0));
    b.Vertex(MakeLitVertex(box.x2, box.y2, box.z1, nx, ny, 0, argb, h, 0));
    b.Vertex(MakeLitVertex(box.x2, box.y2, box.z2, nx, ny, 0, argb, h, v));
    b.Vertex(MakeLitVertex(box.x1, box.y1, box.z2, nx, ny, 0, argb, 0, v));
    b.End(out);
}

void ShapeFloor(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture, double h,
                double v, uint32_t argb) {
    RepeatOn repeat(out);
    b.Begin(kFan, texture);
    b.Vertex(MakeLitVertex(box.x1, box.y1, box.z1, 0, 0, 1, argb, 0, 0));
    b.Vertex(MakeLitVertex(box.x1, box.y2, box.z1, 0, 0, 1, argb, 0, v));
    b.Vertex(MakeLitVertex(box.x2, box.y2, box.z2, 0, 0, 1, argb, h, v));
    b.Vertex(MakeLitVertex(box.x2, box.y1, box.z2, 0, 0, 1, argb, h, 0));
    b.End(out);
}

}  // namespace tb
