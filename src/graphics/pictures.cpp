#include "graphics/pictures.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "graphics/bmp.h"

namespace tb {

namespace {

// Past this an animation is refused whatever its frames' size.
constexpr size_t kMaxGifFrames = 65536;
// Pixels decoded from all images of one file together.
constexpr int64_t kMaxGifDecodedPixels = 4 * kMaxPicturePixels;

bool SizeAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide &&
           w * h <= kMaxPicturePixels;
}

bool StartsWith(const uint8_t* d, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(d, magic, n) == 0;
}

// --- PNG

Picture DecodePng(const uint8_t* data, size_t size) {
    Picture p;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, data, size)) return p;
    if (!SizeAllowed(img.width, img.height)) {
        png_image_free(&img);
        return p;
    }
    p.has_alpha = (img.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    img.format = PNG_FORMAT_BGRA;  // the in-memory byte order of 0xAARRGGBB
    CBitmap32 b(int32_t(img.width), int32_t(img.height));
    if (!png_image_finish_read(&img, nullptr, b.pixels.data(), 0, nullptr)) {
        png_image_free(&img);
        p.has_alpha = false;
        return p;
    }
    p.image = std::move(b);
    return p;
}

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// --- JPEG: libjpeg reports fatal errors through error_exit, which must not return; it jumps
// back to the decoder's frame. Nothing between the jump and its target owns resources except
// the decompressor, which the target destroys.

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

struct JpegState {
    jpeg_decompress_struct info;
    JpegError error;
    std::vector<uint8_t> row;
};

// Kept out of line so that no C++ object lives in the frame that longjmp returns to.
bool DecodeJpegInto(const uint8_t* data, size_t size, JpegState& s, CBitmap32& out) {
    s.info.err = jpeg_std_error(&s.error.manager);
    s.error.manager.error_exit = JpegErrorExit;
    s.error.manager.emit_message = JpegSilence;
    if (setjmp(s.error.jump)) {
        jpeg_destroy_decompress(&s.info);
        return false;
    }
    jpeg_create_decompress(&s.info);
    jpeg_mem_src(&s.info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&s.info, TRUE) != JPEG_HEADER_OK ||
        !SizeAllowed(s.info.image_width, s.info.image_height)) {
        jpeg_destroy_decompress(&s.info);
        return false;
    }
    s.info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&s.info);
    const int32_t w = int32_t(s.info.output_width);
    const int32_t h = int32_t(s.info.output_height);
    if (!SizeAllowed(w, h) || s.info.output_components != 3) {
        jpeg_destroy_decompress(&s.info);
        return false;
    }
    s.row.resize(size_t(w) * 3);
    out = CBitmap32(w, h);
    while (s.info.output_scanline < s.info.output_height) {
        const int32_t y = int32_t(s.info.output_scanline);
        JSAMPROW rows[1] = {s.row.data()};
        if (jpeg_read_scanlines(&s.info, rows, 1) != 1) break;
        uint32_t* dst = &out.At(0, y);
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* px = &s.row[size_t(x) * 3];
            dst[x] = 0xFF000000u | uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2];
        }
    }
    jpeg_finish_decompress(&s.info);
    jpeg_destroy_decompress(&s.info);
    return true;
}

Picture DecodeJpeg(const uint8_t* data, size_t size) {
    Picture p;
    auto state = std::make_unique<JpegState>();
    CBitmap32 b;
    if (DecodeJpegInto(data, size, *state, b)) p.image = std::move(b);
    return p;
}

// --- GIF, read record by record so that every size is checked before it costs memory.

struct GifReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

int GifRead(GifFileType* gif, GifByteType* buffer, int n) {
    auto* r = static_cast<GifReader*>(gif->UserData);
    const size_t left = r->size - r->at;
    const size_t take = n < 0 ? 0 : std::min(left, size_t(n));
    std::memcpy(buffer, r->data + r->at, take);
    r->at += take;
    return int(take);
}

