// The game information record: rich text shown on F1.
#pragma once

#include <cstdint>
#include <string>

#include "runner/stream.h"

namespace tb {

constexpr int32_t kGameInfoVersion = 600;

// Defaults are those of the information window before a record is read.
class GameInfo {
  public:
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;
    bool operator==(const GameInfo&) const = default;

    int32_t InfoColor = 0xE1FFFF;  // light tooltip yellow, a platform colour 0x00BBGGRR
    bool InGameWindow = false;
    std::string InfoCaption = "Game Information";
    int32_t InfoLeft = -1;  // negative left or top centres the window
    int32_t InfoTop = -1;
    int32_t InfoWidth = 587;
    int32_t InfoHeight = 367;
    bool InfoBorder = true;
    bool InfoSizeable = true;
    bool InfoOnTop = false;
    bool InfoFreeze = false;
    std::string Text;  // rich text (RTF)
};

}  // namespace tb
