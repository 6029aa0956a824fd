// The picture loader: image files of every format sprites and backgrounds are made from (BMP,
// PNG, JPEG, GIF), recognised by their content, and animated GIFs as composed frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace tb {

// Limits checked before anything is allocated: a picture (or all frames of an animation
// together) larger than this does not load.
constexpr int32_t kMaxPictureSide = 32768;
constexpr int64_t kMaxPicturePixels = int64_t(1) << 26;  // 256 MB of pixels

// The platform colour a picture is drawn over before conversion (red 64, green 128, blue 0),
// and the same as a pixel.
constexpr uint32_t kPictureFillColor = 32832;
constexpr uint32_t kPictureFillPixel = 0xFF408000u;

struct Picture {
    CBitmap32 image;         // exists == false: the data did not decode
    bool has_alpha = false;  // the file carries an alpha channel or a transparent colour
};

// Decodes BMP, PNG, JPEG and GIF (its first image) by their signatures.
Picture DecodePicture(const uint8_t* data, size_t size);

// Every image of a GIF, composed in turn on a canvas of the logical screen's size: the canvas
// starts in kPictureFillPixel, each image is drawn over it with its own transparent colour,
// the canvas becomes the next frame, and it is filled again unless the image's disposal
// method is 1 (leave in place). Frames are opaque. False when the data is not a GIF, is
// damaged before its first image, or the frames would exceed kMaxPicturePixels together.
struct GifFrames {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<CBitmap32> frames;
};
bool DecodeGifFrames(const uint8_t* data, size_t size, GifFrames& out);

// Reads an image file (the path as the host sees it); false when it cannot be read or is
// larger than any picture could be.
bool ReadPictureFile(const std::string& path, std::vector<uint8_t>& bytes);

// Turns a decoded picture into a frame. With `keep_alpha` the pixels stay as they are.
// Otherwise the picture is drawn over kPictureFillPixel (when `transparent`) or black, made
// opaque, and with `transparent` the bottom-left colour becomes the transparent key; with
// `transparent` and `smooth` the edges of the transparent region are softened.
CBitmap32 ConvertPicture(const CBitmap32& picture, bool keep_alpha, bool transparent, bool smooth);
// The rectangle (x, y, w, h) of the bitmap, clipped; missing when nothing is left.
CBitmap32 CropBitmap(const CBitmap32& b, int32_t x, int32_t y, int32_t w, int32_t h);

// Writers for tests and tools: PNG (with alpha), JPEG (quality 0 .. 100, alpha dropped) and
// a GIF whose frames each use up to 255 colours of their own plus, optionally, a transparent
// index for pixels with alpha 0; `disposal` per frame (GIF disposal methods). Empty on failure.
std::vector<uint8_t> EncodePngRgba(const CBitmap32& b);
std::vector<uint8_t> EncodeJpeg(const CBitmap32& b, int quality);
std::vector<uint8_t> EncodeGif(int32_t width, int32_t height, const std::vector<CBitmap32>& frames,
                               const std::vector<int>& disposal);

}  // namespace tb