struct GifCloser {
    void operator()(GifFileType* g) const {
        int error = 0;
        DGifCloseFile(g, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

struct GifImageState {
    int disposal = 0;
    int transparent = -1;
};

// Draws the image whose descriptor was just read onto the canvas, clipped. False when the
// image data is damaged.
bool DrawGifImage(GifFileType* gif, const GifImageState& state, CBitmap32& canvas,
                  std::vector<GifPixelType>& line) {
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (d.Width <= 0 || d.Height <= 0) {
        // Nothing to draw; the image's data blocks are passed over.
        int code_size = 0;
        GifByteType* block = nullptr;
        if (DGifGetCode(gif, &code_size, &block) != GIF_OK) return false;
        while (block)
            if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
        return true;
    }
    line.resize(size_t(d.Width));
    // Interlaced images arrive in four passes over the rows.
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    int pass = 0, row = 0;
    for (int i = 0; i < d.Height; ++i) {
        int y = i;
        if (d.Interlace) {
            while (pass < 4 && kStart[pass] + row * kStep[pass] >= d.Height) {
                ++pass;
                row = 0;
            }
            if (pass >= 4) return false;
            y = kStart[pass] + row * kStep[pass];
            ++row;
        }
        if (DGifGetLine(gif, line.data(), d.Width) != GIF_OK) return false;
        const int64_t cy = int64_t(d.Top) + y;
        if (cy < 0 || cy >= canvas.height) continue;
        for (int x = 0; x < d.Width; ++x) {
            const int64_t cx = int64_t(d.Left) + x;
            if (cx < 0 || cx >= canvas.width) continue;
            const int index = line[size_t(x)];
            if (index == state.transparent) continue;
            if (!map || index >= map->ColorCount) continue;
            const GifColorType& c = map->Colors[index];
            canvas.At(int32_t(cx), int32_t(cy)) =
                0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
        }
    }
    return true;
}

// Reads the GIF's records; `frame` is called with the canvas after each image and returns
// false to stop. False when the data is not a GIF or fails before the first image.
template <class OnFrame>
bool ReadGif(const uint8_t* data, size_t size, CBitmap32& canvas, bool fill_transparent,
             OnFrame&& frame) {
    GifReader reader{data, size};
    int error = 0;
    GifHandle gif(DGifOpen(&reader, GifRead, &error));
    if (!gif) return false;
    if (!SizeAllowed(gif->SWidth, gif->SHeight)) return false;
    const uint32_t fill = fill_transparent ? 0 : kPictureFillPixel;
    canvas = CBitmap32(gif->SWidth, gif->SHeight, fill);
    std::vector<GifPixelType> line;
    GifImageState state;
    int images = 0;
    int64_t decoded = 0;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif.get(), &type) != GIF_OK) return images > 0;
        if (type == TERMINATE_RECORD_TYPE) return images > 0;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) return images > 0;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock gcb{};
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
                    state.disposal = gcb.DisposalMode;
                    state.transparent = gcb.TransparentColor;
                }
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) return images > 0;
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif.get()) != GIF_OK) return images > 0;
        // Every pixel of an image is decoded, also where it lies outside the screen: the
        // work is bounded like the memory, so that a small file cannot keep the loader busy.
        decoded += int64_t(gif->Image.Width) * gif->Image.Height;
        if (decoded > kMaxGifDecodedPixels) return false;
        if (!DrawGifImage(gif.get(), state, canvas, line)) return images > 0;
        ++images;
        if (!frame(canvas)) return true;
        if (state.disposal != DISPOSE_DO_NOT)
            std::fill(canvas.pixels.begin(), canvas.pixels.end(), fill);
        state = GifImageState();
    }
}

Picture DecodeGifPicture(const uint8_t* data, size_t size) {
    Picture p;
    CBitmap32 canvas, first;
    bool any = ReadGif(data, size, canvas, true, [&](const CBitmap32& c) {
        first = c;
        return false;
    });
    if (!any || !first.exists) return p;
    p.image = std::move(first);
    for (uint32_t& px : p.image.pixels)
        if (px == 0) {
            p.has_alpha = true;
            break;
        }
    return p;
}

}  // namespace

Picture DecodePicture(const uint8_t* data, size_t size) {
    if (!data || size == 0) return {};
    if (StartsWith(data, size, "\x89PNG", 4)) return DecodePng(data, size);
    if (StartsWith(data, size, "\xFF\xD8", 2)) return DecodeJpeg(data, size);
    if (StartsWith(data, size, "GIF8", 4)) return DecodeGifPicture(data, size);
    if (StartsWith(data, size, "BM", 2)) {
        Picture p;
        p.image = DecodeBmp(data, size);
        if (p.image.exists && !SizeAllowed(p.image.width, p.image.height)) p.image = CBitmap32();
        // 32-bit files carry an alpha byte; the decoder makes it opaque when all are 0.
        if (p.image.exists && size > 29 && (data[28] | data[29] << 8) == 32) p.has_alpha = true;
        return p;
    }
    return {};
}

bool ReadPictureFile(const std::string& path, std::vector<uint8_t>& bytes) {
    // No picture format packs a picture of the largest allowed size into more than this.
    constexpr uintmax_t kMaxFileSize = uintmax_t(1) << 30;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxFileSize) return false;
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    bytes.resize(size_t(size));
    f.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    return bool(f) || f.gcount() == std::streamsize(size);
}

CBitmap32 ConvertPicture(const CBitmap32& picture, bool keep_alpha, bool transparent, bool smooth) {
    CBitmap32 b = picture;
    if (!b.exists || keep_alpha) return b;
    const uint32_t fill = transparent ? kPictureFillPixel : 0xFF000000u;
    for (uint32_t& p : b.pixels) {
        const uint32_t a = p >> 24;
        if (a == 255) continue;
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
            const uint32_t s = p >> shift & 0xFF, d = fill >> shift & 0xFF;
            out |= ((s * a + d * (255 - a) + 127) / 255) << shift;
        }
        p = out;
    }
    if (transparent && b.width > 0 && b.height > 0) {
        MakeTransparent(b);
        if (smooth) SmoothEdges(b);
    }
    return b;
}

