// The runner and pack programs as a user starts them.
#include <gtest/gtest.h>

#include "harness.h"
#include "runner/command_line.h"
#include "runner/messages.h"

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
