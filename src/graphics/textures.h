// The texture table (ids scripts can see) and the five textured-quad operations on which all
// image drawing rests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "graphics/bitmap32.h"
#include "graphics/device.h"

namespace tb {

struct RTexture {
    DeviceTexture texture = 0;
    int32_t width = 0, height = 0;                  // the image placed in the texture
    int32_t texture_width = 0, texture_height = 0;  // what the device gave
    bool exists = false;
};

class TextureTable {
  public:
    explicit TextureTable(GraphicsDevice& device) : device_(device) {}

    int32_t Create(int32_t width, int32_t height, bool render_target);  // id or -1
    bool Load(int32_t id, const uint32_t* pixels);
    int32_t FromBitmap(const CBitmap32& b);
    int32_t FromAlpha(int32_t width, int32_t height, const uint8_t* alpha);
    void Free(int32_t id);
    bool Exists(int32_t id) const;
    void ClearTable();
    double WidthFraction(int32_t id) const;
    double HeightFraction(int32_t id) const;
    void Preload(int32_t id);
    void SetPriority(int32_t id, double priority);
    void Select(int32_t id);
    const RTexture* Get(int32_t id) const;

    // Quads (colours BGR, alpha 0 .. 1, angles in degrees).
    void DrawSimple(int32_t id, double x, double y);
    void DrawExt(int32_t id, double xorig, double yorig, double x, double y, double xscale,
                 double yscale, double angle, uint32_t color, double alpha);
    void DrawPart(int32_t id, double left, double top, double width, double height, double x,
                  double y, double xscale, double yscale, double angle, uint32_t color,
                  double alpha);
    void DrawGeneral(int32_t id, double left, double top, double width, double height, double x,
                     double y, double xscale, double yscale, double angle, uint32_t c1, uint32_t c2,
                     uint32_t c3, uint32_t c4, double alpha);
    void DrawTiled(int32_t id, bool htiled, bool vtiled, double xorig, double yorig, double x,
                   double y, double xscale, double yscale, double region_left, double region_top,
                   double region_width, double region_height, uint32_t color, double alpha);

    GraphicsDevice& Device() { return device_; }

  private:
    // One textured quad: offsets left, top, right, bottom from (x, y), corner colours ARGB in
    // the order top-left, top-right, bottom-right, bottom-left.
    void Quad(const RTexture& e, double x, double y, const double (&offsets)[4], double angle,
              const uint32_t (&argb)[4], double u0, double v0, double u1, double v1);
    void PartQuad(int32_t id, double left, double top, double width, double height, double x,
                  double y, double xscale, double yscale, double angle,
                  const std::array<uint32_t, 4>& colors);

    GraphicsDevice& device_;
    std::vector<RTexture> entries_;
    std::vector<uint32_t> scratch_;  // the padded image of Load
};

// 0xAARRGGBB of a script colour (BGR) and an alpha clamped to 0 .. 1.
uint32_t DeviceColor(uint32_t bgr, double alpha);

}  // namespace tb
