#include "dialogs/game_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "pack/project_error.h"
#include "pack/project_rooms.h"

namespace tb {
namespace {

const std::string kRtf = "{\\rtf1\\ansi Press \\b F1\\b0 .\\par }";

CStream HandBuiltInfo(const std::string& text) {
    CStream s;
    WriteInteger(s, 600);
    WriteInteger(s, 0x00FFEE);  // InfoColor
    WriteBoolean(s, true);      // InGameWindow
    WriteString(s, "Help");
    WriteInteger(s, -1);     // InfoLeft
    WriteInteger(s, 20);     // InfoTop
    WriteInteger(s, 400);    // InfoWidth
    WriteInteger(s, 300);    // InfoHeight
    WriteBoolean(s, false);  // InfoBorder
    WriteBoolean(s, false);  // InfoSizeable
    WriteBoolean(s, true);   // InfoOnTop
    WriteBoolean(s, true);   // InfoFreeze
    WriteCompressed(s, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    s.pos = 0;
    return s;
}

TEST(GameInfo, HandBuiltRecord) {
    CStream s = HandBuiltInfo(kRtf);
    GameInfo g;
    ASSERT_TRUE(g.LoadFromStream(s));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(g.InfoColor, 0x00FFEE);
    EXPECT_TRUE(g.InGameWindow);
    EXPECT_EQ(g.InfoCaption, "Help");
    EXPECT_EQ(g.InfoLeft, -1);
    EXPECT_EQ(g.InfoTop, 20);
    EXPECT_EQ(g.InfoWidth, 400);
    EXPECT_EQ(g.InfoHeight, 300);
    EXPECT_FALSE(g.InfoBorder);
    EXPECT_FALSE(g.InfoSizeable);
    EXPECT_TRUE(g.InfoOnTop);
    EXPECT_TRUE(g.InfoFreeze);
    EXPECT_EQ(g.Text, kRtf);

    CStream out;
    g.WriteToStream(out);
    out.pos = 0;
    GameInfo back;
    ASSERT_TRUE(back.LoadFromStream(out));
    EXPECT_EQ(back, g);
}

TEST(GameInfo, EmptyTextWrongVersionAndTruncation) {
    CStream empty = HandBuiltInfo("");
    GameInfo g;
    ASSERT_TRUE(g.LoadFromStream(empty));
    EXPECT_EQ(g.Text, "");

    CStream wrong;
    WriteInteger(wrong, 601);
    wrong.pos = 0;
    EXPECT_FALSE(g.LoadFromStream(wrong));
    EXPECT_EQ(g, GameInfo());

    CStream full = HandBuiltInfo(kRtf);
    for (size_t cut = 0; cut < full.Size(); cut += 2) {
        CStream s(std::vector<uint8_t>(full.data.begin(), full.data.begin() + long(cut)));
        EXPECT_THROW(g.LoadFromStream(s), StreamError) << cut;
    }
}

TEST(ProjectRoomsGameInfo, RoundTripAndMalformedFiles) {
    auto dir = std::filesystem::temp_directory_path() / ("tb_info_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    CStream s = HandBuiltInfo(std::string("bytes\0\xff\r\n", 9));
    GameInfo g;
    ASSERT_TRUE(g.LoadFromStream(s));
    pack::SaveGameInfo(g, dir / "info");
    EXPECT_TRUE(std::filesystem::exists(dir / "info.rtf"));
    GameInfo back;
    pack::LoadGameInfo(dir / "info", back);
    EXPECT_EQ(back, g);

    std::filesystem::remove(dir / "info.rtf");
    EXPECT_THROW(pack::LoadGameInfo(dir / "info", back), pack::ProjectError);
    std::ofstream(dir / "bad.json") << "{\"InfoWidth\": true}";
    std::ofstream(dir / "bad.rtf") << "";
    EXPECT_THROW(pack::LoadGameInfo(dir / "bad", back), pack::ProjectError);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tb
