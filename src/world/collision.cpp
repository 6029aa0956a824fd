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

// The frame rectangle of an unrotated, unscaled placement in room pixels: nothing outside it
// can be solid, so scans are clipped to it.
PixelRect FrameRect(const MaskPlacement& m) {
    if (!m.unit) return {INT64_MIN / 4, INT64_MIN / 4, INT64_MAX / 4, INT64_MAX / 4};
    return {m.x - m.xorig, m.y - m.yorig, m.x - m.xorig + m.width - 1,
            m.y - m.yorig + m.height - 1};
}

// x in the outer loop, y in the inner one; true at the first pixel `hit` accepts.
template <class Hit>
bool ScanPixels(const PixelRect& r, Hit&& hit) {
    for (int64_t x = r.left; x <= r.right; ++x)
        for (int64_t y = r.top; y <= r.bottom; ++y)
            if (hit(x, y)) return true;
    return false;
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
        : inst_(inst),
          x_(inst.x),
          y_(inst.y),
          box_{inst.bbox_left, inst.bbox_top, inst.bbox_right, inst.bbox_bottom},
          precise_(inst.precise) {
        if (x == inst.x && y == inst.y) return;
        inst.x = x;
        inst.y = y;
        ComputeBoundingBox(inst, game);
    }
    ~TrialPlacement() {
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
    CInstance& inst_;
    double x_, y_;
    int32_t box_[4];
    bool precise_;
};

// No live instance of the room for which `meets` holds.
template <class Meets>
bool NoneInRoom(ScriptEngine& engine, Meets&& meets) {
    return FindInTarget(engine, engine.room, kTargetAll, meets) == nullptr;
}

}  // namespace

bool PlaceFree(ScriptEngine& engine, CInstance& inst, double x, double y) {
    if (!engine.game) return true;
    const Game& game = *engine.game;
    TrialPlacement trial(game, inst, x, y);
    return NoneInRoom(engine, [&](const CInstance& other) {
        return other.solid && MeetsInstance(game, inst, other, true);
    });
}

bool PlaceEmpty(ScriptEngine& engine, CInstance& inst, double x, double y) {
    if (!engine.game) return true;
    const Game& game = *engine.game;
    TrialPlacement trial(game, inst, x, y);
    return NoneInRoom(
        engine, [&](const CInstance& other) { return MeetsInstance(game, inst, other, true); });
}

CInstance* InstancePlace(ScriptEngine& engine, CInstance& inst, double x, double y,
                         int64_t target) {
    if (!engine.game) return nullptr;
    const Game& game = *engine.game;
    TrialPlacement trial(game, inst, x, y);
    return FindInTarget(engine, engine.room, target, [&](const CInstance& other) {
        return MeetsInstance(game, inst, other, true);
    });
}

CInstance* InstancePosition(ScriptEngine& engine, double x, double y, int64_t target) {
    if (!engine.game) return nullptr;
    const Game& game = *engine.game;
    return FindInTarget(engine, engine.room, target, [&](const CInstance& other) {
        return ContainsPoint(game, other, x, y, true);
    });
}

}  // namespace tb
