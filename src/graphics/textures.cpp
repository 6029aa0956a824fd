#include "graphics/textures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tb {

uint32_t DeviceColor(uint32_t bgr, double alpha) {
    const double a = std::clamp(std::isnan(alpha) ? 0.0 : alpha, 0.0, 1.0);
    const uint32_t ab = uint32_t(std::nearbyint(a * 255));
    const uint32_t r = bgr & 0xFF, g = (bgr >> 8) & 0xFF, b = (bgr >> 16) & 0xFF;
    return ab << 24 | r << 16 | g << 8 | b;
}

int32_t TextureTable::Create(int32_t width, int32_t height, bool render_target) {
    size_t slot = 0;
    while (slot < entries_.size() && entries_[slot].exists) ++slot;
    RTexture e;
    e.texture =
        device_.CreateTexture(width, height, render_target, e.texture_width, e.texture_height);
    if (e.texture == 0) return -1;
    e.width = width;
    e.height = height;
    e.exists = true;
    if (slot == entries_.size())
        entries_.push_back(e);
    else
        entries_[slot] = e;
    return int32_t(slot);
}

bool TextureTable::Load(int32_t id, const uint32_t* pixels) {
    if (!Exists(id) || !pixels) return false;
    const RTexture& e = entries_[size_t(id)];
    const int32_t w = e.width, h = e.height;
    if (w == e.texture_width && h == e.texture_height)
        return device_.LoadTexture(e.texture, w, h, pixels);
    // One extra column and row repeat the image's edge, so that filtering at the right and
    // bottom edges does not pull in texels outside the image.
    const int32_t cw = std::min(w + 1, e.texture_width), ch = std::min(h + 1, e.texture_height);
    scratch_.resize(size_t(cw) * size_t(ch));
    for (int32_t y = 0; y < ch; ++y) {
        const uint32_t* src = pixels + size_t(std::min(y, h - 1)) * size_t(w);
        uint32_t* dst = scratch_.data() + size_t(y) * size_t(cw);
        std::copy(src, src + w, dst);
        if (cw > w) dst[w] = src[w - 1];
    }
    return device_.LoadTexture(e.texture, cw, ch, scratch_.data());
}

int32_t TextureTable::FromBitmap(const CBitmap32& b) {
    if (!b.exists || b.width <= 0 || b.height <= 0 ||
        b.pixels.size() != size_t(b.width) * size_t(b.height))
        return -1;
    const int32_t id = Create(b.width, b.height, false);
    if (id < 0) return -1;
    if (!Load(id, b.pixels.data())) {
        Free(id);
        return -1;
    }
    return id;
}

int32_t TextureTable::FromAlpha(int32_t width, int32_t height, const uint8_t* alpha) {
    if (width <= 0 || height <= 0 || !alpha) return -1;
    CBitmap32 b(width, height);
    for (size_t i = 0; i < b.pixels.size(); ++i) b.pixels[i] = uint32_t(alpha[i]) << 24 | 0xFFFFFF;
    return FromBitmap(b);
}

void TextureTable::Free(int32_t id) {
    if (!Exists(id)) return;
    device_.FreeTexture(entries_[size_t(id)].texture);
    entries_[size_t(id)] = RTexture{};
}

bool TextureTable::Exists(int32_t id) const {
    return id >= 0 && size_t(id) < entries_.size() && entries_[size_t(id)].exists;
}

void TextureTable::ClearTable() {
    for (const RTexture& e : entries_)
        if (e.exists) device_.FreeTexture(e.texture);
    entries_.clear();
}

double TextureTable::WidthFraction(int32_t id) const {
    if (!Exists(id)) return 1;
    const RTexture& e = entries_[size_t(id)];
    return double(e.width) / double(e.texture_width);
}

double TextureTable::HeightFraction(int32_t id) const {
    if (!Exists(id)) return 1;
    const RTexture& e = entries_[size_t(id)];
    return double(e.height) / double(e.texture_height);
}

// Textures stay resident for the whole run: there is nothing to preload or prioritise.
void TextureTable::Preload(int32_t) {}
void TextureTable::SetPriority(int32_t, double) {}

void TextureTable::Select(int32_t id) {
    device_.SelectTexture(Exists(id) ? entries_[size_t(id)].texture : 0);
}

const RTexture* TextureTable::Get(int32_t id) const {
    return Exists(id) ? &entries_[size_t(id)] : nullptr;
}

namespace {

struct Corner {
    double dx, dy;
};

}  // namespace

