#include "resources/sound.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tb
