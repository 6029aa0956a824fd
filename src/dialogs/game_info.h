// The game information record: rich text shown on F1.
#pragma once

#include "runner/stream.h"

namespace tb {

class GameInfo {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
