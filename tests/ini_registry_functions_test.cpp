// INI files and registry values through the script functions, with the number forms they use.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "harness.h"
#include "script_harness.h"
#include "system/ini_file.h"
#include "system/registry.h"
#include "system/system_state.h"

namespace tb {
namespace {

namespace fs = std::filesystem;
using test::IsReal;
using test::IsText;

struct InFolder : test::FunctionTest {
    test::ScratchDir dir;
    fs::path saved = fs::current_path();
    InFolder() { fs::current_path(dir.path); }
    ~InFolder() override { fs::current_path(saved); }
};

TEST(IniNumbers, TolerantReader) {
    const std::pair<const char*, double> cases[] = {
        {"1,5e-2", 0.015}, {"-2-", 2},  {"12abc", 12},  {"", 0},
        {"3.25", 3.25},    {"-7", -7},  {"1e3", 1000},  {"2e-1-", 20},
        {"+5", 0},         {" 5", 0},   {"1.2.3", 1.2}, {"1e2e3", 100},
        {".5", 0.5},       {"1e.5", 1}, {"--1", 1},     {"1,25", 1.25},
    };
    for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(TolerantReal(text), value) << text;
}

TEST(IniNumbers, GeneralText) {
    const std::pair<double, const char*> cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {3.14159, "3.14159"},
        {-2.5, "-2.5"},
        {100, "100"},
        {0.1, "0.1"},
        {1e20, "1E20"},
        {1.5e-6, "1.5E-6"},
        {0.00005, "0.00005"},
        {1e15, "1E15"},
        {123456789012345, "123456789012345"},
        {1.0 / 3, "0.333333333333333"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(GeneralRealText(value), text) << value;
}

TEST_F(InFolder, IniReadWriteDelete) {
    test::WriteText(dir.path / "game.ini",
                    "; settings of the game\n"
                    "[Player]\n"
                    "Name = Ann \n"
                    "quoted=\"  spaced  \"\n"
                    "odd line without equals\n"
                    "\n"
                    "[Empty]\n"
                    "[player]\n"
                    "name=Second\n");
    Run(R"(ini_open('game.ini');
           a = ini_read_string('PLAYER', 'NAME', 'none'); b = ini_read_string('player', 'quoted', '');
           c = ini_read_string('Player', 'missing', 'dflt'); d = ini_read_real('Nope', 'x', 2.5);
           k1 = ini_key_exists('player', 'name'); k2 = ini_key_exists('Empty', 'name');
           s1 = ini_section_exists('EMPTY'); s2 = ini_section_exists('none');)");
    EXPECT_TRUE(IsText(Eval("a"), "Ann"));  // the first match wins, blanks trimmed
    EXPECT_TRUE(IsText(Eval("b"), "  spaced  "));
    EXPECT_TRUE(IsText(Eval("c"), "dflt"));
    EXPECT_TRUE(IsReal(Eval("d"), 2.5));
    EXPECT_TRUE(IsReal(Eval("k1 * 1000 + k2 * 100 + s1 * 10 + s2"), 1010));

    // Every write is in the file at once, comments and odd lines kept, CR LF line ends.
    Run(R"(ini_write_string('player', 'name', 'Bob'); ini_write_real('Player', 'Score', 1.5);
           ini_write_string('Empty', 'k', 'v'); ini_write_real('New', 'big', power(10, 20));)");
    EXPECT_EQ(test::ReadText(dir.path / "game.ini"),
              "; settings of the game\r\n"
              "[Player]\r\n"
              "name=Bob\r\n"
              "quoted=\"  spaced  \"\r\n"
              "odd line without equals\r\n"
              "Score=1.5\r\n"
              "\r\n"
              "[Empty]\r\n"
              "k=v\r\n"
              "[player]\r\n"
              "name=Second\r\n"
              "[New]\r\n"
              "big=1E20\r\n");
    EXPECT_TRUE(IsReal(Eval("ini_read_real('new', 'BIG', 0)"), 1e20));
    Run("ini_key_delete('PLAYER', 'quoted'); ini_section_delete('empty'); ini_key_delete('x', 'y');"
        "ini_close()");
    EXPECT_EQ(test::ReadText(dir.path / "game.ini"),
              "; settings of the game\r\n[Player]\r\nname=Bob\r\nodd line without equals\r\n"
              "Score=1.5\r\n\r\n[player]\r\nname=Second\r\n[New]\r\nbig=1E20\r\n");
    EXPECT_TRUE(errors.empty());
    // The file need not exist; it appears with the first write. Changes made by someone
    // else are seen.
    Run("ini_open('fresh.ini'); e = ini_section_exists('a'); ini_write_string('a', 'b', 'c')");
    EXPECT_EQ(test::ReadText(dir.path / "fresh.ini"), "[a]\r\nb=c\r\n");
    test::WriteText(dir.path / "fresh.ini", "[a]\nb=changed and longer\n");
    EXPECT_TRUE(IsText(Eval("ini_read_string('a', 'b', '')"), "changed and longer"));
}

TEST_F(InFolder, IniErrors) {
    Run(R"(ini_open('sub\x.ini'); ini_open('sub/x.ini');
           a = ini_read_string('s', 'k', 'd'); b = ini_read_real('s', 'k', 3);
           ini_key_exists('s', 'k'); ini_section_exists('s');
           ini_write_string('s', 'k', 'v'); ini_write_real('s', 'k', 1);
           ini_key_delete('s', 'k'); ini_section_delete('s'); ini_close();)");
    EXPECT_EQ(
        errors,
        (std::vector<std::string>{
            "INI files must be located in the same directory as the program",
            "INI files must be located in the same directory as the program",
            "Trying to read from undefined INI file", "Trying to read from undefined INI file",
            "Trying to read from undefined INI file", "Trying to read from undefined INI file",
            "Trying to write to undefined INI file", "Trying to write to undefined INI file",
            "Trying to change undefined INI file", "Trying to change undefined INI file"}));
    EXPECT_TRUE(IsText(Eval("a"), "d"));
    EXPECT_TRUE(IsReal(Eval("b"), 0));
    EXPECT_TRUE(fs::is_empty(dir.path));
}

TEST_F(InFolder, RegistryOfTheGame) {
    w.game.game_id = 4321;
    Run(R"(e0 = registry_exists('Level');
           registry_write_string('Name', 'Ann'); registry_write_real('Level', 7.25);
           s = registry_read_string('NAME'); r = registry_read_real('level');
           e1 = registry_exists('Level'); m1 = registry_read_string('missing');
           m2 = registry_read_real('Name'); m3 = registry_read_string('Level');)");
    EXPECT_TRUE(IsReal(Eval("e0"), 0));
    EXPECT_TRUE(IsText(Eval("s"), "Ann"));
    EXPECT_TRUE(IsReal(Eval("r"), 7.25));
    EXPECT_TRUE(IsReal(Eval("e1"), 1));
    EXPECT_TRUE(IsText(Eval("m1 + m3"), ""));
    EXPECT_TRUE(IsReal(Eval("m2"), 0));
    Registry& reg = w.engine.system->registry;
    EXPECT_EQ(reg.ReadString("\\Software\\Plumwright\\4321", "Name"), "Ann");

    // Another run of the same game (a new engine) reads what this one wrote; another game
    // has its own key.
    {
        test::ScriptWorld again;
        again.game.game_id = 4321;
        EXPECT_TRUE(IsReal(again.Eval("registry_read_real('Level')").result, 7.25));
        again.game.game_id = 99;
        EXPECT_TRUE(IsReal(again.Eval("registry_exists('Level')").result, 0));
        EXPECT_TRUE(again.engine.system->registry.KeyExists("Software\\Plumwright\\99"));
    }

    // Anywhere, under each root.
    Run(R"(for (i = 0; i < 5; i += 1) {
               registry_set_root(i);
               registry_write_string_ext('\Software\Test', 'Root', 'root ' + string(i));
               registry_write_real_ext('\Software\Test', 'N', i);
           }
           registry_set_root(1);
           x1 = registry_read_string_ext('software\test', 'root');
           x2 = registry_read_real_ext('SOFTWARE\TEST', 'n');
           x3 = registry_exists_ext('\Software\Test', 'N');
           x4 = registry_exists_ext('\Software\Other', 'N');
           registry_set_root(0);
           y1 = registry_read_string_ext('\Software\Test', 'Root');)");
    EXPECT_TRUE(IsText(Eval("x1"), "root 1"));
    EXPECT_TRUE(IsReal(Eval("x2"), 1));
    EXPECT_TRUE(IsReal(Eval("x3 * 10 + x4"), 10));
    EXPECT_TRUE(IsText(Eval("y1"), "root 4"));  // 4 is no root: the current user again
    EXPECT_TRUE(reg.KeyExists("Software\\Other", RegistryRoot::kLocalMachine));
    EXPECT_EQ(reg.ReadReal("Software\\Test", "N", RegistryRoot::kUsers), 3);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tb
