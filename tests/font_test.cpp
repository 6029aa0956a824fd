#include "resources/font.h"

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

// Distinct values per character and metric: metric k of code c is c * 10 + k.
int32_t Metric(int c, int k) {
    return c * 10 + k;
}

// Record 540 from the primitives; the atlas is tw x th with the byte i at index i, or the
// given byte count when it is meant not to match.
CStream HandBuilt(int32_t tw = 3, int32_t th = 2, int64_t alpha_bytes = -1) {
    CStream s;
    WriteInteger(s, 540);
    WriteString(s, "Sans Serif");
    WriteInteger(s, 14);
    WriteBoolean(s, true);
    WriteBoolean(s, false);
    WriteInteger(s, 65);
    WriteInteger(s, 90);
    for (int c = 0; c < 256; ++c)
        for (int k = 0; k < 6; ++k) WriteInteger(s, Metric(c, k));
    WriteInteger(s, tw);
    WriteInteger(s, th);
    size_t n = alpha_bytes >= 0 ? size_t(alpha_bytes) : size_t(tw) * size_t(th);
    std::vector<uint8_t> alpha(n);
    for (size_t i = 0; i < n; ++i) alpha[i] = uint8_t(i * 40 + 1);
    WriteCompressed(s, alpha.data(), alpha.size());
    s.pos = 0;
    return s;
}

TEST(Font, ReadsHandBuiltRecordInFieldOrder) {
    CStream s = HandBuilt();
    CFont f;
    f.SpriteIndex = 3;
    ASSERT_TRUE(f.LoadFromStream(s));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(f.FontName, "Sans Serif");
    EXPECT_EQ(f.Size, 14);
    EXPECT_TRUE(f.Bold);
    EXPECT_FALSE(f.Italic);
    EXPECT_EQ(f.First, 65);
    EXPECT_EQ(f.Last, 90);
    EXPECT_EQ(f.SpriteIndex, -1);
    for (int c : {0, 65, 255}) {
        size_t i = size_t(c);
        EXPECT_EQ(f.glyph_x[i], Metric(c, 0)) << c;
        EXPECT_EQ(f.glyph_y[i], Metric(c, 1)) << c;
        EXPECT_EQ(f.glyph_w[i], Metric(c, 2)) << c;
        EXPECT_EQ(f.glyph_h[i], Metric(c, 3)) << c;
        EXPECT_EQ(f.glyph_advance[i], Metric(c, 4)) << c;
        EXPECT_EQ(f.glyph_offset[i], Metric(c, 5)) << c;
    }
    EXPECT_EQ(f.TextureWidth, 3);
    EXPECT_EQ(f.TextureHeight, 2);
    EXPECT_EQ(f.alpha, (std::vector<uint8_t>{1, 41, 81, 121, 161, 201}));
    EXPECT_EQ(f.texture, -1);
}

TEST(Font, WriterProducesTheHandBuiltBytes) {
    for (auto [tw, th] : {std::pair{3, 2}, {0, 0}, {0, 7}}) {
        CStream in = HandBuilt(tw, th);
        CFont f;
        ASSERT_TRUE(f.LoadFromStream(in)) << tw << "x" << th;
        CStream out;
        f.WriteToStream(out);
        EXPECT_EQ(out.data, HandBuilt(tw, th).data) << tw << "x" << th;
        out.pos = 0;
        CFont back;
        ASSERT_TRUE(back.LoadFromStream(out));
        EXPECT_EQ(back, f);
    }
}

TEST(Font, InvalidRecordsFailWithDefaults) {
    struct Case {
        const char* name;
        CStream s;
    };
    CStream wrong_version;
    WriteInteger(wrong_version, 541);
    wrong_version.pos = 0;
    Case cases[] = {
        {"wrong version", std::move(wrong_version)},
        {"atlas one byte short", HandBuilt(3, 2, 5)},
        {"atlas one byte long", HandBuilt(3, 2, 7)},
        {"negative width", HandBuilt(-3, 2, 0)},
        {"negative height with matching product", HandBuilt(-2, -3, 6)},
    };
    for (Case& c : cases) {
        CFont f;
        CStream good = HandBuilt();
        ASSERT_TRUE(f.LoadFromStream(good));
        EXPECT_FALSE(f.LoadFromStream(c.s)) << c.name;
        if (std::string(c.name) == "wrong version") {
            EXPECT_EQ(f, CFont());
            EXPECT_EQ(f.Size, 12);
            EXPECT_EQ(f.First, 32);
            EXPECT_EQ(f.Last, 128);
            EXPECT_EQ(f.SpriteIndex, -1);
            EXPECT_TRUE(f.alpha.empty());
        }
    }
}

