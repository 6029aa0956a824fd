#include "resources/background.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/pictures.h"

namespace tb {

void CBackground::Reset() {
    Width = Height = 0;
    Transparent = SmoothEdges = Preload = false;
    image = CBitmap32();
    texture = -1;
}

bool CBackground::LoadFromStream(CStream& s) {
    Reset();
    if (ReadInteger(s) != kBackgroundVersion) return false;
    Width = ReadInteger(s);
    Height = ReadInteger(s);
    Transparent = ReadBoolean(s);
    SmoothEdges = ReadBoolean(s);
    Preload = ReadBoolean(s);
    if (ReadBoolean(s)) image = ReadBitmap32(s);
    return true;
}

void CBackground::WriteToStream(CStream& s) const {
    WriteInteger(s, kBackgroundVersion);
    WriteInteger(s, Width);
    WriteInteger(s, Height);
    WriteBoolean(s, Transparent);
    WriteBoolean(s, SmoothEdges);
    WriteBoolean(s, Preload);
    WriteBoolean(s, image.exists);
    if (image.exists) WriteBitmap32(s, image);
}

void CBackground::Assign(const CBackground& other) {
    if (&other == this) return;
    Width = other.Width;
    Height = other.Height;
    Transparent = other.Transparent;
    SmoothEdges = other.SmoothEdges;
    Preload = other.Preload;
    image = other.image;
    texture = -1;
}

void CBackground::CreateColor(int32_t w, int32_t h, uint32_t bgr, bool preload) {
    Reset();
    image = SolidBitmap(w, h, bgr);
    Width = image.width;
    Height = image.height;
    Preload = preload;
}

}  // namespace tb

namespace tb {

bool CBackground::LoadFromFile(const std::string& path, bool alpha, bool transparent, bool smooth,
                               bool preload) {
    std::vector<uint8_t> bytes;
    if (!ReadPictureFile(path, bytes)) return false;
    const Picture picture = DecodePicture(bytes.data(), bytes.size());
    if (!picture.image.exists) return false;
    if (alpha) return LoadFromBitmap(picture.image, true, true, false, preload);
    return LoadFromBitmap(picture.image, false, transparent, smooth, preload);
}

bool CBackground::LoadFromBitmap(const CBitmap32& b, bool with_alpha, bool transparent, bool smooth,
                                 bool preload) {
    if (!b.exists || b.width <= 0 || b.height <= 0) return false;
    CBitmap32 converted = ConvertPicture(b, with_alpha, transparent, smooth);
    Reset();
    Transparent = transparent;
    SmoothEdges = smooth && !with_alpha;
    Preload = preload;
    Width = converted.width;
    Height = converted.height;
    image = std::move(converted);
    return true;
}

namespace {

// round((1 - t) * a + t * b) per channel, halves to even.
uint32_t Mix(uint32_t a, uint32_t b, double t) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double ca = a >> shift & 0xFF, cb = b >> shift & 0xFF;
        const double v = std::nearbyint((1 - t) * ca + t * cb);
        out |= uint32_t(std::clamp(v, 0.0, 255.0)) << shift;
    }
    return out;
}

// 0xAARRGGBB of a platform colour.
uint32_t PixelOf(uint32_t bgr) {
    return 0xFF000000u | (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
}

double Fraction(int64_t i, int64_t n) {
    return n > 0 ? double(i) / double(n) : 0.0;
}

// Fills [x0, x1) x [y0, y1), clipped.
void FillRect(CBitmap32& b, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pixel) {
    x0 = std::max<int64_t>(x0, 0), y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, b.width), y1 = std::min<int64_t>(y1, b.height);
    for (int64_t y = y0; y < y1; ++y)
        for (int64_t x = x0; x < x1; ++x) b.At(int32_t(x), int32_t(y)) = pixel;
}

// The ellipse inscribed in [x0, x1) x [y0, y1): the pixels whose centres lie inside it.
void FillEllipse(CBitmap32& b, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pixel) {
    const double cx = (x0 + x1) / 2.0, cy = (y0 + y1) / 2.0;
    const double rx = (x1 - x0) / 2.0, ry = (y1 - y0) / 2.0;
    if (rx <= 0 || ry <= 0) return;
    for (int64_t y = std::max<int64_t>(y0, 0); y < std::min<int64_t>(y1, b.height); ++y)
        for (int64_t x = std::max<int64_t>(x0, 0); x < std::min<int64_t>(x1, b.width); ++x) {
            const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1) b.At(int32_t(x), int32_t(y)) = pixel;
        }
}

}  // namespace

void CBackground::CreateGradient(int32_t w, int32_t h, uint32_t bgr1, uint32_t bgr2, int32_t kind,
                                 bool preload) {
    Reset();
    image = SolidBitmap(w, h, 0);
    w = image.width;
    h = image.height;
    const int64_t m = std::min(w, h) / 2;
    auto color = [&](double t) { return PixelOf(Mix(bgr1, bgr2, t)); };
    switch (kind) {
        case 0:
            for (int32_t x = 0; x < w; ++x) FillRect(image, x, 0, x + 1, h, color(Fraction(x, w)));
            break;
        case 1:
            for (int32_t y = 0; y < h; ++y) FillRect(image, 0, y, w, y + 1, color(Fraction(y, h)));
            break;
        case 2:
            for (int64_t g = 0; g <= m; ++g)
                FillRect(image, g, g, w - g, h - g, color(Fraction(g, m)));
            break;
        case 3:
            FillRect(image, 0, 0, w, h, PixelOf(bgr1));
            for (int64_t g = 0; g <= m; ++g)
                FillEllipse(image, g, g, w - g, h - g, color(Fraction(g, m)));
            break;
        case 4:
            for (int64_t i = 0; i <= w / 2; ++i) {
                const uint32_t c = color(Fraction(i, w / 2));
                FillRect(image, i, 0, i + 1, h, c);
                FillRect(image, w - i, 0, w - i + 1, h, c);
            }
            break;
        case 5:
            for (int64_t i = 0; i <= h / 2; ++i) {
                const uint32_t c = color(Fraction(i, h / 2));
                FillRect(image, 0, i, w, i + 1, c);
                FillRect(image, 0, h - i, w, h - i + 1, c);
            }
            break;
        default:
            break;
    }
    Width = w;
    Height = h;
    Preload = preload;
}

void CBackground::SetAlphaFrom(const CBackground& other) {
    if (!image.exists || !other.image.exists) return;
    const CBitmap32 source = other.image;  // other may be this background
    tb::SetAlphaFrom(image, source);
}

}  // namespace tb
