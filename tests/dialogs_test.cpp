// The runner's dialogs through their answer path: headless answers, replayed answers and
// their recording, the message window's key rules, menus, integer answers and file filters.
#include "dialogs/dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"
#include "script_harness.h"
#include "world/replay.h"

namespace tb {
namespace {

using test::IsReal;
using test::IsText;

TEST(DialogText, HashesBecomeLineBreaks) {
    // In "\\#" the second backslash escapes the "#".
    const std::pair<const char*, const char*> cases[] = {
        {"one#two", "one\rtwo"}, {"a\\#b", "a#b"},   {"##", "\r\r"},
        {"\\\\#", "\\#"},        {"end\\", "end\\"}, {"", ""},
    };
    for (auto [in, out] : cases) EXPECT_EQ(ConvertHashes(in), out) << in;
}

TEST(DialogText, MessageKeysCloseWithTheirResult) {
    const std::array<std::string, 3> retry = {"&Retry", "", "&Cancel"};
    const std::array<std::string, 3> none = {"", "", ""};
    struct Case {
        const std::array<std::string, 3>* captions;
        bool edit;
        MessageKey key;
        int32_t result;
    } const cases[] = {
        {&retry, false, {27, 0, false}, 0},    // Esc
        {&retry, false, {13, 0, false}, 1},    // Enter
        {&retry, false, {32, ' ', false}, 1},  // Space
        {&retry, false, {0, 'r', false}, 1},   // shortcut, either case
        {&retry, false, {0, 'R', false}, 1},
        {&retry, false, {0, 'c', false}, 3},
        {&retry, false, {0, 'x', false}, -1},
        {&retry, false, {0, 'r', true}, 1},   // Ctrl+R
        {&retry, true, {0, 'r', false}, -1},  // typed into the edit box
        {&retry, true, {32, ' ', false}, -1},
        {&retry, true, {0, 'c', true}, 3},  // Ctrl+letter also with the edit box
        {&retry, true, {27, 0, false}, 0},
        {&none, false, {0, 'r', false}, -1},  // no buttons: only Esc, Enter and Space
        {&none, false, {32, ' ', false}, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageKeyResult(*c.captions, c.edit, c.key), c.result)
            << c.key.key << " '" << c.key.character << "' ctrl " << c.key.ctrl << " edit "
            << c.edit;
}

TEST(DialogText, AlphaRoundsHalvesToEvenAndClamps) {
    EXPECT_EQ(MessageAlpha(0.5), 128);
    EXPECT_EQ(MessageAlpha(2), 255);
    EXPECT_EQ(MessageAlpha(-1), 0);
    EXPECT_EQ(MessageAlpha(0.25), 64);
}

TEST(DialogText, LayoutFollowsTheTextAndTheSetSize) {
    MessageSettings s;
    MessageLayout l = LayoutMessage(s, 30, false, 0, 1000, 800);
    EXPECT_EQ(l.client_w, 348);
    EXPECT_EQ(l.label_w, 300);
    EXPECT_EQ(l.client_h, 30 + 25 + 48);
    EXPECT_EQ(l.button_top, l.client_h - 25 - 16);
    EXPECT_EQ(l.button_left[0], 24);
    EXPECT_EQ(l.button_left[1], (348 - 80) / 2);
    EXPECT_EQ(l.button_left[2], 348 - 80 - 24);
    EXPECT_EQ(l.window_x, (1000 - 348) / 2);
    MessageLayout input = LayoutMessage(s, 30, true, 20, 1000, 800);
    EXPECT_EQ(input.client_h, 30 + 25 + 48 + 20 + 16);
    EXPECT_EQ(input.edit_y, input.button_top - 20 - 16);
    s.w = 500;
    s.h = 200;
    s.x = 7;
    l = LayoutMessage(s, 30, false, 0, 1000, 800);
    EXPECT_EQ(l.client_w, 500);
    EXPECT_EQ(l.client_h, 200);
    EXPECT_EQ(l.window_x, 7);
    s.w = s.h = 0;  // automatic again
    EXPECT_EQ(LayoutMessage(s, 30, false, 0, 1000, 800).client_w, 348);
}

TEST(DialogText, FontChangesKeepWhatIsNotGiven) {
    MessageFont f;
    ChangeFont(f, "", -1, -1, 7);
    EXPECT_EQ(f.name, "Arial");
    EXPECT_EQ(f.size, 10);
    EXPECT_EQ(f.style, 0);
    ChangeFont(f, "Courier", 14, 255, 3);
    EXPECT_EQ(f.name, "Courier");
    EXPECT_EQ(f.size, 14);
    EXPECT_EQ(f.color, 255);
    EXPECT_EQ(f.style, kFontBold | kFontItalic);
}

TEST(DialogMenus, ItemsSeparatorsAndShortcuts) {
    std::vector<MenuItem> m = ParseMenu("A|-|B");
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].number, 0);
    EXPECT_TRUE(m[1].separator);
    EXPECT_EQ(m[1].number, -1);
    EXPECT_EQ(m[2].number, 1);
    EXPECT_TRUE(ParseMenu("").empty());
    m = ParseMenu("one||two|");  // an empty item between, no item after the last bar
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[1].caption, "");
    EXPECT_EQ(m[1].number, 1);
    EXPECT_EQ(m[2].number, 2);
    m = ParseMenu("Save|&Start|Stop");  // S is marked by Start; Save takes a, Stop t
    EXPECT_EQ(m[1].shortcut, 's');
    EXPECT_EQ(m[0].shortcut, 'a');
    EXPECT_EQ(m[2].shortcut, 't');
    EXPECT_EQ(MenuCaptionText("&Save && go"), "Save & go");
}

