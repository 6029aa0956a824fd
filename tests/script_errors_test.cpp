// Composing script error messages, their event context, and the error display with its log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"

namespace tb {
namespace {

TEST(ErrorsCompose, LinesAndPositions) {
    struct Case {
        const char* source;
        bool expression;
        int32_t position;
        const char* message;
    };
    const Case cases[] = {
        {"a = 1\r\nb = c;", false, 12,
         "Error in code at line 2:\r   b = c;\r\rat position 6: oops"},  // the LF counts
        {"x = 1;", false, 1, "Error in code at line 1:\r   x = 1;\r\rat position 1: oops"},
        {"x = 1;", false, 0, "Error in code at line 1:\r   x = 1;\r\rat position 1: oops"},
        {"x = 1;", false, 99, "Error in code at line 1:\r   x = 1;\r\rat position 6: oops"},
        {"", false, 5, "Error in code at line 1:\r   \r\rat position 1: oops"},
        {"a\rb\rccc\rd", false, 7, "Error in code at line 3:\r   ccc\r\rat position 3: oops"},
        {"a\r\n\nbc\nd\re", false, 6, "Error in code at line 2:\r   bcd\r\rat position 4: oops"},
        {"1 +", true, 4, "Error in expression:1 +\r position 3: oops"},
        {"a\rb + ", true, 4, "Error in expression:a\rb + \r position 2: oops"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComposeCodeMessage(c.source, c.expression, c.position, "oops"), c.message)
            << c.source << " @" << c.position;
}

TEST(ErrorsCompose, EngineKeepsOnlyTheFirstPendingError) {
    ScriptEngine e;
    CCode program("a = 1\r\nb = c;", false);
    CCode expression("1 + x", true);
    e.ReportError(program, 12, "first");
    e.ReportError(program, 1, "second");
    e.ReportPending("third");
    EXPECT_TRUE(e.errors.pending);
    EXPECT_EQ(e.errors.pending_message,
              "Error in code at line 2:\r   b = c;\r\rat position 6: first");
    e.ClearPending();
    e.ReportError(expression, 5, "bad");
    EXPECT_EQ(e.errors.pending_message, "Error in expression:1 + x\r position 5: bad");
    e.ClearPending();
    e.ReportPending("In script s:\rcomposed");
    e.ReportError(expression, 1, "later");
    EXPECT_EQ(e.errors.pending_message, "In script s:\rcomposed");
    EXPECT_FALSE(e.errors.error_occurred);  // pending errors are not shown by themselves
}

TEST(ErrorsContext, ObjectAndTimeLineTexts) {
    Game game;
    game.objects.Add(std::make_unique<CObject>(), "obj_wall");
    game.objects.Add(std::make_unique<CObject>(), "obj_player");
    game.timelines.Add(nullptr, "");
    game.timelines.Add(std::make_unique<CTimeLine>(), "tl_intro");
    ScriptEngine e;
    e.game = &game;
    struct Case {
        EventContext event;
        bool fatal;
        const char* text;
    };
    const Case cases[] = {
        {{1, 3, 0, 0},
         false,
         "ERROR in\r\naction number 1\r\nof  Step Event\r\nfor object obj_player:\r\n\r\nmsg"},
        {{1, 3, 0, 4},
         true,
         "FATAL ERROR in\r\naction number 5\r\nof  Step Event\r\nfor object obj_player:\r\n\r\n"
         "msg"},
        {{0, 4, 1, 2},
         false,
         "ERROR in\r\naction number 3\r\nof Collision Event with object obj_player\r\n"
         "for object obj_wall:\r\n\r\nmsg"},
        {{7, 0, 0, 0},
         false,
         "ERROR in\r\naction number 1\r\nof Create Event\r\nfor object <undefined>:\r\n\r\nmsg"},
        {{-1, 3, 2, 0},
         false,
         "ERROR in\r\naction number 1\r\nof End Step Event\r\nfor object <undefined>:\r\n\r\nmsg"},
        {{1, kTimeLineEventType, 30, 1},
         false,
         "ERROR in\r\naction number 2\r\nat time step 30\r\nof time line tl_intro:\r\n\r\nmsg"},
        {{0, kTimeLineEventType, 5, 0},
         true,
         "FATAL ERROR in\r\naction number 1\r\nat time step 5\r\nof time line <undefined>:\r\n"
         "\r\nmsg"},
    };
    for (const Case& c : cases) {
        e.event = c.event;
        EXPECT_EQ(WithEventContext(e, "msg", c.fatal), c.text);
    }
    e.game = nullptr;
    e.event = {0, 3, 0, 0};
    EXPECT_EQ(
        WithEventContext(e, "msg", false),
        "ERROR in\r\naction number 1\r\nof  Step Event\r\nfor object <undefined>:\r\n\r\nmsg");
}

// Records the error window's calls and answers with a fixed choice.
struct ErrorHost {
    struct Shown {
        std::string text;
        bool fatal;
    };
    std::vector<Shown> shown;
    int cleared = 0;
    int aborts = 0;
    ErrorChoice answer = ErrorChoice::kIgnore;
    void Attach(ScriptEngine& e) {
        e.host.show_error = [this](std::string_view t, bool fatal) {
            shown.push_back({std::string(t), fatal});
            return answer;
        };
        e.host.clear_input = [this] { ++cleared; };
        e.host.request_abort = [this] { ++aborts; };
    }
};

TEST(ErrorsShow, SettingsAndChoices) {
    struct Case {
        bool display, abort_on_error, fatal;
        ErrorChoice answer;
        bool shown, shown_fatal, aborted;
    };
    const auto I = ErrorChoice::kIgnore, A = ErrorChoice::kAbort;
    const Case cases[] = {
        {true, false, false, I, true, false, false},    // Ignore continues
        {true, false, false, A, true, false, true},     // Abort (or closing) ends the game
        {true, false, true, I, true, true, true},       // fatal: no choice
        {true, true, false, I, true, true, true},       // abort on all: shown as fatal
        {false, false, false, A, false, false, false},  // only recorded
        {false, false, true, I, false, false, true},
        {false, true, false, I, false, false, true},  // abort on all without display
    };
    for (const Case& c : cases) {
        ScriptEngine e;
        ErrorHost host;
        host.answer = c.answer;
        host.Attach(e);
        e.settings.display_errors = c.display;
        e.settings.abort_on_error = c.abort_on_error;
        ShowError(e, "text\r2", c.fatal);
        SCOPED_TRACE(testing::Message()
                     << c.display << c.abort_on_error << c.fatal << (c.answer == I));
        ASSERT_EQ(host.shown.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            EXPECT_EQ(host.shown[0].text, "text\r2");
            EXPECT_EQ(host.shown[0].fatal, c.shown_fatal);
        }
        EXPECT_EQ(host.cleared, 1);
        EXPECT_EQ(host.aborts, c.aborted ? 1 : 0);
        EXPECT_EQ(e.errors.aborting, c.aborted);
        EXPECT_TRUE(e.errors.error_occurred);
        EXPECT_EQ(e.errors.last_error, "text\r2");
    }
}

TEST(ErrorsShow, AfterAbortingErrorsAreDropped) {
    ScriptEngine e;
    ErrorHost host;
    host.Attach(e);
    ShowError(e, "fatal one", true);
    ASSERT_TRUE(e.errors.aborting);
    e.errors.error_occurred = false;
    ShowRuntimeError(e, "later", false);
    ShowError(e, "later", true);
    EXPECT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.cleared, 1);
    EXPECT_EQ(host.aborts, 1);
    EXPECT_EQ(e.errors.last_error, "fatal one");
    EXPECT_FALSE(e.errors.error_occurred);
}

TEST(ErrorsShow, RuntimeErrorCarriesTheContext) {
    Game game;
    game.objects.Add(std::make_unique<CObject>(), "obj_player");
    ScriptEngine e;
    e.game = &game;
    e.event = {0, 3, 0, 0};
    ErrorHost host;
    host.Attach(e);
    ShowRuntimeError(e, "In script scr_move:\rbad", false);
    ASSERT_EQ(host.shown.size(), 1u);
    const std::string text =
        "ERROR in\r\naction number 1\r\nof  Step Event\r\nfor object obj_player:\r\n\r\n"
        "In script scr_move:\rbad";
    EXPECT_EQ(host.shown[0].text, text);
    EXPECT_FALSE(host.shown[0].fatal);
    EXPECT_EQ(e.errors.last_error, text);
    host.answer = ErrorChoice::kAbort;
    ShowRuntimeError(e, "x", true);
    EXPECT_TRUE(host.shown[1].text.starts_with("FATAL ERROR in\r\n"));
    EXPECT_TRUE(e.errors.aborting);
}

TEST(ErrorsShow, NoHostMeansIgnore) {
    ScriptEngine e;
    ShowError(e, "quiet", false);
    EXPECT_FALSE(e.errors.aborting);
    EXPECT_EQ(e.errors.last_error, "quiet");
}

// Runs in a scratch working directory, since the log goes to the current directory.
class ErrorsLog : public testing::Test {
  protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("tb_errors_log_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    static std::string Log() {
        std::ifstream in("game_errors.log", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    std::filesystem::path old_, dir_;
};

TEST_F(ErrorsLog, FirstWriteReplacesLaterOnesAppend) {
    std::ofstream("game_errors.log", std::ios::binary) << "old run";
    ScriptEngine e;
    e.settings.display_errors = false;
    e.settings.write_errors = true;
    ShowError(e, "one\rline", false);
    EXPECT_EQ(Log(), "one\rline\r\n\r\n\r\n");
    ShowError(e, "two", false);
    EXPECT_EQ(Log(), "one\rline\r\n\r\n\r\ntwo\r\n\r\n\r\n");
    e.settings.write_errors = false;
    ShowError(e, "three", false);
    EXPECT_EQ(Log(), "one\rline\r\n\r\n\r\ntwo\r\n\r\n\r\n");
    EXPECT_EQ(e.errors.last_error, "three");
}

TEST_F(ErrorsLog, WithoutWriteErrorsNoFileAndFailuresAreSwallowed) {
    ScriptEngine e;
    e.settings.display_errors = false;
    ShowError(e, "x", false);
    EXPECT_FALSE(std::filesystem::exists("game_errors.log"));
    std::filesystem::create_directory("game_errors.log");  // cannot be opened as a file
    e.settings.write_errors = true;
    ShowError(e, "y", false);
    EXPECT_FALSE(e.errors.log_started);
    EXPECT_EQ(e.errors.last_error, "y");
    EXPECT_TRUE(std::filesystem::is_directory("game_errors.log"));
}

}  // namespace
}  // namespace tb
