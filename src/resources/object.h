// Objects, their events and actions.
#pragma once

#include <cstdint>

#include "runner/stream.h"

namespace tb {

class CObject {
public:
    int32_t ParentIndex = -1;  // parent object (-1 = none)

    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
