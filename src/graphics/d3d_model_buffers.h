// How a model becomes a device buffer: a model of more list vertices than the limit (144 MB
// by default) is not kept on the device but replayed through the ordinary batches each time
// it is drawn.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tb {

struct Graphics;

constexpr size_t kModelBufferVertices = size_t(4) << 20;

// DrawModel with another limit.
void DrawModelLimited(Graphics& g, int32_t index, double x, double y, double z, int32_t texture,
                      size_t max_buffer_vertices);

}  // namespace tb
