// The runner and pack programs as a user starts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "harness.h"
#include "runner/command_line.h"
#include "runner/messages.h"
#include "runner/version.h"

namespace tb {
namespace {

using test::RunPack;
using test::RunTamberlo;
using test::ScratchDir;

TEST(CommandLine, OptionsThenPathJoinedWithBlanks) {
    struct Case {
        std::vector<std::string> args;
        std::string path;
        std::string error;
    } cases[] = {
        {{"My", "Games/demo.bin"}, "My Games/demo.bin", ""},
        {{"--headless", "--steps", "10", "a", "b", "c"}, "a b c", ""},
        {{"--", "--headless"}, "--headless", ""},
        {{}, "", ""},
        {{"--steps"}, "", "--steps needs a value"},
        {{"--steps", "x", "g"}, "", "--steps takes a step number"},
        {{"--seed", "-1", "g"}, "", "--seed takes a whole number from 0 to 4294967295"},
        {{"--bogus", "g"}, "", "unknown option --bogus"},
    };
    for (const Case& c : cases) {
        ParsedCommandLine r = ParseCommandLine(c.args);
        EXPECT_EQ(r.error, c.error);
        if (c.error.empty()) {
            EXPECT_EQ(r.options.game_path, c.path);
        }
    }
    ParsedCommandLine r =
        ParseCommandLine({"--headless", "--steps", "7", "--seed", "42", "--frames", "f", "--replay",
                          "r", "--record", "w", "--info", "g"});
    EXPECT_TRUE(r.options.headless);
    EXPECT_TRUE(r.options.info);
    EXPECT_EQ(r.options.steps, 7);
    EXPECT_EQ(r.options.seed, 42u);
    EXPECT_EQ(r.options.frames_dir, "f");
    EXPECT_EQ(r.options.replay_file, "r");
    EXPECT_EQ(r.options.record_file, "w");
}

// The option names ("--x") that a text mentions, in order of first mention.
std::vector<std::string> OptionNames(const std::string& text) {
    std::vector<std::string> names;
    for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
        size_t end = at + 2;
        while (end < text.size() && (std::isalnum(uint8_t(text[end])) || text[end] == '-')) ++end;
        std::string name = text.substr(at, end - at);
        if (name.size() > 2 && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
        at = end - 2;
    }
    return names;
}

TEST(CommandLine, HelpAndVersionExitZeroForBothPrograms) {
    const std::vector<std::string> options = {
        "--headless", "--steps",        "--frames",          "--seed",   "--replay",
        "--record",   "--audio",        "--debug",           "--secure", "--info",
        "--registry", "--registry-set", "--registry-delete", "--help",   "--version"};
    test::ProcessResult r = RunTamberlo({"--help"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(OptionNames(r.out), options);
    // --help wins wherever the game file would be.
    EXPECT_EQ(RunTamberlo({"--headless", "--help", "missing.bin"}).out, kUsage);

    r = RunTamberlo({"--version"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "tamberlo " + std::string(kVersion) + "\n");

    r = RunPack({"--help"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("tamberlo-pack build PROJECT_DIR GAMEFILE"), std::string::npos);
    EXPECT_NE(r.out.find("tamberlo-pack unpack GAMEFILE PROJECT_DIR"), std::string::npos);
    r = RunPack({"--version"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "tamberlo-pack " + std::string(kVersion) + "\n");

    // A bad option still says what is wrong and where the usage is.
    r = RunTamberlo({"--bogus"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("tamberlo --help"), std::string::npos) << r.err;
}

// The README's list of options is the usage text's list.
TEST(CommandLine, TheReadmeListsTheOptionsOfTheUsage) {
    const std::string readme = test::ReadText(std::string(TAMBERLO_SOURCE_DIR) + "/README.md");
    const size_t from = readme.find("\n    usage: tamberlo [options] GAMEFILE\n");
    ASSERT_NE(from, std::string::npos) << "the README shows the usage text";
    const size_t to = readme.find("\n\n", readme.find("--version", from));
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(OptionNames(readme.substr(from, to - from)), OptionNames(kUsage));
}

TEST(Runner, LoadsAndPreparesAGameWithBlanksInItsPath) {
    ScratchDir dir;
    test::WriteBytes(dir.path / "my game.bin", pack::WriteGameFile(test::MinimalGame()));
    test::ProcessResult r =
        RunTamberlo({"--headless", "--steps", "1", (dir.path / "my").string(), "game.bin"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST(Runner, LoadFailuresWriteTheirMessageAndExitOne) {
    ScratchDir dir;
    test::WriteBytes(dir.path / "empty.bin", {});
    test::WriteBytes(dir.path / "junk.bin", {1, 2, 3, 4, 5, 6, 7, 8});
    struct Case {
        std::string file;
        std::string message;
    } cases[] = {
        {(dir.path / "missing.bin").string(), msg::kCannotRead},
        {dir.path.string(), msg::kCannotRead},  // a folder cannot be read as a game
        {(dir.path / "empty.bin").string(), msg::kCorrupted},
        {(dir.path / "junk.bin").string(), msg::kNotGameFile},
    };
    for (const Case& c : cases) {
        test::ProcessResult r = RunTamberlo({"--headless", c.file});
        EXPECT_EQ(r.exit_code, 1) << c.file;
        EXPECT_EQ(r.err, c.message + "\n") << c.file;
        EXPECT_EQ(r.out, "") << c.file;
    }
}

TEST(Runner, WithoutAGameItEndsWithoutRunning) {
    test::ProcessResult r = RunTamberlo({});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    r = RunTamberlo({"--nonsense", "x"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("unknown option --nonsense"), std::string::npos);
}

TEST(Runner, InfoPrintsTheSummary) {
    ScratchDir dir;
    Game g = test::MinimalGame();
    g.rooms.Add(std::make_unique<CRoom>(), "second room");
    g.room_order = {1, 0};
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    test::ProcessResult r = RunTamberlo({"--info", (dir.path / "g.bin").string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("game id: 424242"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("rooms: 2 (2 slots)\n  0 room0\n  1 second room\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("room order: 1 (second room) 0 (room0)"), std::string::npos) << r.out;
}

TEST(Pack, BuildAndUnpackFromTheCommandLine) {
    ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(test::MinimalGame()));
    test::ProcessResult r =
        RunPack({"unpack", (dir.path / "g.bin").string(), (dir.path / "proj").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    r = RunPack({"build", (dir.path / "proj").string(), (dir.path / "again.bin").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(
        RunTamberlo({"--headless", "--steps", "1", (dir.path / "again.bin").string()}).exit_code,
        0);

    r = RunPack({"build", (dir.path / "nothing").string(), (dir.path / "x.bin").string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("game.json"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path / "x.bin"));
    EXPECT_EQ(RunPack({"frobnicate"}).exit_code, 2);
}

}  // namespace
}  // namespace tb
