// Sprite frames made from image files and from captured pictures.
#include <algorithm>
#include <cctype>

#include "graphics/pictures.h"
#include "resources/sprite.h"

namespace tb {

namespace {

bool HasGifExtension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = path.substr(dot);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".gif";
}

// The frames of a picture file, converted; false when nothing loads.
bool FramesFromFile(const std::string& path, int32_t imgnumb, bool alpha, bool transparent,
                    bool smooth, std::vector<CBitmap32>& frames) {
    std::vector<uint8_t> bytes;
    if (!ReadPictureFile(path, bytes)) return false;
    if (HasGifExtension(path)) {
        GifFrames gif;
        if (DecodeGifFrames(bytes.data(), bytes.size(), gif)) {
            for (const CBitmap32& f : gif.frames)
                frames.push_back(ConvertPicture(f, false, transparent, smooth));
            return true;
        }
    }
    Picture picture = DecodePicture(bytes.data(), bytes.size());
    if (!picture.image.exists) return false;
    bytes = {};
    const int32_t n = std::max(imgnumb, 1);
    const int32_t w = picture.image.width / n;
    if (w < 1) return false;
    for (int32_t i = 0; i < n; ++i) {
        CBitmap32 part = CropBitmap(picture.image, i * w, 0, w, picture.image.height);
        frames.push_back(ConvertPicture(part, alpha, transparent, smooth));
    }
    return true;
}

}  // namespace

bool CSprite::LoadFromFile(const std::string& path, int32_t imgnumb, bool alpha, bool precise,
                           bool transparent, bool smooth, bool preload, int32_t xorig,
                           int32_t yorig) {
    std::vector<CBitmap32> loaded;
    if (!FramesFromFile(path, imgnumb, alpha, transparent, smooth, loaded) || loaded.empty())
        return false;
    Reset();
    Width = loaded.front().width;
    Height = loaded.front().height;
    frames = std::move(loaded);
    BBoxMode = 0;
    XOrigin = xorig;
    YOrigin = yorig;
    Transparent = transparent;
    SmoothEdges = smooth && !alpha;
    Preload = preload;
    Precise = precise;
    ResetTextures();
    ComputeBoundingBox();
    BuildMasks();
    return true;
}

bool CSprite::LoadFromBitmap(const CBitmap32& b, bool with_alpha, bool precise, bool transparent,
                             bool smooth, bool preload, int32_t xorig, int32_t yorig) {
    if (!b.exists || b.width <= 0 || b.height <= 0) return false;
    CBitmap32 frame = ConvertPicture(b, with_alpha, transparent, smooth);
    Reset();
    Width = frame.width;
    Height = frame.height;
    frames.push_back(std::move(frame));
    BBoxMode = 0;
    XOrigin = xorig;
    YOrigin = yorig;
    Transparent = transparent;
    SmoothEdges = smooth;
    Preload = preload;
    Precise = precise;
    ResetTextures();
    ComputeBoundingBox();
    BuildMasks();
    return true;
}

bool CSprite::AddBitmap(const CBitmap32& b, bool with_alpha) {
    if (!b.exists || b.width <= 0 || b.height <= 0) return false;
    if (frames.empty()) {
        Width = b.width;
        Height = b.height;
    }
    frames.push_back(
        ConvertPicture(ResizeBitmap(b, Width, Height), with_alpha, Transparent, SmoothEdges));
    ResetTextures();
    ComputeBoundingBox();
    BuildMasks();
    return true;
}

}  // namespace tb
