#include "resources/sprite.h"

#include <algorithm>

namespace tb {

void CSprite::Reset() {
    BBoxMode = 0;
    BBoxLeft = BBoxTop = BBoxRight = BBoxBottom = 0;
    Width = Height = 1;
    XOrigin = YOrigin = 0;
    Precise = true;
    Transparent = true;
    SmoothEdges = false;
    Preload = true;
    frames.clear();
    textures.clear();
    FreeMasks();
}

bool CSprite::LoadFromStream(CStream& s) {
    Reset();
    if (ReadInteger(s) != kSpriteVersion) return false;
    Width = ReadInteger(s);
    Height = ReadInteger(s);
    BBoxLeft = ReadInteger(s);
    BBoxRight = ReadInteger(s);
    BBoxBottom = ReadInteger(s);
    BBoxTop = ReadInteger(s);
    Transparent = ReadBoolean(s);
    SmoothEdges = ReadBoolean(s);
    Preload = ReadBoolean(s);
    BBoxMode = ReadInteger(s);
    Precise = ReadBoolean(s);
    XOrigin = ReadInteger(s);
    YOrigin = ReadInteger(s);
    int32_t count = ReadCount(s, 4);  // a frame of another version is its version alone
    for (int32_t i = 0; i < count; ++i) frames.push_back(ReadBitmap32(s));
    ResetTextures();
    BuildMasks();
    return true;
}

void CSprite::WriteToStream(CStream& s) const {
    WriteInteger(s, kSpriteVersion);
    WriteInteger(s, Width);
    WriteInteger(s, Height);
    WriteInteger(s, BBoxLeft);
    WriteInteger(s, BBoxRight);
    WriteInteger(s, BBoxBottom);
    WriteInteger(s, BBoxTop);
    WriteBoolean(s, Transparent);
    WriteBoolean(s, SmoothEdges);
    WriteBoolean(s, Preload);
    WriteInteger(s, BBoxMode);
    WriteBoolean(s, Precise);
    WriteInteger(s, XOrigin);
    WriteInteger(s, YOrigin);
    WriteInteger(s, FrameCount());
    for (const CBitmap32& f : frames) WriteBitmap32(s, f);
}

// Frames normally have the sprite's size; one that does not (or is missing) counts as
// transparent wherever it has no pixel, so nothing ever reads outside its buffer.
bool CSprite::OpaqueAt(const CBitmap32& f, int32_t x, int32_t y) const {
    return f.exists && x < f.width && y < f.height && PixelAlpha(f.At(x, y)) != 0;
}

void CSprite::ComputeBoundingBox() {
    if (BBoxMode == 2) return;
    if (Transparent && BBoxMode == 0) {
        if (frames.empty()) {
            BBoxLeft = BBoxTop = BBoxRight = BBoxBottom = 0;
            return;
        }
        BBoxLeft = Width - 1;
        BBoxTop = Height - 1;
        BBoxRight = 0;
        BBoxBottom = 0;
        for (const CBitmap32& f : frames) {
            int32_t w = std::min(Width, f.exists ? f.width : 0);
            int32_t h = std::min(Height, f.exists ? f.height : 0);
            for (int32_t y = 0; y < h; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    if (!OpaqueAt(f, x, y)) continue;
                    BBoxLeft = std::min(BBoxLeft, x);
                    BBoxRight = std::max(BBoxRight, x);
                    BBoxTop = std::min(BBoxTop, y);
                    BBoxBottom = std::max(BBoxBottom, y);
                }
            }
        }
        return;
    }
    BBoxLeft = 0;
    BBoxTop = 0;
    BBoxRight = Width - 1;
    BBoxBottom = Height - 1;
}

void CSprite::FreeMasks() {
    masks.clear();
    masks_built = false;
}

void CSprite::BuildMasks() {
    FreeMasks();
    if (!Precise || !Transparent || frames.empty()) return;
    masks.reserve(frames.size());
    for (const CBitmap32& f : frames) {
        // Bounded by the frame's own pixels, never by the sizes in the record alone.
        SpriteMask m;
        m.width = std::max(0, std::min(Width, f.exists ? f.width : 0));
        m.height = std::max(0, std::min(Height, f.exists ? f.height : 0));
        m.bits.resize(size_t(m.width) * size_t(m.height));
        for (int32_t y = 0; y < m.height; ++y)
            for (int32_t x = 0; x < m.width; ++x)
                m.bits[size_t(y) * size_t(m.width) + size_t(x)] = OpaqueAt(f, x, y) ? 1 : 0;
        masks.push_back(std::move(m));
    }
    masks_built = true;
}

