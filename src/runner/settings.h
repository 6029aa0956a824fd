// The game settings record: window, keys, loading window, error handling and user constants.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "runner/stream.h"

namespace tb {

constexpr int32_t kSettingsVersion = 702;

struct GameSettings {
    bool FullScreen = false;
    bool Interpolate = false;
    bool NoBorder = false;
    bool ShowCursor = true;
    int32_t Scale = 100;  // per cent; 0 stretches, negative keeps the aspect ratio
    bool SizeableWindow = false;
    bool StayOnTop = false;
    int32_t WindowColor = 16777215;
    bool ChangeResolution = false;  // always false once read: the display mode is never switched
    int32_t ColorDepth = 0;
    int32_t Resolution = 0;
    int32_t Frequency = 0;
    bool NoCaptionButtons = false;
    bool VSync = false;
    bool KeyF4 = true;
    bool KeyF1 = true;
    bool KeyEsc = true;
    bool KeyF5F6 = true;
    bool KeyF9 = true;
    bool CloseAsEsc = true;
    int32_t Priority = 0;
    bool FreezeOnLoseFocus = false;
    bool ShowProgressBar = true;
    // Stored only while ShowProgressBar is set.
    std::optional<CBitmap32> ProgressBackImage;
    std::optional<CBitmap32> ProgressFrontImage;
    std::optional<CBitmap32> LoadingImage;
    bool LoadingImageTransparent = false;
    int32_t LoadingImageAlpha = 255;
    bool ScaleProgressBar = true;
    bool DisplayErrors = true;
    bool WriteErrors = false;
    bool AbortOnError = false;
    bool UninitializedAsZero = false;
    // Parallel arrays of the user constants, in order.
    std::vector<std::string> ConstantNames;
    std::vector<std::string> ConstantValues;

    bool operator==(const GameSettings&) const = default;
};

void ResetSettings(GameSettings& g);
// False (fields at their defaults) only for a version other than 702.
bool ReadSettings(CStream& s, GameSettings& g);
// The bar images are written only when ShowProgressBar is set, as the record demands.
void WriteSettings(CStream& s, const GameSettings& g);
// The factor passed to the display.
inline double ScaleFactor(const GameSettings& g) {
    return g.Scale / 100.0;
}

}  // namespace tb