TEST(DialogMenus, IntegerAnswers) {
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"-7", -7},         {"12", 12},
        {"+3", 3},          {"12abc", {}},
        {"", {}},           {" 5", {}},
        {"$1F", 31},        {"-$10", -16},
        {"$FFFFFFFF", -1},  {"2147483647", INT32_MAX},
        {"2147483648", {}}, {"-2147483648", INT32_MIN},
        {"$", {}},          {"1.5", {}},
    };
    for (auto [text, v] : cases) EXPECT_EQ(ParseIntegerAnswer(text), v) << text;
}

TEST(DialogMenus, FileFiltersAndPatterns) {
    std::vector<FileFilter> f = ParseFileFilter("Text Files|*.txt;*.log|All Files|*.*");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].description, "Text Files");
    EXPECT_EQ(f[0].patterns, (std::vector<std::string>{"*.txt", "*.log"}));
    EXPECT_TRUE(MatchesPattern("README.TXT", "*.txt"));
    EXPECT_FALSE(MatchesPattern("a.txt.bak", "*.txt"));
    EXPECT_TRUE(MatchesPattern("noext", "*.*"));
    EXPECT_TRUE(MatchesPattern("level1.dat", "level?.dat"));
    EXPECT_FALSE(MatchesPattern("level10.dat", "level?.dat"));
}

TEST(DialogAnswers, LinesReadBackAsWritten) {
    const DialogAnswer answers[] = {
        {DialogKind::Message, 0, ""},
        {DialogKind::Message, 3, ""},
        {DialogKind::Input, 1, "two words"},
        {DialogKind::Input, 0, ""},
        {DialogKind::Input, 1, " edge\\blank \r\n"},
        {DialogKind::Menu, -1, ""},
        {DialogKind::Color, 65280, ""},
        {DialogKind::File, 0, "/tmp/a b.txt"},
        {DialogKind::File, 0, ""},
        {DialogKind::Highscore, 0, "Ann"},
    };
    for (const DialogAnswer& a : answers) {
        std::string line = FormatDialogAnswer(a);
        ASSERT_EQ(line.rfind("dialog ", 0), 0u);
        DialogAnswer back;
        std::string error;
        ASSERT_TRUE(ParseDialogAnswer(line.substr(7), back, error)) << line << ": " << error;
        EXPECT_EQ(back, a) << line;
    }
    EXPECT_EQ(FormatDialogAnswer({DialogKind::Input, 1, " x"}), "dialog input 1 \\x20x");
}

