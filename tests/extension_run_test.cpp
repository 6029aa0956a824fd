// Extension packages in a running game: script and library functions, constants, the
// initialisation and finalisation calls, name lookup, failures, secure mode, and a library
// function that crashes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "extensions/extensions.h"
#include "harness.h"
#include "resources/object.h"
#include "resources/room.h"
#include "runner/runner.h"
#include "world/instance.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

const std::string kLibrary = TAMBERLO_TEST_NATIVE;

using Trace = std::vector<std::string>;

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::vector<uint8_t> LibraryBytes() {
    std::string bytes = test::ReadText(kLibrary);
    return Bytes(bytes);
}

// types: one letter per argument, 's' string, 'r' real; result 's' or 'r'.
CExtensionFunction Fn(const std::string& name, const std::string& external, int32_t id,
                      int32_t argc, const std::string& types = "", char result = 'r') {
    CExtensionFunction f;
    f.name = name;
    f.external_name = external;
    f.calling_convention = CExtensionFunction::kCdecl;
    f.id = id;
    f.argument_count = argc;
    f.argument_types.fill(2);
    for (size_t i = 0; i < types.size(); ++i) f.argument_types[i] = types[i] == 's' ? 1 : 2;
    f.result_type = result == 's' ? 1 : 2;
    return f;
}

CExtensionFile ScriptFile(const std::string& text, std::vector<CExtensionFunction> functions) {
    CExtensionFile f;
    f.file_name = "functions.txt";
    f.kind = CExtensionFile::kScript;
    f.contents = Bytes(text);
    f.functions = std::move(functions);
    return f;
}

Game GameWithPackage(CExtensionPackage package, const std::string& create_code) {
    Game g = test::MinimalGame();
    g.extensions.push_back(std::move(package));
    test::AddCodeObject(g, "probe", 0, 0, create_code);
    CObject* probe = g.objects.Get(0);
    probe->GetOrCreateEvent(7, 3)->AddCodeAction("show_debug_message('game end');");
    auto inst = std::make_unique<CInstance>();
    inst->id = 100001;
    g.last_instance_id = 100001;
    g.rooms.Get(0)->instances.push_back(std::move(inst));
    return g;
}

struct Outcome {
    bool started = false;
    Trace trace;
    Trace errors;
    std::vector<bool> fatal;
    Trace fails;
};

Outcome RunPackageGame(const Game& g, bool secure = false, const std::string& folder = "") {
    test::ScratchDir scratch;
    const fs::path dir = folder.empty() ? scratch.path : fs::path(folder);
    test::WriteBytes(dir / "g.bin", pack::WriteGameFile(g));
    Outcome out;
    RunnerOptions options;
    options.headless = true;
    options.steps = 1;
    options.game_path = (dir / "g.bin").string();
    RunnerHost host;
    host.fail = [&](std::string_view t) { out.fails.emplace_back(t); };
    host.script.debug_message = [&](std::string_view t) { out.trace.emplace_back(t); };
    host.script.show_error = [&](std::string_view t, bool fatal) {
        out.errors.emplace_back(t);
        out.fatal.push_back(fatal);
        return ErrorChoice::kIgnore;
    };
    Runner runner(options, host);
    runner.secure_mode = secure;
    out.started = runner.StartRunner();
    runner.Shutdown();
    return out;
}

const std::string kScript =
    "// helpers for the probe\r\nnot code at all (\r\n"
    "#define ext_hello\r\n"
    "show_debug_message('hello ' + string(argument0) + ' ' + string(argument1));\r\n"
    "return argument0 + 1;\r\n"
    "#define   ext_init  \r\n"
    "show_debug_message('init ' + string(PKG_SEVEN) + ' ' + string(PKG_LATER));\r\n"
    "#define ext_final\r\n"
    "show_debug_message('final');\r\n"
    "#define ext_dup\r\n"
    "return 1;\r\n"
    "#define ext_dup\r\n"
    "return 'second';";  // the last line has no line break

