// Secure mode's refusals (the table of hostile names) and allowed cases, starting programs,
// the runner's parameters and the environment, and the registry from the command line.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "harness.h"
#include "runner/command_line.h"
#include "script_harness.h"
#include "system/programs.h"
#include "system/registry.h"
#include "system/secure_names.h"
#include "system/system_state.h"

namespace tb {
namespace {

namespace fs = std::filesystem;
using test::IsReal;
using test::IsText;

// The working directory is "work" inside a scratch folder; beside it lies "outside" with a
// file a hostile game would like to reach.
struct Secure : test::FunctionTest {
    test::ScratchDir dir;
    fs::path saved = fs::current_path();
    fs::path work = dir.path / "work";
    Secure() {
        fs::create_directories(work / "sub");
        fs::create_directories(dir.path / "outside");
        test::WriteText(dir.path / "outside/secret.txt", "secret");
        test::WriteText(work / "plain.txt", "plain");
        fs::create_symlink("../outside/secret.txt", work / "link.txt");
        fs::create_symlink("../outside", work / "dirlink");
        fs::create_symlink("plain.txt", work / "samefolder.txt");
        fs::current_path(work);
        w.engine.files.secure_mode = true;
    }
    ~Secure() override { fs::current_path(saved); }
};

TEST_F(Secure, RefusesEveryHostileName) {
    const char* const hostile[] = {
        "sub\\x.txt",
        "sub/x.txt",
        "..",
        ".",
        "C:x.txt",
        "c:\\x.txt",
        "link.txt",
        "LINK.TXT",
        "dirlink",
        "DirLink",
        "..\\outside\\secret.txt",
    };
    struct Operation {
        std::string code;     // NAME stands for the hostile name
        std::string message;  // likewise
    } const operations[] = {
        {"file_text_open_write('NAME')", "In secure mode you cannot write file NAME"},
        {"file_text_open_append('NAME')", "In secure mode you cannot append to file NAME"},
        {"file_open_write('NAME')", "In secure mode you cannot write file NAME"},
        {"file_open_append('NAME')", "In secure mode you cannot append to file NAME"},
        {"file_bin_open('NAME', 1)", "In secure mode you cannot write file NAME"},
        {"file_bin_open('NAME', 2)", "In secure mode you cannot write file NAME"},
        {"file_delete('NAME')", "In Secure mode you cannot delete file NAME"},
        {"file_rename('NAME', 'ok.txt')", "In Secure mode you cannot rename file NAME into ok.txt"},
        {"file_rename('plain.txt', 'NAME')",
         "In Secure mode you cannot rename file plain.txt into NAME"},
        {"file_copy('plain.txt', 'NAME')", "In Secure mode you cannot copy file plain.txt to NAME"},
        {"file_copy('NAME', 'ok.txt')", "In Secure mode you cannot copy file NAME to ok.txt"},
        {"directory_create('NAME')", "In Secure mode you cannot create directory NAME"},
        {"ini_open('NAME')", "INI files must be located in the same directory as the program"},
    };
    auto with = [](std::string text, const std::string& name) {
        for (size_t at; (at = text.find("NAME")) != text.npos;) text.replace(at, 4, name);
        return text;
    };
    for (const char* name : hostile) {
        for (const Operation& op : operations) {
            errors.clear();
            RValue r = Eval(with(op.code, name));
            ASSERT_EQ(errors.size(), 1u) << with(op.code, name);
            EXPECT_EQ(errors[0], with(op.message, name));
            if (op.code.find("open") != std::string::npos && op.code.find("ini") == op.code.npos &&
                op.code.find("file_open") == op.code.npos) {
                EXPECT_TRUE(IsReal(r, -1)) << with(op.code, name);
            }
        }
    }
    EXPECT_EQ(test::ReadText(dir.path / "outside/secret.txt"), "secret");
    EXPECT_EQ(test::ReadText(work / "plain.txt"), "plain");
    EXPECT_TRUE(fs::is_symlink(work / "link.txt"));
    EXPECT_FALSE(fs::exists(work / "ok.txt"));
    EXPECT_FALSE(fs::exists(work / "sub/x.txt"));
}

TEST_F(Secure, KeepsEveryAllowedCase) {
    Run(R"(f = file_text_open_write('new.txt'); file_text_write_string(f, 'a'); file_text_close(f);
           f = file_text_open_append('new.txt'); file_text_write_string(f, 'b'); file_text_close(f);
           file_open_write('legacy.txt'); file_close();
           b = file_bin_open('bin.dat', 1); file_bin_close(b);
           r = file_bin_open('..\outside\secret.txt', 0); c = file_bin_read_byte(r); file_bin_close(r);
           t = file_text_open_read('link.txt'); s = file_text_read_string(t); file_text_close(t);
           file_copy('new.txt', 'copy.txt'); file_rename('copy.txt', 'renamed.txt');
           file_delete('legacy.txt'); directory_create('made');
           file_copy('samefolder.txt', 'fromlink.txt');
           ini_open('game.ini'); ini_write_string('a', 'b', 'c'); ini_close();
           registry_write_string('Own', 'yes'); own = registry_read_string('Own');)");
    EXPECT_TRUE(errors.empty()) << errors[0];
    EXPECT_EQ(test::ReadText(work / "new.txt"), "ab");
    EXPECT_TRUE(IsReal(Eval("c"), 's'));
    EXPECT_TRUE(IsText(Eval("s"), "secret"));  // reading is never confined
    EXPECT_EQ(test::ReadText(work / "renamed.txt"), "ab");
    EXPECT_EQ(test::ReadText(work / "fromlink.txt"), "plain");
    EXPECT_FALSE(fs::exists(work / "legacy.txt"));
    EXPECT_TRUE(fs::is_directory(work / "made"));
    EXPECT_EQ(test::ReadText(work / "game.ini"), "[a]\r\nb=c\r\n");
    EXPECT_TRUE(IsText(Eval("own"), "yes"));
    EXPECT_TRUE(IsConfinedName("samefolder.txt"));
    // Reading a name outside creates no file there.
    EXPECT_TRUE(IsReal(Eval("file_bin_open('..\\outside\\new.bin', 0)"), -1));
    EXPECT_FALSE(fs::exists(dir.path / "outside/new.bin"));
    EXPECT_EQ(errors, std::vector<std::string>{"Error opening binary file."});
}

TEST_F(Secure, RefusesProgramsAndForeignRegistryKeys) {
    Run(R"(execute_program('/bin/true', '', 1); execute_shell('plain.txt', '');
           registry_write_string_ext('\Software\Other', 'a', 'b');
           registry_write_real_ext('Software\Other', 'a', 1);
           e = registry_exists_ext('\Software\Other', 'a');)");
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "In Secure mode you cannot execute program /bin/true",
                          "In Secure mode you cannot execute program plain.txt",
                          "In Secure mode you cannot write registry entries in \\Software\\Other",
                          "In Secure mode you cannot write registry entries in Software\\Other"}));
    EXPECT_FALSE(w.engine.system->registry.KeyExists("Software\\Other"));
    EXPECT_TRUE(IsReal(Eval("secure_mode"), 1));
}

