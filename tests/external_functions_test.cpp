// Functions of host shared libraries: every signature the table allows, the checks of the
// definitions, calls that call nothing, freeing, secure mode, the library lookup rule and a
// function that crashes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "extensions/extensions.h"
#include "harness.h"
#include "script_harness.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

const std::string kLibrary = TAMBERLO_TEST_NATIVE;

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

struct ExternalTest : test::FunctionTest {
    // external_define of the test library; `types` are the argument types as script text.
    std::string Define(const std::string& symbol, bool string_result,
                       const std::vector<std::string>& types, const std::string& dll = kLibrary) {
        std::string code = "external_define(" + Quote(dll) + ", " + Quote(symbol) +
                           ", dll_cdecl, " + (string_result ? "ty_string" : "ty_real") + ", " +
                           std::to_string(types.size());
        for (const std::string& t : types) code += ", " + t;
        return code + ")";
    }
    double DefineId(const std::string& symbol, bool string_result = false,
                    const std::vector<std::string>& types = {}) {
        RValue id = Eval(Define(symbol, string_result, types));
        return id.IsString() ? -2 : id.real;
    }
};

// What the library's f_KINDS_r and f_KINDS_s give for these arguments.
double Weigh(const std::string& kinds, const std::vector<double>& reals,
             const std::vector<std::string>& texts) {
    double sum = 0;
    for (size_t i = 0; i < kinds.size(); ++i)
        sum += double(i + 1) * (kinds[i] == 'r' ? reals[i] : 1000.0 * double(texts[i].size()));
    return sum;
}

std::string List(const std::string& kinds, const std::vector<double>& reals,
                 const std::vector<std::string>& texts) {
    std::string out;
    for (size_t i = 0; i < kinds.size(); ++i) {
        char number[64];
        std::snprintf(number, sizeof number, "%g", reals[i]);
        out += (i ? "|" : "") + (kinds[i] == 'r' ? std::string(number) : texts[i]);
    }
    return out;
}

TEST_F(ExternalTest, EveryMixOfUpToFourArgumentsAndBothResults) {
    const std::vector<double> reals = {1.5, -2, 3.25, 4e6};
    const std::vector<std::string> texts = {"x", "yy", "", "wwww"};
    for (int n = 0; n <= 4; ++n) {
        for (int mask = 0; mask < (1 << n); ++mask) {
            std::string kinds;
            std::vector<std::string> types, values;
            for (int i = 0; i < n; ++i) {
                const bool text = mask & (1 << i);
                kinds += text ? 's' : 'r';
                types.push_back(text ? "ty_string" : "ty_real");
                char real[64];
                std::snprintf(real, sizeof real, "%.17g", reals[size_t(i)]);
                values.push_back(text ? Quote(texts[size_t(i)]) : real);
            }
            for (bool string_result : {false, true}) {
                const std::string symbol = "f_" + kinds + (string_result ? "_s" : "_r");
                SCOPED_TRACE(symbol);
                // external_define / external_call
                std::string args;
                for (const std::string& v : values) args += ", " + v;
                const double id = DefineId(symbol, string_result, types);
                ASSERT_GE(id, 0);
                RValue general = Eval("external_call(" + std::to_string(int(id)) + args + ")");
                // external_defineN / external_callN
                std::string typed = "external_define" + std::to_string(n) + "(" + Quote(kLibrary) +
                                    ", " + Quote(symbol);
                for (const std::string& t : types) typed += ", " + t;
                typed += string_result ? ", ty_string)" : ", ty_real)";
                RValue fixed = Eval("external_call" + std::to_string(n) + "(" + typed + args + ")");
                for (const RValue& r : {general, fixed}) {
                    if (string_result)
                        EXPECT_TRUE(test::IsText(r, List(kinds, reals, texts))) << r.text.view();
                    else
                        EXPECT_TRUE(test::IsReal(r, Weigh(kinds, reals, texts))) << r.real;
                }
            }
        }
    }
    EXPECT_EQ(errors, std::vector<std::string>{});
}

