// The six 3D shapes, built as fans and strips through the 3D builder (which they leave
// holding their last primitive). Every vertex takes the colour argb; H and V are the texture
// repeats, used directly as texture coordinates; texture repeat is on while a shape is drawn.
#pragma once

#include <cstdint>

#include "graphics/d3d.h"

namespace tb {

struct ShapeBox {
    double x1, y1, z1, x2, y2, z2;
};

// Steps of the round shapes clamped to 3 .. 128.
int32_t ClampSteps(int32_t steps);

void ShapeBlock(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture, double h,
                double v, uint32_t argb);
void ShapeCylinder(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture,
                   double h, double v, bool closed, int32_t steps, uint32_t argb);
void ShapeCone(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture, double h,
               double v, bool closed, int32_t steps, uint32_t argb);
void ShapeEllipsoid(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture,
                    double h, double v, int32_t steps, uint32_t argb);
// Nothing (and no state touched) for a wall of length 0.
void ShapeWall(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture, double h,
               double v, uint32_t argb);
void ShapeFloor(Builder3D& b, PrimitiveOutput& out, const ShapeBox& box, int32_t texture, double h,
                double v, uint32_t argb);

}  // namespace tb
