// The compile stages of the prepare sequence, run by the runner binary in headless mode.
#include <gtest/gtest.h>

#include "harness.h"
#include "runner/messages.h"

namespace tb {
namespace {

test::ProcessResult RunHeadless(const Game& g) {
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    return test::RunTamberlo({"--headless", "--steps", "1", (dir.path / "g.bin").string()},
                             dir.path);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Prepare, AGameWhoseCodeCompilesPreparesAndEnds) {
    Game g = test::RichGame();
    test::ProcessResult r = RunHeadless(g);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST(Prepare, CompileFailuresReportAndEndTheStart) {
    struct Case {
        const char* name;
        void (*breakit)(Game&);
        std::vector<std::string> err_parts;  // in this order
        std::string failure;
    } cases[] = {
        {"script",
         [](Game& g) { g.scripts.Get(0)->SetScriptText("a = 1;\r\nb = ;"); },
         {"COMPILATION ERROR in Script: scr_next", "Error in code at line 2:", "   b = ;",
          "at position 6: Unexpected symbol in expression."},
         msg::kCompileScripts},
        {"object code action",
         [](Game& g) {
             g.objects.Get(1)->GetOrCreateEvent(4, 0)->actions[0].ArgumentTexts[0] = "x = (1;";
         },
         {"FATAL ERROR in", "action number 1", "of Collision Event with object obj_parent",
          "for object obj_player:", "COMPILATION ERROR in code action", "Symbol ) expected."},
         msg::kCompileObjects},
        {"object action argument",
         [](Game& g) { g.objects.Get(1)->GetEvent(3, 0)->actions[0].ArgumentTexts[0] = "1 / 0"; },
         {"FATAL ERROR in", "of  Step Event", "COMPILATION ERROR in argument 0", "Division by 0."},
         msg::kCompileObjects},
        {"time line action",
         [](Game& g) {
             g.timelines.Get(0)->GetMomentEvent(1)->actions[0].ArgumentTexts[0] = "x = 'a' - 1;";
         },
         {"FATAL ERROR in", "at time step 30",
          "of time line tl_intro:", "Wrong type of arguments to -."},
         msg::kCompileTimeLines},
    };
    for (const Case& c : cases) {
        Game g = test::RichGame();
        c.breakit(g);
        test::ProcessResult r = RunHeadless(g);
        EXPECT_EQ(r.exit_code, 1) << c.name;
        size_t at = 0;
        for (const std::string& part : c.err_parts) {
            size_t found = r.err.find(part, at);
            EXPECT_NE(found, std::string::npos) << c.name << ": " << part << "\n" << r.err;
            if (found != std::string::npos) at = found;
        }
        EXPECT_TRUE(Contains(r.err, c.failure + "\n")) << c.name << "\n" << r.err;
    }
}

TEST(Prepare, UserConstantsAreCheckedInOrder) {
    struct Case {
        std::vector<std::string> names, values;
        std::string message;  // "" when the constants are fine
    } cases[] = {
        {{" x ", "y"}, {"2", "x + 1"}, ""},
        {{"1x"}, {"1"}, "Constant name 1x  is not valid.\n"},
        {{"a", "b"}, {"b + 1", "2"}, "Value for constant a  is not valid.\n"},
        {{"bad"}, {"1 +"}, "Value for constant bad  is not valid.\n"},
    };
    for (const Case& c : cases) {
        Game g = test::MinimalGame();
        g.settings.ConstantNames = c.names;
        g.settings.ConstantValues = c.values;
        test::ProcessResult r = RunHeadless(g);
        if (c.message.empty()) {
            EXPECT_EQ(r.exit_code, 0) << r.err;
            continue;
        }
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.message + msg::kConstants + "\n");
    }
}

}  // namespace
}  // namespace tb