TEST_F(ExternalTest, FiveToSixteenReals) {
    ExternalFunctions& table = w.engine.extensions->external;
    const bool reals_only[16] = {};
    for (int n = 5; n <= 16; ++n) {
        SCOPED_TRACE(n);
        const std::string kinds(size_t(n), 'r');
        std::vector<double> reals;
        std::vector<RValue> values;
        std::string args;
        for (int i = 0; i < n; ++i) {
            reals.push_back(i * 0.5 - 1);
            values.push_back(RValue::Real(i * 0.5 - 1));
            args += ", " + std::to_string(i * 0.5 - 1);
        }
        const std::string real_symbol = "m_" + std::to_string(n) + "_r";
        const std::string text_symbol = "m_" + std::to_string(n) + "_s";
        // All sixteen through the table: a script call holds at most 16 values in all.
        RValue r;
        const int id = table.Define(kLibrary, real_symbol, kDllStdcall, false, n, reals_only);
        EXPECT_TRUE(table.Call(id, n, values.data(), r));
        EXPECT_TRUE(test::IsReal(r, Weigh(kinds, reals, {})));
        const int sid = table.Define(kLibrary, text_symbol, kDllCdecl, true, n, reals_only);
        EXPECT_TRUE(table.Call(sid, n, values.data(), r));
        EXPECT_TRUE(test::IsText(r, List(kinds, reals, {})));
        if (n > 11) continue;
        // external_define takes 5 + n values, external_call 1 + n.
        std::vector<std::string> types(size_t(n), "ty_real");
        const std::string script_id = std::to_string(int(DefineId(real_symbol, false, types)));
        EXPECT_TRUE(
            test::IsReal(Eval("external_call(" + script_id + args + ")"), Weigh(kinds, reals, {})));
        if (n > 8) continue;
        const std::string fixed = "external_define" + std::to_string(n) + "(" + Quote(kLibrary) +
                                  ", " + Quote(text_symbol) + ", ty_string)";
        EXPECT_TRUE(
            test::IsText(Eval("external_call" + std::to_string(n) + "(" + fixed + args + ")"),
                         List(kinds, reals, {})));
    }
    EXPECT_EQ(errors, std::vector<std::string>{});
}

TEST_F(ExternalTest, StringResultsAndArgumentsOfTheOtherKind) {
    const std::string cut = std::to_string(int(DefineId("cut_text", true)));
    const std::string none = std::to_string(int(DefineId("no_text", true)));
    const std::string greet = std::to_string(int(DefineId("greet", true, {"ty_string"})));
    const std::string add = std::to_string(int(DefineId("f_rr_r", false, {"ty_real", "ty_real"})));
    EXPECT_TRUE(test::IsText(Eval("external_call(" + cut + ")"), "ab"));  // up to the zero byte
    EXPECT_TRUE(test::IsText(Eval("external_call(" + none + ")"), ""));
    EXPECT_TRUE(test::IsText(Eval("external_call(" + greet + ", 'bob')"), "hello bob"));
    // a real where a string goes passes "", a string where a real goes passes 0
    EXPECT_TRUE(test::IsText(Eval("external_call(" + greet + ", 12)"), "hello "));
    EXPECT_TRUE(test::IsReal(Eval("external_call(" + add + ", 'nine', 3)"), 6));
    EXPECT_EQ(errors, std::vector<std::string>{});
}