void TextureTable::Quad(const RTexture& e, double x, double y, const double (&offsets)[4],
                        double angle, const uint32_t (&argb)[4], double u0, double v0, double u1,
                        double v1) {
    // offsets: left, top, right, bottom relative to (x, y), already shifted by -0.5.
    const Corner c[4] = {{offsets[0], offsets[1]},
                         {offsets[2], offsets[1]},
                         {offsets[2], offsets[3]},
                         {offsets[0], offsets[3]}};
    const double uv[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
    const double a = angle * std::numbers::pi / 180;
    const bool turn = std::abs(a) >= 0.01;
    const double ca = turn ? std::cos(a) : 1, sa = turn ? std::sin(a) : 0;
    const float z = float(device_.Depth());
    TexVertex v[4];
    for (int i = 0; i < 4; ++i) {
        const double px = turn ? x + c[i].dx * ca + c[i].dy * sa : x + c[i].dx;
        const double py = turn ? y - c[i].dx * sa + c[i].dy * ca : y + c[i].dy;
        v[i] = {float(px), float(py), z, argb[i], float(uv[i][0]), float(uv[i][1])};
    }
    device_.SetTextureRepeat(false);
    device_.SelectTexture(e.texture);
    device_.Draw(Primitive::TriangleFan, std::span<const TexVertex>(v, 4));
}

void TextureTable::DrawSimple(int32_t id, double x, double y) {
    const RTexture* e = Get(id);
    if (!e) return;
    const double o[4] = {-0.5, -0.5, e->width - 0.5, e->height - 0.5};
    const uint32_t c[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    Quad(*e, x, y, o, 0, c, 0, 0, double(e->width) / e->texture_width,
         double(e->height) / e->texture_height);
}

void TextureTable::DrawExt(int32_t id, double xorig, double yorig, double x, double y,
                           double xscale, double yscale, double angle, uint32_t color,
                           double alpha) {
    const RTexture* e = Get(id);
    if (!e) return;
    const double left = -xscale * xorig - 0.5, top = -yscale * yorig - 0.5;
    const double o[4] = {left, top, left + e->width * xscale, top + e->height * yscale};
    const uint32_t argb = DeviceColor(color, alpha);
    const uint32_t c[4] = {argb, argb, argb, argb};
    Quad(*e, x, y, o, angle, c, 0, 0, double(e->width) / e->texture_width,
         double(e->height) / e->texture_height);
}

void TextureTable::DrawPart(int32_t id, double left, double top, double width, double height,
                            double x, double y, double xscale, double yscale, double angle,
                            uint32_t color, double alpha) {
    const uint32_t argb = DeviceColor(color, alpha);
    PartQuad(id, left, top, width, height, x, y, xscale, yscale, angle, {argb, argb, argb, argb});
}

void TextureTable::DrawGeneral(int32_t id, double left, double top, double width, double height,
                               double x, double y, double xscale, double yscale, double angle,
                               uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, double alpha) {
    PartQuad(id, left, top, width, height, x, y, xscale, yscale, angle,
             {DeviceColor(c1, alpha), DeviceColor(c2, alpha), DeviceColor(c3, alpha),
              DeviceColor(c4, alpha)});
}

void TextureTable::PartQuad(int32_t id, double left, double top, double width, double height,
                            double x, double y, double xscale, double yscale, double angle,
                            const std::array<uint32_t, 4>& colors) {
    const RTexture* e = Get(id);
    if (!e) return;
    const double o[4] = {-0.5, -0.5, width * xscale - 0.5, height * yscale - 0.5};
    const uint32_t c[4] = {colors[0], colors[1], colors[2], colors[3]};
    const double tw = e->texture_width, th = e->texture_height;
    Quad(*e, x, y, o, angle, c, left / tw, top / th, (left + width) / tw, (top + height) / th);
}

namespace {

// The first tile position at or before `start` on the lattice through round(pos) with the
// given step, or round(pos) alone without tiling.
double TileStart(double pos, bool tiled, int64_t step, double start) {
    int64_t p = int64_t(std::nearbyint(pos));
    if (!tiled) return double(p);
    p %= step;  // the sign of the dividend
    if (p > 0) p -= step;
    // Step right while the next tile would still start before `start`.
    const double behind = start - double(p + step);
    if (behind > 0) return double(p) + std::ceil(behind / double(step)) * double(step);
    return double(p);
}

}  // namespace

void TextureTable::DrawTiled(int32_t id, bool htiled, bool vtiled, double xorig, double yorig,
                             double x, double y, double xscale, double yscale, double region_left,
                             double region_top, double region_width, double region_height,
                             uint32_t color, double alpha) {
    const RTexture* e = Get(id);
    if (!e) return;
    const double tw = std::nearbyint(e->width * xscale), th = std::nearbyint(e->height * yscale);
    if (!(tw >= 1) || !(th >= 1)) return;
    if (!std::isfinite(x) || !std::isfinite(y) || std::abs(x) > 1e15 || std::abs(y) > 1e15) return;
    const double x0 = TileStart(x, htiled, int64_t(tw), region_left);
    const double y0 = TileStart(y, vtiled, int64_t(th), region_top);
    const double x_end = region_left + region_width, y_end = region_top + region_height;
    const double left = -xscale * xorig - 0.5, top = -yscale * yorig - 0.5;
    const double o[4] = {left, top, left + e->width * xscale, top + e->height * yscale};
    const uint32_t argb = DeviceColor(color, alpha);
    const uint32_t c[4] = {argb, argb, argb, argb};
    const double u1 = double(e->width) / e->texture_width;
    const double v1 = double(e->height) / e->texture_height;
    for (double row = y0;; row += th) {
        if (vtiled && !(row < y_end)) break;
        for (double col = x0;; col += tw) {
            if (htiled && !(col < x_end)) break;
            Quad(*e, col, row, o, 0, c, 0, 0, u1, v1);
            if (!htiled) break;
        }
        if (!vtiled) break;
    }
}

}  // namespace tb
