#include "pack/png.h"

#include <png.h>

#include "pack/project_error.h"

namespace tb::pack {

void WritePng(const CBitmap32& b, const std::filesystem::path& file) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = png_uint_32(b.width);
    img.height = png_uint_32(b.height);
    img.format = PNG_FORMAT_BGRA;  // matches the in-memory byte order of 0xAARRGGBB
    if (!png_image_write_to_file(&img, file.c_str(), 0, b.pixels.data(), 0, nullptr))
        throw ProjectError(file.string() + ": cannot write PNG: " + img.message);
}

CBitmap32 ReadPng(const std::filesystem::path& file) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, file.c_str()))
        throw ProjectError(file.string() + ": cannot read PNG: " + img.message);
    img.format = PNG_FORMAT_BGRA;
    CBitmap32 b(int32_t(img.width), int32_t(img.height));
    if (!png_image_finish_read(&img, nullptr, b.pixels.data(), 0, nullptr))
        throw ProjectError(file.string() + ": cannot read PNG: " + img.message);
    return b;
}

}  // namespace tb::pack
