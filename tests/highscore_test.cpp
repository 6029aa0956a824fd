// The highscore table: the stored encoding against hand-worked strings, insertion, and the
// functions over a store.
#include <gtest/gtest.h>

#include <map>

#include "dialogs/dialogs.h"
#include "script_harness.h"
#include "system/system_state.h"

namespace tb {
namespace {

TEST(HighscoreEncoding, HandWorkedStrings) {
    const struct {
        ScoreEntry entry;
        int32_t game_id;
        const char* stored;
    } cases[] = {
        {{"", 0}, 0, "ABACADAEAFAGAHAIAJAKALAMANAOAPBA"},
        {{"Al", 500}, 7, "PMAKAKALAMANAOAPBABBBCBDBEBFBGBHFJIF"},
        {{"", 0}, 300, "CNCOCPDADBDCDDDEDFDGDHDIDJDKDLDM"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeScoreEntry(c.entry, c.game_id), c.stored);
        std::optional<ScoreEntry> back = DecodeScoreEntry(c.stored, c.game_id);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, c.entry);
    }
}

TEST(HighscoreEncoding, RoundTripsAndRefusesWhatIsNoEncoding) {
    for (int32_t score : {0, 1, 255, 256, 123456789, INT32_MAX, -1, -5000, INT32_MIN}) {
        ScoreEntry e{"N\xE9 \x01z", score};
        EXPECT_EQ(DecodeScoreEntry(EncodeScoreEntry(e, 4242), 4242), e) << score;
    }
    std::string s = EncodeScoreEntry({"Bob", 10}, 1);
    // Another game id decodes to other bytes.
    EXPECT_NE(DecodeScoreEntry(s, 2)->name, "Bob");
    EXPECT_FALSE(DecodeScoreEntry(s.substr(1), 1));                 // odd length
    EXPECT_FALSE(DecodeScoreEntry("ABAC", 1));                      // too short
    EXPECT_FALSE(DecodeScoreEntry(std::string(31, 'A') + "Z", 1));  // not A .. P
    EXPECT_TRUE(DecodeScoreEntry(EncodeScoreEntry({std::string(5000, 'x'), 3}, 9), 9));
}

struct MemoryStore {
    std::map<std::pair<int32_t, int>, std::string> values;
    ScoreStore store;
    MemoryStore() {
        store.read = [this](int32_t g, int r) -> std::optional<std::string> {
            auto it = values.find({g, r});
            if (it == values.end()) return std::nullopt;
            return it->second;
        };
        store.write = [this](int32_t g, int r, const std::string& v) { values[{g, r}] = v; };
    }
};

TEST(HighscoreTable, InsertionOrder) {
    MemoryStore m;
    ScoreTable t(m.store, 5, "<nobody>");
    EXPECT_EQ(t.Get(3), (ScoreEntry{"<nobody>", 0}));
    EXPECT_EQ(t.Insert({"first", 10}), 1);  // a fresh table takes any positive score at 1
    t.Clear();
    for (int s = 1000; s >= 100; s -= 100) t.Insert({"p" + std::to_string(s), s});
    EXPECT_EQ(t.Get(10).score, 100);
    // A score equal to an existing one goes below it; rank 10 falls out.
    EXPECT_EQ(t.Insert({"same", 400}), 8);
    EXPECT_EQ(t.Get(7).name, "p400");
    EXPECT_EQ(t.Get(8).name, "same");
    EXPECT_EQ(t.Get(10).name, "p200");
    // Equal to rank 10 does not enter; the table is unchanged.
    auto before = t.All();
    EXPECT_EQ(t.Insert({"late", 200}), 0);
    EXPECT_EQ(t.All(), before);
    // A value that is no encoding reads as nobody.
    m.values[{5, 2}] = "garbage";
    EXPECT_EQ(t.Get(2), (ScoreEntry{"<nobody>", 0}));
}

TEST(HighscoreTable, NameEntryKeys) {
    std::string name;
    for (char c : std::string("Jo\x01n")) EXPECT_FALSE(HighscoreKey(name, 0, c));
    EXPECT_EQ(name, "Jon");
    HighscoreKey(name, 8, 0);
    EXPECT_EQ(name, "Jo");
    EXPECT_TRUE(HighscoreKey(name, 13, 0));
    EXPECT_TRUE(HighscoreKey(name, 27, 0));
    std::string empty;
    HighscoreKey(empty, 8, 0);
    EXPECT_EQ(empty, "");
}

struct HighscoreFunctions : test::FunctionTest {
    MemoryStore m;
    std::vector<std::string> lines;
    DialogState& d = DialogsOf(w.engine);
    HighscoreFunctions() {
        d.scores = m.store;
        d.print = [this](const std::string& l) { lines.push_back(l); };
        w.game.game_id = 77;
    }
};

TEST_F(HighscoreFunctions, ShowAddAndRead) {
    Run("highscore_clear(); highscore_add('Ann', 50); highscore_add('Bo', 70)");
    EXPECT_TRUE(test::IsText(Eval("highscore_name(1)"), "Bo"));
    EXPECT_TRUE(test::IsReal(Eval("highscore_value(2)"), 50));
    EXPECT_TRUE(test::IsReal(Eval("highscore_value(11)"), 0));
    EXPECT_TRUE(test::IsText(Eval("highscore_name(0)"), "<nobody>"));
    // Headless the window closes at once with the name typed so far: empty.
    Run("highscore_show(60)");
    EXPECT_TRUE(test::IsText(Eval("highscore_name(2)"), ""));
    EXPECT_TRUE(test::IsReal(Eval("highscore_value(2)"), 60));
    EXPECT_EQ(lines.back(), "[message] Top Ten Players");
    // A replayed name.
    d.answers.push_back({0, {DialogKind::Highscore, 0, "Cy"}});
    Run("highscore_show_ext(65, -1, 0, c_red, c_black, 'Arial', 10)");
    EXPECT_TRUE(test::IsText(Eval("highscore_name(2)"), "Cy"));
    EXPECT_FALSE(d.highscore.border);
    EXPECT_EQ(d.highscore.font.name, "Arial");
    // Stored under the game id with the documented encoding.
    EXPECT_EQ((m.values[{77, 2}]), EncodeScoreEntry({"Cy", 65}, 77));
}

TEST_F(HighscoreFunctions, AddCurrentAsksOnlyWhenTheScoreEnters) {
    Run("highscore_clear(); for (i = 0; i < 10; i += 1) highscore_add('x', 100)");
    Run("highscore_add_current()");  // score 0 (no world): below rank 10's
    EXPECT_TRUE(lines.empty());
    Run("highscore_clear()");
    d.answers.push_back({0, {DialogKind::Input, 1, "Dee"}});
    Run("highscore_add_current()");  // 0 >= 0: asked, inserted nowhere (0 is not above 0)
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "[message] You reached a place in the highscore table.\\nPlease provide your name.");
}

