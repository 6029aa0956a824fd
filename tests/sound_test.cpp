#include "resources/sound.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "harness.h"
#include "pack/project_code.h"
#include "pack/project_error.h"

namespace tb {
namespace {

CStream SoundRecord(int32_t version, bool has_data, const std::vector<uint8_t>& bytes) {
    CStream s;
    WriteInteger(s, version);
    WriteInteger(s, 2);
    WriteString(s, ".wav");
    WriteString(s, "boom.wav");
    WriteBoolean(s, has_data);
    if (has_data) WriteCompressed(s, bytes.data(), bytes.size());
    WriteInteger(s, 1 | 16);
    WriteReal(s, 0.75);
    WriteReal(s, -0.5);
    WriteBoolean(s, false);
    s.pos = 0;
    return s;
}

TEST(SoundRecord, HandBuiltRecordWithAndWithoutData) {
    std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F', 0, 1, 2, 255};
    for (bool has : {true, false}) {
        CStream s = SoundRecord(600, has, bytes);
        CSound snd;
        ASSERT_TRUE(snd.LoadFromStream(s));
        EXPECT_EQ(s.Remaining(), 0u);
        EXPECT_EQ(snd.Kind, 2);
        EXPECT_EQ(snd.FileType, ".wav");
        EXPECT_EQ(snd.FileName, "boom.wav");
        EXPECT_EQ(snd.has_data, has);
        EXPECT_EQ(snd.data, has ? bytes : std::vector<uint8_t>{});
        EXPECT_EQ(snd.Effects, 17);
        EXPECT_EQ(snd.Volume, 0.75);
        EXPECT_EQ(snd.Pan, -0.5);
        EXPECT_FALSE(snd.Preload);
        EXPECT_EQ(snd.sample, -1);

        CStream out;
        snd.WriteToStream(out);
        EXPECT_EQ(out.data, s.data);
    }
}

TEST(SoundRecord, WrongVersionTruncationAndReset) {
    CSound snd;
    CStream bad = SoundRecord(601, false, {});
    EXPECT_FALSE(snd.LoadFromStream(bad));

    CStream full = SoundRecord(600, true, {1, 2, 3});
    for (size_t cut : {size_t(6), size_t(30), full.data.size() - 2}) {
        CStream s(std::vector<uint8_t>(full.data.begin(), full.data.begin() + long(cut)));
        EXPECT_THROW(snd.LoadFromStream(s), StreamError) << cut;
    }

    snd.data = {1};
    snd.has_data = true;
    snd.sample = 4;
    snd.temporary_file = "x";
    snd.Volume = 0.1;
    snd.Reset();
    EXPECT_EQ(snd, CSound());
    EXPECT_EQ(snd.Kind, -1);
    EXPECT_EQ(snd.Volume, 1.0);
    EXPECT_TRUE(snd.Preload);
}

TEST(ProjectCode, SoundRoundTripWithDataFile) {
    test::ScratchDir t;
    CSound s;
    s.Kind = 1;
    s.FileType = ".wav";
    s.FileName = "boom.wav";
    s.has_data = true;
    s.data = {'R', 'I', 'F', 'F', 0, 13, 10, 255};
    s.Effects = 18;
    s.Volume = 0.3;
    s.Pan = -0.25;
    s.Preload = false;
    pack::SaveSound(s, t.path / "snd");
    EXPECT_EQ(test::ReadText(t.path / "snd_data.wav"), std::string("RIFF\0\r\n\xFF", 8));
    CSound back;
    pack::LoadSound(t.path / "snd", back);
    EXPECT_EQ(back, s);

    CSound odd;
    odd.FileType = "/../../x";  // never part of a file name
    odd.has_data = true;
    odd.data = {1};
    pack::SaveSound(odd, t.path / "odd");
    EXPECT_TRUE(std::filesystem::exists(t.path / "odd_data.bin"));
    pack::LoadSound(t.path / "odd", back);
    EXPECT_EQ(back, odd);

    CSound none;
    pack::SaveSound(none, t.path / "none");
    pack::LoadSound(t.path / "none", back);
    EXPECT_EQ(back, none);

    std::filesystem::remove(t.path / "snd_data.wav");
    EXPECT_THROW(pack::LoadSound(t.path / "snd", back), pack::ProjectError);
    test::WriteText(t.path / "v.json", R"({"Kind": 0, "FileType": "", "FileName": "",
        "has_data": false, "Effects": 0, "Volume": 1.5, "Pan": 0, "Preload": true})");
    EXPECT_THROW(pack::LoadSound(t.path / "v", back), pack::ProjectError);
}

}  // namespace
}  // namespace tb
