// The per-user store from the command line, and games that keep values in it across runs and
// run in secure mode because of it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "harness.h"
#include "pack/game_writer.h"
#include "runner/command_line.h"
#include "world/instance.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

// Runs the runner with its own XDG_DATA_HOME, so this process's store stays as it was.
struct StoreRuns : ::testing::Test {
    test::ScratchDir dir;
    std::string saved = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    StoreRuns() { setenv("XDG_DATA_HOME", (dir.path / "data").c_str(), 1); }
    ~StoreRuns() override { setenv("XDG_DATA_HOME", saved.c_str(), 1); }
    test::ProcessResult Tamberlo(const std::vector<std::string>& args) {
        return test::RunTamberlo(args, dir.path);
    }
};

TEST(RegistryCommandLine, Parsing) {
    using Kind = RegistryCommand::Kind;
    EXPECT_EQ(ParseCommandLine({"--registry"}).registry.kind, Kind::kList);
    ParsedCommandLine set = ParseCommandLine({"--registry-set", "K", "N", "V W"});
    EXPECT_EQ(set.registry.kind, Kind::kSet);
    EXPECT_EQ(set.registry.args, (std::vector<std::string>{"K", "N", "V W"}));
    EXPECT_EQ(ParseCommandLine({"--registry-delete", "K"}).registry.args.size(), 1u);
    EXPECT_EQ(ParseCommandLine({"--registry-delete", "K", "N"}).registry.kind, Kind::kDelete);
    EXPECT_EQ(ParseCommandLine({"--registry-set", "K", "N"}).error,
              "--registry-set takes KEY NAME VALUE");
    EXPECT_EQ(ParseCommandLine({"--registry-delete"}).error, "--registry-delete takes KEY [NAME]");
    EXPECT_EQ(ParseCommandLine({"--registry", "x"}).error, "--registry takes nothing after it");
}

TEST_F(StoreRuns, SetListAndDelete) {
    EXPECT_EQ(Tamberlo({"--registry"}).out, "");
    EXPECT_EQ(Tamberlo({"--registry-set", "\\Software\\Tamberlo", "SecureMode", "1"}).exit_code, 0);
    EXPECT_EQ(Tamberlo({"--registry-set", "HKLM\\Software\\X", "Name", "say \"hi\"\n"}).exit_code,
              0);
    EXPECT_EQ(Tamberlo({"--registry-set", "Software\\X", "Text", "string:12"}).exit_code, 0);
    EXPECT_EQ(Tamberlo({"--registry-set", "Software\\X", "Real", "real:0.1"}).exit_code, 0);
    EXPECT_TRUE(fs::exists(dir.path / "data/tamberlo/registry.db"));
    test::ProcessResult list = Tamberlo({"--registry"});
    EXPECT_EQ(list.exit_code, 0);
    EXPECT_EQ(list.out,
              "[HKEY_CURRENT_USER\\Software\\Tamberlo]\n"
              "SecureMode = 1\n"
              "[HKEY_CURRENT_USER\\Software\\X]\n"
              "Real = 0.1\n"
              "Text = \"12\"\n"
              "[HKEY_LOCAL_MACHINE\\Software\\X]\n"
              "Name = \"say \\\"hi\\\"\\n\"\n");
    EXPECT_EQ(Tamberlo({"--registry-delete", "software\\x", "TEXT"}).exit_code, 0);
    test::ProcessResult missing = Tamberlo({"--registry-delete", "software\\x", "TEXT"});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(missing.err, "tamberlo: no such value in the registry store\n");
    EXPECT_EQ(Tamberlo({"--registry-delete", "HKEY_LOCAL_MACHINE\\Software"}).exit_code, 0);
    EXPECT_EQ(Tamberlo({"--registry"}).out,
              "[HKEY_CURRENT_USER\\Software\\Tamberlo]\nSecureMode = 1\n"
              "[HKEY_CURRENT_USER\\Software\\X]\nReal = 0.1\n");
    EXPECT_EQ(Tamberlo({"--registry-set", "real:x"}).exit_code, 2);
    EXPECT_EQ(Tamberlo({"--registry-set", "\\", "N", "V"}).exit_code, 1);
}

// A game that counts its runs in its own key and tries to write into a folder.
Game CountingGame() {
    Game g = test::MinimalGame();
    g.game_id = 777;
    test::AddCodeObject(g, "obj_counter", 0, 0,
                        "registry_write_real('Runs', registry_read_real('Runs') + 1);"
                        "show_debug_message('runs ' + string(registry_read_real('Runs')));"
                        "show_debug_message('secure ' + string(secure_mode));"
                        "f = file_text_open_write('sub\\out.txt'); file_text_close(f);"
                        "show_debug_message('param ' + parameter_string(parameter_count()));");
    auto inst = std::make_unique<CInstance>();
    inst->id = 100001;
    inst->object_index = g.objects.Count() - 1;
    g.rooms.Get(0)->instances.push_back(std::move(inst));
    return g;
}

TEST_F(StoreRuns, GamesKeepValuesAcrossRunsAndObeyTheSecureFlag) {
    fs::create_directory(dir.path / "sub");
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(CountingGame()));
    test::ProcessResult first = Tamberlo({"--headless", "--steps", "1", "g.bin"});
    ASSERT_EQ(first.exit_code, 0) << first.err;
    EXPECT_NE(first.out.find("runs 1\nsecure 0\nparam g.bin\n"), std::string::npos) << first.out;
    EXPECT_TRUE(fs::exists(dir.path / "sub/out.txt"));
    fs::remove(dir.path / "sub/out.txt");

    test::ProcessResult secure = Tamberlo({"--secure", "--headless", "--steps", "1", "g.bin"});
    EXPECT_NE(secure.out.find("runs 2\nsecure 1\n"), std::string::npos) << secure.out;
    EXPECT_NE(secure.err.find("In secure mode you cannot write file sub\\out.txt"),
              std::string::npos)
        << secure.err;
    EXPECT_FALSE(fs::exists(dir.path / "sub/out.txt"));

    // The flag in the store switches it on for every game.
    Tamberlo({"--registry-set", "\\Software\\Tamberlo", "SecureMode", "1"});
    test::ProcessResult flagged = Tamberlo({"--headless", "--steps", "1", "g.bin"});
    EXPECT_NE(flagged.out.find("runs 3\nsecure 1\n"), std::string::npos) << flagged.out;
    EXPECT_FALSE(fs::exists(dir.path / "sub/out.txt"));
    EXPECT_NE(Tamberlo({"--registry"})
                  .out.find("[HKEY_CURRENT_USER\\Software\\Plumwright\\777]\nRuns = 3\n"),
              std::string::npos);
}

}  // namespace
}  // namespace tb
