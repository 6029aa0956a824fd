// Sprites: frames, origin, bounding box and collision masks.
#pragma once

#include "runner/stream.h"

namespace tb {

class CSprite {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
