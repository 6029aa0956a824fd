// The engine's name lookups, the function registry, constants, built-in variables, user
// constants and the first function families.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "world/instance.h"

namespace tb {
namespace {

template <class T>
void AddNamed(ResourceList<T>& list, const std::string& name) {
    list.Add(std::make_unique<T>(), name);
}

CExtensionPackage PackageWith(const std::string& fn_name, int id, int argc) {
    CExtensionFunction fn;
    fn.name = fn_name;
    fn.id = id;
    fn.argument_count = argc;
    CExtensionFile file;
    file.functions.push_back(fn);
    CExtensionPackage p;
    p.name = "pkg";
    p.files.push_back(file);
    return p;
}

// Records what the engine asks of its host.
struct FakeHost {
    std::vector<std::string> boxes, errors, debug;
    void Attach(ScriptEngine& e) {
        e.host.message_box = [this](std::string_view t) { boxes.emplace_back(t); };
        e.host.show_error = [this](std::string_view t, bool) {
            errors.emplace_back(t);
            return ErrorChoice::kIgnore;
        };
        e.host.debug_message = [this](std::string_view t) { debug.emplace_back(t); };
    }
};

TEST(RegistryFunctions, RegisterAppendsAndFindTakesTheFirstEntry) {
    FunctionRegistry r;
    auto h = [](ScriptEngine&, CInstance*, CInstance*, int, RValue&, const RValue*) {};
    EXPECT_EQ(r.Register("f", h, 2), 0);
    EXPECT_EQ(r.Register("g", h, -1), 1);
    EXPECT_EQ(r.Register("f", h, 0), 2);
    EXPECT_EQ(r.Find("f"), 0);
    EXPECT_EQ(r.Find("g"), 1);
    EXPECT_EQ(r.Find("F"), -1);  // case-sensitive
    EXPECT_EQ(r.At(2).argc, 0);
    EXPECT_EQ(r.Count(), 3);
}

TEST(RegistryFunctions, BuiltinFamiliesAreRegisteredWithTheirCounts) {
    ScriptEngine e;
    const std::pair<const char*, int> cases[] = {{"show_debug_message", 1},
                                                 {"export_include_file", 1},
                                                 {"export_include_file_location", 2},
                                                 {"discard_include_file", 1}};
    for (auto [name, argc] : cases) {
        int id = e.FindFunction(name);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(e.functions.At(id).name, name);
        EXPECT_EQ(e.ArgumentCount(id), argc) << name;
    }
    EXPECT_EQ(e.FindFunction("no_such_function"), -1);
}

TEST(RegistryFunctions, ScriptsThenExtensionsThenBuiltins) {
    Game game;
    AddNamed(game.scripts, "scr_other");
    AddNamed(game.scripts, "show_debug_message");  // a script named like a built-in wins
    AddNamed(game.scripts, "ext_both");
    game.extensions.push_back(PackageWith("ext_both", 3, 2));
    game.extensions.push_back(PackageWith("ext_only", 7, -1));
    game.extensions.push_back(PackageWith("discard_include_file", 8, 4));
    ScriptEngine e;
    const int builtin = e.FindFunction("show_debug_message");
    e.game = &game;
    EXPECT_EQ(e.FindFunction("show_debug_message"), kScriptIdBase + 1);
    EXPECT_EQ(e.FindFunction("ext_both"), kScriptIdBase + 2);
    EXPECT_EQ(e.FindFunction("ext_only"), kExtensionIdBase + 7);
    EXPECT_EQ(e.FindFunction("discard_include_file"), kExtensionIdBase + 8);
    EXPECT_EQ(e.FindFunction("export_include_file"), e.functions.Find("export_include_file"));

    const std::pair<int32_t, int32_t> counts[] = {
        {builtin, 1},
        {kScriptIdBase, -1},
        {kScriptIdBase + 99999, -1},  // scripts take 0 to 16 whatever the index
        {kExtensionIdBase + 3, 2},
        {kExtensionIdBase + 7, -1},
        {kExtensionIdBase + 8, 4},
        {kExtensionIdBase + 5, kNoSuchFunction},  // no package defines it
        {-1, kNoSuchFunction},
        {e.functions.Count(), kNoSuchFunction},
        {50000, kNoSuchFunction},
    };
    for (auto [id, argc] : counts) EXPECT_EQ(e.ArgumentCount(id), argc) << id;
}

TEST(RegistryNames, ValueNamesInKindOrderThenConstants) {
    Game game;
    AddNamed(game.objects, "o0");
    AddNamed(game.objects, "spr");  // object 1 shares its name with sprite 2
    AddNamed(game.sprites, "s0");
    AddNamed(game.sprites, "s1");
    AddNamed(game.sprites, "spr");
    AddNamed(game.sounds, "snd");
    AddNamed(game.backgrounds, "snd");
    AddNamed(game.backgrounds, "bk");
    AddNamed(game.paths, "pth");
    AddNamed(game.fonts, "pth");
    AddNamed(game.fonts, "fnt");
    AddNamed(game.timelines, "fnt");
    AddNamed(game.timelines, "tl");
    AddNamed(game.scripts, "tl");
    AddNamed(game.scripts, "scr");
    AddNamed(game.rooms, "scr");
    AddNamed(game.rooms, "rm");
    AddNamed(game.rooms, "c_red");  // a resource hides a constant
    ScriptEngine e;
    e.game = &game;
    const std::pair<const char*, double> cases[] = {
        {"spr", 1},
        {"s1", 1},
        {"snd", 0},
        {"bk", 1},
        {"pth", 0},
        {"fnt", 1},
        {"tl", 1},
        {"scr", 1},
        {"rm", 1},
        {"c_red", 2},
        {"c_blue", 16711680},
        {"pi", 3.141592653589793},
    };
    for (auto [name, value] : cases) {
        RValue v;
        ASSERT_TRUE(e.LookupValueName(name, v)) << name;
        EXPECT_EQ(v, RValue::Real(value)) << name;
    }
    RValue v;
    EXPECT_FALSE(e.LookupValueName("SPR", v));
    EXPECT_FALSE(e.LookupValueName("unknown", v));
}

TEST(Constants, AllBuiltinsInTheirOrder) {
    ConstantTable t;
    DefineBuiltinConstants(t);
    ASSERT_EQ(t.Count(), 288);
    const auto& en = t.Entries();
    const char* first[] = {"self",  "other", "all",   "noone", "global",
                           "local", "true",  "false", "pi",    "pr_pointlist"};
    for (size_t i = 0; i < std::size(first); ++i) EXPECT_EQ(en[i].first, first[i]);
    auto index_of = [&](const std::string& n) {
        for (size_t i = 0; i < en.size(); ++i)
            if (en[i].first == n) return int(i);
        return -1;
    };
    // Groups follow each other in their fixed order.
    const char* order[] = {"c_aqua",           "c_orange",
                           "bm_normal",        "bm_src_alpha_sat",
                           "se_none",          "fa_left",
                           "mb_any",           "vk_nokey",
                           "vk_f12",           "vk_numpad9",
                           "vk_ralt",          "ev_create",
                           "ev_left_button",   "ev_mouse_wheel_down",
                           "ev_outside",       "ev_close_button",
                           "ev_step_normal",   "ty_real",
                           "dll_cdecl",        "fa_readonly",
                           "cr_default",       "cr_size_all",
                           "pt_shape_pixel",   "ps_distr_linear",
                           "ps_change_motion", "ef_explosion"};
    for (size_t i = 1; i < std::size(order); ++i)
        EXPECT_LT(index_of(order[i - 1]), index_of(order[i])) << order[i];
    EXPECT_EQ(en.back().first, "ef_snow");
    EXPECT_EQ(index_of("ev_step"), index_of("ev_destroy") + 1);  // step comes before alarm

    const std::pair<const char*, double> values[] = {
        {"pi", 3.141592653589793},
        {"local", -7},
        {"c_orange", 4235519},
        {"c_silver", 12632256},
        {"bm_zero", 1},
        {"se_equalizer", 64},
        {"vk_return", 13},
        {"vk_f1", 112},
        {"vk_f12", 123},
        {"vk_numpad0", 96},
        {"vk_rshift", 161},
        {"ev_joystick1_button8", 28},
        {"ev_joystick2_button1", 36},
        {"ev_user15", 25},
        {"ev_close_button", 30},
        {"cr_arrrow", -2},
        {"cr_cross", -3},
        {"cr_size_nesw", -6},
        {"cr_size_all", -22},
        {"fa_archive", 32},
        {"pt_shape_snow", 13},
        {"ef_snow", 11},
        {"dll_stdcall", 1},
    };
    for (auto [name, value] : values) {
        RValue v;
        ASSERT_TRUE(t.Find(name, v)) << name;
        EXPECT_EQ(v, RValue::Real(value)) << name;
    }
    std::set<std::string> names;
    for (const auto& entry : en) names.insert(entry.first);
    EXPECT_EQ(names.size(), 288u);  // no name is defined twice
}

TEST(Constants, LaterDefinitionHides) {
    ConstantTable t;
    DefineBuiltinConstants(t);
    t.Define("c_red", RValue::Real(1));
    t.Define("name", RValue::String("a"));
    t.Define("name", RValue::String("b"));
    RValue v;
    ASSERT_TRUE(t.Find("c_red", v));
    EXPECT_EQ(v, RValue::Real(1));
    ASSERT_TRUE(t.Find("name", v));
    EXPECT_EQ(v, RValue::String("b"));
    EXPECT_EQ(t.Count(), 291);
    EXPECT_FALSE(t.Find("C_RED", v));
}

std::vector<std::string>* g_table_messages = nullptr;

TEST(RegistryVariables, TableRefusesThe501st) {
    std::vector<std::string> messages;
    g_table_messages = &messages;
    BuiltinVariableTable t;
    t.message = [](std::string_view m) { g_table_messages->emplace_back(m); };
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(t.Register("v" + std::to_string(i), nullptr, nullptr), i);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(t.Register("extra", nullptr, nullptr), -1);
    EXPECT_EQ(messages, std::vector<std::string>{"INTERNAL ERROR: Adding too many variables"});
    EXPECT_EQ(t.Count(), 500);
    EXPECT_EQ(t.Find("extra"), -1);
    EXPECT_EQ(t.Find("v499"), 499);
    g_table_messages = nullptr;
}

TEST(RegistryVariables, IdsAndNames) {
    ScriptEngine e;
    const int32_t arg = e.VariableIdOf("argument");
    const int32_t arg15 = e.VariableIdOf("argument15");
    const int32_t last = e.VariableIdOf("error_last");
    EXPECT_GE(arg, 0);
    EXPECT_LT(last, kBuiltinVariableLimit);
    EXPECT_EQ(arg15, arg + 16);
    EXPECT_EQ(e.VariableNameOf(arg15), "argument15");
    const int32_t user = e.VariableIdOf("score_total");
    EXPECT_GE(user, kFirstUserVariable);
    EXPECT_EQ(e.VariableIdOf("score_total"), user);
    EXPECT_EQ(e.VariableNameOf(user), "score_total");
    EXPECT_EQ(e.VariableIdOf("Argument"), user + 1);  // case-sensitive
    EXPECT_EQ(e.VariableNameOf(e.builtin_variables.Count()), "<unknown built-in variable>");
    EXPECT_EQ(e.VariableNameOf(9999), "<unknown built-in variable>");
    EXPECT_EQ(e.VariableNameOf(user + 50), "<unknown variable>");
}

// Reads or writes a built-in variable as the interpreter would.
RValue GetVar(ScriptEngine& e, const char* name, int32_t key = 0) {
    const BuiltinVariable* v = e.builtin_variables.At(e.builtin_variables.Find(name));
    EXPECT_NE(v, nullptr) << name;
    RValue out;
    if (v) {
        EXPECT_TRUE(v->get(e, nullptr, key, out));
    }
    return out;
}
void SetVar(ScriptEngine& e, const char* name, const RValue& value, int32_t key = 0) {
    const BuiltinVariable* v = e.builtin_variables.At(e.builtin_variables.Find(name));
    ASSERT_TRUE(v && v->set) << name;
    EXPECT_TRUE(v->set(e, nullptr, key, value));
}

TEST(RegistryVariables, ArgumentSlots) {
    ScriptEngine e;
    for (int i = 0; i < 16; ++i) e.arguments[size_t(i)] = RValue::Real(i * 10);
    EXPECT_EQ(GetVar(e, "argument", 3), RValue::Real(30));
    EXPECT_EQ(GetVar(e, "argument", 15), RValue::Real(150));
    EXPECT_EQ(GetVar(e, "argument", 16), RValue::Real(0));  // out of range: slot 0
    EXPECT_EQ(GetVar(e, "argument", 20), RValue::Real(0));
    EXPECT_EQ(GetVar(e, "argument", -1), RValue::Real(0));
    EXPECT_EQ(GetVar(e, "argument7", 3), RValue::Real(70));  // not an array: key ignored
    SetVar(e, "argument", RValue::String("s"), 4);
    EXPECT_EQ(e.arguments[4], RValue::String("s"));
    SetVar(e, "argument", RValue::Real(5), 40);
    EXPECT_EQ(e.arguments[0], RValue::Real(5));
    SetVar(e, "argument12", RValue::String("x"), 9);
    EXPECT_EQ(e.arguments[12], RValue::String("x"));
    EXPECT_EQ(e.arguments[9], RValue::Real(90));
}

TEST(RegistryVariables, ErrorVariables) {
    ScriptEngine e;
    EXPECT_EQ(GetVar(e, "error_occurred"), RValue::Real(0));
    EXPECT_EQ(GetVar(e, "error_last"), RValue::String(""));
    const std::pair<double, bool> flags[] = {{0.5, true}, {0.49, false}, {1, true}, {-3, false}};
    for (auto [value, stored] : flags) {
        SetVar(e, "error_occurred", RValue::Real(value));
        EXPECT_EQ(e.errors.error_occurred, stored) << value;
        EXPECT_EQ(GetVar(e, "error_occurred"), RValue::Real(stored ? 1 : 0));
    }
    SetVar(e, "error_occurred", RValue::String("1"));  // a string acts as 0
    EXPECT_FALSE(e.errors.error_occurred);
    SetVar(e, "error_last", RValue::String("boom"));
    EXPECT_EQ(e.errors.last_error, "boom");
    EXPECT_EQ(GetVar(e, "error_last"), RValue::String("boom"));
    SetVar(e, "error_last", RValue::Real(3));  // a real acts as the empty text
    EXPECT_EQ(e.errors.last_error, "");
}

TEST(RegistryInstances, FindInstanceSkipsDestroyedAndFollowsChanges) {
    CRoom room;
    for (int id : {100001, 100002, 100003}) {
        auto inst = std::make_unique<CInstance>();
        inst->id = id;
        room.instances.push_back(std::move(inst));
    }
    ScriptEngine e;
    EXPECT_EQ(e.FindInstance(100001), nullptr);  // no room
    e.room = &room;
    EXPECT_EQ(e.FindInstance(100002), room.instances[1].get());
    EXPECT_EQ(e.FindInstance(100002), room.instances[1].get());
    EXPECT_EQ(e.FindInstance(100001), room.instances[0].get());
    EXPECT_EQ(e.FindInstance(100002), room.instances[1].get());
    EXPECT_EQ(e.FindInstance(100004), nullptr);
    room.instances[1]->destroyed = true;
    EXPECT_EQ(e.FindInstance(100002), nullptr);
    // Remembered positions are checked again after the list changes.
    room.instances.erase(room.instances.begin());
    EXPECT_EQ(e.FindInstance(100003), room.instances[1].get());
    room.instances.clear();
    EXPECT_EQ(e.FindInstance(100003), nullptr);
}

TEST(RegistryFunctionsDebug, ShowDebugMessageWritesAndForwards) {
    ScriptEngine e;
    FakeHost host;
    host.Attach(e);
    const FunctionEntry& f = e.functions.At(e.FindFunction("show_debug_message"));
    RValue args[16];
    args[0] = RValue::String("hello");
    RValue result;
    testing::internal::CaptureStdout();
    f.handler(e, nullptr, nullptr, 1, result, args);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "hello\n");
    EXPECT_EQ(host.debug, std::vector<std::string>{"hello"});
    EXPECT_EQ(result, RValue::Real(0));
}

class RegistryFunctionsFiles : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tb_registry_files_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        CDataFile f;
        f.FileName = "data.txt";
        f.DataLoaded = true;
        f.DataStored = true;
        f.data = {'a', 'b', 'c'};
        f.ExportKind = 1;
        f.FreeAfterExport = false;
        game_.included_files.push_back(f);
        e_.game = &game_;
        e_.files.temp_dir = dir_.string();
        host_.Attach(e_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void Call(const char* name, std::vector<std::string> texts) {
        RValue args[16];
        for (size_t i = 0; i < texts.size(); ++i) args[i] = RValue::String(texts[i]);
        RValue result;
        e_.functions.At(e_.FindFunction(name))
            .handler(e_, nullptr, nullptr, int(texts.size()), result, args);
        EXPECT_EQ(result, RValue::Real(0));
    }
    bool LastErrorEndsWith(const std::string& text) const {
        return !host_.errors.empty() && host_.errors.back().ends_with("\r\n\r\n" + text);
    }

    std::filesystem::path dir_;
    Game game_;
    ScriptEngine e_;
    FakeHost host_;
};

TEST_F(RegistryFunctionsFiles, ExportByRuleAndToLocation) {
    Call("export_include_file", {"data.txt"});
    EXPECT_TRUE(std::filesystem::exists(dir_ / "data.txt"));
    const std::string target = (dir_ / "copy.bin").string();
    Call("export_include_file_location", {"data.txt", target});
    std::ifstream in(target, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "abc");
    EXPECT_TRUE(host_.errors.empty());
    EXPECT_TRUE(game_.included_files[0].DataLoaded);  // the location form never frees
}

TEST_F(RegistryFunctionsFiles, ErrorsAreNonFatalScriptErrors) {
    Call("export_include_file", {"missing.txt"});
    EXPECT_TRUE(LastErrorEndsWith("Trying to export non-existing file."));
    Call("export_include_file_location", {"Data.txt", (dir_ / "x").string()});
    EXPECT_TRUE(LastErrorEndsWith("Trying to export non-existing file."));
    Call("discard_include_file", {"nothing"});
    EXPECT_TRUE(LastErrorEndsWith("Trying to discard non-existing file."));
    e_.files.secure_mode = true;
    Call("export_include_file_location", {"data.txt", (dir_ / "x").string()});
    EXPECT_TRUE(LastErrorEndsWith("In secure mode you cannot export a file to a location."));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "x"));
    game_.included_files[0].FileName = "sub/data.txt";
    Call("export_include_file", {"sub/data.txt"});
    EXPECT_TRUE(LastErrorEndsWith("In secure mode you cannot export a data file to sub/data.txt"));
    EXPECT_EQ(host_.errors.size(), 5u);
    EXPECT_TRUE(host_.errors[0].starts_with("ERROR in\r\n"));
    EXPECT_FALSE(e_.errors.aborting);
}

