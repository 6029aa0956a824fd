// The runner keys of a step and the key and character handlers of the game window.
#include <filesystem>

#include "gfx_harness.h"
#include "harness.h"
#include "platform/graphics_stages.h"
#include "platform/window_messages.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/world.h"

namespace tb {
namespace {

struct RunnerKeysTest : test::GraphicsTest {
    Game game = test::MinimalGame();
    ScriptEngine engine;
    std::unique_ptr<World> world;
    test::ScratchDir dir;
    std::filesystem::path cwd;

    void SetUp() override {
        GraphicsTest::SetUp();
        g.game_window.Attach();
        engine.game = &game;
        world = std::make_unique<World>(game, engine);
        cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir.path);  // screenshots go to the working directory
    }
    void TearDown() override { std::filesystem::current_path(cwd); }

    void Press(int32_t key) {
        world->input.keyboard_lastkey = key;
        RunnerKeys(*world, g);
    }
};

TEST_F(RunnerKeysTest, EachKeyActsOnceAndIsConsumed) {
    Press(115);  // F4
    EXPECT_TRUE(g.window.full_screen);
    EXPECT_EQ(world->input.keyboard_lastkey, 0);
    RunnerKeys(*world, g);  // consumed: no second switch
    EXPECT_TRUE(g.window.full_screen);
    Press(115);
    EXPECT_FALSE(g.window.full_screen);

    g.device.Clear(0xFF0000FF);
    Press(120);  // F9
    Press(120);
    EXPECT_TRUE(std::filesystem::exists(dir.path / "screenshot100.bmp"));
    EXPECT_TRUE(std::filesystem::exists(dir.path / "screenshot101.bmp"));

    Press(27);  // Esc
    EXPECT_EQ(world->pending_change, kChangeEndGame);
    world->pending_change = kNoChange;
    Press(117);  // F6: loaded between steps
    EXPECT_EQ(world->pending_change, kChangeLoad);
    EXPECT_EQ(world->load_file, "_save" + std::to_string(game.game_id) + ".sav");
}

TEST_F(RunnerKeysTest, KeysSwitchedOffInTheSettingsAreLeftAlone) {
    game.settings.KeyF4 = false;
    game.settings.KeyF9 = false;
    game.settings.KeyEsc = false;
    for (int32_t key : {115, 120, 27, 65}) {
        Press(key);
        EXPECT_EQ(world->input.keyboard_lastkey, key);
    }
    EXPECT_FALSE(g.window.full_screen);
    EXPECT_FALSE(std::filesystem::exists(dir.path / "screenshot100.bmp"));
    EXPECT_EQ(world->pending_change, kNoChange);
}

TEST(WindowMessagesTest, KeysRecordPressesOnceAndReleases) {
    InputState in;
    KeyDown(in, 65);
    KeyDown(in, 65);  // auto-repeat: still one press
    EXPECT_TRUE(in.key_held[65]);
    EXPECT_TRUE(in.key_pressed[65]);
    in.ClearStep();
    KeyDown(in, 65);
    EXPECT_FALSE(in.key_pressed[65]);
    KeyDown(in, 66);
    KeyUp(in, 65);  // not the current key: keyboard_key stays
    EXPECT_EQ(in.keyboard_key, 66);
    EXPECT_EQ(in.keyboard_lastkey, 66);
    EXPECT_TRUE(in.key_released[65]);
    EXPECT_FALSE(in.key_held[65]);
    KeyUp(in, 66);
    EXPECT_EQ(in.keyboard_key, 0);
    EXPECT_EQ(in.keyboard_lastkey, 66);
    KeyDown(in, 0);
    KeyDown(in, 300);
    EXPECT_EQ(in.keyboard_lastkey, 66);
}

TEST(WindowMessagesTest, TypedCharactersKeepTheLast1024) {
    InputState in;
    for (int i = 0; i < 1100; ++i) TypeCharacter(in, char('a' + i % 26));
    // Trimmed before each character is added: at most one over the limit.
    EXPECT_EQ(in.keyboard_string.size(), 1025u);
    TypeCharacter(in, 8);
    EXPECT_EQ(in.keyboard_string.size(), 1023u);
    EXPECT_EQ(in.keyboard_lastchar, "\b");
    TypeCharacter(in, 13);  // control characters are not appended
    EXPECT_EQ(in.keyboard_string.size(), 1023u);
    InputState empty;
    TypeCharacter(empty, 8);
    EXPECT_EQ(empty.keyboard_string, "");
}

}  // namespace
}  // namespace tb
