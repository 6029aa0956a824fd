// Text lines, word wrapping and metrics with a font of fixed, known advances.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/text.h"
#include "resources/font.h"

namespace tb {
namespace {

// Characters 32 .. 126, each 6 wide except 'W' (10); lines 12 high.
CFont FixedFont(int32_t first = 32, int32_t last = 126) {
    CFont f;
    f.FontName = "Fixed";
    f.First = first;
    f.Last = last;
    for (int c = first; c <= last; ++c) {
        f.glyph_advance[size_t(c)] = c == 'W' ? 10 : 6;
        f.glyph_w[size_t(c)] = 6;
        f.glyph_h[size_t(c)] = 12;
    }
    return f;
}

std::vector<std::string> Lines(std::string_view text, int32_t width = -1) {
    std::vector<std::string> lines;
    PrepareLines(FixedFont(), text, width, lines);
    return lines;
}

using L = std::vector<std::string>;

TEST(TextLines, BreaksAtHashesCarriageReturnsAndLineFeeds) {
    struct Case {
        const char* text;
        L lines;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"abc", {"abc"}},
        {"a#b", {"a", "b"}},
        {"a\\#b", {"a#b"}},
        {"\\\\#", {"\\#"}},
        {"a\\b", {"a\\b"}},
        {"a\r\nb", {"a", "", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        // A break at the very end adds no line; one before it still does.
        {"ab\n", {"ab"}},
        {"ab##", {"ab", ""}},
        {"#", {""}},
        {"#a", {"", "a"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Lines(c.text), c.lines) << c.text;
}

TEST(TextLines, WrapsWholeWordsAtSpacesAndHyphens) {
    struct Case {
        const char* text;
        int32_t width;
        L lines;
    };
    const std::string long_word(25, 'x');  // 150 pixels
    const std::vector<Case> cases = {
        // "aa " and "bb " are 18 each: together exactly 36 still fit.
        {"aa bb cc", 36, {"aa bb ", "cc"}},
        {"aa bb cc", 35, {"aa ", "bb cc"}},
        // A first word wider than the width stands alone; the rest goes on below.
        {"aaaaa b c", 30, {"aaaaa ", "b c"}},
        {"aa bb cc", -1, {"aa bb cc"}},
        {"aa bb cc", 0, {"aa ", "bb ", "cc"}},
        {"well-known fact", 36, {"well-", "known ", "fact"}},
        {"a#bb cc dd", 36, {"a", "bb cc ", "dd"}},
        {"a##b", 10, {"a", "", "b"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Lines(c.text, c.width), c.lines) << c.text;
    // A word wider than the width keeps whole on a line of its own.
    EXPECT_EQ(Lines("hi " + long_word + " yo", 100), (L{"hi ", long_word + " ", "yo"}));
}

TEST(TextMetrics, WidthsAndHeights) {
    const CFont f = FixedFont();
    EXPECT_EQ(LineWidth(f, "aWa"), 22);
    EXPECT_EQ(StringWidth(f, ""), 1);
    EXPECT_EQ(StringHeight(f, ""), 1);
    EXPECT_EQ(StringWidth(f, "a#bbb"), 18);
    EXPECT_EQ(StringWidth(f, "W#ii"), 12);
    EXPECT_EQ(StringHeight(f, "a"), 12);
    EXPECT_EQ(StringHeight(f, "a#b#c"), 36);
    EXPECT_EQ(StringHeight(f, "a#b#c", 20), 12 + 2 * 20);
    EXPECT_EQ(StringHeight(f, "a#b#c", -3), 36);
    EXPECT_EQ(StringHeight(f, "aa bb cc", -1, 35), 24);
    EXPECT_EQ(StringWidth(f, "aa bb cc", 35), 30);
    EXPECT_EQ(FontLineHeight(f), 12);
}

TEST(TextMetrics, CharactersOutsideTheFontAdvanceLikeTheSpaceOrTheFirst) {
    const CFont f = FixedFont();
    EXPECT_EQ(LineWidth(f, "\xC8\x01"), 12);  // 200 and 1: the space's 6 each
    CFont letters = FixedFont('A', 'Z');      // no space: the advance of 'A'
    letters.glyph_advance['A'] = 9;
    EXPECT_EQ(LineWidth(letters, "a b"), 27);
}

}  // namespace
}  // namespace tb