TEST_F(RegistryFunctionsFiles, DiscardedFileNoLongerExports) {
    Call("discard_include_file", {"data.txt"});
    EXPECT_FALSE(game_.included_files[0].DataLoaded);
    Call("export_include_file", {"data.txt"});
    EXPECT_FALSE(std::filesystem::exists(dir_ / "data.txt"));
    EXPECT_TRUE(host_.errors.empty());
}

// User constants compile and run their value text.
class RegistryUserConstants : public testing::Test {
  protected:
    void SetUp() override {
        host_.Attach(e_);
        e_.game = &game_;
    }
    RValue Constant(const char* name) {
        RValue v;
        EXPECT_TRUE(e_.constants.Find(name, v)) << name;
        return v;
    }
    Game game_;
    ScriptEngine e_;
    FakeHost host_;
};

TEST_F(RegistryUserConstants, ValuesAndHiding) {
    AddNamed(game_.objects, "obj_a");
    AddNamed(game_.objects, "obj_b");
    ASSERT_TRUE(e_.DefineUserConstant("c_red", "1"));
    EXPECT_EQ(Constant("c_red"), RValue::Real(1));
    ASSERT_TRUE(e_.DefineUserConstant(" x\t", "2 * 3"));
    EXPECT_EQ(Constant("x"), RValue::Real(6));
    ASSERT_TRUE(e_.DefineUserConstant("b", "2"));
    ASSERT_TRUE(e_.DefineUserConstant("a", "b + 1"));
    EXPECT_EQ(Constant("a"), RValue::Real(3));
    ASSERT_TRUE(e_.DefineUserConstant("_Name9", "\"text\""));
    EXPECT_EQ(Constant("_Name9"), RValue::String("text"));
    ASSERT_TRUE(e_.DefineUserConstant("which", "obj_b + c_red"));
    EXPECT_EQ(Constant("which"), RValue::Real(2));
    EXPECT_TRUE(host_.boxes.empty());
    EXPECT_TRUE(host_.errors.empty());
}