struct Programs : test::FunctionTest {
    test::ScratchDir dir;
    fs::path saved = fs::current_path();
    Programs() { fs::current_path(dir.path); }
    ~Programs() override { fs::current_path(saved); }
    // Waits up to 5 s for a file a started program writes.
    bool Appears(const fs::path& file) {
        for (int i = 0; i < 500 && !fs::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return fs::exists(file);
    }
};

TEST(ProgramArguments, SplitAtBlanksWithQuotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitArguments("  a  b\tc "), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitArguments("-c \"echo hi > x\" last"), (V{"-c", "echo hi > x", "last"}));
    EXPECT_EQ(SplitArguments("\"\" a\"b c\"d"), (V{"", "ab cd"}));
    EXPECT_EQ(SplitArguments(""), V{});
}

TEST_F(Programs, WaitingAndNotWaiting) {
    // Waiting: the program has run when the call returns, in the working directory.
    Run(R"(execute_program('sh', '-c "pwd > out.txt"', 1))");
    EXPECT_EQ(test::ReadText(dir.path / "out.txt"), fs::current_path().string() + "\n");
    // Not waiting: the call returns at once and the program goes on.
    auto start = std::chrono::steady_clock::now();
    Run(R"(execute_program('sh', '-c "sleep 0.3; echo late > late.txt"', 0))");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_FALSE(fs::exists(dir.path / "late.txt"));
    EXPECT_TRUE(Appears(dir.path / "late.txt"));
    // A program found by a game path.
    fs::create_directory(dir.path / "Tools");
    test::WriteText(dir.path / "Tools/run.sh", "#!/bin/sh\necho \"$1\" > ran.txt\n");
    fs::permissions(dir.path / "Tools/run.sh", fs::perms::owner_all);
    Run(R"(execute_program('tools\RUN.SH', '"two words"', 1))");
    EXPECT_EQ(test::ReadText(dir.path / "ran.txt"), "two words\n");
    EXPECT_TRUE(errors.empty());
    Run("execute_program('no_such_program_tb', '', 1); execute_program('no_such_program_tb', '', "
        "0);"
        "execute_program('', 'x', 0)");
    EXPECT_EQ(errors,
              (std::vector<std::string>{"Cannot execute no_such_program_tb",
                                        "Cannot execute no_such_program_tb", "Cannot execute "}));
    // While it waits, the window's messages are handled every 50 ms.
    int pumped = 0;
    StartedPrograms started;
    ASSERT_TRUE(StartProgram(
        "sleep", "0.3", true, [&] { ++pumped; }, started));
    EXPECT_GE(pumped, 3);
    EXPECT_TRUE(started.running.empty());
}

