#include "resources/background.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "harness.h"
#include "pack/project_error.h"
#include "pack/project_images.h"
#include "runner/stream.h"

namespace tb {
namespace {

CBitmap32 Picture() {
    CBitmap32 b(3, 2);
    b.pixels = {0xFF010203, 0x00040506, 0x80070809, 0xFFA0B0C0, 0x12345678, 0xFFFFFFFF};
    return b;
}

// Record 543 from the primitives: size 7 x 5, Transparent, not SmoothEdges, Preload.
CStream HandBuilt(bool has_image, int32_t bitmap_version = 540) {
    CStream s;
    WriteInteger(s, 543);
    WriteInteger(s, 7);
    WriteInteger(s, 5);
    WriteBoolean(s, true);
    WriteBoolean(s, false);
    WriteBoolean(s, true);
    WriteBoolean(s, has_image);
    if (has_image) {
        if (bitmap_version == 540) {
            WriteBitmap32(s, Picture());
        } else {
            WriteInteger(s, bitmap_version);
        }
    }
    s.pos = 0;
    return s;
}

TEST(Background, ReadsHandBuiltRecord) {
    struct Case {
        const char* name;
        bool has_image;
        int32_t bitmap_version;
        bool image;
    } cases[] = {{"with image", true, 540, true},
                 {"without image", false, 540, false},
                 {"image record of another version", true, 541, false}};
    for (auto c : cases) {
        CStream s = HandBuilt(c.has_image, c.bitmap_version);
        CBackground b;
        b.texture = 9;
        ASSERT_TRUE(b.LoadFromStream(s)) << c.name;
        EXPECT_EQ(s.Remaining(), 0u) << c.name;
        EXPECT_EQ(b.Width, 7) << c.name;
        EXPECT_EQ(b.Height, 5) << c.name;
        EXPECT_TRUE(b.Transparent) << c.name;
        EXPECT_FALSE(b.SmoothEdges) << c.name;
        EXPECT_TRUE(b.Preload) << c.name;
        EXPECT_EQ(b.texture, -1) << c.name;
        EXPECT_EQ(b.image.exists, c.image) << c.name;
        if (c.image) {
            EXPECT_EQ(b.image, Picture()) << c.name;
        }
    }
}

TEST(Background, WriterProducesTheHandBuiltBytes) {
    for (bool has_image : {true, false}) {
        CStream in = HandBuilt(has_image);
        CBackground b;
        ASSERT_TRUE(b.LoadFromStream(in));
        CStream out;
        b.WriteToStream(out);
        EXPECT_EQ(out.data, HandBuilt(has_image).data) << has_image;
        out.pos = 0;
        CBackground back;
        ASSERT_TRUE(back.LoadFromStream(out));
        EXPECT_EQ(back, b);
    }
}

TEST(Background, WrongVersionFailsWithDefaults) {
    CBackground b;
    CStream good = HandBuilt(true);
    ASSERT_TRUE(b.LoadFromStream(good));
    for (int32_t v : {542, 544, 540}) {
        CStream s;
        WriteInteger(s, v);
        s.pos = 0;
        EXPECT_FALSE(b.LoadFromStream(s)) << v;
        EXPECT_EQ(b, CBackground()) << v;
    }
    EXPECT_EQ(b.Width, 0);
    EXPECT_FALSE(b.Transparent || b.SmoothEdges || b.Preload);
    EXPECT_FALSE(b.image.exists);
}

TEST(Background, EveryTruncationThrows) {
    const std::vector<uint8_t> full = HandBuilt(true).data;
    for (size_t n = 0; n < full.size(); ++n) {
        CStream s(std::vector<uint8_t>(full.begin(), full.begin() + long(n)));
        CBackground b;
        EXPECT_THROW(b.LoadFromStream(s), StreamError) << n;
    }
}

TEST(Background, AssignAndCreateColor) {
    CStream s = HandBuilt(true);
    CBackground src;
    ASSERT_TRUE(src.LoadFromStream(s));
    src.texture = 4;
    CBackground dst;
    dst.texture = 8;
    dst.Assign(src);
    EXPECT_EQ(dst, src);
    EXPECT_EQ(dst.texture, -1);
    src.image.pixels[0] = 0;
    EXPECT_EQ(dst.image.pixels[0], 0xFF010203u);  // deep copy

    dst.CreateColor(2, 0, 0x00FF8000, true);
    EXPECT_EQ(dst.Width, 2);
    EXPECT_EQ(dst.Height, 1);
    EXPECT_FALSE(dst.Transparent);
    EXPECT_TRUE(dst.Preload);
    EXPECT_EQ(dst.image.pixels, (std::vector<uint32_t>{0xFF0080FF, 0xFF0080FF}));
}

TEST(ProjectImagesBackground, RoundTrip) {
    test::ScratchDir dir;
    for (bool has_image : {true, false}) {
        CStream s = HandBuilt(has_image);
        CBackground b;
        ASSERT_TRUE(b.LoadFromStream(s));
        std::filesystem::path base = dir.path / (has_image ? "bg_sky" : "bg_none");
        pack::SaveBackground(b, base);
        EXPECT_EQ(std::filesystem::exists(base.string() + ".png"), has_image);
        CBackground back;
        back.Width = 99;
        pack::LoadBackground(base, back);
        EXPECT_EQ(back, b) << has_image;
    }
}

TEST(ProjectImagesBackground, MalformedFilesThrowProjectError) {
    test::ScratchDir dir;
    const std::pair<const char*, const char*> cases[] = {
        {"truncated JSON", "{\"Width\": 1"},
        {"missing image key",
         R"({"Width":1,"Height":1,"Transparent":false,"SmoothEdges":false,"Preload":false})"},
        {"negative where a flag belongs",
         R"({"Width":1,"Height":1,"Transparent":-1,"SmoothEdges":false,"Preload":false,"image":null})"},
        {"fractional size",
         R"({"Width":1.5,"Height":1,"Transparent":false,"SmoothEdges":false,"Preload":false,"image":null})"},
        {"missing picture",
         R"({"Width":1,"Height":1,"Transparent":false,"SmoothEdges":false,"Preload":false,"image":"gone.png"})"},
    };
    for (const auto& [name, text] : cases) {
        std::ofstream(dir.path / "b.json", std::ios::binary) << text;
        CBackground b;
        EXPECT_THROW(pack::LoadBackground(dir.path / "b", b), pack::ProjectError) << name;
    }
}

}  // namespace
}  // namespace tb