TEST_F(ExternalTest, DefinitionChecksAndFailures) {
    const std::string lib = Quote(kLibrary);
    struct Case {
        std::string code;
        std::string error;
    } const cases[] = {
        {"external_define(" + lib + ", 'm_5_r', 0, 0, 5, 0, 0, 0, ty_string, 0)",
         "DLL functions with more than 4 arguments cannot have string arguments"},
        {"external_define(" + lib + ", 'm_5_r', 0, 0, 17)",
         "DLL functions can have at most 16 arguments"},
        {"external_define(" + lib + ", 'm_5_r', 0, 0, -1)",
         "DLL functions can have at most 16 arguments"},
        {"external_define(" + lib + ", 'f__r', 0, 0)",
         "Wrong number of arguments to external_define()"},
        {"external_define(" + lib + ", 'f_rr_r', 0, 0, 2, 0)",
         "Wrong number of arguments to external_define()"},
        {"external_define(" + lib + ", 'no_such_function', 0, 0, 0)",
         "Error defining an external function."},
        {"external_define(" + lib + ", 'a_variable', 0, 0, 0)",
         "Error defining an external function."},
        {"external_define('no_such_library.dll', 'f__r', 0, 0, 0)",
         "Error defining an external function."},
        {"external_define0('no_such_library.dll', 'f__r', 0)",
         "Error defining an external function."},
        {"external_define5(" + lib + ", 'nothing', 0)", "Error defining an external function."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        errors.clear();
        EXPECT_TRUE(test::IsReal(Eval(c.code), -1));
        EXPECT_EQ(errors, std::vector<std::string>{c.error});
    }
}

TEST_F(ExternalTest, CallsThatCallNothingAndFreeing) {
    // A copy of its own, so that no other test has it loaded and its counter starts at 0.
    test::ScratchDir dir;
    const std::string library = dir / "counter.so";
    fs::copy_file(kLibrary, library);
    const std::string define = "external_define0(" + Quote(library) + ", 'count_calls', ty_real)";
    const std::string a = std::to_string(int(Eval(define).real));
    EXPECT_TRUE(test::IsReal(Eval("external_call(" + a + ", 5)"), 0));  // one argument too many
    EXPECT_TRUE(test::IsReal(Eval("external_call1(" + a + ", 5)"), 0));
    EXPECT_TRUE(test::IsReal(Eval("external_call(99)"), 0));
    EXPECT_TRUE(test::IsReal(Eval("external_call(-1)"), 0));
    EXPECT_TRUE(test::IsReal(Eval("external_call()"), 0));
    EXPECT_TRUE(test::IsReal(Eval("external_call(" + a + ")"), 1));
    // Two ids of one library, named in two letter cases, share one load.
    std::string upper = library;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    const std::string b = std::to_string(
        int(Eval("external_define0(" + Quote(upper) + ", 'count_calls', ty_real)").real));
    EXPECT_TRUE(test::IsReal(Eval("external_call(" + b + ")"), 2));
    // Freed under another letter case: both ids call nothing.
    Eval("external_free(" + Quote(upper) + ")");
    EXPECT_TRUE(test::IsReal(Eval("external_call(" + a + ")"), 0));
    EXPECT_TRUE(test::IsReal(Eval("external_call(" + b + ")"), 0));
    // Defined again: a new id of a freshly loaded library, whose counter starts over.
    EXPECT_TRUE(test::IsReal(Eval(define), 2));
    EXPECT_TRUE(test::IsReal(Eval("external_call(2)"), 1));
    EXPECT_EQ(errors, std::vector<std::string>{});
}

TEST_F(ExternalTest, SecureModeRefusesEveryFunction) {
    const std::string id = std::to_string(int(DefineId("count_calls")));
    const double before = Eval("external_call(" + id + ")").real;
    w.engine.files.secure_mode = true;
    for (const std::string& code :
         {Define("count_calls", false, {}), "external_define0(" + Quote(kLibrary) + ", 'f__r', 0)",
          "external_define5(" + Quote(kLibrary) + ", 'm_5_r', 0)", "external_call(" + id + ")",
          "external_call0(" + id + ")", "external_free(" + Quote(kLibrary) + ")"}) {
        SCOPED_TRACE(code);
        errors.clear();
        RValue r = Eval(code);
        EXPECT_FALSE(test::IsReal(r, 1));
        EXPECT_EQ(errors, std::vector<std::string>{"In secure mode you cannot use DLLs"});
    }
    w.engine.files.secure_mode = false;
    EXPECT_TRUE(test::IsReal(Eval("external_call(" + id + ")"), before + 1));  // nothing was called
}

// --- where libraries are found

struct LookupTest : ::testing::Test {
    test::ScratchDir game, work;
    LibrarySearch search{game.str(), work.str(), false};

    void Copy(const fs::path& to) {
        fs::create_directories(to.parent_path());
        fs::copy_file(kLibrary, to, fs::copy_options::overwrite_existing);
    }
    void WriteWindowsLibrary(const fs::path& to) {
        fs::create_directories(to.parent_path());
        test::WriteText(to, std::string("MZ\x90\0\3\0\0\0", 8));
    }
};

TEST_F(LookupTest, DllNamesFindHostLibrariesInTheirOrder) {
    EXPECT_EQ(FindLibrary("tools.dll", search), "");
    Copy(work.path / "libtools.so");
    EXPECT_EQ(FindLibrary("tools.dll", search), work / "libtools.so");
    Copy(work.path / "tools.so");
    EXPECT_EQ(FindLibrary("tools.dll", search), work / "tools.so");  // name.so before libname.so
    Copy(game.path / "libtools.so");
    EXPECT_EQ(FindLibrary("TOOLS.DLL", search), game / "libtools.so");  // beside the game first
    Copy(game.path / "tools.so");
    EXPECT_EQ(FindLibrary("Tools.Dll", search), game / "tools.so");
    // The folder the game gives comes first, in any letter case, with backslashes.
    Copy(work.path / "plugins" / "tools.so");
    EXPECT_EQ(FindLibrary("Plugins\\tools.dll", search), work / "plugins/tools.so");
    // A name that is no dll is taken as it is.
    EXPECT_EQ(FindLibrary("tools.so", search), game / "tools.so");
    EXPECT_EQ(FindLibrary("other.so", search), "");

    ExternalFunctions table;
    table.search = search;
    const bool none[1] = {false};
    const int id = table.Define("Tools.DLL", "count_calls", kDllCdecl, false, 0, none);
    ASSERT_EQ(id, 0);
    RValue r;
    EXPECT_TRUE(table.Call(id, 0, nullptr, r));
    EXPECT_EQ(r.real, 1);
}

TEST_F(LookupTest, WindowsLibrariesAreNeverLoaded) {
    WriteWindowsLibrary(game.path / "tools.so");
    WriteWindowsLibrary(game.path / "win.so");
    Copy(work.path / "tools.so");
    EXPECT_EQ(FindLibrary("tools.dll", search), work / "tools.so");  // passed over
    EXPECT_EQ(FindLibrary("win.dll", search), "");
    EXPECT_EQ(FindLibrary("win.so", search), "");
    ExternalFunctions table;
    table.search = search;
    const bool none[1] = {false};
    EXPECT_EQ(table.Define("win.dll", "count_calls", kDllCdecl, false, 0, none), -1);
    EXPECT_EQ(table.Define(game / "win.so", "count_calls", kDllCdecl, false, 0, none), -1);
}

}  // namespace
}  // namespace tb
