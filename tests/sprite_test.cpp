#include "resources/sprite.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "graphics/bitmap32.h"
#include "harness.h"
#include "pack/project_error.h"
#include "pack/project_images.h"
#include "runner/stream.h"

namespace tb {
namespace {

constexpr uint32_t kOpaque = 0xFF102030;

// A w x h frame, transparent except for the listed pixels.
CBitmap32 Frame(int32_t w, int32_t h, std::initializer_list<std::pair<int, int>> opaque = {}) {
    CBitmap32 b(w, h, 0x00FFFFFF);
    for (auto [x, y] : opaque) b.At(x, y) = kOpaque;
    return b;
}

// Sprite header fields in record order; the box as (left, right, bottom, top).
struct Header {
    int32_t width, height, left, right, bottom, top;
    bool transparent, smooth, preload;
    int32_t mode;
    bool precise;
    int32_t xorig, yorig;
};

void WriteHeader(CStream& s, const Header& h, int32_t frame_count) {
    WriteInteger(s, 542);
    WriteInteger(s, h.width);
    WriteInteger(s, h.height);
    WriteInteger(s, h.left);
    WriteInteger(s, h.right);
    WriteInteger(s, h.bottom);
    WriteInteger(s, h.top);
    WriteBoolean(s, h.transparent);
    WriteBoolean(s, h.smooth);
    WriteBoolean(s, h.preload);
    WriteInteger(s, h.mode);
    WriteBoolean(s, h.precise);
    WriteInteger(s, h.xorig);
    WriteInteger(s, h.yorig);
    WriteInteger(s, frame_count);
}

// Two 4 x 3 frames (the first opaque at (1, 2) only) and a missing one, box 1, 2, 3, 0 as
// (left, right, bottom, top), so each field of the box has its own value.
CStream HandBuiltRecord() {
    CStream s;
    WriteHeader(s, {4, 3, 1, 2, 3, 0, true, false, true, 2, true, 5, 6}, 3);
    CBitmap32 f0 = Frame(4, 3, {{1, 2}});
    WriteBitmap32(s, f0);
    WriteInteger(s, 540);  // a frame record that says "no image"
    WriteBoolean(s, false);
    WriteBitmap32(s, Frame(4, 3, {{0, 0}, {3, 2}}));
    s.pos = 0;
    return s;
}

TEST(Sprite, ReadsHandBuiltRecordInFieldOrder) {
    CStream s = HandBuiltRecord();
    s.pos = s.Size();
    WriteInteger(s, 777);  // whatever follows the record
    s.pos = 0;
    CSprite sp;
    ASSERT_TRUE(sp.LoadFromStream(s));
    EXPECT_EQ(ReadInteger(s), 777);
    EXPECT_EQ(sp.Width, 4);
    EXPECT_EQ(sp.Height, 3);
    EXPECT_EQ(sp.BBoxLeft, 1);
    EXPECT_EQ(sp.BBoxRight, 2);
    EXPECT_EQ(sp.BBoxBottom, 3);
    EXPECT_EQ(sp.BBoxTop, 0);
    EXPECT_TRUE(sp.Transparent);
    EXPECT_FALSE(sp.SmoothEdges);
    EXPECT_TRUE(sp.Preload);
    EXPECT_EQ(sp.BBoxMode, 2);
    EXPECT_TRUE(sp.Precise);
    EXPECT_EQ(sp.XOrigin, 5);
    EXPECT_EQ(sp.YOrigin, 6);
    ASSERT_EQ(sp.FrameCount(), 3);
    EXPECT_EQ(sp.frames[0], Frame(4, 3, {{1, 2}}));
    EXPECT_FALSE(sp.frames[1].exists);
    EXPECT_EQ(sp.textures, (std::vector<int32_t>{-1, -1, -1}));
    // Masks come from the stored pixels.
    ASSERT_TRUE(sp.masks_built);
    EXPECT_TRUE(sp.Solid(0, 1, 2));
    EXPECT_FALSE(sp.Solid(0, 2, 2));
    EXPECT_FALSE(sp.Solid(1, 0, 0));
    EXPECT_TRUE(sp.Solid(2, 3, 2));
}

TEST(Sprite, WriterProducesTheHandBuiltBytes) {
    CSprite sp;
    CStream in = HandBuiltRecord();
    ASSERT_TRUE(sp.LoadFromStream(in));
    CStream out;
    sp.WriteToStream(out);
    EXPECT_EQ(out.data, HandBuiltRecord().data);
    out.pos = 0;
    CSprite back;
    ASSERT_TRUE(back.LoadFromStream(out));
    EXPECT_EQ(back, sp);
    EXPECT_EQ(back.masks, sp.masks);
}

TEST(Sprite, LoadKeepsTheStoredBoxEvenInAutomaticMode) {
    CStream s;
    WriteHeader(s, {4, 4, 0, 3, 3, 0, true, false, true, 0, true, 0, 0}, 1);
    WriteBitmap32(s, Frame(4, 4, {{2, 2}}));
    s.pos = 0;
    CSprite sp;
    ASSERT_TRUE(sp.LoadFromStream(s));
    EXPECT_EQ(sp.BBoxLeft, 0);
    EXPECT_EQ(sp.BBoxRight, 3);
    sp.ComputeBoundingBox();
    EXPECT_EQ(sp.BBoxLeft, 2);
    EXPECT_EQ(sp.BBoxRight, 2);
}

TEST(Sprite, FrameOfAnotherVersionIsMissingWithoutFailingTheSprite) {
    CStream s;
    WriteHeader(s, {2, 2, 0, 1, 1, 0, true, false, true, 0, true, 0, 0}, 2);
    WriteInteger(s, 541);  // reads nothing more
    WriteBitmap32(s, Frame(2, 2, {{1, 1}}));
    s.pos = 0;
    CSprite sp;
    ASSERT_TRUE(sp.LoadFromStream(s));
    ASSERT_EQ(sp.FrameCount(), 2);
    EXPECT_FALSE(sp.frames[0].exists);
    EXPECT_TRUE(sp.frames[1].exists);
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_FALSE(sp.Solid(0, 1, 1));
    EXPECT_TRUE(sp.Solid(1, 1, 1));
}

TEST(Sprite, FramesOfAnotherVersionMayEndTheStream) {
    CStream s;
    WriteHeader(s, {2, 2, 0, 1, 1, 0, true, false, true, 0, true, 0, 0}, 2);
    WriteInteger(s, 0);
    WriteInteger(s, 541);
    s.pos = 0;
    CSprite sp;
    ASSERT_TRUE(sp.LoadFromStream(s));
    ASSERT_EQ(sp.FrameCount(), 2);
    EXPECT_FALSE(sp.frames[0].exists || sp.frames[1].exists);
    EXPECT_TRUE(sp.masks_built);
    EXPECT_FALSE(sp.Solid(1, 0, 0));
}

TEST(Sprite, WrongVersionFailsAndLeavesDefaults) {
    CSprite sp;
    CStream good = HandBuiltRecord();
    ASSERT_TRUE(sp.LoadFromStream(good));
    for (int32_t version : {541, 543, 0, -542}) {
        CStream s;
        WriteInteger(s, version);
        s.pos = 0;
        EXPECT_FALSE(sp.LoadFromStream(s)) << version;
        EXPECT_EQ(sp, CSprite()) << version;
    }
    EXPECT_EQ(sp.Width, 1);
    EXPECT_EQ(sp.Height, 1);
    EXPECT_TRUE(sp.Transparent);
    EXPECT_FALSE(sp.SmoothEdges);
    EXPECT_TRUE(sp.Preload);
    EXPECT_TRUE(sp.Precise);
    EXPECT_EQ(sp.BBoxMode, 0);
    EXPECT_EQ(sp.FrameCount(), 0);
    EXPECT_FALSE(sp.masks_built);
}

TEST(Sprite, EveryTruncationThrows) {
    const std::vector<uint8_t> full = HandBuiltRecord().data;
    for (size_t n = 0; n < full.size(); ++n) {
        CStream s(std::vector<uint8_t>(full.begin(), full.begin() + long(n)));
        CSprite sp;
        EXPECT_THROW(sp.LoadFromStream(s), StreamError) << n;
    }
}

TEST(Sprite, HugeCountsAndSizesDoNotAllocate) {
    {
        CStream s;
        WriteHeader(s, {2, 2, 0, 0, 0, 0, true, false, true, 0, true, 0, 0}, 0x7FFFFFFF);
        s.pos = 0;
        CSprite sp;
        EXPECT_THROW(sp.LoadFromStream(s), StreamError);
    }
    // A sprite size far beyond its frame: masks cover only the frame's own pixels.
    CStream s;
    WriteHeader(s, {1 << 30, 1 << 30, 0, 0, 0, 0, true, false, true, 0, true, 0, 0}, 1);
    WriteBitmap32(s, Frame(1, 1, {{0, 0}}));
    s.pos = 0;
    CSprite sp;
    ASSERT_TRUE(sp.LoadFromStream(s));
    ASSERT_TRUE(sp.masks_built);
    EXPECT_EQ(sp.masks[0].bits.size(), 1u);
    EXPECT_TRUE(sp.Solid(0, 0, 0));
    EXPECT_FALSE(sp.Solid(0, 5, 5));
    sp.ComputeBoundingBox();
    EXPECT_EQ(sp.BBoxLeft, 0);
    EXPECT_EQ(sp.BBoxBottom, 0);
}

CSprite MakeSprite(int32_t w, int32_t h, std::vector<CBitmap32> frames) {
    CSprite sp;
    sp.Width = w;
    sp.Height = h;
    sp.frames = std::move(frames);
    sp.textures.assign(sp.frames.size(), -1);
    return sp;
}

TEST(Sprite, BoundingBoxRules) {
    struct Case {
        const char* name;
        int32_t mode;
        bool transparent;
        std::vector<CBitmap32> frames;
        BitmapRect want;  // left, top, right, bottom
    };
    const Case cases[] = {
        {"automatic over two frames",
         0,
         true,
         {Frame(12, 6, {{3, 4}}), Frame(12, 6, {{10, 1}})},
         {3, 1, 10, 4}},
        {"all frames transparent keeps left > right",
         0,
         true,
         {Frame(12, 6), Frame(12, 6)},
         {11, 5, 0, 0}},
        {"transparent frame widens nothing",
         0,
         true,
         {Frame(12, 6), Frame(12, 6, {{5, 2}})},
         {5, 2, 5, 2}},
        {"missing frame widens nothing",
         0,
         true,
         {CBitmap32(), Frame(12, 6, {{5, 2}})},
         {5, 2, 5, 2}},
        {"no frames", 0, true, {}, {0, 0, 0, 0}},
        {"not transparent gives the full image", 0, false, {Frame(12, 6, {{3, 4}})}, {0, 0, 11, 5}},
        {"full image mode", 1, true, {Frame(12, 6, {{3, 4}})}, {0, 0, 11, 5}},
        {"manual mode keeps the box", 2, true, {Frame(12, 6, {{3, 4}})}, {7, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        CSprite sp = MakeSprite(12, 6, c.frames);
        sp.BBoxMode = c.mode;
        sp.Transparent = c.transparent;
        sp.BBoxLeft = 7, sp.BBoxTop = 8, sp.BBoxRight = 9, sp.BBoxBottom = 10;
        sp.ComputeBoundingBox();
        EXPECT_EQ((BitmapRect{sp.BBoxLeft, sp.BBoxTop, sp.BBoxRight, sp.BBoxBottom}), c.want)
            << c.name;
    }
}

TEST(Sprite, SetBBoxModeAndSetBBox) {
    CSprite sp = MakeSprite(8, 8, {Frame(8, 8, {{2, 3}})});
    sp.BBoxLeft = sp.BBoxTop = sp.BBoxRight = sp.BBoxBottom = 4;
    sp.SetBBoxMode(0);  // same mode: nothing recomputed
    EXPECT_EQ(sp.BBoxLeft, 4);
    sp.SetBBox(1, 1, 6, 6);  // ignored outside manual mode
    EXPECT_EQ(sp.BBoxLeft, 4);
    for (int32_t bad : {-1, 3, 100}) {
        sp.SetBBoxMode(bad);
        EXPECT_EQ(sp.BBoxMode, 0) << bad;
    }
    sp.SetBBoxMode(1);
    EXPECT_EQ((BitmapRect{sp.BBoxLeft, sp.BBoxTop, sp.BBoxRight, sp.BBoxBottom}),
              (BitmapRect{0, 0, 7, 7}));
    sp.SetBBoxMode(2);
    EXPECT_EQ(sp.BBoxRight, 7);  // manual keeps what was there
    sp.SetBBox(1, 2, 5, 6);
    EXPECT_EQ((BitmapRect{sp.BBoxLeft, sp.BBoxTop, sp.BBoxRight, sp.BBoxBottom}),
              (BitmapRect{1, 2, 5, 6}));
    sp.SetBBoxMode(0);
    EXPECT_EQ((BitmapRect{sp.BBoxLeft, sp.BBoxTop, sp.BBoxRight, sp.BBoxBottom}),
              (BitmapRect{2, 3, 2, 3}));
}

TEST(Sprite, MasksNeedPreciseAndTransparent) {
    struct Case {
        bool precise, transparent;
        bool built;
    } cases[] = {{true, true, true}, {true, false, false}, {false, true, false}};
    for (auto c : cases) {
        CSprite sp = MakeSprite(3, 2, {Frame(3, 2, {{1, 0}})});
        sp.Precise = c.precise;
        sp.Transparent = c.transparent;
        sp.BuildMasks();
        EXPECT_EQ(sp.masks_built, c.built) << c.precise << c.transparent;
        EXPECT_TRUE(sp.Solid(0, 1, 0));
        // Without masks every pixel of the frame rectangle is solid, and nothing outside it.
        EXPECT_EQ(sp.Solid(0, 0, 0), !c.built);
        EXPECT_EQ(sp.Solid(0, 2, 1), !c.built);
        for (auto [u, v] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 2}})
            EXPECT_FALSE(sp.Solid(0, u, v)) << u << "," << v;
    }
    CSprite none = MakeSprite(3, 2, {});
    none.BuildMasks();
    EXPECT_FALSE(none.masks_built);
    EXPECT_FALSE(none.Solid(0, 0, 0));  // a sprite without frames never collides
}

TEST(Sprite, SetPreciseRebuildsOnlyOnChange) {
    CSprite sp = MakeSprite(2, 2, {Frame(2, 2, {{0, 0}})});
    sp.BuildMasks();
    ASSERT_TRUE(sp.masks_built);
    sp.SetPrecise(false);
    EXPECT_FALSE(sp.masks_built);
    EXPECT_TRUE(sp.Solid(0, 1, 1));
    sp.frames[0] = Frame(2, 2, {{1, 1}});
    sp.SetPrecise(false);  // unchanged: still no masks
    EXPECT_FALSE(sp.masks_built);
    sp.SetPrecise(true);
    EXPECT_TRUE(sp.Solid(0, 1, 1));
    EXPECT_FALSE(sp.Solid(0, 0, 0));
    sp.FreeMasks();
    EXPECT_FALSE(sp.masks_built);
    EXPECT_TRUE(sp.masks.empty());
}

TEST(Sprite, FrameNumbersWrap) {
    CSprite sp = MakeSprite(1, 1, {Frame(1, 1, {{0, 0}}), Frame(1, 1), Frame(1, 1)});
    sp.textures = {10, 11, 12};
    struct Case {
        int64_t frame;
        int32_t want;
    } cases[] = {{0, 0}, {2, 2}, {3, 0}, {7, 1}, {-1, 2}, {-3, 0}, {-4, 2}, {INT32_MIN, 1}};
    for (auto c : cases) {
        EXPECT_EQ(sp.WrapFrame(c.frame), c.want) << c.frame;
        EXPECT_EQ(sp.GetTexture(c.frame), 10 + c.want) << c.frame;
    }
    sp.BuildMasks();
    EXPECT_TRUE(sp.Solid(-3, 0, 0));
    EXPECT_FALSE(sp.Solid(-1, 0, 0));
    CSprite empty;
    EXPECT_EQ(empty.WrapFrame(5), -1);
    EXPECT_EQ(empty.GetTexture(0), -1);
}

TEST(Sprite, FrameBounds) {
    CSprite sp = MakeSprite(5, 4, {Frame(5, 4, {{1, 2}, {3, 1}}), Frame(5, 4), CBitmap32()});
    EXPECT_EQ(sp.GetFrameBounds(0), (BitmapRect{1, 1, 3, 2}));
    EXPECT_EQ(sp.GetFrameBounds(1), (BitmapRect{4, 3, 0, 0}));
    EXPECT_EQ(sp.GetFrameBounds(2), (BitmapRect{}));
    EXPECT_EQ(sp.GetFrameBounds(3), (BitmapRect{}));
    EXPECT_EQ(sp.GetFrameBounds(-1), (BitmapRect{}));
}

TEST(Sprite, AssignCopiesDeeplyAndRebuildsMasks) {
    CSprite src = MakeSprite(2, 2, {Frame(2, 2, {{0, 1}})});
    src.XOrigin = 1;
    src.BBoxMode = 2;
    src.SmoothEdges = true;
    src.textures = {42};
    CSprite dst = MakeSprite(9, 9, {Frame(9, 9), Frame(9, 9)});
    dst.Assign(src);
    EXPECT_EQ(dst, src);
    EXPECT_EQ(dst.textures, std::vector<int32_t>{-1});
    ASSERT_TRUE(dst.masks_built);
    EXPECT_TRUE(dst.Solid(0, 0, 1));
    src.frames[0].At(0, 0) = kOpaque;
    EXPECT_FALSE(dst.Solid(0, 0, 0));
    EXPECT_EQ(dst.frames[0].At(0, 0), 0x00FFFFFFu);
}

TEST(Sprite, AddFramesFromResizesAndRecomputes) {
    CSprite other = MakeSprite(2, 2, {Frame(2, 2, {{1, 1}})});
    CSprite sp;
    sp.AddFramesFrom(other);  // an empty sprite takes the other's size
    EXPECT_EQ(sp.Width, 2);
    ASSERT_EQ(sp.FrameCount(), 1);
    EXPECT_EQ(sp.frames[0], other.frames[0]);
    CSprite big = MakeSprite(4, 4, {Frame(4, 4)});
    big.AddFramesFrom(other);
    ASSERT_EQ(big.FrameCount(), 2);
    EXPECT_EQ(big.frames[1], Frame(4, 4, {{2, 2}, {3, 2}, {2, 3}, {3, 3}}));
    EXPECT_EQ(big.textures.size(), 2u);
    EXPECT_EQ((BitmapRect{big.BBoxLeft, big.BBoxTop, big.BBoxRight, big.BBoxBottom}),
              (BitmapRect{2, 2, 3, 3}));
    EXPECT_TRUE(big.Solid(1, 3, 3));
    big.AddFramesFrom(big);  // from itself: doubles
    EXPECT_EQ(big.FrameCount(), 4);
}

TEST(Sprite, SetAlphaFromCyclesTheOthersFrames) {
    CSprite sp = MakeSprite(
        1, 1,
        {CBitmap32(1, 1, 0xFF000000), CBitmap32(1, 1, 0xC8000000), CBitmap32(1, 1, 0xFF000000)});
    CSprite mask = MakeSprite(1, 1, {CBitmap32(1, 1, 0xFF0A141E), CBitmap32(1, 1, 0xFFFFFFFF)});
    sp.SetAlphaFrom(mask);
    EXPECT_EQ(sp.frames[0].At(0, 0), 0x14000000u);  // (10 + 20 + 30) / 3
    EXPECT_EQ(sp.frames[1].At(0, 0), 0xC8000000u);  // grey 255 is above the current alpha
    EXPECT_EQ(sp.frames[2].At(0, 0), 0x14000000u);  // frame 2 takes the other's frame 0
}

// Bitmap operations used to make frames.
TEST(SpriteBitmap, OpaqueBounds) {
    EXPECT_EQ(OpaqueBounds(CBitmap32()), (BitmapRect{}));
    EXPECT_EQ(OpaqueBounds(CBitmap32(0, 5)), (BitmapRect{}));
    EXPECT_EQ(OpaqueBounds(Frame(6, 3)), (BitmapRect{5, 2, 0, 0}));
    EXPECT_EQ(OpaqueBounds(Frame(6, 3, {{4, 0}, {1, 2}})), (BitmapRect{1, 0, 4, 2}));
    CBitmap32 faint(2, 2, 0);
    faint.At(1, 1) = 0x01000000;  // any non-zero alpha is visible
    EXPECT_EQ(OpaqueBounds(faint), (BitmapRect{1, 1, 1, 1}));
}

TEST(SpriteBitmap, MakeTransparentUsesBottomLeftAndBleeds) {
    // Key colour 0x0000FF (blue) at the bottom-left; alpha is ignored in the comparison.
    const uint32_t K = 0xFF0000FF, A = 0xFFAA0000, B = 0xFF00BB00, C = 0xFF0000CC;
    CBitmap32 b(4, 3);
    b.pixels = {K, A, K, K,  //
                B, K, C, K,  //
                K, K, K, 0x770000FF};
    MakeTransparent(b);
    const std::vector<uint32_t> want = {
        0x00AA0000, A,
        0x00AA0000, 0x000000FF,  // right of A; last one has no opaque neighbour
        B,          0x0000BB00,
        C,          0x000000CC,  // left first, then right
        0x0000BB00, 0x000000FF,
        0x000000CC, 0x000000FF,  // above; no neighbours: key kept
    };
    EXPECT_EQ(b.pixels, want);
    CBitmap32 missing;
    MakeTransparent(missing);  // no crash, nothing to do
    CBitmap32 empty(0, 0);
    MakeTransparent(empty);
}

TEST(SpriteBitmap, SmoothEdgesTakes32PerTransparentNeighbour) {
    CBitmap32 b(3, 3, 0xFFFFFFFF);
    b.At(0, 0) = 0x00FFFFFF;
    b.At(2, 0) = 0x00FFFFFF;
    b.At(1, 2) = 0x10FFFFFF;  // below 32: never touched
    SmoothEdges(b);
    EXPECT_EQ(PixelAlpha(b.At(1, 0)), 255 - 64);
    EXPECT_EQ(PixelAlpha(b.At(1, 1)), 255 - 64);
    EXPECT_EQ(PixelAlpha(b.At(0, 1)), 255 - 32);
    EXPECT_EQ(PixelAlpha(b.At(2, 1)), 255 - 32);
    EXPECT_EQ(PixelAlpha(b.At(0, 2)), 255);
    EXPECT_EQ(PixelAlpha(b.At(1, 2)), 0x10);
    EXPECT_EQ(b.At(1, 0) & 0xFFFFFFu, 0xFFFFFFu);  // colour untouched
    // Alpha never goes below 0.
    CBitmap32 c(3, 1);
    c.pixels = {0, 0x40000000, 0};
    SmoothEdges(c);
    EXPECT_EQ(c.pixels[1], 0u);
}

TEST(SpriteBitmap, ResizeIsNearestNeighbour) {
    CBitmap32 b(3, 1);
    b.pixels = {1, 2, 3};
    EXPECT_EQ(ResizeBitmap(b, 6, 1).pixels, (std::vector<uint32_t>{1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(ResizeBitmap(b, 2, 2).pixels, (std::vector<uint32_t>{1, 2, 1, 2}));
    EXPECT_FALSE(ResizeBitmap(CBitmap32(), 2, 2).exists);
    EXPECT_EQ(ResizeBitmap(b, -3, 2).pixels.size(), 0u);
    EXPECT_EQ(ResizeBitmap(CBitmap32(0, 0), 2, 2).pixels, (std::vector<uint32_t>(4, 0)));
}

TEST(SpriteBitmap, SolidColourSwapsRedAndBlue) {
    CBitmap32 b = SolidBitmap(0, -4, 0x00332211);
    EXPECT_EQ(b.width, 1);
    EXPECT_EQ(b.height, 1);
    EXPECT_EQ(b.pixels, std::vector<uint32_t>{0xFF112233});
}

TEST(SpriteBitmap, SetAlphaFromOverCommonArea) {
    CBitmap32 b(2, 1, 0xFF123456);
    CBitmap32 other(1, 3, 0xFF030303);
    SetAlphaFrom(b, other);
    EXPECT_EQ(b.pixels, (std::vector<uint32_t>{0x03123456, 0xFF123456}));
}

TEST(ProjectImagesSprite, RoundTripWithMissingFrame) {
    test::ScratchDir dir;
    CStream s = HandBuiltRecord();
    CSprite sp;
    ASSERT_TRUE(sp.LoadFromStream(s));
    sp.SmoothEdges = true;
    sp.BBoxLeft = -7;
    pack::SaveSprite(sp, dir.path / "spr_hero");
    EXPECT_TRUE(std::filesystem::exists(dir.path / "spr_hero_0.png"));
    EXPECT_FALSE(std::filesystem::exists(dir.path / "spr_hero_1.png"));
    EXPECT_TRUE(std::filesystem::exists(dir.path / "spr_hero_2.png"));
    CSprite back;
    pack::LoadSprite(dir.path / "spr_hero", back);
    EXPECT_EQ(back, sp);
    EXPECT_EQ(back.masks, sp.masks);
    EXPECT_EQ(back.textures, sp.textures);
}

TEST(ProjectImagesSprite, MalformedFilesThrowProjectError) {
    test::ScratchDir dir;
    CSprite sp = MakeSprite(1, 1, {Frame(1, 1)});
    pack::SaveSprite(sp, dir.path / "s");
    std::string good;
    {
        std::ifstream in(dir.path / "s.json");
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    const std::pair<const char*, std::string> cases[] = {
        {"bad JSON", "{ \"Width\": "},
        {"not an object", "[1, 2]"},
        {"missing key", replaced("\"Width\": 1,", "")},
        {"wrong type", replaced("\"Width\": 1", "\"Width\": \"1\"")},
        {"out of int32 range", replaced("\"Width\": 1", "\"Width\": 4294967296")},
        {"bad mode", replaced("\"BBoxMode\": 0", "\"BBoxMode\": 3")},
        {"boolean as number", replaced("\"Precise\": true", "\"Precise\": 1")},
        {"missing frame file", replaced("s_0.png", "nothere.png")},
        {"frame entry of wrong type", replaced("\"s_0.png\"", "5")},
    };
    for (const auto& [name, text] : cases) {
        test::WriteText(dir.path / "s.json", text);
        CSprite out;
        EXPECT_THROW(pack::LoadSprite(dir.path / "s", out), pack::ProjectError) << name;
    }
    CSprite out;
    EXPECT_THROW(pack::LoadSprite(dir.path / "absent", out), pack::ProjectError);
    test::WriteText(dir.path / "s.json", good);
    test::WriteText(dir.path / "s_0.png", "not a picture");
    EXPECT_THROW(pack::LoadSprite(dir.path / "s", out), pack::ProjectError);
}

}  // namespace
}  // namespace tb
