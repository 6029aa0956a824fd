// The collision tests: box conditions first (integer comparisons), then, for precise
// instances, the pixels of the box intersection mapped into the mask sprite.
#include "world/collision.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "resources/sprite.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/instance.h"
#include "world/instance_ops.h"
#include "world/instance_sets.h"
#include "world/query_index.h"

namespace tb {

namespace {

// Room coordinates as integers, halves to even; anything not a number or far outside every
// room is held at a distance where the int64 arithmetic below cannot overflow.
constexpr double kFar = 1e15;

int64_t RoundCoord(double v) {
    if (std::isnan(v)) return 0;
    return int64_t(std::nearbyint(std::clamp(v, -kFar, kFar)));
}

// A mapped image coordinate; -1 (never inside a frame) when it is not a usable number.
int64_t FloorIndex(double v) {
    if (!(v >= -1.0 && v < 2147483648.0)) return -1;
    return int64_t(std::floor(v));
}

// How one instance's mask sprite lies in the room: the inverse of its drawing transform.
struct MaskPlacement {
    const CSprite* sprite = nullptr;
    const SpriteMask* mask = nullptr;  // null: every pixel of the frame rectangle counts
    int64_t x = 0, y = 0;              // the rounded position
    int32_t xorig = 0, yorig = 0;
    int32_t width = 0, height = 0;
    double xscale = 1, yscale = 1;
    double c = 1, s = 0;
    bool unit = true;      // no rotation, scales exactly 1: integer offsets
    bool rotated = false;  // image_angle is not 0

    bool SolidImage(int64_t u, int64_t v) const {
        if (u < 0 || v < 0 || u >= width || v >= height) return false;
        if (!mask) return true;
        if (u >= mask->width || v >= mask->height) return false;
        return mask->bits[size_t(v) * size_t(mask->width) + size_t(u)] != 0;
    }

    // The room point (px, py), whole pixels or the interpolated samples of a line.
    bool Solid(double px, double py) const {
        const double u = px - double(x);
        const double v = py - double(y);
        if (rotated)
            return SolidImage(FloorIndex((u * c - v * s) / xscale + xorig),
                              FloorIndex((u * s + v * c) / yscale + yorig));
        return SolidImage(FloorIndex(u / xscale + xorig), FloorIndex(v / yscale + yorig));
    }

    bool Solid(int64_t px, int64_t py) const {
        if (unit) return SolidImage(px - x + xorig, py - y + yorig);
        return Solid(double(px), double(py));
    }

