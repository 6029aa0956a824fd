#include "dialogs/game_info.h"

namespace tb {

bool GameInfo::LoadFromStream(CStream& s) {
    *this = GameInfo();
    if (ReadInteger(s) != kGameInfoVersion) return false;
    InfoColor = ReadInteger(s);
    InGameWindow = ReadBoolean(s);
    InfoCaption = ReadString(s);
    InfoLeft = ReadInteger(s);
    InfoTop = ReadInteger(s);
    InfoWidth = ReadInteger(s);
    InfoHeight = ReadInteger(s);
    InfoBorder = ReadBoolean(s);
    InfoSizeable = ReadBoolean(s);
    InfoOnTop = ReadBoolean(s);
    InfoFreeze = ReadBoolean(s);
    CStream text = ReadCompressed(s);
    Text.assign(text.data.begin(), text.data.end());
    return true;
}

void GameInfo::WriteToStream(CStream& s) const {
    WriteInteger(s, kGameInfoVersion);
    WriteInteger(s, InfoColor);
    WriteBoolean(s, InGameWindow);
    WriteString(s, InfoCaption);
    WriteInteger(s, InfoLeft);
    WriteInteger(s, InfoTop);
    WriteInteger(s, InfoWidth);
    WriteInteger(s, InfoHeight);
    WriteBoolean(s, InfoBorder);
    WriteBoolean(s, InfoSizeable);
    WriteBoolean(s, InfoOnTop);
    WriteBoolean(s, InfoFreeze);
    WriteCompressed(s, reinterpret_cast<const uint8_t*>(Text.data()), Text.size());
}

}  // namespace tb
