// Fonts: rendered glyph atlases and sprite fonts.
#pragma once

#include "runner/stream.h"

namespace tb {

class CFont {
public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
