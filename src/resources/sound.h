// Sound resources: the bytes of a sound file and how to play it.
#pragma once

#include "runner/stream.h"

namespace tb {

class CSound {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
