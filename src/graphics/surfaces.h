// Drawing surfaces: render-target textures that scripts draw into and draw with.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/bitmap32.h"

namespace tb {

class GraphicsDevice;
class TextureTable;
struct WindowState;

struct RSurface {
    int32_t texture = -1;  // texture id, -1 when free
    int32_t width = 0, height = 0;
    bool exists = false;
};

class SurfaceTable {
  public:
    SurfaceTable(GraphicsDevice& device, TextureTable& textures)
        : device_(device), textures_(textures) {}

    int32_t Create(int32_t width, int32_t height);  // id or -1
    void Free(int32_t id);
    void FreeAll();
    bool Exists(int32_t id) const;
    int32_t Width(int32_t id) const;
    int32_t Height(int32_t id) const;
    int32_t Texture(int32_t id) const;
    bool SetTarget(int32_t id);
    bool ResetTarget();
    int32_t Target() const { return target_; }
    CBitmap32 Capture(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);
    uint32_t GetPixel(int32_t id, int32_t x, int32_t y);  // BGR, 0 when nothing
    void CopyPart(int32_t dest, int32_t x, int32_t y, int32_t src, int32_t xs, int32_t ys,
                  int32_t ws, int32_t hs);
    void Copy(int32_t dest, int32_t x, int32_t y, int32_t src);

  private:
    GraphicsDevice& device_;
    TextureTable& textures_;
    std::vector<RSurface> entries_;
    int32_t target_ = -1;
};

}  // namespace tb
