#include "runner/settings.h"

namespace tb {
namespace {

std::optional<CBitmap32> ReadImage(CStream& s) {
    auto b = ReadBitmap(s);
    if (!b) return std::nullopt;
    return std::move(*b);
}

void WriteImage(CStream& s, const std::optional<CBitmap32>& b) {
    WriteBitmap(s, b ? &*b : nullptr);
}

}  // namespace

void ResetSettings(GameSettings& g) {
    g = GameSettings();
}

bool ReadSettings(CStream& s, GameSettings& g) {
    ResetSettings(g);
    if (ReadInteger(s) != kSettingsVersion) return false;
    g.FullScreen = ReadBoolean(s);
    g.Interpolate = ReadBoolean(s);
    g.NoBorder = ReadBoolean(s);
    g.ShowCursor = ReadBoolean(s);
    g.Scale = ReadInteger(s);
    g.SizeableWindow = ReadBoolean(s);
    g.StayOnTop = ReadBoolean(s);
    g.WindowColor = ReadInteger(s);
    ReadBoolean(s);  // ChangeResolution: read and dropped, the display mode is never switched
    g.ChangeResolution = false;
    g.ColorDepth = ReadInteger(s);
    g.Resolution = ReadInteger(s);
    g.Frequency = ReadInteger(s);
    g.NoCaptionButtons = ReadBoolean(s);
    g.VSync = ReadBoolean(s);
    g.KeyF4 = ReadBoolean(s);
    g.KeyF1 = ReadBoolean(s);
    g.KeyEsc = ReadBoolean(s);
    g.KeyF5F6 = ReadBoolean(s);
    g.KeyF9 = ReadBoolean(s);
    g.CloseAsEsc = ReadBoolean(s);
    g.Priority = ReadInteger(s);
    g.FreezeOnLoseFocus = ReadBoolean(s);
    g.ShowProgressBar = ReadBoolean(s);
    if (g.ShowProgressBar) {
        g.ProgressBackImage = ReadImage(s);
        g.ProgressFrontImage = ReadImage(s);
    }
    g.LoadingImage = ReadImage(s);
    g.LoadingImageTransparent = ReadBoolean(s);
    g.LoadingImageAlpha = ReadInteger(s);
    g.ScaleProgressBar = ReadBoolean(s);
    g.DisplayErrors = ReadBoolean(s);
    g.WriteErrors = ReadBoolean(s);
    g.AbortOnError = ReadBoolean(s);
    g.UninitializedAsZero = ReadBoolean(s);
    int32_t n = ReadCount(s, 8);  // two strings of at least their lengths
    for (int32_t i = 0; i < n; ++i) {
        g.ConstantNames.push_back(ReadString(s));
        g.ConstantValues.push_back(ReadString(s));
    }
    return true;
}

void WriteSettings(CStream& s, const GameSettings& g) {
    WriteInteger(s, kSettingsVersion);
    WriteBoolean(s, g.FullScreen);
    WriteBoolean(s, g.Interpolate);
    WriteBoolean(s, g.NoBorder);
    WriteBoolean(s, g.ShowCursor);
    WriteInteger(s, g.Scale);
    WriteBoolean(s, g.SizeableWindow);
    WriteBoolean(s, g.StayOnTop);
    WriteInteger(s, g.WindowColor);
    WriteBoolean(s, g.ChangeResolution);
    WriteInteger(s, g.ColorDepth);
    WriteInteger(s, g.Resolution);
    WriteInteger(s, g.Frequency);
    WriteBoolean(s, g.NoCaptionButtons);
    WriteBoolean(s, g.VSync);
    WriteBoolean(s, g.KeyF4);
    WriteBoolean(s, g.KeyF1);
    WriteBoolean(s, g.KeyEsc);
    WriteBoolean(s, g.KeyF5F6);
    WriteBoolean(s, g.KeyF9);
    WriteBoolean(s, g.CloseAsEsc);
    WriteInteger(s, g.Priority);
    WriteBoolean(s, g.FreezeOnLoseFocus);
    WriteBoolean(s, g.ShowProgressBar);
    if (g.ShowProgressBar) {
        WriteImage(s, g.ProgressBackImage);
        WriteImage(s, g.ProgressFrontImage);
    }
    WriteImage(s, g.LoadingImage);
    WriteBoolean(s, g.LoadingImageTransparent);
    WriteInteger(s, g.LoadingImageAlpha);
    WriteBoolean(s, g.ScaleProgressBar);
    WriteBoolean(s, g.DisplayErrors);
    WriteBoolean(s, g.WriteErrors);
    WriteBoolean(s, g.AbortOnError);
    WriteBoolean(s, g.UninitializedAsZero);
    WriteInteger(s, int32_t(g.ConstantNames.size()));
    for (size_t i = 0; i < g.ConstantNames.size(); ++i) {
        WriteString(s, g.ConstantNames[i]);
        WriteString(s, i < g.ConstantValues.size() ? g.ConstantValues[i] : std::string());
    }
}

}  // namespace tb