void CSprite::SetBBoxMode(int32_t mode) {
    if (mode < 0 || mode > 2 || mode == BBoxMode) return;
    BBoxMode = mode;
    ComputeBoundingBox();
}

void CSprite::SetBBox(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (BBoxMode != 2) return;
    BBoxLeft = left;
    BBoxTop = top;
    BBoxRight = right;
    BBoxBottom = bottom;
}

void CSprite::SetPrecise(bool flag) {
    if (flag == Precise) return;
    Precise = flag;
    BuildMasks();
}

void CSprite::Assign(const CSprite& other) {
    if (&other == this) return;
    BBoxMode = other.BBoxMode;
    BBoxLeft = other.BBoxLeft;
    BBoxTop = other.BBoxTop;
    BBoxRight = other.BBoxRight;
    BBoxBottom = other.BBoxBottom;
    Width = other.Width;
    Height = other.Height;
    XOrigin = other.XOrigin;
    YOrigin = other.YOrigin;
    Precise = other.Precise;
    Transparent = other.Transparent;
    SmoothEdges = other.SmoothEdges;
    Preload = other.Preload;
    frames = other.frames;
    ResetTextures();
    BuildMasks();
}

void CSprite::AddFramesFrom(const CSprite& other) {
    std::vector<CBitmap32> added = other.frames;  // copied first: other may be this sprite
    if (added.empty()) return;
    if (frames.empty()) {
        Width = other.Width;
        Height = other.Height;
    }
    for (CBitmap32& f : added) frames.push_back(ResizeBitmap(f, Width, Height));
    ResetTextures();
    ComputeBoundingBox();
    BuildMasks();
}

void CSprite::SetAlphaFrom(const CSprite& other) {
    if (other.frames.empty()) return;
    std::vector<CBitmap32> source = other.frames;  // other may be this sprite
    for (size_t i = 0; i < frames.size(); ++i)
        tb::SetAlphaFrom(frames[i], source[i % source.size()]);
    ResetTextures();
}

int32_t CSprite::WrapFrame(int64_t frame) const {
    if (frames.empty()) return -1;
    int64_t n = int64_t(frames.size());
    int64_t f = frame % n;
    if (f < 0) f += n;
    return int32_t(f);
}

int32_t CSprite::GetTexture(int64_t frame) const {
    int32_t f = WrapFrame(frame);
    if (f < 0 || size_t(f) >= textures.size()) return -1;
    return textures[size_t(f)];
}

BitmapRect CSprite::GetFrameBounds(int32_t frame) const {
    if (frame < 0 || frame >= FrameCount()) return {};
    return OpaqueBounds(frames[size_t(frame)]);
}

bool CSprite::Solid(int64_t frame, int32_t u, int32_t v) const {
    int32_t f = WrapFrame(frame);
    if (f < 0) return false;
    if (u < 0 || v < 0 || u >= Width || v >= Height) return false;
    if (!masks_built) return true;
    if (size_t(f) >= masks.size()) return false;  // frames added without rebuilding
    const SpriteMask& m = masks[size_t(f)];
    if (u >= m.width || v >= m.height) return false;
    return m.bits[size_t(v) * size_t(m.width) + size_t(u)] != 0;
}

bool CSprite::operator==(const CSprite& o) const {
    return BBoxMode == o.BBoxMode && BBoxLeft == o.BBoxLeft && BBoxTop == o.BBoxTop &&
           BBoxRight == o.BBoxRight && BBoxBottom == o.BBoxBottom && Width == o.Width &&
           Height == o.Height && XOrigin == o.XOrigin && YOrigin == o.YOrigin &&
           Precise == o.Precise && Transparent == o.Transparent && SmoothEdges == o.SmoothEdges &&
           Preload == o.Preload && frames == o.frames;
}

}  // namespace tb
