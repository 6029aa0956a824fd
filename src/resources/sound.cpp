#include "resources/sound.h"

namespace tb {

bool CSound::LoadFromStream(CStream& s) {
    Reset();
    if (ReadInteger(s) != kVersion) return false;
    Kind = ReadInteger(s);
    FileType = ReadString(s);
    FileName = ReadString(s);
    has_data = ReadBoolean(s);
    if (has_data) data = ReadCompressed(s).data;
    Effects = ReadInteger(s);
    Volume = ReadReal(s);
    Pan = ReadReal(s);
    Preload = ReadBoolean(s);
    return true;
}

void CSound::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteInteger(s, Kind);
    WriteString(s, FileType);
    WriteString(s, FileName);
    WriteBoolean(s, has_data);
    if (has_data) WriteCompressed(s, data.data(), data.size());
    WriteInteger(s, Effects);
    WriteReal(s, Volume);
    WriteReal(s, Pan);
    WriteBoolean(s, Preload);
}

}  // namespace tb
