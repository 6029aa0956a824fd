// Objects, their events and actions.
#pragma once

#include "runner/stream.h"

namespace tb {

class CObject {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