TEST(DialogAnswers, ReplayFilesCarryThemBesideTheEvents) {
    std::vector<ReplayEvent> events;
    std::vector<ReplayDialog> dialogs;
    std::string error;
    ASSERT_TRUE(
        ParseReplay("tamberlo-input 1\n1 1 0 down 65\n2 0 0 dialog input 1 hi there\n"
                    "3 0 0 dialog menu 2\n",
                    events, error, &dialogs))
        << error;
    ASSERT_EQ(events.size(), 1u);
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].step, 2);
    EXPECT_EQ(dialogs[0].answer, (DialogAnswer{DialogKind::Input, 1, "hi there"}));
    EXPECT_EQ(dialogs[1].answer.number, 2);
    const std::pair<const char*, const char*> bad[] = {
        {"1 0 0 dialog nod 1", "line 2: unknown dialog \"nod\""},
        {"1 0 0 dialog message 4", "line 2: expected the button 0 to 3, got \"4\""},
        {"1 0 0 dialog message 1 2", "line 2: \"dialog message\" takes only the button"},
        {"1 0 0 dialog input 1 a\\q", "line 2: a bad escape"},
        {"1 0 0 dialog color 16777216", "line 2: expected a colour or -1"},
    };
    for (auto [line, message] : bad) {
        EXPECT_FALSE(ParseReplay(std::string("tamberlo-input 1\n") + line, events, error, &dialogs))
            << line;
        EXPECT_EQ(error.rfind(message, 0), 0u) << error;
        EXPECT_TRUE(dialogs.empty());
    }
}

// Built-in functions answered headless (no frontend) or from replayed answers.
struct DialogFunctions : test::FunctionTest {
    std::vector<std::string> lines;
    DialogState& d = DialogsOf(w.engine);
    int cleared = 0;
    DialogFunctions() {
        d.print = [this](const std::string& l) { lines.push_back(l); };
        w.engine.host.clear_input = [this] { ++cleared; };
    }
    void Answer(DialogAnswer a) { d.answers.push_back({0, std::move(a)}); }
};

TEST_F(DialogFunctions, HeadlessAnswersAreEnterAtOnce) {
    Run("show_message('Hello#world \\# 1')");
    EXPECT_TRUE(IsReal(Eval("show_question('Again?')"), 1));
    EXPECT_TRUE(IsReal(Eval("show_message_ext('Pick', '', '', '')"), 1));
    EXPECT_TRUE(IsText(Eval("get_string('Name?', 'player')"), "player"));
    EXPECT_TRUE(IsReal(Eval("get_integer('How many?', 7.6)"), 8));
    EXPECT_TRUE(IsReal(Eval("show_menu('A|-|B', 42)"), 42));
    EXPECT_TRUE(IsText(Eval("show_menu_pos(10, 10, 'A|B', 'none')"), "none"));
    EXPECT_TRUE(IsReal(Eval("get_color(c_red)"), -1));
    EXPECT_TRUE(IsText(Eval("get_open_filename('Text|*.txt', 'a.txt')"), ""));
    EXPECT_TRUE(IsText(Eval("get_directory_alt('Where?', '')"), ""));
    EXPECT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "[message] Hello\\nworld # 1");
    EXPECT_EQ(lines[1], "[message] Again?");
    EXPECT_EQ(lines[5], "[message] A|-|B");
    EXPECT_EQ(cleared, 10);  // the input state is cleared after every dialog
}

TEST_F(DialogFunctions, ReplayedAnswersForEveryWayOfClosing) {
    struct Case {
        DialogAnswer answer;
        const char* code;
        RValue expected;
    } const cases[] = {
        {{DialogKind::Message, 0, ""}, "show_question('Quit?')", RValue::Real(0)},
        {{DialogKind::Message, 3, ""}, "show_question('Quit?')", RValue::Real(0)},
        {{DialogKind::Message, 1, ""}, "show_question('Quit?')", RValue::Real(1)},
        {{DialogKind::Message, 2, ""}, "show_message_ext('x', 'a', 'b', 'c')", RValue::Real(2)},
        {{DialogKind::Message, 0, ""}, "show_message_ext('x', 'a', 'b', 'c')", RValue::Real(0)},
        {{DialogKind::Input, 0, "typed"}, "get_string('x', 'def')", RValue::String("typed")},
        {{DialogKind::Input, 1, "12abc"}, "get_integer('x', 5)", RValue::Real(5)},
        {{DialogKind::Input, 1, "-7"}, "get_integer('x', 5)", RValue::Real(-7)},
        {{DialogKind::Menu, 1, ""}, "show_menu('A|-|B', -5)", RValue::Real(1)},
        {{DialogKind::Menu, -1, ""}, "show_menu('A|-|B', -5)", RValue::Real(-5)},
        {{DialogKind::Color, 255, ""}, "get_color(0)", RValue::Real(255)},
        {{DialogKind::File, 0, "/x/y.txt"},
         "get_save_filename('', '')",
         RValue::String("/x/y.txt")},
        {{DialogKind::File, 0, "/x"}, "get_directory('')", RValue::String("/x")},
    };
    for (const Case& c : cases) {
        Answer(c.answer);
        RValue v = Eval(c.code);
        EXPECT_EQ(v.IsString(), c.expected.IsString()) << c.code;
        if (v.IsString())
            EXPECT_EQ(v.text.view(), c.expected.text.view()) << c.code;
        else
            EXPECT_EQ(v.real, c.expected.real) << c.code;
    }
    EXPECT_EQ(d.next_answer, std::size(cases));
    // Answers written headless when nothing is shown: the replayed ones print the line too.
    EXPECT_EQ(lines.size(), std::size(cases));
}

