// Scripts: scrambled text kept for compiling and script_get_text.
#pragma once

#include "runner/stream.h"

namespace tb {

class CScript {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