CExtensionPackage FullPackage() {
    CExtensionPackage p;
    p.name = "Kit";
    p.folder_name = "temp17";
    CExtensionFile native;
    native.file_name = "native.so";
    native.kind = CExtensionFile::kLibrary;
    native.contents = LibraryBytes();
    native.init_function = "nat_count";
    native.functions = {
        Fn("nat_add", "f_rr_r", 10, 2, "rr"), Fn("nat_greet", "greet", 11, 1, "s", 's'),
        Fn("nat_count", "count_calls", 12, 0), Fn("nat_missing", "not_exported", 13, 0)};
    native.constants = {{"PKG_SEVEN", "3 + 4"}};
    CExtensionFile windows;
    windows.file_name = "win.so";
    windows.kind = CExtensionFile::kLibrary;
    windows.contents = Bytes(std::string("MZ\x90\0", 4));
    windows.functions = {Fn("win_call", "count_calls", 14, 0)};
    CExtensionFile script =
        ScriptFile(kScript, {Fn("ext_hello", "ext_hello", 0, -1), Fn("ext_init", "", 1, 0),
                             Fn("ext_final", "ext_final", 2, 0), Fn("ext_dup", "ext_dup", 3, 0),
                             Fn("abs", "ext_dup", 4, 1)});
    script.init_function = "ext_init";
    script.final_function = "ext_final";
    script.constants = {{"PKG_LATER", "PKG_SEVEN * 2"}};
    p.files = {native, windows, script};
    return p;
}

TEST(ExtensionRun, PackagesInitialiseRunAndFinalise) {
    Game g = GameWithPackage(
        FullPackage(),
        "show_debug_message(string(ext_hello(5)));"
        "show_debug_message(ext_dup());"
        "show_debug_message(abs(-3));"  // the package's function replaces the built-in
        "show_debug_message(string(nat_add(1, 2)));"
        "show_debug_message(nat_greet('kit'));"
        "show_debug_message(string(nat_count()));"
        "show_debug_message(string(nat_missing()) + ' ' + string(win_call()));");
    Outcome r = RunPackageGame(g);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.errors, Trace{});
    EXPECT_EQ(r.trace, (Trace{"init 7 14", "hello 5 0", "6", "second", "second", "5", "hello kit",
                              "2", "0 0", "game end", "final"}));
}

TEST(ExtensionRun, FailuresStopTheGameWithTheirMessages) {
    struct Case {
        const char* what;
        std::string init, final_name, section;
        Trace errors;
        Trace trace;
        bool started;
    } const cases[] = {
        {"no init",
         "nope",
         "",
         "return 1;",
         {"Could not locate initialization function nope"},
         {},
         true},
        {"no final",
         "",
         "nope",
         "return 1;",
         {"Could not locate finalization function nope"},
         {"create", "game end"},
         true},
        {"init fails", "f", "", "x = ;", {}, {}, false},
        {"init error",
         "f",
         "",
         "return undefined_thing;",
         {"In extension function f:\r"},
         {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CExtensionPackage p;
        p.name = "Broken";
        p.folder_name = "temp3";
        CExtensionFile file = ScriptFile("#define f\r\n" + c.section, {Fn("f", "f", 0, 0)});
        file.init_function = c.init;
        file.final_function = c.final_name;
        p.files = {file};
        Outcome r = RunPackageGame(GameWithPackage(p, "show_debug_message('create');"));
        EXPECT_EQ(r.trace, c.trace);
        EXPECT_EQ(r.started, c.started);
        if (!c.started) {
            EXPECT_EQ(r.fails, Trace{"Failed to prepare extension packages."});
            ASSERT_EQ(r.errors.size(), 1u);
            EXPECT_TRUE(r.errors[0].starts_with("COMPILATION ERROR in extension package Broken\r"))
                << r.errors[0];
            continue;
        }
        ASSERT_EQ(r.errors.size(), c.errors.size());
        for (size_t i = 0; i < c.errors.size(); ++i) {
            EXPECT_TRUE(r.errors[i].starts_with(c.errors[i])) << r.errors[i];
            EXPECT_TRUE(r.fatal[i]);
        }
    }
}

TEST(ExtensionRun, RunTimeErrorsOfScriptFunctionsNameTheFunction) {
    CExtensionPackage p;
    p.name = "Kit";
    p.folder_name = "temp4";
    p.files = {
        ScriptFile("#define bad\r\nreturn argument0 + undefined_thing;", {Fn("bad", "bad", 0, 1)})};
    Outcome r =
        RunPackageGame(GameWithPackage(p, "x = bad(1); show_debug_message('not reached');"));
    EXPECT_EQ(r.trace, (Trace{"game end"}));
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("In extension function bad:\r"), std::string::npos) << r.errors[0];
    EXPECT_FALSE(r.fatal[0]);
}

TEST(ExtensionRun, SecureModeRefusesPackages) {
    CExtensionPackage with_init = FullPackage();
    Outcome r = RunPackageGame(GameWithPackage(with_init, "show_debug_message('create');"), true);
    EXPECT_EQ(r.trace, Trace{});
    ASSERT_FALSE(r.errors.empty());
    EXPECT_EQ(r.errors[0], "In secure mode you cannot use extension packages.");
    EXPECT_TRUE(r.fatal[0]);

    CExtensionPackage plain;
    plain.name = "Kit";
    plain.folder_name = "temp5";
    plain.files = {ScriptFile("#define f\r\nreturn 1;", {Fn("f", "f", 0, 0)})};
    r = RunPackageGame(GameWithPackage(plain, "show_debug_message(string(f()));"), true);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("In secure mode you cannot use extension packages."),
              std::string::npos);
    EXPECT_FALSE(r.fatal[0]);
}

