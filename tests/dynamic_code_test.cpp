// Running code given as text or read from a file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "harness.h"
#include "script/interpreter.h"
#include "script_harness.h"

namespace tb::test {
namespace {

class DynamicCodeTest : public testing::Test {
  protected:
    void SetUp() override {
        w.engine.host.show_error = [this](std::string_view t, bool) {
            errors.emplace_back(t);
            return ErrorChoice::kIgnore;
        };
    }
    // Runs a program that must itself succeed; its result.
    RValue Run(std::string_view code) {
        RunResult r = w.Run(code);
        EXPECT_TRUE(r.ok) << code << ": " << r.message;
        return r.result;
    }
    // Text after the event context ("...:" CR LF CR LF) of error `i`.
    std::string ErrorBody(size_t i) const {
        const std::string& e = errors.at(i);
        const size_t at = e.find(":\r\n\r\n");
        return at == std::string::npos ? e : e.substr(at + 5);
    }
    ScriptWorld w;
    std::vector<std::string> errors;
};

TEST_F(DynamicCodeTest, ResultsOfExecutedStrings) {
    struct Case {
        const char* code;
        double expected;
    };
    const Case cases[] = {
        {"x = execute_string('return argument0 + 1;', 5)", 6},
        {"x = execute_string('return argument1 * 10 + argument0', 2, 3)", 32},
        {"x = execute_string('a = 7')", 7},                   // the last assignment
        {"x = execute_string('a = 7; return 9; a = 1')", 9},  // return ends the run
        {"x = execute_string('')", 0},
        {"x = execute_string()", 0},
        {"x = execute_string('return argument1', 1)", 0},  // slots past the arguments are 0
        {"x = execute_string('return argument14', 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14)", 14},
        {"x = execute_string('return argument15', 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14)", 0},
        // the caller's instance variables are seen and written
        {"k = 4; execute_string('k += 1'); x = k", 5},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(IsReal(Run(std::string(c.code) + "; return x"), c.expected)) << c.code;
    }
    EXPECT_TRUE(IsText(Run("return execute_string('return \"s\" + argument0', 't')"), "st"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(DynamicCodeTest, CallersArgumentsAreRestored) {
    w.AddScript("scr_probe",
                "execute_string('argument0 = 99; argument3 = 5; return argument0', 1, 2);"
                "return argument0 * 10000 + argument1 * 100 + argument3");
    EXPECT_TRUE(IsReal(Run("return scr_probe(10, 20)"), 102000));
    // At the top level too, and after a run that fails.
    Run("argument0 = 'keep'; argument2 = 3");
    Run("execute_string('argument0 = 1; argument5 = 1; return q')");
    EXPECT_TRUE(IsText(w.engine.arguments.Get(0), "keep"));
    EXPECT_TRUE(IsReal(w.engine.arguments.Get(2), 3));
    EXPECT_TRUE(IsReal(w.engine.arguments.Get(5), 0));
    EXPECT_LE(w.engine.arguments.top(), 3u);
}

TEST_F(DynamicCodeTest, VarLocalsOfTheCallerAreNotSeen) {
    Run("var v; v = 3; execute_string('v = 8')");
    RValue out;
    EXPECT_TRUE(InstanceGet(w.engine, &w.self, w.engine.VariableIdOf("v"), 0, out));
    EXPECT_TRUE(IsReal(out, 8));  // the string wrote self's v, not the caller's local
}

TEST_F(DynamicCodeTest, CompileErrorsShowTheHeadingAndTheMessage) {
    EXPECT_TRUE(IsReal(Run("return execute_string('x = ')"), 0));
    ASSERT_EQ(errors.size(), 1u);
    const std::string body = ErrorBody(0);
    EXPECT_TRUE(
        body.starts_with("COMPILATION ERROR in string to be executed\rError in code at "
                         "line 1:\r   x = \r\r"))
        << body;
    EXPECT_TRUE(errors[0].starts_with("ERROR in\r\n"));  // with the event context
    EXPECT_FALSE(w.engine.errors.pending);
    // The caller goes on after the error.
    EXPECT_TRUE(IsReal(Run("execute_string('y = '); return 4"), 4));
}

TEST_F(DynamicCodeTest, RunTimeErrorsAreShownAndTheCallerGoesOn) {
    EXPECT_TRUE(IsReal(Run("execute_string('a = nope + 1'); return 2"), 2));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(ErrorBody(0).ends_with("Unknown variable nope")) << errors[0];
}

TEST_F(DynamicCodeTest, EveryCallCompilesAfresh) {
    // A script added between two runs of the same text is known to the second.
    Run("s = 'return scr_late()'; execute_string(s)");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Unknown function or script: scr_late"), std::string::npos);
    w.AddScript("scr_late", "return 12");
    EXPECT_TRUE(IsReal(Run("return execute_string(s)"), 12));
}

TEST_F(DynamicCodeTest, SelfExecutingStringStopsAtTheDepthLimit) {
    Run("global.n = 0; s = 'global.n += 1; execute_string(s)'; execute_string(s)");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(ErrorBody(0).ends_with(kRecursionMessage)) << errors[0];
    EXPECT_EQ(w.engine.call_depth, 0);
    RValue n;
    ASSERT_TRUE(w.engine.globals.Get(w.engine.VariableIdOf("n"), 0, n, false));
    EXPECT_GT(n.real, 100);
    EXPECT_LT(n.real, kMaxCallDepth);
}

TEST_F(DynamicCodeTest, ExecuteFileReadsLines) {
    ScratchDir dir;
    const std::string file = (dir.path / "code.txt").string();
    // LF, CR LF and a last line without an end: each line is ended by one CR.
    WriteText(file, "a = argument0;\nb = 2;\r\nreturn a + b\n");
    EXPECT_TRUE(IsReal(Run("return execute_file('" + file + "', 40)"), 42));
    WriteText(file, "// comment\nreturn 5");
    EXPECT_TRUE(IsReal(Run("return execute_file('" + file + "')"), 5));
    WriteText(file, "x = 1\nx = * 2\n");
    Run("execute_file('" + file + "')");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(ErrorBody(0).starts_with(
        "COMPILATION ERROR in file to be executed\rError in code at line 2:\r   x = * 2\r\r"))
        << errors[0];
}

TEST_F(DynamicCodeTest, ExecuteFileFaults) {
    ScratchDir dir;
    const std::string missing = (dir.path / "none.txt").string();
    EXPECT_TRUE(IsReal(Run("execute_file('" + missing + "'); return 3"), 3));
    Run("execute_file('')");
    Run("execute_file()");  // no argument: nothing at all
    // A folder exists but cannot be read as text.
    Run("execute_file('" + dir.path.string() + "')");
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(ErrorBody(0), "Trying to execute non-existing file.");
    EXPECT_TRUE(errors[0].starts_with("ERROR in\r\n"));
    EXPECT_EQ(ErrorBody(1), "Trying to execute non-existing file.");
    EXPECT_EQ(ErrorBody(2), "Cannot read the file to be executed.");
}

TEST_F(DynamicCodeTest, ExecuteFileResolvesBackslashesAndCase) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.path / "Sub");
    WriteText(dir.path / "Sub" / "Run.txt", "return 8");
    const std::string windows_style = dir.path.string() + "\\sub\\run.TXT";
    EXPECT_TRUE(IsReal(Run("return execute_file('" + windows_style + "')"), 8));
    EXPECT_TRUE(errors.empty()) << errors[0];
}

}  // namespace
}  // namespace tb::test
