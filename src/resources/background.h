// Backgrounds: one image used for room layers and as a tile set.
#pragma once

#include <cstdint>

#include "runner/stream.h"

namespace tb {

class CBackground {
public:
    int32_t Width = 0;
    int32_t Height = 0;

    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
