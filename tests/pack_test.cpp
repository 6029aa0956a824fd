// Game files and project folders round-trip through the runner's load path.
#include <gtest/gtest.h>

#include <fstream>

#include "harness.h"
#include "pack/project.h"
#include "pack/project_error.h"
#include "runner/game_file.h"
#include "runner/messages.h"

namespace tb {
namespace {

using pack::WriteGameFile;

TEST(Pack, RichGameLoadsWithEveryRecord) {
    Game g = test::RichGame();
    test::LoadOutcome r = test::LoadGame(g);
    ASSERT_EQ(r.failure, "");
    const Game& l = r.game;
    EXPECT_EQ(l.settings.ConstantNames, g.settings.ConstantNames);
    EXPECT_EQ(l.settings.LoadingImage, g.settings.LoadingImage);
    EXPECT_EQ(*l.sounds.Get(0), *g.sounds.Get(0));
    EXPECT_FALSE(l.sounds.Exists(1));
    EXPECT_EQ(*l.sprites.Get(0), *g.sprites.Get(0));
    EXPECT_TRUE(l.sprites.Get(0)->masks_built);
    EXPECT_EQ(*l.backgrounds.Get(0), *g.backgrounds.Get(0));
    EXPECT_EQ(l.paths.Get(0)->computed.size(), g.paths.Get(0)->computed.size());
    EXPECT_EQ(l.scripts.Get(0)->GetScriptText(), "return argument0 + 1;");
    EXPECT_EQ(*l.fonts.Get(0), *g.fonts.Get(0));
    EXPECT_EQ(*l.timelines.Get(0), *g.timelines.Get(0));
    EXPECT_EQ(l.objects.Get(1)->ParentIndex, 0);
    EXPECT_EQ(l.included_files, g.included_files);
    EXPECT_EQ(l.extensions, g.extensions);
    EXPECT_EQ(l.info.Text, g.info.Text);
    EXPECT_EQ(l.library_init_code, g.library_init_code);

    // The room: stretched layer scaled by the loaded background, instance in the family of
    // its object's parent.
    const CRoom& room = *l.rooms.Get(0);
    EXPECT_EQ(room.backgrounds[0].XScale, 800.0 / 16);
    EXPECT_EQ(room.backgrounds[0].YScale, 480.0 / 8);
    ASSERT_EQ(room.InstanceCount(), 1);
    EXPECT_EQ(room.GetInstance(0)->creation_code, "hp = 5;");
    EXPECT_EQ(room.InstancesOfFamily(0).size(), 1u);
    EXPECT_EQ(room.InstancesOfObject(0).size(), 0u);

    // The step action names a script: resolved to its function id at load time.
    const CAction& call = l.objects.Get(1)->GetEvent(3, 0)->actions[0];
    EXPECT_EQ(call.FunctionIndex, kScriptFunctionBase + 0);
}

TEST(Pack, GameFileAndProjectRoundTripsGiveTheSameBytes) {
    Game g = test::RichGame();
    std::vector<uint8_t> file = WriteGameFile(g);
    test::LoadOutcome loaded = test::LoadBytes(file);
    ASSERT_EQ(loaded.failure, "");
    EXPECT_EQ(WriteGameFile(loaded.game), file);

    test::ScratchDir dir;
    pack::SaveProject(loaded.game, dir.path / "proj");
    Game from_project = pack::LoadProject(dir.path / "proj");
    EXPECT_EQ(WriteGameFile(from_project), file);

    // Script code lives in plain text files that people edit.
    std::ifstream script(dir.path / "proj" / "scripts" / "scr_next.txt");
    std::string text((std::istreambuf_iterator<char>(script)), {});
    EXPECT_EQ(text, "return argument0 + 1;");
}

TEST(Pack, ResourceNamesThatAreNoFileNamesStillRoundTrip) {
    Game g = test::MinimalGame();
    g.scripts.Add(std::make_unique<CScript>(), "../escape");
    g.scripts.Add(std::make_unique<CScript>(), "Same");
    g.scripts.Add(std::make_unique<CScript>(), "same");  // differs only in case
    g.scripts.Get(0)->SetScriptText("a = 1;");
    test::ScratchDir dir;
    pack::SaveProject(g, dir.path);
    EXPECT_FALSE(std::filesystem::exists(dir.path.parent_path() / "escape.json"));
    Game back = pack::LoadProject(dir.path);
    EXPECT_EQ(back.scripts.names, g.scripts.names);
    EXPECT_EQ(WriteGameFile(back), WriteGameFile(g));
}

TEST(Pack, BrokenProjectsNameTheirFault) {
    test::ScratchDir dir;
    pack::SaveProject(test::MinimalGame(), dir.path);
    std::ifstream in(dir.path / "game.json");
    std::string good((std::istreambuf_iterator<char>(in)), {});
    auto expect_fault = [&](const std::string& game_json, const std::string& fragment) {
        std::ofstream(dir.path / "game.json") << game_json;
        try {
            pack::LoadProject(dir.path);
            ADD_FAILURE() << "loaded: " << game_json;
        } catch (const pack::ProjectError& e) {
            EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
        }
    };
    expect_fault("{", "game.json");
    expect_fault("{\"format\": 9}", "unknown project format");
    std::string bad = good;
    bad.replace(bad.find("\"file\": \"room0\""), 15, "\"file\": \"../x\"");
    expect_fault(bad, "bad file name");
    bad = good;
    bad.replace(bad.find("\"file\": \"room0\""), 15, "\"file\": \"gone\"");
    expect_fault(bad, "gone");
}

TEST(Load, UnknownActionFunctionsAreReportedOnceARegistryExists) {
    Game g = test::MinimalGame();
    auto obj = std::make_unique<CObject>();
    CAction a;
    a.ExecType = 1;
    a.FunctionName = "action_nowhere";
    obj->GetOrCreateEvent(0, 0)->actions.push_back(a);
    a.FunctionName = "action_known";
    obj->GetOrCreateEvent(0, 0)->actions.push_back(a);
    g.objects.Add(std::move(obj), "o");

    std::vector<std::string> messages;
    LoadContext ctx;
    ctx.message = [&](std::string_view m) { messages.emplace_back(m); };
    Game quiet;
    ASSERT_EQ(LoadGameFile(WriteGameFile(g), quiet, ctx), "");
    EXPECT_TRUE(messages.empty());

    ctx.find_builtin = [](std::string_view name) { return name == "action_known" ? 17 : -1; };
    Game out;
    ASSERT_EQ(LoadGameFile(WriteGameFile(g), out, ctx), "");
    EXPECT_EQ(messages,
              std::vector<std::string>{std::string(msg::kLocateAction) + "action_nowhere"});
    const CEvent* e = out.objects.Get(0)->GetEvent(0, 0);
    EXPECT_EQ(e->actions[0].FunctionIndex, -1);
    EXPECT_EQ(e->actions[1].FunctionIndex, 17);
}

TEST(Load, ExtensionFunctionsResolveAfterScripts) {
    Game g = test::RichGame();
    Game probe;
    LoadContext ctx;
    ASSERT_EQ(LoadGameFile(WriteGameFile(g), probe, ctx), "");
    EXPECT_EQ(ResolveFunctionName(probe, ctx, "scr_next"), kScriptFunctionBase);
    EXPECT_EQ(ResolveFunctionName(probe, ctx, "tools_twice"), kExtensionFunctionBase);
    EXPECT_EQ(ResolveFunctionName(probe, ctx, "nothing"), -1);
}

}  // namespace
}  // namespace tb