TEST_F(RegistryUserConstants, InvalidNamesAndValues) {
    const std::pair<const char*, const char*> cases[] = {
        {"1x", "Constant name 1x  is not valid."},
        {"  ", "Constant name   is not valid."},
        {"a-b", "Constant name a-b  is not valid."},
        {"a b", "Constant name a b  is not valid."},
    };
    for (auto [name, box] : cases) {
        host_.boxes.clear();
        EXPECT_FALSE(e_.DefineUserConstant(name, "1")) << name;
        EXPECT_EQ(host_.boxes, std::vector<std::string>{box});
    }
    const std::pair<const char*, const char*> values[] = {
        {"a", "b + 1"},      // b is an unknown variable of the scratch instance
        {"v", "1 +"},        // does not compile
        {"w", "1 + \"s\""},  // fails at run time
    };
    for (auto [name, text] : values) {
        host_.boxes.clear();
        EXPECT_FALSE(e_.DefineUserConstant(name, text)) << text;
        EXPECT_EQ(host_.boxes, std::vector<std::string>{"Value for constant " + std::string(name) +
                                                        "  is not valid."});
        RValue v;
        EXPECT_FALSE(e_.constants.Find(name, v));
        EXPECT_FALSE(e_.errors.pending);
    }
    EXPECT_TRUE(host_.errors.empty());  // the compile or run message itself is not shown
    EXPECT_EQ(e_.constants.Count(), 288);
}

TEST_F(RegistryUserConstants, UninitializedAsZeroMakesUnknownNamesZero) {
    e_.settings.uninitialized_as_zero = true;
    ASSERT_TRUE(e_.DefineUserConstant("a", "b + 1"));
    EXPECT_EQ(Constant("a"), RValue::Real(1));
}

TEST_F(RegistryUserConstants, SettingsConstantsInOrderStopAtFirstFailure) {
    game_.settings.ConstantNames = {"b", "a", "1bad", "later"};
    game_.settings.ConstantValues = {"2", "b * 10", "0", "5"};
    EXPECT_FALSE(e_.DefineUserConstants());
    EXPECT_EQ(Constant("a"), RValue::Real(20));
    RValue v;
    EXPECT_FALSE(e_.constants.Find("later", v));
    EXPECT_EQ(host_.boxes, std::vector<std::string>{"Constant name 1bad  is not valid."});
    game_.settings.ConstantNames = {"ok"};
    game_.settings.ConstantValues = {"7"};
    EXPECT_TRUE(e_.DefineUserConstants());
    EXPECT_EQ(Constant("ok"), RValue::Real(7));
}

}  // namespace
}  // namespace tb
