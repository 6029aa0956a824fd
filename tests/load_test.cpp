// The load sequence end to end: built game files through the runner's load path, and broken
// ones with the message each must give.
#include <gtest/gtest.h>

#include "harness.h"
#include "runner/game_file.h"
#include "runner/messages.h"

namespace tb {
namespace {

using pack::WriteGameFile;
using test::LoadBytes;
using test::LoadGame;
using test::MinimalGame;

// The stored file with its whole-file shift undone, so tests can patch it.
CStream Plain(const Game& g, const pack::WriteOptions& o = {}) {
    CStream s(WriteGameFile(g, o));
    UnshiftFile(s);
    return s;
}
std::vector<uint8_t> Stored(CStream plain) {
    ShiftFile(plain);
    return std::move(plain.data);
}

TEST(Load, MinimalGameLoadsWithItsHeader) {
    Game g = MinimalGame();
    g.debug = true;
    test::LoadOutcome r = LoadGame(g);
    ASSERT_EQ(r.failure, "");
    EXPECT_TRUE(r.game.debug);
    EXPECT_EQ(r.game.game_id, 424242);
    EXPECT_EQ(r.game.guid, g.guid);
    EXPECT_EQ(r.game.room_order, std::vector<int32_t>{0});
    EXPECT_EQ(r.game.rooms.Name(0), "room0");
    EXPECT_TRUE(r.messages.empty());
}

TEST(Load, ProgressStepsInOrder) {
    test::LoadOutcome r = LoadGame(MinimalGame());
    ASSERT_EQ(r.failure, "");
    std::vector<std::pair<int, std::string>> want = {
        {1, "Reading data"},         {0, "Loading extension packages"},
        {5, "Loading sounds"},       {10, "Loading sprites"},
        {23, "Loading backgrounds"}, {30, "Loading paths"},
        {32, "Loading scripts"},     {34, "Loading fonts"},
        {36, "Loading time lines"},  {38, "Loading objects"},
        {40, "Loading rooms"},       {43, "Loading included files"},
        {45, "Loading help"},        {47, "Loading library init code"},
        {49, "Loading room order"}};
    EXPECT_EQ(r.progress, want);
}

TEST(Load, ScramblingSeedsAndFillersDoNotMatter) {
    Game g = MinimalGame();
    for (int32_t seed : {0, 1, 249, 250, 27183, 1 << 30, -7}) {
        pack::WriteOptions o;
        o.seed = seed;
        o.filler_before = seed & 7;
        o.filler_after = (seed >> 3) & 3;
        EXPECT_EQ(LoadGame(g, o).failure, "") << seed;
    }
}

TEST(Load, ListVersionMismatchesFailWithResourceData) {
    struct Case {
        const char* name;
        int32_t pack::ListVersions::*field;
        int last_progress;
    } cases[] = {
        {"sounds", &pack::ListVersions::sounds, 5},
        {"sprites", &pack::ListVersions::sprites, 10},
        {"backgrounds", &pack::ListVersions::backgrounds, 23},
        {"paths", &pack::ListVersions::paths, 30},
        {"scripts", &pack::ListVersions::scripts, 32},
        {"fonts", &pack::ListVersions::fonts, 34},
        {"timelines", &pack::ListVersions::timelines, 36},
        {"objects", &pack::ListVersions::objects, 38},
        {"rooms", &pack::ListVersions::rooms, 40},
        {"included files", &pack::ListVersions::included_files, 43},
        {"game information", &pack::ListVersions::info, 45},
        {"library init", &pack::ListVersions::library_init, 47},
        {"room order", &pack::ListVersions::room_order, 49},
    };
    for (const Case& c : cases) {
        pack::WriteOptions o;
        o.versions.*c.field += 1;
        test::LoadOutcome r = LoadGame(MinimalGame(), o);
        EXPECT_EQ(r.failure, msg::kResourceData) << c.name;
        ASSERT_FALSE(r.progress.empty());
        EXPECT_EQ(r.progress.back().first, c.last_progress) << c.name;
        EXPECT_TRUE(r.messages.empty()) << c.name;
    }
}

TEST(Load, ExtensionListFailureShowsItsOwnMessageFirst) {
    pack::WriteOptions o;
    o.versions.extensions = 699;
    test::LoadOutcome r = LoadGame(MinimalGame(), o);
    EXPECT_EQ(r.failure, msg::kResourceData);
    EXPECT_EQ(r.failure_messages, std::vector<std::string>{msg::kExtensionLoad});
    EXPECT_TRUE(r.messages.empty());
}

TEST(Load, EmptyRoomOrderFailsAfterFortyNinePercent) {
    Game g = MinimalGame();
    g.room_order.clear();
    test::LoadOutcome r = LoadGame(g);
    EXPECT_EQ(r.failure, msg::kResourceData);
    EXPECT_EQ(r.progress.back(), (std::pair<int, std::string>{49, "Loading room order"}));
}

TEST(Load, BrokenHeadersAndContainers) {
    Game g = MinimalGame();
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    std::vector<Case> cases;
    cases.push_back({"zero length", {}, msg::kCorrupted});
    {
        CStream s = Plain(g);
        s.data[0] ^= 1;
        cases.push_back({"magic", Stored(s), msg::kNotGameFile});
    }
    {
        CStream s = Plain(g);
        s.data[4] = 0xBD;  // 701
        cases.push_back({"version", Stored(s), msg::kWrongVersion});
    }
    {
        CStream s = Plain(g);
        s.data[12] = 0xBF;  // settings version 703
        cases.push_back({"settings version", Stored(s), msg::kResourceData});
    }
    {
        CStream s = Plain(g);
        s.data.resize(30);  // inside the settings record
        cases.push_back({"truncated settings", Stored(s), msg::kCorrupted});
    }
    {
        CStream s = Plain(g);
        s.data.resize(s.data.size() - 3);  // the main block's zlib trailer is cut
        cases.push_back({"truncated main block", Stored(s), msg::kCorrupted});
    }
    {
        CStream s = Plain(g);
        s.data[s.data.size() - 20] ^= 0x55;  // corrupt deflate data of the main block
        cases.push_back({"corrupt main block", Stored(s), msg::kCorrupted});
    }
    for (Case& c : cases) EXPECT_EQ(LoadBytes(std::move(c.bytes)).failure, c.message) << c.name;
}

TEST(Load, HugeCountInsideTheMainBlockFailsOnMissingData) {
    // A sprite list claiming two billion slots: the load must fail on the data that is
    // missing instead of allocating for it.
    CStream block;
    WriteInteger(block, 0);
    WriteInteger(block, 0);
    WriteInteger(block, 77);  // seed
    size_t p = block.pos;
    WriteInteger(block, 0);
    WriteInteger(block, 1);
    block.WriteBytes(std::array<uint8_t, 16>{}.data(), 16);
    WriteInteger(block, kExtensionListVersion);
    WriteInteger(block, 0);
    WriteInteger(block, kSoundListVersion);
    WriteInteger(block, 0);
    WriteInteger(block, kSpriteListVersion);
    WriteInteger(block, 2000000000);
    WriteBoolean(block, true);
    ScrambleShifted(block, 77, int64_t(p) + 1, 0);

    CStream file;
    WriteInteger(file, kGameMagic);
    WriteInteger(file, kGameVersion);
    WriteBoolean(file, false);
    GameSettings settings;
    ResetSettings(settings);
    WriteSettings(file, settings);
    WriteString(file, "");
    uint8_t zero = 0;
    WriteCompressed(file, &zero, 1);
    WriteCompressed(file, block);
    ShiftFile(file);
    test::LoadOutcome r = LoadBytes(std::move(file.data));
    EXPECT_EQ(r.failure, msg::kCorrupted);
}

TEST(Load, InflateBudgetStopsNestedExpansion) {
    Game g = MinimalGame();
    CStream plain = Plain(g);
    LoadContext ctx;
    ctx.inflate_budget = 64;  // less than the main block needs
    Game out;
    EXPECT_EQ(LoadGameFile(Stored(plain), out, ctx), msg::kCorrupted);
}

TEST(Load, GraphicsLibraryFailureComesRightAfterReadingData) {
    std::vector<std::pair<int, std::string>> progress;
    LoadContext ctx;
    ctx.progress = [&](int p, std::string_view c) { progress.emplace_back(p, std::string(c)); };
    HeaderSteps steps;
    bool shown = false;
    steps.show_load_window = [&](const Game&) { shown = true; };
    steps.load_graphics_library = [] { return false; };
    Game out;
    EXPECT_EQ(LoadGameFile(WriteGameFile(MinimalGame()), out, ctx, steps), msg::kGraphicsLibrary);
    EXPECT_TRUE(shown);
    EXPECT_EQ(progress, (std::vector<std::pair<int, std::string>>{{1, "Reading data"}}));
}

TEST(Load, GameFileRoundTripsThroughTheWriter) {
    Game g = MinimalGame();
    g.library_init_code = {"a = 1", "", "b = 2"};
    g.last_instance_id = 100010;
    g.last_tile_id = 10000005;
    g.rooms.Add(nullptr, "");
    g.rooms.Add(std::make_unique<CRoom>(), "second");
    g.room_order = {2, 0};
    std::vector<uint8_t> first = WriteGameFile(g);
    test::LoadOutcome r = LoadBytes(first);
    ASSERT_EQ(r.failure, "");
    EXPECT_EQ(r.game.library_init_code, g.library_init_code);
    EXPECT_EQ(r.game.last_instance_id, 100010);
    EXPECT_EQ(r.game.last_tile_id, 10000005);
    EXPECT_EQ(r.game.rooms.Count(), 3);
    EXPECT_FALSE(r.game.rooms.Exists(1));
    EXPECT_EQ(r.game.rooms.Name(1), "<undefined>");
    EXPECT_EQ(WriteGameFile(r.game), first);
}

}  // namespace
}  // namespace tb
