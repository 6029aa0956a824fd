// Windows BMP files: the picture format inside game files and of screenshots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/bitmap32.h"

namespace tb {

// Decodes 1, 4, 8, 16, 24 and 32 bits per pixel (uncompressed or bit fields, bottom-up or
// top-down). Pixels without an alpha channel get alpha 255. Anything it cannot read gives a
// bitmap that does not exist.
CBitmap32 DecodeBmp(const uint8_t* data, size_t size);
// Writes a 24-bit bottom-up BMP (alpha dropped) when `with_alpha` is false, else 32-bit.
std::vector<uint8_t> EncodeBmp(const CBitmap32& b, bool with_alpha = false);

}  // namespace tb
