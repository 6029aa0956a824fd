// Input recordings: the line format, its errors, and where the message checks put events.
#include "world/replay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/input.h"
#include "world/input_system.h"
#include "world/world.h"

namespace tb {
namespace {

InputEvent Ev(InputEventKind kind, int32_t code = 0) {
    InputEvent e;
    e.kind = kind;
    e.code = code;
    return e;
}

std::string Recording(const std::vector<std::string>& lines) {
    std::string s = std::string(kReplayHeader) + "\n";
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

TEST(ReplayFormat, EveryEventReadsBackAsWritten) {
    const std::vector<std::string> lines = {
        "0 0 1 numlock 1",
        "0 0 1 focus 0",
        "3 1 0 down 65",
        "3 1 0 up 165",
        "3 1 0 char 233",
        "3 1 2 mouse 12.5 -3",
        "4 2 0 press 1",
        "4 2 0 release 3",
        "4 2 0 wheel up",
        "4 2 0 wheel down",
        "5 0 1 close",
        "5 0 1 altf4 yes",
        "5 0 1 altf4 no",
        "6 1 0 joystick 2 info 4 12 1 Game Pad  X",
        "6 1 0 joystick 1 info 2 0 0",
        "6 1 0 joystick 1 0 65535 32767 1 2 3 2147483649 9000",
        "7 1 0 joystick 2 none",
    };
    std::vector<ReplayEvent> events;
    std::string error;
    ASSERT_TRUE(ParseReplay(Recording(lines) + "# done\n\n", events, error)) << error;
    ASSERT_EQ(events.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(FormatReplayEvent(events[i]), lines[i]);
    EXPECT_EQ(events[13].event.info.name, "Game Pad  X");
    EXPECT_EQ(events[15].event.position.buttons, 2147483649u);
    EXPECT_EQ(events[5].at, (InputPoint{3, 1, 2}));
    // Line breaks written on another system and blanks around words are fine.
    ASSERT_TRUE(ParseReplay("  tamberlo-input   1\r\n\t1 0 1  down\t8 \r\n", events, error));
    EXPECT_EQ(FormatReplayEvent(events.at(0)), "1 0 1 down 8");
}

TEST(ReplayFormat, MalformedFilesNameTheLine) {
    const std::string head = std::string(kReplayHeader) + "\n";
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "line 1: not an input recording (the first line must be \"tamberlo-input 1\")"},
        {"tamberlo-input 2\n",
         "line 1: not an input recording (the first line must be "
         "\"tamberlo-input 1\")"},
        {"# only comments\n",
         "line 1: not an input recording (the first line must be "
         "\"tamberlo-input 1\")"},
        {head + "1 0 1 jump 3\n", "line 2: unknown event \"jump\""},
        {head + "# c\n1 0 1 down 256\n", "line 3: expected a key code from 0 to 255, got \"256\""},
        {head + "1 0 1 down\n", "line 2: \"down\" takes 1 value, got 0"},
        {head + "1 0 1 down 3 4\n", "line 2: \"down\" takes 1 value, got 2"},
        {head + "1 0 down 3\n",
         "line 2: expected a poll count from 0 to 9223372036854775807, got "
         "\"down\""},
        {head + "x 0 1 close\n",
         "line 2: expected a step from 0 to 9223372036854775807, got \"x\""},
        {head + "1 0\n", "line 2: expected STEP WAIT POLL EVENT"},
        {head + "2 0 1 close\n1 0 1 close\n", "line 3: step 1 after step 2"},
        {head + "1 0 1 char 0\n", "line 2: expected a character code from 1 to 255, got \"0\""},
        {head + "1 0 1 press 4\n", "line 2: expected a mouse button from 1 to 3, got \"4\""},
        {head + "1 0 1 mouse 1 nan\n", "line 2: expected a mouse coordinate, got \"nan\""},
        {head + "1 0 1 mouse 1 1e300\n", "line 2: expected a mouse coordinate, got \"1e300\""},
        {head + "1 0 1 wheel left\n", "line 2: expected \"up\" or \"down\", got \"left\""},
        {head + "1 0 1 altf4 maybe\n", "line 2: expected \"yes\" or \"no\", got \"maybe\""},
        {head + "1 0 1 joystick 3 none\n", "line 2: expected a joystick from 1 to 2, got \"3\""},
        {head + "1 0 1 joystick 1 1 2 3\n", "line 2: a joystick position takes 8 values"},
        {head + "1 0 1 joystick 1 70000 0 0 0 0 0 0 0\n",
         "line 2: expected an axis value from 0 to 65535, got \"70000\""},
        {head + "1 0 1 joystick 1 info 7 0 0\n",
         "line 2: expected an axis count from 0 to 6, got \"7\""},
        {head + "1 0 1 joystick\n", "line 2: \"joystick\" needs a joystick and what it reports"},
        {head + std::string("1 0 1 close\0\n", 13), "line 2: a zero byte"},
    };
    for (const Case& c : cases) {
        std::vector<ReplayEvent> events(3);
        std::string error;
        EXPECT_FALSE(ParseReplay(c.text, events, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_TRUE(events.empty());
    }
    std::vector<ReplayEvent> events;
    std::string error;
    test::ScratchDir dir;
    EXPECT_FALSE(LoadReplay(dir / "missing.txt", events, error));
    EXPECT_EQ(error, "cannot read the replay file " + dir / "missing.txt");
    test::WriteText(dir / "bad.txt", head + "1 0 1 bogus\n");
    EXPECT_FALSE(LoadReplay(dir / "bad.txt", events, error));
    EXPECT_EQ(error, "replay file " + dir / "bad.txt" + ", line 2: unknown event \"bogus\"");
}

// --- message checks on a world without a loop: the window sends one key per check.

struct Checks : ::testing::Test {
    Game game = test::MinimalGame();
    ScriptEngine engine;
    std::unique_ptr<World> world;
    test::ScratchDir dir;
    int32_t next_key = 65;
    std::vector<int32_t> seen;  // the keys the game took, in order

    Checks() { engine.game = &game; }
    void Attach(InputOptions options, InputHooks hooks) {
        world.reset();
        world = std::make_unique<World>(game, engine);
        world->clock.virtual_time = true;
        InputSystem::Attach(*world, std::move(hooks), std::move(options));
        seen.clear();
    }
    InputHooks Window() {
        InputHooks h;
        h.pump = [this](std::vector<InputEvent>& out) {
            InputEvent e;
            e.code = next_key++;
            out.push_back(e);
        };
        return h;
    }
    void Check() {
        world->hooks.process_messages();
        for (int k = 0; k < 256; ++k)
            if (world->input.key_pressed[size_t(k)]) seen.push_back(k);
        world->input.ClearStep();
    }
    // Plain checks, waits with and without time left, steps.
    void Run() {
        Check();
        world->hooks.step_frozen();
        Check();
        Check();
        world->clock.Wait(1000, [this] { Check(); });
        Check();
        world->clock.Wait(0, [this] { Check(); });
        Check();
        world->hooks.step_frozen();
        world->clock.Wait(1000, [this] { Check(); });
    }
    InputOptions Replay(const std::string& text) {
        InputOptions o;
        o.replaying = true;
        std::string error;
        EXPECT_TRUE(ParseReplay(text, o.replay, error)) << error;
        return o;
    }
};

TEST_F(Checks, RecordingsReplayAtTheSameChecks) {
    auto recorder = std::make_shared<ReplayRecorder>();
    std::string error;
    ASSERT_TRUE(recorder->Open(dir / "rec.txt", error)) << error;
    InputOptions options;
    options.recorder = recorder;
    Attach(options, Window());
    Run();
    recorder->Flush();
    const std::string text = test::ReadText(dir.path / "rec.txt");
    EXPECT_EQ(text, Recording({"0 0 1 down 65", "1 0 1 down 66", "1 0 2 down 67", "1 1 0 down 68",
                               "1 1 1 down 69", "1 2 1 down 70", "2 1 0 down 71"}));
    EXPECT_EQ(seen, (std::vector<int32_t>{65, 66, 67, 68, 69, 70, 71}));

    // A replay ignores the window and the game's own keys.
    Attach(Replay(text), Window());
    world->input.generated.push_back(Ev(InputEventKind::KeyDown, 90));
    Run();
    EXPECT_EQ(seen, (std::vector<int32_t>{65, 66, 67, 68, 69, 70, 71}));
    EXPECT_FALSE(world->input.key_held[90]);
    EXPECT_EQ(world->pending_change, kNoChange);
    // Only closing the window gets through: it ends the replay.
    InputHooks closing;
    closing.pump = [](std::vector<InputEvent>& out) { out.push_back(Ev(InputEventKind::Close)); };
    Attach(Replay(text), closing);
    Check();
    EXPECT_EQ(world->pending_change, kChangeAbort);
    EXPECT_EQ(seen, std::vector<int32_t>{65});
}

TEST_F(Checks, EveryWaitIsOneCheckHoweverOftenItPolls) {
    // Recorded in a wait that checked once, replayed in one that checks three times, and in
    // one that had no time left: the keys come at the first check of that wait.
    const std::string text =
        Recording({"1 1 0 down 65", "1 1 0 down 66", "1 2 0 down 67", "1 2 1 down 68"});
    Attach(Replay(text), {});
    world->hooks.step_frozen();
    world->clock.Wait(1000, [this] {
        Check();
        Check();
        Check();
    });
    EXPECT_EQ(seen, (std::vector<int32_t>{65, 66}));
    world->clock.Wait(0, [this] { Check(); });
    EXPECT_EQ(seen, (std::vector<int32_t>{65, 66, 67}));
    Check();
    EXPECT_EQ(seen, (std::vector<int32_t>{65, 66, 67, 68}));
}

TEST_F(Checks, EventsOfChecksThatNeverCameArriveLate) {
    const std::string text = Recording({"1 5 0 down 65", "1 5 3 down 66", "2 0 1 down 67"});
    Attach(Replay(text), {});
    world->hooks.step_frozen();
    Check();
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(world->input.system->CanArrive());
    world->hooks.step_frozen();
    Check();  // (2 0 1): the two of step 1 first, then its own
    EXPECT_EQ(seen, (std::vector<int32_t>{65, 66, 67}));
    EXPECT_FALSE(world->input.system->CanArrive());
}

TEST_F(Checks, ACheckInsideAnEventsHandlerTakesWhatCameAfterIt) {
    // The close button's handler (here the game information's) checks the messages again, as
    // a script calling io_handle would: the key queued behind the close button and the one
    // arriving meanwhile are taken there, in the recording and in its replay.
    bool covered = true;
    int pumps = 0;
    std::vector<int32_t> in_handler;
    auto hooks = [&](bool window) {
        InputHooks h;
        h.info_shown = [&] { return covered; };
        h.close_info = [&] {
            covered = false;
            world->hooks.process_messages();
            in_handler.push_back(world->input.keyboard_lastkey);
        };
        if (window)
            h.pump = [&](std::vector<InputEvent>& out) {
                if (pumps++ == 0) {
                    out.push_back(Ev(InputEventKind::Close));
                    out.push_back(Ev(InputEventKind::KeyDown, 65));
                } else {
                    out.push_back(Ev(InputEventKind::KeyDown, 66));
                }
            };
        return h;
    };
    auto recorder = std::make_shared<ReplayRecorder>();
    std::string error;
    ASSERT_TRUE(recorder->Open(dir / "rec.txt", error)) << error;
    InputOptions options;
    options.recorder = recorder;
    Attach(options, hooks(true));
    Check();
    Check();
    recorder->Flush();
    const std::string text = test::ReadText(dir.path / "rec.txt");
    EXPECT_EQ(text, Recording({"0 0 1 close", "0 0 2 down 65", "0 0 2 down 66", "0 0 3 down 66"}));
    EXPECT_EQ(in_handler, std::vector<int32_t>{66});

    covered = true;
    in_handler.clear();
    Attach(Replay(text), hooks(false));
    Check();
    EXPECT_EQ(in_handler, std::vector<int32_t>{66});
    EXPECT_EQ(seen, (std::vector<int32_t>{65, 66}));
    Check();
    EXPECT_TRUE(world->input.key_held[66]);
    EXPECT_FALSE(world->input.key_pressed[66]);  // held since the nested check
}

}  // namespace
}  // namespace tb
