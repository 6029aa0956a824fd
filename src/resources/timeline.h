// Time lines: moments with their action lists.
#pragma once

#include "runner/stream.h"

namespace tb {

class CTimeLine {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
