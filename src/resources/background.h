// Backgrounds: one image used for room layers and as a tile set.
#pragma once

#include <cstdint>

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

    // Size, flags and image; the texture id is derived and not compared.
    bool operator==(const CBackground& o) const {
        return Width == o.Width && Height == o.Height && Transparent == o.Transparent &&
               SmoothEdges == o.SmoothEdges && Preload == o.Preload && image == o.image;
    }
};

}  // namespace tb
