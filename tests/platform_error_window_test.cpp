#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/dialog_host.h"
#include "platform/error_window.h"

namespace tb {
namespace {

using Lines = std::vector<std::string>;
const std::string kSep(kErrorSeparator);

TEST(ErrorWindowText, SeparatorIs43Underscores) {
    EXPECT_EQ(kErrorSeparator.size(), 43u);
    EXPECT_EQ(kErrorSeparator.find_first_not_of('_'), std::string_view::npos);
}

TEST(ErrorWindowText, SplitsAtCrAndDropsLf) {
    struct Case {
        std::string text;
        Lines lines;
    } cases[] = {
        {"", {""}},
        {"one", {"one"}},
        {"a\rb", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\nb", {"ab"}},            // LF alone never breaks a line
        {"a\r\r\nb", {"a", "", "b"}},  // an empty line between two CRs stays
        {"end\r\n", {"end", ""}},
        {"\r", {"", ""}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitErrorLines(c.text), c.lines) << c.text;
}

// A run-time error as the event context composes it (CR LF line ends, an empty line).
const char* kRuntimeError =
    "ERROR in\r\naction number 1\r\nof  Step Event\r\nfor object obj_player:\r\n\r\n"
    "In script scr_move:\rError in code at line 3:\r   x = y + \"a\";\r\r"
    "at position 10: Wrong type of arguments to +.";

TEST(ErrorWindowMemo, AccumulatesErrorsWithSeparators) {
    ErrorMemo memo;
    memo.AddError(kRuntimeError);
    memo.AddError(
        "COMPILATION ERROR in string to be executed\rError in expression:1+\r"
        " position 3: Unexpected end of code reached.");
    Lines expected = {"",
                      kSep,
                      "ERROR in",
                      "action number 1",
                      "of  Step Event",
                      "for object obj_player:",
                      "",
                      "In script scr_move:",
                      "Error in code at line 3:",
                      "   x = y + \"a\";",
                      "",
                      "at position 10: Wrong type of arguments to +.",
                      "",
                      kSep,
                      "COMPILATION ERROR in string to be executed",
                      "Error in expression:1+",
                      " position 3: Unexpected end of code reached."};
    EXPECT_EQ(memo.Lines(), expected);
    EXPECT_TRUE(memo.Text().starts_with("\n" + kSep + "\nERROR in\naction number 1\n"));
    EXPECT_EQ(memo.Text().find('\r'), std::string::npos);
    EXPECT_NE(memo.Text().back(), '\n');
}

TEST(ErrorWindowMemo, ClearEmptiesAndLaterErrorsStartAfresh) {
    ErrorMemo memo;
    memo.AddError("first");
    memo.Clear();
    EXPECT_TRUE(memo.Lines().empty());
    EXPECT_EQ(memo.Text(), "");
    memo.AddError("second");
    EXPECT_EQ(memo.Lines(), (Lines{"", kSep, "second"}));
    EXPECT_EQ(memo.Text(), "\n" + kSep + "\nsecond");
}

TEST(ErrorWindowForm, IgnoreOnlyWhenNotFatal) {
    ErrorForm form;
    form.Open("oops", false);
    EXPECT_TRUE(form.ButtonVisible(ErrorButton::kIgnore));
    EXPECT_EQ(form.Press(ErrorButton::kIgnore), ErrorChoice::kIgnore);
    EXPECT_EQ(form.Press(ErrorButton::kAbort), ErrorChoice::kAbort);

    form.Open("fatal one", true);
    EXPECT_FALSE(form.ButtonVisible(ErrorButton::kIgnore));
    EXPECT_TRUE(form.ButtonVisible(ErrorButton::kAbort));
    EXPECT_EQ(form.Press(ErrorButton::kIgnore), std::nullopt);  // hidden: no effect
    EXPECT_EQ(form.Press(ErrorButton::kAbort), ErrorChoice::kAbort);
    EXPECT_EQ(ErrorForm::kCloseResult, ErrorChoice::kAbort);

    form.Open("again", false);  // the next non-fatal error offers Ignore again
    EXPECT_TRUE(form.ButtonVisible(ErrorButton::kIgnore));
}

TEST(ErrorWindowForm, CopyAndClearKeepTheFormOpen) {
    ErrorForm form;
    std::vector<std::string> copied;
    form.copy_to_clipboard = [&](const std::string& t) { copied.push_back(t); };
    form.Open("a\r\nb", false);
    form.Open("c", false);
    EXPECT_EQ(form.Press(ErrorButton::kCopy), std::nullopt);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0], "\n" + kSep + "\na\nb\n\n" + kSep + "\nc");
    EXPECT_EQ(form.memo.Lines().size(), 7u);  // copying leaves the text alone

    EXPECT_EQ(form.Press(ErrorButton::kClear), std::nullopt);
    EXPECT_TRUE(form.memo.Lines().empty());
    form.Open("d", true);
    EXPECT_EQ(form.memo.Lines(), (Lines{"", kSep, "d"}));
}

TEST(ErrorWindowForm, EachOpenScrollsToTheEndOnce) {
    ErrorForm form;
    EXPECT_FALSE(form.TakeScrollToEnd());
    form.Open("x", false);
    EXPECT_TRUE(form.TakeScrollToEnd());
    EXPECT_FALSE(form.TakeScrollToEnd());
}

TEST(ErrorWindowLayout, ButtonsMatchTheForm) {
    // Every button inside the client area, none overlapping another or the memo.
    for (const ErrorButtonSpec& a : kErrorButtons) {
        EXPECT_LE(a.x + a.w, kErrorFormWidth) << a.caption;
        EXPECT_LE(a.y + a.h, kErrorFormHeight) << a.caption;
        EXPECT_GE(a.y, kErrorMemoY + kErrorMemoH) << a.caption;
        for (const ErrorButtonSpec& b : kErrorButtons) {
            if (&a != &b) {
                EXPECT_TRUE(a.x + a.w <= b.x || b.x + b.w <= a.x) << a.caption;
            }
        }
    }
    const char* shortcuts = "aicl";
    for (size_t i = 0; i < std::size(kErrorButtons); ++i)
        EXPECT_EQ(ParseShortcutCaption(kErrorButtons[i].caption).shortcut, shortcuts[i]);
}

std::string RunHeadless(const char* text, bool fatal, ErrorChoice& choice) {
    std::FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    if (!f) return {};
    choice = MakeHeadlessErrorWindow(f)(text, fatal);
    std::rewind(f);
    std::string out;
    for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
    std::fclose(f);
    return out;
}

TEST(ErrorWindowHeadless, WritesOneLinePerCrLineAndIgnores) {
    ErrorChoice choice = ErrorChoice::kAbort;
    EXPECT_EQ(RunHeadless(kRuntimeError, false, choice),
              "ERROR in\naction number 1\nof  Step Event\nfor object obj_player:\n\n"
              "In script scr_move:\nError in code at line 3:\n   x = y + \"a\";\n\n"
              "at position 10: Wrong type of arguments to +.\n");
    EXPECT_EQ(choice, ErrorChoice::kIgnore);

    choice = ErrorChoice::kAbort;
    EXPECT_EQ(RunHeadless("FATAL ERROR in\r\nx", true, choice), "FATAL ERROR in\nx\n");
    EXPECT_EQ(choice, ErrorChoice::kIgnore);  // the engine, not the window, ends the game
}

TEST(ErrorWindowHeadless, FitsTheScriptHost) {
    ScriptHost host;
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    host.show_error = MakeHeadlessErrorWindow(f);
    EXPECT_EQ(host.show_error("x", false), ErrorChoice::kIgnore);
    std::fclose(f);
}

TEST(ErrorWindowDialog, ShortcutCaptions) {
    struct Case {
        const char* caption;
        const char* text;
        char shortcut;
    } cases[] = {
        {"&Abort", "Abort", 'a'}, {"C&lear", "Clear", 'l'}, {"OK", "OK", 0},
        {"&Retry", "Retry", 'r'}, {"a&&b", "a&b", 0},       {"&x&Y", "xY", 'y'},  // last counts
        {"end&", "end&", 0},
    };
    for (const Case& c : cases) {
        ShortcutCaption p = ParseShortcutCaption(c.caption);
        EXPECT_EQ(p.text, c.text) << c.caption;
        EXPECT_EQ(p.shortcut, c.shortcut) << c.caption;
    }
}

TEST(ErrorWindowDialog, DisplayTextIsUtf8) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"plain", "plain"},
        {"caf\xE9", "caf\xC3\xA9"},                        // Windows-1252 e acute
        {"\x80 \x85", "\xE2\x82\xAC \xE2\x80\xA6"},        // euro sign, ellipsis
        {"\x81", "\xC2\x81"},                              // a hole of the code page
        {"caf\xC3\xA9", "caf\xC3\xA9"},                    // already UTF-8
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},              // truncated sequence: bytes
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // surrogate: not UTF-8
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                  // overlong: not UTF-8
    };
    for (const Case& c : cases) EXPECT_EQ(ToDisplayUtf8(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace tb
