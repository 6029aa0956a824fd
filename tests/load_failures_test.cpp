// Every way a load or a preparation can fail, as a user of the headless runner sees it: each
// message that belongs to the failure on standard error, in order, nothing on standard output,
// and exit status 1.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "harness.h"
#include "platform/host.h"
#include "runner/game_file.h"
#include "runner/messages.h"
#include "runner/runner.h"

namespace tb {
namespace {

// The stored file with its whole-file shift undone, patched at `offset`, stored again.
std::vector<uint8_t> PatchedFile(const Game& g, size_t offset, uint8_t value) {
    CStream s(pack::WriteGameFile(g));
    UnshiftFile(s);
    s.data.at(offset) = value;
    ShiftFile(s);
    return std::move(s.data);
}

std::vector<uint8_t> WithVersions(const Game& g, void (*change)(pack::ListVersions&)) {
    pack::WriteOptions o;
    change(o.versions);
    return pack::WriteGameFile(g, o);
}

Game Minimal(void (*change)(Game&)) {
    Game g = test::MinimalGame();
    change(g);
    return g;
}

Game Rich(void (*change)(Game&)) {
    Game g = test::RichGame();
    change(g);
    return g;
}

// Checks that `parts` occur in `text` in this order.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& parts,
                   const std::string& name) {
    size_t at = 0;
    for (const std::string& part : parts) {
        const size_t found = text.find(part, at);
        ASSERT_NE(found, std::string::npos) << name << ": " << part << "\n" << text;
        at = found + part.size();
    }
}

TEST(LoadFailures, HeadlessEveryMessageGoesToStandardErrorInOrder) {
    struct Case {
        const char* name;
        std::function<std::vector<uint8_t>()> file;  // null: no file at all
        std::vector<std::string> messages;           // in order; the last one is the failure's own
        bool whole_text = true;                      // the messages are all of standard error
    };
    const Case cases[] = {
        {"missing file", nullptr, {msg::kCannotRead}},
        {"zero length", [] { return std::vector<uint8_t>{}; }, {msg::kCorrupted}},
        {"magic number",
         [] { return PatchedFile(test::MinimalGame(), 0, 0x90); },
         {msg::kNotGameFile}},
        {"version", [] { return PatchedFile(test::MinimalGame(), 4, 0xBD); }, {msg::kWrongVersion}},
        {"settings version",
         [] { return PatchedFile(test::MinimalGame(), 12, 0xBF); },
         {msg::kResourceData}},
        {"truncated settings",
         [] {
             std::vector<uint8_t> b = pack::WriteGameFile(test::MinimalGame());
             b.resize(30);
             return b;
         },
         {msg::kCorrupted}},
        {"extension list",
         [] {
             return WithVersions(test::MinimalGame(),
                                 [](pack::ListVersions& v) { v.extensions = 699; });
         },
         {msg::kExtensionLoad, msg::kResourceData}},
        {"sprite list",
         [] {
             return WithVersions(test::MinimalGame(),
                                 [](pack::ListVersions& v) { v.sprites += 1; });
         },
         {msg::kResourceData}},
        {"empty room order",
         [] { return pack::WriteGameFile(Minimal([](Game& g) { g.room_order.clear(); })); },
         {msg::kResourceData}},
        {"extension constant",
         [] {
             return pack::WriteGameFile(
                 Rich([](Game& g) { g.extensions[0].files[0].constants[0].name = "9lives"; }));
         },
         {"Constant name 9lives  is not valid.", msg::kPrepareExtensions}},
        {"user constant name",
         [] {
             return pack::WriteGameFile(Minimal([](Game& g) {
                 g.settings.ConstantNames = {"ok", "1x"};
                 g.settings.ConstantValues = {"1", "2"};
             }));
         },
         {"Constant name 1x  is not valid.", msg::kConstants}},
        {"user constant value",
         [] {
             return pack::WriteGameFile(Minimal([](Game& g) {
                 g.settings.ConstantNames = {"bad"};
                 g.settings.ConstantValues = {"1 +"};
             }));
         },
         {"Value for constant bad  is not valid.", msg::kConstants}},
        {"script",
         [] {
             return pack::WriteGameFile(
                 Rich([](Game& g) { g.scripts.Get(0)->SetScriptText("b = ;"); }));
         },
         {"COMPILATION ERROR in Script: scr_next", msg::kCompileScripts},
         false},
        {"time line action",
         [] {
             return pack::WriteGameFile(Rich([](Game& g) {
                 g.timelines.Get(0)->GetMomentEvent(1)->actions[0].ArgumentTexts[0] = "x = (;";
             }));
         },
         {"FATAL ERROR in", "of time line tl_intro:", msg::kCompileTimeLines},
         false},
        {"object action",
         [] {
             return pack::WriteGameFile(
                 Minimal([](Game& g) { test::AddCodeObject(g, "obj_broken", 3, 0, "if then"); }));
         },
         {"FATAL ERROR in", "for object obj_broken:", "COMPILATION ERROR in code action",
          msg::kCompileObjects},
         false},
    };
    for (const Case& c : cases) {
        test::ScratchDir dir;
        const std::filesystem::path file = dir.path / "g.bin";
        if (c.file) test::WriteBytes(file, c.file());
        test::ProcessResult r = test::RunTamberlo({"--headless", file.string()}, dir.path);
        EXPECT_EQ(r.exit_code, 1) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        if (c.whole_text) {
            std::string want;
            for (const std::string& m : c.messages) want += m + "\n";
            EXPECT_EQ(r.err, want) << c.name;
        } else {
            ExpectInOrder(r.err, c.messages, c.name);
            EXPECT_TRUE(r.err.ends_with(c.messages.back() + "\n")) << c.name << "\n" << r.err;
        }
    }
}

// The stages that the platform and the later subsystems fill can fail too; the same host
// the runner binary uses writes their messages.
TEST(LoadFailures, HeadlessStageFailuresGoToStandardError) {
    test::ScratchDir dir;
    const std::string file = dir / "g.bin";
    test::WriteBytes(file, pack::WriteGameFile(test::MinimalGame()));
    struct Case {
        const char* name;
        std::function<void(RunnerStages&)> stage;
        std::string err;
        bool sound_released;
    };
    const Case cases[] = {
        {"graphics library",
         [](RunnerStages& s) { s.load_graphics_library = [](Runner&) { return false; }; },
         std::string(msg::kGraphicsLibrary) + "\n", false},
        {"sounds", [](RunnerStages& s) { s.prepare_sounds = [](Runner&) { return false; }; },
         std::string(msg::kPrepareSounds) + "\n", false},
        {"graphics",
         [](RunnerStages& s) {
             s.prepare_graphics = [](Runner& r) {
                 r.host.fail("Failed to retrieve display mode.");
                 return false;
             };
         },
         "Failed to retrieve display mode.\n", true},
        {"run",
         [](RunnerStages& s) { s.run_game = [](Runner&) { throw std::runtime_error("broken"); }; },
         std::string(msg::kUnexpected) + "\n", false},
    };
    for (const Case& c : cases) {
        PlatformHost platform(true);
        RunnerOptions options;
        options.headless = true;
        options.game_path = file;
        bool released = false;
        RunnerStages stages;
        stages.release_sound = [&released](Runner&) { released = true; };
        c.stage(stages);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        bool started;
        {
            Runner runner(options, platform.MakeRunnerHost(), stages);
            started = runner.StartRunner();
        }
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_FALSE(started) << c.name;
        EXPECT_EQ(err, c.err) << c.name;
        EXPECT_EQ(out, "") << c.name;
        EXPECT_EQ(released, c.sound_released) << c.name;
    }
}

}  // namespace
}  // namespace tb
