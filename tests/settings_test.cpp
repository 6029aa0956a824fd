#include "runner/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "graphics/bmp.h"
#include "pack/project_error.h"
#include "pack/project_rooms.h"

namespace tb {
namespace {

CBitmap32 Solid(int32_t w, int32_t h, uint32_t color) {
    return CBitmap32(w, h, color);
}

// An optional bitmap written as its primitives: boolean, then a compressed BMP file.
void WriteImageByHand(CStream& s, const CBitmap32* b) {
    WriteBoolean(s, b != nullptr);
    if (!b) return;
    std::vector<uint8_t> bmp = EncodeBmp(*b);
    WriteCompressed(s, bmp.data(), bmp.size());
}

// The record field by field in file order, every field off its default. FullScreen is
// stored as `full_screen` (2 by default: true is any value above 0, not just 1).
CStream HandBuiltSettings(bool progress_bar, const CBitmap32& back, const CBitmap32& front,
                          const CBitmap32& loading, int32_t full_screen = 2) {
    CStream s;
    WriteInteger(s, 702);
    WriteInteger(s, full_screen);
    WriteInteger(s, 1);         // Interpolate
    WriteInteger(s, 1);         // NoBorder
    WriteInteger(s, 0);         // ShowCursor
    WriteInteger(s, -1);        // Scale
    WriteInteger(s, 1);         // SizeableWindow
    WriteInteger(s, 1);         // StayOnTop
    WriteInteger(s, 0x102030);  // WindowColor
    WriteInteger(s, 1);         // ChangeResolution
    WriteInteger(s, 2);         // ColorDepth
    WriteInteger(s, 4);         // Resolution
    WriteInteger(s, 3);         // Frequency
    WriteInteger(s, 1);         // NoCaptionButtons
    WriteInteger(s, 1);         // VSync
    WriteInteger(s, 0);         // KeyF4
    WriteInteger(s, 0);         // KeyF1
    WriteInteger(s, 0);         // KeyEsc
    WriteInteger(s, 0);         // KeyF5F6
    WriteInteger(s, 0);         // KeyF9
    WriteInteger(s, 0);         // CloseAsEsc
    WriteInteger(s, 2);         // Priority
    WriteInteger(s, 1);         // FreezeOnLoseFocus
    WriteInteger(s, progress_bar ? 1 : 0);
    if (progress_bar) {
        WriteImageByHand(s, &back);
        WriteImageByHand(s, &front);
    }
    WriteImageByHand(s, &loading);
    WriteInteger(s, 1);    // LoadingImageTransparent
    WriteInteger(s, 128);  // LoadingImageAlpha
    WriteInteger(s, 0);    // ScaleProgressBar
    WriteInteger(s, 0);    // DisplayErrors
    WriteInteger(s, 1);    // WriteErrors
    WriteInteger(s, 1);    // AbortOnError
    WriteInteger(s, 1);    // UninitializedAsZero
    WriteInteger(s, 2);
    WriteString(s, "MAX_HP");
    WriteString(s, "100");
    WriteString(s, " speed ");
    WriteString(s, "");
    s.pos = 0;
    return s;
}

void ExpectNonDefaultFields(const GameSettings& g) {
    EXPECT_TRUE(g.FullScreen);
    EXPECT_TRUE(g.Interpolate);
    EXPECT_TRUE(g.NoBorder);
    EXPECT_FALSE(g.ShowCursor);
    EXPECT_EQ(g.Scale, -1);
    EXPECT_TRUE(g.SizeableWindow);
    EXPECT_TRUE(g.StayOnTop);
    EXPECT_EQ(g.WindowColor, 0x102030);
    EXPECT_FALSE(g.ChangeResolution);  // stored true, cleared after reading
    EXPECT_EQ(g.ColorDepth, 2);
    EXPECT_EQ(g.Resolution, 4);
    EXPECT_EQ(g.Frequency, 3);
    EXPECT_TRUE(g.NoCaptionButtons);
    EXPECT_TRUE(g.VSync);
    EXPECT_FALSE(g.KeyF4);
    EXPECT_FALSE(g.KeyF1);
    EXPECT_FALSE(g.KeyEsc);
    EXPECT_FALSE(g.KeyF5F6);
    EXPECT_FALSE(g.KeyF9);
    EXPECT_FALSE(g.CloseAsEsc);
    EXPECT_EQ(g.Priority, 2);
    EXPECT_TRUE(g.FreezeOnLoseFocus);
    EXPECT_TRUE(g.LoadingImageTransparent);
    EXPECT_EQ(g.LoadingImageAlpha, 128);
    EXPECT_FALSE(g.ScaleProgressBar);
    EXPECT_FALSE(g.DisplayErrors);
    EXPECT_TRUE(g.WriteErrors);
    EXPECT_TRUE(g.AbortOnError);
    EXPECT_TRUE(g.UninitializedAsZero);
    EXPECT_EQ(g.ConstantNames, (std::vector<std::string>{"MAX_HP", " speed "}));
    EXPECT_EQ(g.ConstantValues, (std::vector<std::string>{"100", ""}));
}

const CBitmap32 kBack = Solid(3, 2, 0xFF112233);
const CBitmap32 kFront = Solid(2, 2, 0xFF445566);
const CBitmap32 kLoading = Solid(4, 1, 0xFF778899);

TEST(Settings, HandBuiltRecordWithProgressBar) {
    CStream s = HandBuiltSettings(true, kBack, kFront, kLoading);
    GameSettings g;
    ASSERT_TRUE(ReadSettings(s, g));
    EXPECT_EQ(s.Remaining(), 0u);
    ExpectNonDefaultFields(g);
    EXPECT_TRUE(g.ShowProgressBar);
    EXPECT_EQ(g.ProgressBackImage, kBack);
    EXPECT_EQ(g.ProgressFrontImage, kFront);
    EXPECT_EQ(g.LoadingImage, kLoading);
}

TEST(Settings, WithoutProgressBarTheBarImagesAreAbsent) {
    CStream s = HandBuiltSettings(false, kBack, kFront, kLoading);
    GameSettings g;
    ASSERT_TRUE(ReadSettings(s, g));
    EXPECT_EQ(s.Remaining(), 0u);
    ExpectNonDefaultFields(g);
    EXPECT_FALSE(g.ShowProgressBar);
    EXPECT_FALSE(g.ProgressBackImage);
    EXPECT_FALSE(g.ProgressFrontImage);
    EXPECT_EQ(g.LoadingImage, kLoading);  // the field after the flag
}

TEST(Settings, WriteIsTheInverseOfRead) {
    for (bool bar : {true, false}) {
        CStream hand = HandBuiltSettings(bar, kBack, kFront, kLoading, 1);
        GameSettings g;
        ASSERT_TRUE(ReadSettings(hand, g));
        g.ChangeResolution = true;  // as stored
        CStream out;
        WriteSettings(out, g);
        EXPECT_EQ(out.data, hand.data) << bar;
        out.pos = 0;
        GameSettings back;
        ASSERT_TRUE(ReadSettings(out, back));
        g.ChangeResolution = false;
        EXPECT_EQ(back, g);
    }
}

TEST(Settings, DefaultsWrongVersionAndTruncation) {
    GameSettings d;
    EXPECT_TRUE(d.ShowCursor);
    EXPECT_EQ(d.Scale, 100);
    EXPECT_EQ(d.WindowColor, 0xFFFFFF);
    EXPECT_TRUE(d.KeyF4 && d.KeyF1 && d.KeyEsc && d.KeyF5F6 && d.KeyF9 && d.CloseAsEsc);
    EXPECT_TRUE(d.ShowProgressBar && d.ScaleProgressBar && d.DisplayErrors);
    EXPECT_EQ(d.LoadingImageAlpha, 255);

    CStream wrong;
    WriteInteger(wrong, 701);
    WriteInteger(wrong, 1);
    wrong.pos = 0;
    GameSettings g;
    g.Scale = 5;
    g.ConstantNames = {"A"};
    EXPECT_FALSE(ReadSettings(wrong, g));
    EXPECT_EQ(g, GameSettings());

    CStream full = HandBuiltSettings(true, kBack, kFront, kLoading);
    for (size_t cut = 0; cut < full.Size(); cut += 3) {
        CStream s(std::vector<uint8_t>(full.data.begin(), full.data.begin() + long(cut)));
        EXPECT_THROW(ReadSettings(s, g), StreamError) << cut;
    }
}

TEST(Settings, ScaleFactor) {
    struct Case {
        int32_t scale;
        double factor;
    } cases[] = {{100, 1.0}, {0, 0.0}, {-1, -0.01}, {250, 2.5}};
    for (auto c : cases) {
        GameSettings g;
        g.Scale = c.scale;
        EXPECT_DOUBLE_EQ(ScaleFactor(g), c.factor) << c.scale;
    }
}

class ProjectRoomsSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("tb_settings_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_F(ProjectRoomsSettings, RoundTripWithAndWithoutImages) {
    CStream s = HandBuiltSettings(true, kBack, kFront, kLoading);
    GameSettings g;
    ASSERT_TRUE(ReadSettings(s, g));
    g.ChangeResolution = true;
    pack::SaveSettings(g, dir / "settings");
    EXPECT_TRUE(std::filesystem::exists(dir / "settings_loading.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "settings_progress_front.png"));
    GameSettings back;
    pack::LoadSettings(dir / "settings", back);
    EXPECT_EQ(back, g);

    GameSettings plain;
    pack::SaveSettings(plain, dir / "plain");
    EXPECT_FALSE(std::filesystem::exists(dir / "plain_loading.png"));
    back.Scale = 7;
    pack::LoadSettings(dir / "plain", back);
    EXPECT_EQ(back, plain);
}

TEST_F(ProjectRoomsSettings, MalformedFiles) {
    GameSettings g;
    EXPECT_THROW(pack::LoadSettings(dir / "none", g), pack::ProjectError);
    for (const char* json :
         {"{\"Scale\": 1.5}", "{\"Constants\": {\"a\": 1}}", "{\"Constants\": [{\"name\": 3}]}",
          "{\"LoadingImage\": \"missing.png\"}", "{\"KeyF1\": null}", "nope"}) {
        std::ofstream(dir / "bad.json") << json;
        EXPECT_THROW(pack::LoadSettings(dir / "bad", g), pack::ProjectError) << json;
    }
}

}  // namespace
}  // namespace tb
