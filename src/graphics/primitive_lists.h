// Strips, fans and line strips turned into plain lists, the only form the back end draws and
// the form model buffers are kept in.
#pragma once

#include <cstddef>
#include <cstring>
#include <span>

#include "graphics/device.h"

namespace tb {

// The list kind a primitive is drawn as.
constexpr Primitive ListKindOf(Primitive p) {
    switch (p) {
        case Primitive::PointList:
            return Primitive::PointList;
        case Primitive::LineList:
        case Primitive::LineStrip:
            return Primitive::LineList;
        default:
            return Primitive::TriangleList;
    }
}

// Number of list vertices a primitive of n vertices becomes.
constexpr size_t ListCount(Primitive p, size_t n) {
    switch (p) {
        case Primitive::PointList:
            return n;
        case Primitive::LineList:
            return n - n % 2;
        case Primitive::LineStrip:
            return n < 2 ? 0 : 2 * (n - 1);
        case Primitive::TriangleList:
            return n - n % 3;
        case Primitive::TriangleStrip:
        case Primitive::TriangleFan:
            return n < 3 ? 0 : 3 * (n - 2);
    }
    return 0;
}

// Writes ListCount(kind, v.size()) vertices to out.
template <class V>
void ExpandToList(Primitive kind, std::span<const V> v, V* out) {
    const size_t n = v.size();
    switch (kind) {
        case Primitive::PointList:
        case Primitive::LineList:
        case Primitive::TriangleList:
            std::memcpy(static_cast<void*>(out), v.data(), ListCount(kind, n) * sizeof(V));
            break;
        case Primitive::LineStrip:
            for (size_t i = 0; i + 1 < n; ++i) {
                *out++ = v[i];
                *out++ = v[i + 1];
            }
            break;
        case Primitive::TriangleStrip:
            for (size_t i = 0; i + 2 < n; ++i) {
                // Every other triangle swaps its last two corners to keep the winding; the
                // first corner (the one flat shading takes) stays v[i].
                *out++ = v[i];
                *out++ = v[i + 1 + (i & 1)];
                *out++ = v[i + 2 - (i & 1)];
            }
            break;
        case Primitive::TriangleFan:
            for (size_t i = 1; i + 1 < n; ++i) {
                // The same turn as (centre, v[i], v[i + 1]), starting after the centre.
                *out++ = v[i];
                *out++ = v[i + 1];
                *out++ = v[0];
            }
            break;
    }
}

}  // namespace tb