TEST_F(HighscoreFunctions, FontStyleOutsideTheRangeKeepsTheStyle) {
    Run("highscore_set_font('Courier', 20, 2); highscore_set_font('Arial', 9, 5)");
    EXPECT_EQ(d.highscore.font.name, "Arial");
    EXPECT_EQ(d.highscore.font.size, 9);
    EXPECT_EQ(d.highscore.font.style, kFontItalic);
    Run("highscore_set_strings('Best', 'nobody', 'Esc!'); highscore_set_colors(1, 2, 3)");
    EXPECT_EQ(d.highscore.caption, "Best");
    EXPECT_EQ(d.highscore.window_color, 1);
    EXPECT_TRUE(test::IsText(Eval("highscore_name(99)"), "nobody"));
}

TEST(HighscoreStore, KeptInTheRegistryAcrossTwoRuns) {
    const int32_t id = 8675309;
    {
        test::ScriptWorld first;
        first.game.game_id = id;
        ASSERT_TRUE(first.Run("highscore_clear(); highscore_add('Ann', 42)").ok);
    }
    test::ScriptWorld second;
    second.game.game_id = id;
    EXPECT_TRUE(test::IsText(second.Eval("highscore_name(1)").result, "Ann"));
    EXPECT_TRUE(test::IsReal(second.Eval("highscore_value(1)").result, 42));
    EXPECT_EQ(second.engine.system->registry.ReadString("\\Software\\Plumwright\\Scores\\8675309",
                                                        "Rank1"),
              EncodeScoreEntry({"Ann", 42}, id));
    // Another game's table is another key.
    test::ScriptWorld other;
    other.game.game_id = id + 1;
    EXPECT_TRUE(test::IsText(other.Eval("highscore_name(1)").result, "<nobody>"));
}

}  // namespace
}  // namespace tb
