// Backgrounds: one image used for room layers and as a tile set.
#pragma once

#include "runner/stream.h"

namespace tb {

class CBackground {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