TEST(ExtensionRun, PackageLibrariesFoundBesideTheGame) {
    // The package carries a Windows library; the port's host library sits beside the game.
    test::ScratchDir dir;
    fs::copy_file(kLibrary, dir.path / "tools.so");
    CExtensionPackage p;
    p.name = "Tools";
    p.folder_name = "temp6";
    CExtensionFile file;
    file.file_name = "Tools.DLL";
    file.kind = CExtensionFile::kLibrary;
    file.contents = Bytes(std::string("MZ\x90\0", 4));
    file.functions = {Fn("tools_add", "f_rr_r", 0, 2, "rr")};
    p.files = {file};
    Outcome r = RunPackageGame(GameWithPackage(p, "show_debug_message(string(tools_add(2, 5)));"),
                               false, dir.str());
    EXPECT_EQ(r.trace, (Trace{"12", "game end"}));
}

// --- a library function that crashes

TEST(ExternalCrash, TheCallFailsAndNothingIsCalledAfterwards) {
    // A copy of its own: a library that crashed stays loaded for the rest of the process.
    test::ScratchDir dir;
    const std::string library = dir / "crashing.so";
    fs::copy_file(kLibrary, library);
    ExternalFunctions table;
    const bool reals[1] = {false};
    const int crash = table.Define(library, "crash", kDllCdecl, false, 1, reals);
    const int count = table.Define(library, "count_calls", kDllCdecl, false, 0, reals);
    ASSERT_GE(crash, 0);
    RValue r, arg = RValue::Real(3);
    EXPECT_TRUE(table.Call(count, 0, nullptr, r));
    EXPECT_EQ(r.real, 1);
    EXPECT_FALSE(table.Call(crash, 1, &arg, r));
    EXPECT_TRUE(table.Crashed());
    EXPECT_TRUE(table.Call(count, 0, nullptr, r));
    EXPECT_EQ(r.real, 0);
}

TEST(ExternalCrash, TheRunnerReportsItEndsTheGameAndWritesTheLog) {
    test::ScratchDir dir;
    Game g = test::MinimalGame();
    test::AddCodeObject(g, "probe", 0, 0,
                        "id_crash = external_define('" + kLibrary +
                            "', 'crash', dll_cdecl, ty_real, 1, ty_real);"
                            "external_call(id_crash, 1);");
    test::AddCodeObject(g, "stepper", 3, 0, "show_debug_message('step');");
    for (int object : {0, 1}) {
        auto inst = std::make_unique<CInstance>();
        inst->id = 100001 + object;
        inst->object_index = object;
        g.rooms.Get(0)->instances.push_back(std::move(inst));
    }
    g.last_instance_id = 100002;
    test::WriteBytes(dir.path / "g.bin", pack::WriteGameFile(g));
    test::ProcessResult p = test::RunTamberlo({"--headless", "--steps", "5", "g.bin"}, dir.path);
    EXPECT_EQ(p.exit_code, 0) << p.err;
    EXPECT_NE(p.err.find("Error in external function crash"), std::string::npos) << p.err;
    EXPECT_EQ(p.out.find("step"), std::string::npos);  // the game ended before its first step
    EXPECT_NE(test::ReadText(dir.path / "game_errors.log").find("Error in external function crash"),
              std::string::npos);
}

}  // namespace
}  // namespace tb
