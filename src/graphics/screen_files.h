// Pictures of the screen written to files: headless frames as PNG, screenshots as BMP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace tb {

struct Graphics;

// An 8-bit RGB PNG of the bitmap (alpha dropped); empty for a bitmap that does not exist.
std::vector<uint8_t> EncodePng(const CBitmap32& b);

// "DIR/frame_NNNNNN.png", the step number in six digits (more when it needs them).
std::string FramePath(const std::string& dir, int64_t step);
// The picture the player sees, the window's whole client area as presented, as a PNG file;
// false when nothing could be captured or written.
bool WriteFramePng(Graphics& g, const std::string& path);

// "screenshot" + N + ".bmp" in `dir` (empty: the working directory), N the first number from
// 100 upward for which no such file exists.
std::string NextScreenshotName(const std::string& dir = "");
// The rectangle of the region (clipped) as a 24-bit BMP file; false when nothing was captured
// or the file could not be written.
bool SaveScreenBmp(Graphics& g, const std::string& path, int32_t x, int32_t y, int32_t width,
                   int32_t height);

}  // namespace tb
