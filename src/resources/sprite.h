// Sprites: frames, origin, bounding box and collision masks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "runner/stream.h"

namespace tb {

constexpr int32_t kSpriteVersion = 542;

// Per-pixel solidity of one frame, [y * width + x]. It covers the part of the sprite
// rectangle that the frame's pixels cover (the whole rectangle for a frame of the sprite's
// size, nothing for a missing frame); pixels outside it are not solid.
struct SpriteMask {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bits;
    bool operator==(const SpriteMask&) const = default;
};

class CSprite {
  public:
    CSprite() { Reset(); }

    // Frees frames, textures and masks and sets the defaults.
    void Reset();
    // Reads a version-542 record and builds the masks; the stored box is kept as it is.
    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;

    void ComputeBoundingBox();
    void BuildMasks();
    void FreeMasks();
    void SetBBoxMode(int32_t mode);
    void SetBBox(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void SetPrecise(bool flag);

    // Deep copy; the copy gets its own (not yet created) textures and rebuilt masks.
    void Assign(const CSprite& other);
    // Appends the other's frames resized to this size (a sprite without frames takes the
    // other's size first); box and masks are recomputed.
    void AddFramesFrom(const CSprite& other);
    // Frame i takes min(alpha, grey) from the other's frame i mod its count.
    void SetAlphaFrom(const CSprite& other);

    // Frames from an image file: a ".gif" file gives every animation frame, any other picture
    // a horizontal strip of `imgnumb` frames (0 or less counts as 1). `alpha` keeps the
    // file's alpha channel instead of the key colour. Then the mode is automatic, the given
    // flags and origin are stored, box and masks are made (textures are the caller's). False,
    // with the sprite unchanged, when the file does not exist or does not load.
    bool LoadFromFile(const std::string& path, int32_t imgnumb, bool alpha, bool precise,
                      bool transparent, bool smooth, bool preload, int32_t xorig, int32_t yorig);
    // One frame from an in-memory picture (a capture): `with_alpha` keeps its alpha, else the
    // key colour and smoothing apply. False for a missing bitmap (the sprite is unchanged).
    bool LoadFromBitmap(const CBitmap32& b, bool with_alpha, bool precise, bool transparent,
                        bool smooth, bool preload, int32_t xorig, int32_t yorig);
    // Appends the picture as a frame resized to the sprite's size (the first frame of an empty
    // sprite sets the size), converted with the sprite's own flags unless `with_alpha`.
    bool AddBitmap(const CBitmap32& b, bool with_alpha);

    int32_t FrameCount() const { return int32_t(frames.size()); }
    // Any frame number brought into 0 .. count - 1 (negative numbers wrap); -1 without frames.
    int32_t WrapFrame(int64_t frame) const;
    int32_t GetTexture(int64_t frame) const;
    // Opaque bounds of the frame; 0, 0, 0, 0 for a frame outside 0 .. count - 1.
    BitmapRect GetFrameBounds(int32_t frame) const;
    // Solidity of frame pixel (u, v); the frame number wraps. Outside the sprite rectangle
    // nothing is solid; without masks every pixel inside it is; a sprite without frames
    // never is.
    bool Solid(int64_t frame, int32_t u, int32_t v) const;

    // Record fields and frames; masks and textures are derived and not compared.
    bool operator==(const CSprite& o) const;

    int32_t BBoxMode = 0;  // 0 automatic, 1 full image, 2 manual
    int32_t BBoxLeft = 0;  // the box is inclusive on all four sides
    int32_t BBoxTop = 0;
    int32_t BBoxRight = 0;
    int32_t BBoxBottom = 0;
    int32_t Width = 1;
    int32_t Height = 1;
    int32_t XOrigin = 0;
    int32_t YOrigin = 0;
    bool Precise = true;
    bool Transparent = true;
    bool SmoothEdges = false;
    bool Preload = true;
    std::vector<CBitmap32> frames;
    std::vector<SpriteMask> masks;  // one per frame while masks_built
    bool masks_built = false;
    std::vector<int32_t> textures;  // one per frame, -1 where none

  private:
    bool OpaqueAt(const CBitmap32& f, int32_t x, int32_t y) const;
    void ResetTextures() { textures.assign(frames.size(), -1); }
};

}  // namespace tb
