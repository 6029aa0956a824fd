// Dialogs through the runner binary: the headless "[message]" lines and answers, the answers
// written by --record and given back by --replay.
#include <gtest/gtest.h>

#include "harness.h"
#include "resources/object.h"
#include "resources/room.h"
#include "world/instance.h"
#include "world/replay.h"

namespace tb {
namespace {

Game DialogGame() {
    Game g = test::MinimalGame();
    test::AddCodeObject(g, "asker", 0, 0,
                        "show_debug_message('q=' + string(show_question('Ready?#Go')));"
                        "show_debug_message('s=' + get_string('Name', 'player'));"
                        "show_debug_message('m=' + string(show_menu('A|-|B', -1)));"
                        "show_debug_message('i=' + string(get_integer('Count', 3)));");
    auto inst = std::make_unique<CInstance>();
    inst->id = ++g.last_instance_id;
    inst->object_index = 0;
    g.rooms.Get(0)->instances.push_back(std::move(inst));
    return g;
}

TEST(DialogsCli, HeadlessAnswersAreRecordedAndReplayed) {
    test::ScratchDir dir;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(DialogGame()));
    test::ProcessResult r = test::RunTamberlo(
        {"--headless", "--steps", "2", "--record", dir / "rec.txt", dir / "g.bin"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out,
              "[message] Ready?\\nGo\nq=1\n[message] Name\ns=player\n[message] A|-|B\nm=-1\n"
              "[message] Count\ni=3\n");
    const std::string rec = test::ReadText(dir.path / "rec.txt");
    EXPECT_NE(rec.find("0 0 0 dialog message 1\n"), std::string::npos) << rec;
    EXPECT_NE(rec.find("0 0 0 dialog input 1 player\n"), std::string::npos) << rec;
    EXPECT_NE(rec.find("0 0 0 dialog menu -1\n"), std::string::npos) << rec;

    test::WriteText(dir.path / "answers.txt",
                    std::string(kReplayHeader) +
                        "\n0 0 0 dialog message 3\n0 0 0 dialog input 0 Zed\n"
                        "0 0 0 dialog menu 1\n0 0 0 dialog input 1 $1f\n");
    r = test::RunTamberlo(
        {"--headless", "--steps", "2", "--replay", dir / "answers.txt", dir / "g.bin"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out,
              "[message] Ready?\\nGo\nq=0\n[message] Name\ns=Zed\n[message] A|-|B\nm=1\n"
              "[message] Count\ni=31\n");

    test::WriteText(dir.path / "bad.txt", std::string(kReplayHeader) + "\n0 0 0 dialog menu x\n");
    r = test::RunTamberlo({"--headless", "--replay", dir / "bad.txt", dir / "g.bin"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("line 2: expected an item number or -1, got \"x\""), std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace tb
