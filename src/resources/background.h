// Backgrounds: one image used for room layers and as a tile set.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/bitmap32.h"
#include "runner/stream.h"

namespace tb {

constexpr int32_t kBackgroundVersion = 543;

class CBackground {
  public:
    int32_t Width = 0;
    int32_t Height = 0;
    bool Transparent = false;
    bool SmoothEdges = false;
    bool Preload = false;
    CBitmap32 image;  // exists == false: no image
    int32_t texture = -1;

    void Reset();
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    // Deep copy of size, flags and image; the texture is made again later.
    void Assign(const CBackground& other);
    // An opaque image of the platform colour 0x00BBGGRR; both sides at least 1.
    void CreateColor(int32_t w, int32_t h, uint32_t bgr, bool preload);

    // From an image file: `alpha` keeps the file's alpha (transparent set, no smoothing),
    // else the key colour and smoothing apply as the flags say. False, with the background
    // unchanged, when the file does not exist or does not load. Textures are the caller's.
    bool LoadFromFile(const std::string& path, bool alpha, bool transparent, bool smooth,
                      bool preload);
    // The same from an in-memory picture; false for a missing one.
    bool LoadFromBitmap(const CBitmap32& b, bool with_alpha, bool transparent, bool smooth,
                        bool preload);
    // Colour gradients of the kinds 0 .. 5 (horizontal, vertical, rectangle, ellipse, double
    // horizontal, double vertical) between two platform colours; other kinds give black.
    void CreateGradient(int32_t w, int32_t h, uint32_t bgr1, uint32_t bgr2, int32_t kind,
                        bool preload);
    // Alpha = min(alpha, grey of the other's pixel) over the common area.
    void SetAlphaFrom(const CBackground& other);

    // Size, flags and image; the texture id is derived and not compared.
    bool operator==(const CBackground& o) const {
        return Width == o.Width && Height == o.Height && Transparent == o.Transparent &&
               SmoothEdges == o.SmoothEdges && Preload == o.Preload && image == o.image;
    }
};

}  // namespace tb
