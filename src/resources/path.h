// Paths: defining points and the polyline followed by instances.
#pragma once

#include "runner/stream.h"

namespace tb {

class CPath {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
