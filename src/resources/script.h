// Scripts: scrambled text kept for compiling and script_get_text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runner/stream.h"

namespace tb {

class CCode;

class CScript {
  public:
    static constexpr int32_t kVersion = 400;
    // Shared with the editor, which scrambles script text with it.
    static constexpr int32_t kTextSeed = 27183;

    // The inflated text block exactly as stored: still scrambled. Empty = no text.
    std::vector<uint8_t> text;
    // The compiled code, made by the prepare sequence; null before.
    std::shared_ptr<CCode> code;

    // The stored record; the compiled code is derived from it.
    bool operator==(const CScript& o) const { return text == o.text; }

    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;

    // Unscrambles a copy of the text block and reads its string; "" without a block. A block
    // too short for its string raises StreamError.
    std::string GetScriptText() const;
    // Writing direction: the string into a block, then scrambled.
    void SetScriptText(std::string_view plain);
};

}  // namespace tb
