// Extension packages: library, script and other files with functions and constants.
#pragma once

#include "runner/stream.h"

namespace tb {

class CExtensionPackage {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
