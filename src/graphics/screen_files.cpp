#include "graphics/screen_files.h"

#include <png.h>

#include <cstdio>
#include <filesystem>

#include "graphics/bmp.h"
#include "graphics/graphics.h"
#include "system/file_bytes.h"

namespace tb {

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void NoFlush(png_structp) {}

// Never opens what is there: a FIFO named by a game would block the write for ever.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteFileAtomically(path, bytes);
}

}  // namespace

std::vector<uint8_t> EncodePng(const CBitmap32& b) {
    std::vector<uint8_t> out;
    if (!b.exists || b.width <= 0 || b.height <= 0 ||
        b.pixels.size() != size_t(b.width) * size_t(b.height))
        return out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return out;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> row(size_t(b.width) * 3);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, &AppendBytes, &NoFlush);
    png_set_IHDR(png, info, png_uint_32(b.width), png_uint_32(b.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);  // frames are many; speed over size
    png_write_info(png, info);
    for (int32_t y = 0; y < b.height; ++y) {
        for (int32_t x = 0; x < b.width; ++x) {
            const uint32_t p = b.At(x, y);
            row[size_t(x) * 3] = uint8_t(p >> 16);
            row[size_t(x) * 3 + 1] = uint8_t(p >> 8);
            row[size_t(x) * 3 + 2] = uint8_t(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string FramePath(const std::string& dir, int64_t step) {
    char name[40];
    std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(step));
    return (std::filesystem::path(dir) / name).string();
}

bool WriteFramePng(Graphics& g, const std::string& path) {
    const CBitmap32 b = g.game_window.CapturePresented();
    if (!b.exists) return false;
    return WriteBytes(path, EncodePng(b));
}

std::string NextScreenshotName(const std::string& dir) {
    for (int n = 100;; ++n) {
        const std::string name = "screenshot" + std::to_string(n) + ".bmp";
        const std::filesystem::path p =
            dir.empty() ? std::filesystem::path(name) : std::filesystem::path(dir) / name;
        std::error_code ec;
        if (!std::filesystem::exists(p, ec)) return p.string();
    }
}

bool SaveScreenBmp(Graphics& g, const std::string& path, int32_t x, int32_t y, int32_t width,
                   int32_t height) {
    const CBitmap32 b = g.device.Capture(x, y, width, height);
    if (!b.exists) return false;
    return WriteBytes(path, EncodeBmp(b));
}

}  // namespace tb