TEST_F(Programs, ShellOpensWithTheDesktopOpener) {
    // A stand-in for the desktop's opener, first on PATH, records what it was asked to open.
    fs::create_directory(dir.path / "bin");
    test::WriteText(dir.path / "bin/xdg-open",
                    "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/opened\"\n");
    fs::permissions(dir.path / "bin/xdg-open", fs::perms::owner_all);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", ((dir.path / "bin").string() + ":" + path).c_str(), 1);
    test::WriteText(dir.path / "Readme.TXT", "x");
    Run("execute_shell('readme.txt', '')");
    EXPECT_TRUE(Appears(dir.path / "bin/opened"));
    EXPECT_EQ(test::ReadText(dir.path / "bin/opened"), "Readme.TXT\n");
    fs::remove(dir.path / "bin/opened");
    Run("execute_shell('https://example.invalid/page', '')");
    EXPECT_TRUE(Appears(dir.path / "bin/opened"));
    EXPECT_EQ(test::ReadText(dir.path / "bin/opened"), "https://example.invalid/page\n");
    // An executable file runs with the arguments.
    test::WriteText(dir.path / "tool.sh", "#!/bin/sh\necho \"$1\" > tool.out\n");
    fs::permissions(dir.path / "tool.sh", fs::perms::owner_all);
    Run("execute_shell('tool.sh', 'arg')");
    EXPECT_TRUE(Appears(dir.path / "tool.out"));
    Run("execute_shell('missing.doc', '')");
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(errors, std::vector<std::string>{"Cannot execute missing.doc"});
}

TEST_F(Programs, ParametersAndEnvironment) {
    EXPECT_TRUE(IsReal(Eval("parameter_count()"), 0));
    w.engine.system->parameters = {"--headless", "My", "Game.bin"};
    EXPECT_TRUE(IsReal(Eval("parameter_count()"), 3));
    EXPECT_TRUE(
        IsText(Eval("parameter_string(1) + '|' + parameter_string(3)"), "--headless|Game.bin"));
    EXPECT_TRUE(IsText(Eval("parameter_string(4) + parameter_string(-1)"), ""));
    EXPECT_TRUE(IsText(Eval("parameter_string(0)"), fs::read_symlink("/proc/self/exe").string()));
    EXPECT_TRUE(
        IsText(Eval("filename_dir(parameter_string(0))"), Eval("program_directory").text.str()));
    setenv("TB_TEST_VARIABLE", "some value", 1);
    EXPECT_TRUE(IsText(Eval("environment_get_variable('TB_TEST_VARIABLE')"), "some value"));
    unsetenv("TB_TEST_VARIABLE");
    EXPECT_TRUE(IsText(Eval("environment_get_variable('TB_TEST_VARIABLE')"), ""));
    ParsedCommandLine cl = ParseCommandLine({"--secure", "--headless", "g.bin"});
    EXPECT_TRUE(cl.options.secure);
    EXPECT_EQ(cl.options.arguments, (std::vector<std::string>{"--secure", "--headless", "g.bin"}));
}

}  // namespace
}  // namespace tb
