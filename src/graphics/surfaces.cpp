#include "graphics/surfaces.h"

#include <algorithm>

#include "graphics/device.h"
#include "graphics/textures.h"

namespace tb {

int32_t SurfaceTable::Create(int32_t width, int32_t height) {
    if (!device_.Exists()) return -1;
    size_t slot = 0;
    while (slot < entries_.size() && entries_[slot].exists) ++slot;
    const int32_t t = textures_.Create(width, height, true);
    if (t < 0) return -1;
    RSurface s{t, width, height, true};
    if (slot == entries_.size())
        entries_.push_back(s);
    else
        entries_[slot] = s;
    return int32_t(slot);
}

void SurfaceTable::Free(int32_t id) {
    if (!Exists(id)) return;
    if (target_ == id) ResetTarget();
    textures_.Free(entries_[size_t(id)].texture);
    entries_[size_t(id)] = RSurface{};
}

void SurfaceTable::FreeAll() {
    for (size_t i = 0; i < entries_.size(); ++i) Free(int32_t(i));
}

bool SurfaceTable::Exists(int32_t id) const {
    return id >= 0 && size_t(id) < entries_.size() && entries_[size_t(id)].exists;
}

int32_t SurfaceTable::Width(int32_t id) const {
    return Exists(id) ? entries_[size_t(id)].width : -1;
}

int32_t SurfaceTable::Height(int32_t id) const {
    return Exists(id) ? entries_[size_t(id)].height : -1;
}

int32_t SurfaceTable::Texture(int32_t id) const {
    return Exists(id) ? entries_[size_t(id)].texture : -1;
}

bool SurfaceTable::SetTarget(int32_t id) {
    if (!device_.Exists() || !Exists(id)) return false;
    if (target_ == id) return true;
    const RTexture* t = textures_.Get(entries_[size_t(id)].texture);
    if (!t) return false;
    if (target_ >= 0) ResetTarget();
    if (!device_.SetRenderTarget(t->texture)) return false;
    const RSurface& s = entries_[size_t(id)];
    device_.SetViewport(0, 0, s.width, s.height);
    device_.SetProjection(0, 0, s.width, s.height, 0);
    target_ = id;
    return true;
}

bool SurfaceTable::ResetTarget() {
    if (!device_.Exists() || target_ < 0) return false;
    device_.SetRenderTarget(0);
    const int32_t w = device_.RegionWidth(), h = device_.RegionHeight();
    device_.SetViewport(0, 0, w, h);
    device_.SetProjection(0, 0, w, h, 0);
    target_ = -1;
    return true;
}

CBitmap32 SurfaceTable::Capture(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!Exists(id)) return {};
    const RSurface& s = entries_[size_t(id)];
    x = std::max(x, 0);
    y = std::max(y, 0);
    width = int32_t(std::min<int64_t>(width, int64_t(s.width) - x));
    height = int32_t(std::min<int64_t>(height, int64_t(s.height) - y));
    if (width <= 0 || height <= 0) return {};
    const RTexture* t = textures_.Get(s.texture);
    if (!t) return {};
    return device_.CaptureTexture(t->texture, x, y, width, height);
}

uint32_t SurfaceTable::GetPixel(int32_t id, int32_t x, int32_t y) {
    CBitmap32 b = Capture(id, x, y, 1, 1);
    if (!b.exists || b.pixels.empty()) return 0;
    const uint32_t p = b.pixels[0];
    return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
}

void SurfaceTable::CopyPart(int32_t dest, int32_t x, int32_t y, int32_t src, int32_t xs, int32_t ys,
                            int32_t ws, int32_t hs) {
    if (!Exists(dest) || !Exists(src)) return;
    const RSurface& d = entries_[size_t(dest)];
    const RSurface& s = entries_[size_t(src)];
    // 64-bit arithmetic: script arguments can be anywhere in the int32 range.
    int64_t X = x, Y = y, XS = xs, YS = ys, WS = ws, HS = hs;
    if (XS < 0) {
        X -= XS;
        WS += XS;
        XS = 0;
    }
    if (YS < 0) {
        Y -= YS;
        HS += YS;
        YS = 0;
    }
    WS = std::min(WS, s.width - XS);
    HS = std::min(HS, s.height - YS);
    if (X < 0) {
        XS -= X;
        WS += X;
        X = 0;
    }
    if (Y < 0) {
        YS -= Y;
        HS += Y;
        Y = 0;
    }
    WS = std::min(WS, d.width - X);
    HS = std::min(HS, d.height - Y);
    if (WS <= 0 || HS <= 0) return;
    const RTexture* td = textures_.Get(d.texture);
    const RTexture* ts = textures_.Get(s.texture);
    if (!td || !ts) return;
    device_.CopyRect(td->texture, int32_t(X), int32_t(Y), ts->texture, int32_t(XS), int32_t(YS),
                     int32_t(WS), int32_t(HS));
}

void SurfaceTable::Copy(int32_t dest, int32_t x, int32_t y, int32_t src) {
    if (!Exists(src)) return;
    CopyPart(dest, x, y, src, 0, 0, entries_[size_t(src)].width, entries_[size_t(src)].height);
}

}  // namespace tb