CBitmap32 CropBitmap(const CBitmap32& b, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!b.exists) return {};
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(x) + w, b.width);
    const int64_t y1 = std::min<int64_t>(int64_t(y) + h, b.height);
    if (x1 <= x0 || y1 <= y0) return {};
    CBitmap32 out(int32_t(x1 - x0), int32_t(y1 - y0));
    for (int64_t row = y0; row < y1; ++row)
        std::memcpy(&out.At(0, int32_t(row - y0)),
                    &b.pixels[size_t(row) * size_t(b.width) + size_t(x0)], size_t(x1 - x0) * 4);
    return out;
}

bool DecodeGifFrames(const uint8_t* data, size_t size, GifFrames& out) {
    out = GifFrames();
    if (!data || !StartsWith(data, size, "GIF8", 4)) return false;
    CBitmap32 canvas;
    bool too_many = false;
    const bool ok = ReadGif(data, size, canvas, false, [&](const CBitmap32& c) {
        if (int64_t(out.frames.size() + 1) * c.width * c.height > kMaxPicturePixels ||
            out.frames.size() >= kMaxGifFrames) {
            too_many = true;
            return false;
        }
        out.frames.push_back(c);
        return true;
    });
    if (!ok || too_many || out.frames.empty()) {
        out = GifFrames();
        return false;
    }
    out.width = canvas.width;
    out.height = canvas.height;
    return true;
}

std::vector<uint8_t> EncodePngRgba(const CBitmap32& b) {
    std::vector<uint8_t> out;
    if (!b.exists || b.width <= 0 || b.height <= 0) return out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return out;
    }
    std::vector<uint8_t> row(size_t(b.width) * 4);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return out;
    }
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(b.width), png_uint_32(b.height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < b.height; ++y) {
        for (int32_t x = 0; x < b.width; ++x) {
            const uint32_t p = b.At(x, y);
            uint8_t* o = &row[size_t(x) * 4];
            o[0] = uint8_t(p >> 16);
            o[1] = uint8_t(p >> 8);
            o[2] = uint8_t(p);
            o[3] = uint8_t(p >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> EncodeJpeg(const CBitmap32& b, int quality) {
    std::vector<uint8_t> out;
    if (!b.exists || b.width <= 0 || b.height <= 0) return out;
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);  // writing memory in a known format cannot fail
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = JDIMENSION(b.width);
    info.image_height = JDIMENSION(b.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(b.width) * 3);
    while (info.next_scanline < info.image_height) {
        const int32_t y = int32_t(info.next_scanline);
        for (int32_t x = 0; x < b.width; ++x) {
            const uint32_t p = b.At(x, y);
            row[size_t(x) * 3] = uint8_t(p >> 16);
            row[size_t(x) * 3 + 1] = uint8_t(p >> 8);
            row[size_t(x) * 3 + 2] = uint8_t(p);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    out.assign(buffer, buffer + length);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

namespace {

int GifWrite(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

}  // namespace

std::vector<uint8_t> EncodeGif(int32_t width, int32_t height, const std::vector<CBitmap32>& frames,
                               const std::vector<int>& disposal) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    if (!gif) return {};
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, nullptr) == GIF_OK;
    for (size_t f = 0; ok && f < frames.size(); ++f) {
        const CBitmap32& b = frames[f];
        // Index 0 is the transparent colour; the others are the frame's colours.
        std::map<uint32_t, int> index;
        ColorMapObject* map = GifMakeMapObject(256, nullptr);
        if (!map) {
            ok = false;
            break;
        }
        std::vector<GifPixelType> pixels(b.pixels.size());
        bool any_transparent = false;
        for (size_t i = 0; ok && i < b.pixels.size(); ++i) {
            const uint32_t p = b.pixels[i];
            if (p >> 24 == 0) {
                pixels[i] = 0;
                any_transparent = true;
                continue;
            }
            const uint32_t rgb = p & 0xFFFFFF;
            auto it = index.find(rgb);
            if (it == index.end()) {
                const int n = int(index.size()) + 1;
                if (n > 255) {
                    ok = false;
                    break;
                }
                map->Colors[n] = {GifByteType(rgb >> 16), GifByteType(rgb >> 8), GifByteType(rgb)};
                it = index.emplace(rgb, n).first;
            }
            pixels[i] = GifPixelType(it->second);
        }
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = f < disposal.size() ? disposal[f] : DISPOSAL_UNSPECIFIED;
        gcb.TransparentColor = any_transparent ? 0 : NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        const size_t n = EGifGCBToExtension(&gcb, ext);
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext) == GIF_OK;
        ok = ok && EGifPutImageDesc(gif, 0, 0, b.width, b.height, false, map) == GIF_OK;
        for (int32_t y = 0; ok && y < b.height; ++y)
            ok = EGifPutLine(gif, &pixels[size_t(y) * size_t(b.width)], b.width) == GIF_OK;
        GifFreeMapObject(map);
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    if (!ok) out.clear();
    return out;
}

}  // namespace tb