TEST(Font, EveryTruncationThrows) {
    const std::vector<uint8_t> full = HandBuilt().data;
    for (size_t n = 0; n < full.size(); ++n) {
        CStream s(std::vector<uint8_t>(full.begin(), full.begin() + long(n)));
        CFont f;
        EXPECT_THROW(f.LoadFromStream(s), StreamError) << n;
    }
}

TEST(Font, AdvanceRules) {
    CFont f;
    for (size_t c = 0; c < 256; ++c) f.glyph_advance[c] = int32_t(c) + 1000;
    struct Case {
        int32_t first, last, c, want;
    } cases[] = {
        {32, 128, 65, 1065},     // covered: its own advance
        {32, 128, 128, 1128},    // the range is inclusive
        {32, 128, 200, 1032},    // uncovered: the space
        {32, 128, 31, 1032},     //
        {65, 90, 32, 1065},      // space itself not covered: First
        {65, 90, 200, 1065},     //
        {65, 90, -5, 1065},      //
        {0, 300, 280, 0},        // codes outside the table are never read
        {-10, -5, 40, 0},        //
        {250, 1000, 300, 0},     //
        {250, 1000, 100, 1250},  //
    };
    for (auto c : cases) {
        f.First = c.first;
        f.Last = c.last;
        EXPECT_EQ(f.Advance(c.c), c.want) << c.first << ".." << c.last << " c=" << c.c;
    }
}

TEST(ProjectImagesFont, RoundTrip) {
    test::ScratchDir dir;
    CStream s = HandBuilt();
    CFont f;
    ASSERT_TRUE(f.LoadFromStream(s));
    f.glyph_x.fill(0);  // a mostly empty table must come back as zeros
    f.glyph_y.fill(0);
    f.glyph_w.fill(0);
    f.glyph_h.fill(0);
    f.glyph_offset.fill(0);
    f.glyph_advance.fill(0);
    f.glyph_advance[0] = -4;
    f.glyph_offset[255] = 7;
    f.glyph_x[65] = 12;
    f.SpriteIndex = 2;
    pack::SaveFont(f, dir.path / "fnt_main");
    EXPECT_TRUE(std::filesystem::exists(dir.path / "fnt_main_atlas.png"));
    CFont back;
    pack::LoadFont(dir.path / "fnt_main", back);
    EXPECT_EQ(back, f);

    CStream empty_atlas = HandBuilt(0, 0);
    CFont g;
    ASSERT_TRUE(g.LoadFromStream(empty_atlas));
    pack::SaveFont(g, dir.path / "fnt_empty");
    EXPECT_FALSE(std::filesystem::exists(dir.path / "fnt_empty_atlas.png"));
    CFont back_g;
    pack::LoadFont(dir.path / "fnt_empty", back_g);
    EXPECT_EQ(back_g, g);
}

TEST(ProjectImagesFont, MalformedFilesThrowProjectError) {
    test::ScratchDir dir;
    CStream s = HandBuilt();
    CFont f;
    ASSERT_TRUE(f.LoadFromStream(s));
    pack::SaveFont(f, dir.path / "f");
    std::string good;
    {
        std::ifstream in(dir.path / "f.json");
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    const std::pair<const char*, std::string> cases[] = {
        {"bad JSON", good.substr(0, good.size() / 2)},
        {"name not a string", replaced("\"Sans Serif\"", "17")},
        {"negative texture width", replaced("\"TextureWidth\": 3", "\"TextureWidth\": -3")},
        {"atlas size differs", replaced("\"TextureHeight\": 2", "\"TextureHeight\": 3")},
        {"atlas missing", replaced("\"f_atlas.png\"", "null")},
        {"glyph code out of range", replaced("\"255\": [", "\"256\": [")},
        {"glyph code not a number", replaced("\"255\": [", "\"x\": [")},
        {"glyph entry too short", replaced("2550,", "")},
    };
    for (const auto& [name, text] : cases) {
        std::ofstream(dir.path / "f.json", std::ios::binary) << text;
        CFont out;
        EXPECT_THROW(pack::LoadFont(dir.path / "f", out), pack::ProjectError) << name;
    }
    CFont bad = f;
    bad.alpha.pop_back();
    EXPECT_THROW(pack::SaveFont(bad, dir.path / "g"), pack::ProjectError);
}

}  // namespace
}  // namespace tb
