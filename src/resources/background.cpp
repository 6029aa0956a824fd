#include "resources/background.h"

namespace tb {

void CBackground::Reset() {
    Width = Height = 0;
    Transparent = SmoothEdges = Preload = false;
    image = CBitmap32();
    texture = -1;
}

bool CBackground::LoadFromStream(CStream& s) {
    Reset();
    if (ReadInteger(s) != kBackgroundVersion) return false;
    Width = ReadInteger(s);
    Height = ReadInteger(s);
    Transparent = ReadBoolean(s);
    SmoothEdges = ReadBoolean(s);
    Preload = ReadBoolean(s);
    if (ReadBoolean(s)) image = ReadBitmap32(s);
    return true;
}

void CBackground::WriteToStream(CStream& s) const {
    WriteInteger(s, kBackgroundVersion);
    WriteInteger(s, Width);
    WriteInteger(s, Height);
    WriteBoolean(s, Transparent);
    WriteBoolean(s, SmoothEdges);
    WriteBoolean(s, Preload);
    WriteBoolean(s, image.exists);
    if (image.exists) WriteBitmap32(s, image);
}

void CBackground::Assign(const CBackground& other) {
    if (&other == this) return;
    Width = other.Width;
    Height = other.Height;
    Transparent = other.Transparent;
    SmoothEdges = other.SmoothEdges;
    Preload = other.Preload;
    image = other.image;
    texture = -1;
}

void CBackground::CreateColor(int32_t w, int32_t h, uint32_t bgr, bool preload) {
    Reset();
    image = SolidBitmap(w, h, bgr);
    Width = image.width;
    Height = image.height;
    Preload = preload;
}

}  // namespace tb