    // The room point of the image point (u, v): the drawing transform.
    void ToRoom(double u, double v, double& px, double& py) const {
        const double a = (u - xorig) * xscale, b = (v - yorig) * yscale;
        if (rotated) {
            px = double(x) + a * c + b * s;
            py = double(y) - a * s + b * c;
        } else {
            px = double(x) + a;
            py = double(y) + b;
        }
    }
    // The image point of the room point, unfloored.
    void ToImage(double px, double py, double& u, double& v) const {
        const double du = px - double(x), dv = py - double(y);
        if (rotated) {
            u = (du * c - dv * s) / xscale + xorig;
            v = (du * s + dv * c) / yscale + yorig;
        } else {
            u = du / xscale + xorig;
            v = dv / yscale + yorig;
        }
    }
};

const CSprite* MaskSprite(const Game& game, const CInstance& inst) {
    return game.sprites.Get(inst.mask_index >= 0 ? inst.mask_index : inst.sprite_index);
}

int32_t SubImage(const CSprite& sprite, double image_index) {
    double f = std::floor(image_index);
    if (!std::isfinite(f)) f = 0;
    f = std::clamp(f, -9e18, 9e18);
    return sprite.WrapFrame(int64_t(f));
}

// False when the instance has no mask sprite with images.
bool PlaceMask(const CSprite* sprite, const CInstance& inst, MaskPlacement& m) {
    if (!sprite || sprite->FrameCount() == 0) return false;
    const int32_t frame = SubImage(*sprite, inst.image_index);
    m.sprite = sprite;
    m.mask = nullptr;
    if (sprite->masks_built) {
        // Frames added without rebuilding have no mask: nothing of them is solid.
        static const SpriteMask kEmpty;
        m.mask = size_t(frame) < sprite->masks.size() ? &sprite->masks[size_t(frame)] : &kEmpty;
    }
    m.x = RoundCoord(inst.x);
    m.y = RoundCoord(inst.y);
    m.xorig = sprite->XOrigin;
    m.yorig = sprite->YOrigin;
    m.width = sprite->Width;
    m.height = sprite->Height;
    m.xscale = inst.image_xscale;
    m.yscale = inst.image_yscale;
    m.rotated = inst.image_angle != 0;
    if (m.rotated) {
        const double r = inst.image_angle * std::numbers::pi / 180.0;
        m.c = std::cos(r);
        m.s = std::sin(r);
    }
    m.unit = !m.rotated && m.xscale == 1 && m.yscale == 1;
    return true;
}

// An inclusive pixel rectangle.
struct PixelRect {
    int64_t left, top, right, bottom;
    bool Empty() const { return left > right || top > bottom; }
};

PixelRect BoxOf(const CInstance& inst) {
    return {inst.bbox_left, inst.bbox_top, inst.bbox_right, inst.bbox_bottom};
}

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// The room pixels a placement's frame can cover: nothing outside can be solid, so scans are
// clipped to it. Scaled or rotated frames get the box of their corners with a margin of two
// pixels for rounding, so the answers inside stay exactly those of the whole scan.
PixelRect FrameRect(const MaskPlacement& m) {
    if (m.unit)
        return {m.x - m.xorig, m.y - m.yorig, m.x - m.xorig + m.width - 1,
                m.y - m.yorig + m.height - 1};
    constexpr PixelRect kEverywhere{INT64_MIN / 4, INT64_MIN / 4, INT64_MAX / 4, INT64_MAX / 4};
    double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
    for (const auto& [u, v] : {std::pair{0, 0}, {m.width, 0}, {0, m.height}, {m.width, m.height}}) {
        double px, py;
        m.ToRoom(u, v, px, py);
        if (!std::isfinite(px) || !std::isfinite(py)) return kEverywhere;
        left = std::min(left, px);
        top = std::min(top, py);
        right = std::max(right, px);
        bottom = std::max(bottom, py);
    }
    return {RoundCoord(std::floor(left)) - 2, RoundCoord(std::floor(top)) - 2,
            RoundCoord(std::ceil(right)) + 2, RoundCoord(std::ceil(bottom)) + 2};
}

// Pixel scans up to this size run as they are; larger ones (only absurd scales and rooms
// reach them) are decided cell by cell of the masks instead, so no test can run for ever.
constexpr double kScanBudget = double(1 << 22);
// Mask cell pairs the decision by cells may try before it settles for the boxes' answer.
constexpr int64_t kCellPairBudget = int64_t(1) << 24;

double PixelCount(const PixelRect& r) {
    if (r.Empty()) return 0;
    return (double(r.right) - double(r.left) + 1) * (double(r.bottom) - double(r.top) + 1);
}

// x in the outer loop, y in the inner one; true at the first pixel `hit` accepts.
template <class Hit>
bool ScanPixels(const PixelRect& r, Hit&& hit) {
    for (int64_t x = r.left; x <= r.right; ++x)
        for (int64_t y = r.top; y <= r.bottom; ++y)
            if (hit(x, y)) return true;
    return false;
}

// --- deciding by mask cells: the continuous form of the pixel scan, for huge areas

struct Point {
    double x, y;
};

// A convex polygon; a quadrilateral clipped by four half-planes has at most eight corners.
struct Polygon {
    Point p[12];
    int n = 0;
};

// The part of `in` where k * (coordinate) >= k * bound, for the x (axis 0) or y coordinate.
Polygon ClipHalf(const Polygon& in, int axis, double bound, double k) {
    Polygon out;
    auto coord = [axis](const Point& q) { return axis == 0 ? q.x : q.y; };
    for (int i = 0; i < in.n; ++i) {
        const Point& a = in.p[i];
        const Point& b = in.p[(i + 1) % in.n];
        const double da = k * (coord(a) - bound), db = k * (coord(b) - bound);
        if (da >= 0 && out.n < 12) out.p[out.n++] = a;
        if ((da < 0) != (db < 0) && out.n < 12) {
            const double t = da / (da - db);
            out.p[out.n++] = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
        }
    }
    return out;
}

// The polygon within the pixel rectangle (as the continuous area it covers).
Polygon ClipToRect(Polygon poly, const PixelRect& r) {
    poly = ClipHalf(poly, 0, double(r.left), 1);
    poly = ClipHalf(poly, 0, double(r.right) + 1, -1);
    poly = ClipHalf(poly, 1, double(r.top), 1);
    return ClipHalf(poly, 1, double(r.bottom) + 1, -1);
}

// The room polygon of the image cell (u, v).
Polygon CellInRoom(const MaskPlacement& m, int32_t u, int32_t v) {
    Polygon poly;
    poly.n = 4;
    const int du[4] = {0, 1, 1, 0}, dv[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) m.ToRoom(u + du[i], v + dv[i], poly.p[i].x, poly.p[i].y);
    return poly;
}

// Finite corners enclosing some area: a cell clipped to a mere edge holds no pixel.
bool Usable(const Polygon& poly) {
    if (poly.n < 3) return false;
    double area2 = 0;
    for (int i = 0; i < poly.n; ++i) {
        const Point& a = poly.p[i];
        const Point& b = poly.p[(i + 1) % poly.n];
        if (!std::isfinite(a.x) || !std::isfinite(a.y)) return false;
        area2 += a.x * b.y - b.x * a.y;
    }
    return area2 != 0 && std::isfinite(area2);
}

// Separating axes: the convex polygon and the square [s, s + 1] x [t, t + 1] overlap in more
// than an edge (cells that only touch share no pixel: each pixel lies in one cell).
bool PolygonMeetsCell(const Polygon& poly, double s, double t) {
    double minx = HUGE_VAL, maxx = -HUGE_VAL, miny = HUGE_VAL, maxy = -HUGE_VAL;
    for (int i = 0; i < poly.n; ++i) {
        minx = std::min(minx, poly.p[i].x);
        maxx = std::max(maxx, poly.p[i].x);
        miny = std::min(miny, poly.p[i].y);
        maxy = std::max(maxy, poly.p[i].y);
    }
    if (maxx <= s || minx >= s + 1 || maxy <= t || miny >= t + 1) return false;
    const Point square[4] = {{s, t}, {s + 1, t}, {s + 1, t + 1}, {s, t + 1}};
    for (int i = 0; i < poly.n; ++i) {
        const Point& a = poly.p[i];
        const Point& b = poly.p[(i + 1) % poly.n];
        const double nx = b.y - a.y, ny = a.x - b.x;
        double plo = HUGE_VAL, phi = -HUGE_VAL, slo = HUGE_VAL, shi = -HUGE_VAL;
        for (int j = 0; j < poly.n; ++j) {
            const double d = poly.p[j].x * nx + poly.p[j].y * ny;
            plo = std::min(plo, d);
            phi = std::max(phi, d);
        }
        for (const Point& q : square) {
            const double d = q.x * nx + q.y * ny;
            slo = std::min(slo, d);
            shi = std::max(shi, d);
        }
        if (phi <= slo || shi <= plo) return false;
    }
    return true;
}

// The segment p0-p1 and the convex polygon share a point.
bool SegmentMeetsPolygon(const Point& p0, const Point& p1, const Polygon& poly) {
    // Clip the segment by every edge's half-plane (Cyrus-Beck), whichever way round.
    double area2 = 0;
    for (int i = 0; i < poly.n; ++i) {
        const Point& a = poly.p[i];
        const Point& b = poly.p[(i + 1) % poly.n];
        area2 += a.x * b.y - b.x * a.y;
    }
    const double sign = area2 >= 0 ? 1 : -1;
    double t0 = 0, t1 = 1;
    const double dx = p1.x - p0.x, dy = p1.y - p0.y;
    for (int i = 0; i < poly.n; ++i) {
        const Point& a = poly.p[i];
        const Point& b = poly.p[(i + 1) % poly.n];
        // Inside: sign * cross(b - a, p - a) >= 0.
        const double ex = b.x - a.x, ey = b.y - a.y;
        const double f0 = sign * (ex * (p0.y - a.y) - ey * (p0.x - a.x));
        const double fd = sign * (ex * dy - ey * dx);
        if (fd == 0) {
            if (f0 < 0) return false;
            continue;
        }
        const double t = -f0 / fd;
        if (fd > 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

// Calls cell(u, v) for every solid image cell of the placement until it returns true.
template <class Cell>
bool ForSolidCells(const MaskPlacement& m, Cell&& cell) {
    for (int32_t u = 0; u < m.width; ++u)
        for (int32_t v = 0; v < m.height; ++v)
            if (m.SolidImage(u, v) && cell(u, v)) return true;
    return false;
}

// Whether the solid parts of two placements overlap within `area`: the cells of the one with
// fewer pixels, each clipped to the area and taken into the other's image, against the
// other's solid cells. Work is bounded by the masks, not by the area. When even that is too
// much, the boxes' answer (they meet) stands.
bool CellsMeet(const MaskPlacement& a, const MaskPlacement& b, const PixelRect& area) {
    const bool a_walks = int64_t(a.width) * a.height <= int64_t(b.width) * b.height;
    const MaskPlacement& walker = a_walks ? a : b;
    const MaskPlacement& other = a_walks ? b : a;
    int64_t budget = kCellPairBudget;
    bool exhausted = false;
    const bool met = ForSolidCells(walker, [&](int32_t u, int32_t v) {
        if (exhausted) return true;
        Polygon poly = ClipToRect(CellInRoom(walker, u, v), area);
        if (!Usable(poly)) return false;
        double lo_u = HUGE_VAL, hi_u = -HUGE_VAL, lo_v = HUGE_VAL, hi_v = -HUGE_VAL;
        for (int i = 0; i < poly.n; ++i) {
            Point& q = poly.p[i];
            other.ToImage(q.x, q.y, q.x, q.y);
            lo_u = std::min(lo_u, q.x);
            hi_u = std::max(hi_u, q.x);
            lo_v = std::min(lo_v, q.y);
            hi_v = std::max(hi_v, q.y);
        }
        if (!Usable(poly)) return false;
        // The other's cells under the polygon's box, within its frame.
        const double s0 = std::max(0.0, std::floor(lo_u));
        const double s1 = std::min(double(other.width) - 1, std::floor(hi_u));
        const double t0 = std::max(0.0, std::floor(lo_v));
        const double t1 = std::min(double(other.height) - 1, std::floor(hi_v));
        if (!(s0 <= s1 && t0 <= t1)) return false;
        for (int64_t s = int64_t(s0); s <= int64_t(s1); ++s) {
            for (int64_t t = int64_t(t0); t <= int64_t(t1); ++t) {
                if (--budget < 0) {
                    exhausted = true;
                    return true;
                }
                if (other.SolidImage(s, t) && PolygonMeetsCell(poly, double(s), double(t)))
                    return true;
            }
        }
        return false;
    });
    return met;
}

// Whether a solid part of the placement lies in the region `inside` accepts, within `area`:
// each solid cell clipped to the area is given to `inside` as a room polygon.
template <class Inside>
bool CellsInside(const MaskPlacement& m, const PixelRect& area, Inside&& inside) {
    return ForSolidCells(m, [&](int32_t u, int32_t v) {
        const Polygon poly = ClipToRect(CellInRoom(m, u, v), area);
        return Usable(poly) && inside(poly);
    });
}

// The instance takes part in collisions at all.
bool Collidable(const Game& game, const CInstance& inst) {
    return !inst.destroyed && MaskSprite(game, inst) != nullptr;
}

// The bounding-rectangle condition of the shapes, on the real corners.
bool ShapeBoxMeets(const CInstance& a, double x1, double y1, double x2, double y2) {
    return std::min(x1, x2) < double(a.bbox_right) + 1 && std::max(x1, x2) >= a.bbox_left &&
           std::min(y1, y2) < double(a.bbox_bottom) + 1 && std::max(y1, y2) >= a.bbox_top;
}

// After a shape's box conditions held: true with the answer in `result` when no pixel needs
// testing (box only, no mask sprite, or a sprite without built masks); false when `m` is
// placed for the pixel scan.
bool DecidedWithoutPixels(const Game& game, const CInstance& a, bool precise, MaskPlacement& m,
                          bool& result) {
    result = true;
    if (!precise || !a.precise) return true;
    if (!PlaceMask(MaskSprite(game, a), a, m)) {
        result = false;
        return true;
    }
    return !m.sprite->masks_built;
}

// The pixel rectangle of a shape, its corners rounded.
PixelRect RoundedRect(double x1, double y1, double x2, double y2) {
    return {RoundCoord(std::min(x1, x2)), RoundCoord(std::min(y1, y2)),
            RoundCoord(std::max(x1, x2)), RoundCoord(std::max(y1, y2))};
}

bool RectanglePixels(const CInstance& a, const MaskPlacement& m, const PixelRect& r) {
    const PixelRect area = Intersect(Intersect(BoxOf(a), r), FrameRect(m));
    if (PixelCount(area) > kScanBudget)
        return CellsInside(m, area, [](const Polygon&) { return true; });
    return ScanPixels(area, [&m](int64_t x, int64_t y) { return m.Solid(x, y); });
}

}  // namespace

bool MeetsInstance(const Game& game, const CInstance& a, const CInstance& b, bool precise) {
    if (&a == &b || a.destroyed || b.destroyed) return false;
    const int64_t al = a.bbox_left, ar = a.bbox_right, at = a.bbox_top, ab = a.bbox_bottom;
    const int64_t bl = b.bbox_left, br = b.bbox_right, bt = b.bbox_top, bb = b.bbox_bottom;
    if (!(bl < ar + 1 && al < br + 1 && bt < ab + 1 && at < bb + 1)) return false;
    const CSprite* sa = MaskSprite(game, a);
    const CSprite* sb = MaskSprite(game, b);
    if (!sa || !sb) return false;
    if (!precise || (!a.precise && !b.precise)) return true;
    MaskPlacement ma, mb;
    if (!PlaceMask(sa, a, ma) || !PlaceMask(sb, b, mb)) return false;
    PixelRect area = Intersect(BoxOf(a), BoxOf(b));
    area = Intersect(Intersect(area, FrameRect(ma)), FrameRect(mb));
    if (area.Empty()) return false;
    if (PixelCount(area) > kScanBudget) return CellsMeet(ma, mb, area);
    if (ma.unit && mb.unit) {
        // Integer offsets only.
        const int64_t dxa = ma.xorig - ma.x, dya = ma.yorig - ma.y;
        const int64_t dxb = mb.xorig - mb.x, dyb = mb.yorig - mb.y;
        return ScanPixels(area, [&](int64_t x, int64_t y) {
            return ma.SolidImage(x + dxa, y + dya) && mb.SolidImage(x + dxb, y + dyb);
        });
    }
    return ScanPixels(area, [&](int64_t x, int64_t y) { return ma.Solid(x, y) && mb.Solid(x, y); });
}

bool ContainsPoint(const Game& game, const CInstance& a, double px, double py, bool precise) {
    if (!Collidable(game, a)) return false;
    if (!(a.bbox_left <= px && px < double(a.bbox_right) + 1 && a.bbox_top <= py &&
          py < double(a.bbox_bottom) + 1))
        return false;
    MaskPlacement m;
    if (bool result; DecidedWithoutPixels(game, a, precise, m, result)) return result;
    return m.Solid(RoundCoord(px), RoundCoord(py));
}

bool MeetsRectangle(const Game& game, const CInstance& a, double x1, double y1, double x2,
                    double y2, bool precise) {
    if (!Collidable(game, a) || !ShapeBoxMeets(a, x1, y1, x2, y2)) return false;
    MaskPlacement m;
    if (bool result; DecidedWithoutPixels(game, a, precise, m, result)) return result;
    return RectanglePixels(a, m, RoundedRect(x1, y1, x2, y2));
}

bool MeetsEllipse(const Game& game, const CInstance& a, double x1, double y1, double x2, double y2,
                  bool precise) {
    if (!Collidable(game, a) || !ShapeBoxMeets(a, x1, y1, x2, y2)) return false;
    const PixelRect r = RoundedRect(x1, y1, x2, y2);
    if (r.left == r.right || r.top == r.bottom)
        return MeetsRectangle(game, a, x1, y1, x2, y2, precise);
    const double cx = double(r.left + r.right) / 2, rx = double(r.right - r.left) / 2;
    const double cy = double(r.top + r.bottom) / 2, ry = double(r.bottom - r.top) / 2;
    auto inside = [&](double px, double py) {
        const double u = (px - cx) / rx, v = (py - cy) / ry;
        return u * u + v * v <= 1;
    };
    const double l = a.bbox_left, t = a.bbox_top, rt = a.bbox_right, b = a.bbox_bottom;
    const bool meets = (l <= cx && cx <= rt) || (t <= cy && cy <= b) || inside(l, t) ||
                       inside(rt, t) || inside(l, b) || inside(rt, b);
    if (!meets) return false;
    MaskPlacement m;
    if (bool result; DecidedWithoutPixels(game, a, precise, m, result)) return result;
    const PixelRect area = Intersect(Intersect(BoxOf(a), r), FrameRect(m));
    if (PixelCount(area) > kScanBudget) {
        return CellsInside(m, area, [&](const Polygon& poly) {
            // In the ellipse's unit circle: a corner inside, the centre inside, or an edge
            // that passes within the radius.
            Point q[12];
            for (int i = 0; i < poly.n; ++i) {
                q[i] = {(poly.p[i].x - cx) / rx, (poly.p[i].y - cy) / ry};
                if (q[i].x * q[i].x + q[i].y * q[i].y <= 1) return true;
            }
            bool all_left = true, all_right = true;
            for (int i = 0; i < poly.n; ++i) {
                const Point& p = q[i];
                const Point& n = q[(i + 1) % poly.n];
                const double ex = n.x - p.x, ey = n.y - p.y;
                const double cross = ex * -p.y - ey * -p.x;
                all_left = all_left && cross >= 0;
                all_right = all_right && cross <= 0;
                const double len = ex * ex + ey * ey;
                const double t = len > 0 ? std::clamp(-(p.x * ex + p.y * ey) / len, 0.0, 1.0) : 0;
                const double dx = p.x + ex * t, dy = p.y + ey * t;
                if (dx * dx + dy * dy <= 1) return true;
            }
            return all_left || all_right;
        });
    }
    return ScanPixels(
        area, [&](int64_t x, int64_t y) { return inside(double(x), double(y)) && m.Solid(x, y); });
}

bool MeetsLine(const Game& game, const CInstance& a, double x1, double y1, double x2, double y2,
               bool precise) {
    if (!Collidable(game, a) || !ShapeBoxMeets(a, x1, y1, x2, y2)) return false;
    // (x1, y1) is the right end.
    if (x1 < x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const double left = a.bbox_left, right = double(a.bbox_right) + 1;
    if (x1 != x2) {
        const double slope = (y1 - y2) / (x1 - x2);
        if (x2 < left) {
            y2 += (left - x2) * slope;
            x2 = left;
        }
        if (x1 > right) {
            y1 -= (x1 - right) * slope;
            x1 = right;
        }
    }
    const double top = a.bbox_top, bottom = double(a.bbox_bottom) + 1;
    if ((y1 < top && y2 < top) || (y1 >= bottom && y2 >= bottom)) return false;
    MaskPlacement m;
    if (bool result; DecidedWithoutPixels(game, a, precise, m, result)) return result;
    int64_t ix1 = RoundCoord(x1), iy1 = RoundCoord(y1);
    int64_t ix2 = RoundCoord(x2), iy2 = RoundCoord(y2);
    if (ix1 == ix2 || iy1 == iy2)
        return RectanglePixels(
            a, m, {std::min(ix1, ix2), std::min(iy1, iy2), std::max(ix1, ix2), std::max(iy1, iy2)});
    {
        // One sample per row (steep) or column below; over a huge box the line is decided
        // cell by cell of the mask instead.
        const bool steep = std::abs(ix1 - ix2) < std::abs(iy1 - iy2);
        const double from = steep ? double(std::max<int64_t>(a.bbox_top, std::min(iy1, iy2)))
                                  : double(std::max<int64_t>(a.bbox_left, ix2));
        const double to = steep ? double(std::min<int64_t>(a.bbox_bottom, std::max(iy1, iy2)))
                                : double(std::min<int64_t>(a.bbox_right, ix1));
        if (to - from + 1 > kScanBudget) {
            const Point p0{double(ix1), double(iy1)}, p1{double(ix2), double(iy2)};
            return CellsInside(m, BoxOf(a), [&](const Polygon& poly) {
                return SegmentMeetsPolygon(p0, p1, poly);
            });
        }
    }
    if (std::abs(ix1 - ix2) < std::abs(iy1 - iy2)) {
        // Steep: one sample per row.
        if (iy1 < iy2) {
            std::swap(ix1, ix2);
            std::swap(iy1, iy2);
        }
        const double step = double(ix1 - ix2) / double(iy1 - iy2);
        const int64_t from = std::max<int64_t>(a.bbox_top, iy2);
        const int64_t to = std::min<int64_t>(a.bbox_bottom, iy1);
        for (int64_t y = from; y <= to; ++y)
            if (m.Solid(double(y - iy2) * step + double(ix2), double(y))) return true;
        return false;
    }
    // Shallow: one sample per column; the ends are already ordered by x.
    const double step = double(iy1 - iy2) / double(ix1 - ix2);
    const int64_t from = std::max<int64_t>(a.bbox_left, ix2);
    const int64_t to = std::min<int64_t>(a.bbox_right, ix1);
    for (int64_t x = from; x <= to; ++x)
        if (m.Solid(double(x), double(x - ix2) * step + double(iy2))) return true;
    return false;
}

// --- place and position queries

namespace {

// Puts the instance at (x, y) for the life of the object and back exactly as it was.
class TrialPlacement {
  public:
    TrialPlacement(const Game& game, CInstance& inst, double x, double y)
        : game_(game),
          inst_(inst),
          x_(inst.x),
          y_(inst.y),
          box_{inst.bbox_left, inst.bbox_top, inst.bbox_right, inst.bbox_bottom},
          precise_(inst.precise) {
        if (x == inst.x && y == inst.y) return;
        inst.x = x;
        inst.y = y;
        ComputeBoundingBox(inst, game);
        moved_ = true;
    }
    QueryBox Box() const {
        return {inst_.bbox_left, inst_.bbox_top, inst_.bbox_right, inst_.bbox_bottom};
    }
    ~TrialPlacement() {
        // The query index heard of the trial box: it must hear of the way back too.
        if (game_.box_changes && moved_) game_.box_changes->push_back(&inst_);
        inst_.x = x_;
        inst_.y = y_;
        inst_.bbox_left = box_[0];
        inst_.bbox_top = box_[1];
        inst_.bbox_right = box_[2];
        inst_.bbox_bottom = box_[3];
        inst_.precise = precise_;
    }
    TrialPlacement(const TrialPlacement&) = delete;
    TrialPlacement& operator=(const TrialPlacement&) = delete;

  private:
    const Game& game_;
    CInstance& inst_;
    double x_, y_;
    int32_t box_[4];
    bool precise_;
    bool moved_ = false;
};

// The box `inst` would have at (x, y).
QueryBox TrialBox(const Game& game, CInstance& inst, double x, double y) {
    TrialPlacement trial(game, inst, x, y);
    return trial.Box();
}

// The first instance of target that `inst` at (x, y) would meet and `accept` takes. The
// candidates are looked up before the trial, so the index holds the instance where it is.
template <class Accept>
CInstance* FirstMet(ScriptEngine& engine, CInstance& inst, double x, double y, int64_t target,
                    Accept&& accept) {
    const Game& game = *engine.game;
    const QueryBox box = TrialBox(game, inst, x, y);
    QueryIndex* index = nullptr;
    if (engine.room && (target == kTargetAll || (target >= 0 && target < kFirstInstanceId)))
        index = QueryIndex::Of(engine, *engine.room);
    if (!index) {
        TrialPlacement trial(game, inst, x, y);
        return FindInTarget(engine, engine.room, target, [&](const CInstance& other) {
            return accept(other) && MeetsInstance(game, inst, other, true);
        });
    }
    const CRoom& room = *engine.room;
    const std::span<const uint32_t> near = index->Near(room, target, box);
    if (near.empty()) return nullptr;
    TrialPlacement trial(game, inst, x, y);
    for (uint32_t k : near) {
        CInstance* other = QueryIndex::ListAt(room, target, k);
        if (other && !other->destroyed && accept(*other) && MeetsInstance(game, inst, *other, true))
            return other;
    }
    return nullptr;
}

}  // namespace

bool PlaceFree(ScriptEngine& engine, CInstance& inst, double x, double y) {
    if (!engine.game) return true;
    return !FirstMet(engine, inst, x, y, kTargetAll,
                     [](const CInstance& other) { return other.solid; });
}

bool PlaceEmpty(ScriptEngine& engine, CInstance& inst, double x, double y) {
    if (!engine.game) return true;
    return !FirstMet(engine, inst, x, y, kTargetAll, [](const CInstance&) { return true; });
}

CInstance* InstancePlace(ScriptEngine& engine, CInstance& inst, double x, double y,
                         int64_t target) {
    if (!engine.game) return nullptr;
    return FirstMet(engine, inst, x, y, target, [](const CInstance&) { return true; });
}

CInstance* InstancePosition(ScriptEngine& engine, double x, double y, int64_t target) {
    if (!engine.game) return nullptr;
    const Game& game = *engine.game;
    auto contains = [&](const CInstance& other) { return ContainsPoint(game, other, x, y, true); };
    QueryBox box;
    if (!PointBox(x, y, box)) return FindInTarget(engine, engine.room, target, contains);
    return FindNear(engine, engine.room, target, box, contains);
}

}  // namespace tb
