// Included files carried by the game file.
#pragma once

#include "runner/stream.h"

namespace tb {

class CDataFile {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
