// The game settings record.
#pragma once

#include "runner/stream.h"

namespace tb {

class GameSettings {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