TEST_F(DialogFunctions, AnswerOfAnotherKindIsNotTaken) {
    Answer({DialogKind::Menu, 2, ""});
    EXPECT_TRUE(IsReal(Eval("show_question('Sure?')"), 1));
    EXPECT_EQ(d.next_answer, 1u);
}

TEST_F(DialogFunctions, RecordedAnswersReplayTheSameResults) {
    test::ScratchDir dir;
    auto recorder = std::make_shared<ReplayRecorder>();
    std::string error;
    ASSERT_TRUE(recorder->Open(dir / "rec.txt", error));
    d.recorder = recorder;
    Answer({DialogKind::Input, 1, "a b\\c"});
    Answer({DialogKind::Message, 3, ""});
    Run("global.s = get_string('s', ''); global.q = show_question('q'); "
        "global.m = show_menu('x|y', 9)");
    recorder.reset();
    d.recorder.reset();
    std::vector<ReplayEvent> events;
    std::vector<ReplayDialog> again;
    ASSERT_TRUE(LoadReplay(dir / "rec.txt", events, error, &again)) << error;
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[0].answer, (DialogAnswer{DialogKind::Input, 1, "a b\\c"}));
    EXPECT_EQ(again[1].answer, (DialogAnswer{DialogKind::Message, 3, ""}));
    EXPECT_EQ(again[2].answer, (DialogAnswer{DialogKind::Menu, -1, ""}));
}

TEST_F(DialogFunctions, FileChoosersKeepTheWorkingDirectory) {
    test::ScratchDir dir;
    const auto before = std::filesystem::current_path();
    Answer({DialogKind::File, 0, dir.str()});
    EXPECT_TRUE(IsText(Eval("get_directory('')"), dir.str()));
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST_F(DialogFunctions, CustomisationChangesTheSettings) {
    Run("message_alpha(0.5); message_position(-1, 20); message_size(400, 0); "
        "message_caption(1, 'Hi'); message_text_font('Courier', 12, c_red, 1); "
        "message_mouse_color(c_blue); message_input_color(c_green)");
    const MessageSettings& m = d.message;
    EXPECT_EQ(m.alpha, 128);
    EXPECT_EQ(m.y, 20);
    EXPECT_EQ(m.w, 400);
    EXPECT_TRUE(m.caption_shown);
    EXPECT_EQ(m.caption, "Hi");
    EXPECT_EQ(m.text_font.name, "Courier");
    EXPECT_EQ(m.text_font.color, 255);
    EXPECT_EQ(m.text_font.style, kFontBold);
    EXPECT_EQ(m.mouse_color, 0xFF0000);
    Run("message_background(99); message_button(99)");
    EXPECT_EQ(errors, (std::vector<std::string>{"Trying to set a non-existing message background",
                                                "Trying to set a non-existing message button"}));
}

TEST_F(DialogFunctions, SplashFilesThatAreMissing) {
    Run("splash_show_image('no-such.png', 0); show_text('no-such.rtf', 0, 0, 0); "
        "show_video('no-such.avi', 0, 0)");
    EXPECT_EQ(errors, (std::vector<std::string>{"Image file not found.", "Text file not found.",
                                                "Video file not found (or name too long)."}));
    EXPECT_FALSE(d.splash.fullscreen);
    EXPECT_TRUE(d.splash.main);
    Run("splash_set_fullscreen(0.4); splash_set_scale(2); splash_set_size(320, 200)");
    EXPECT_FALSE(d.splash.fullscreen);  // 0.4 rounds to 0
    EXPECT_EQ(d.splash.scale, 2);
    EXPECT_EQ(d.splash.w, 320);
}

}  // namespace
}  // namespace tb
