#include "resources/script.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "pack/project_code.h"
#include "pack/project_error.h"

namespace tb {
namespace {

// A fresh folder per test, removed afterwards.
struct Scratch {
    std::filesystem::path dir;
    Scratch() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("tb_code_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" +
               info->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
};

void WriteFileText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string ReadFileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The record as the editor writes it: the text as a string, scrambled, then compressed.
CStream ScriptRecord(int32_t version, std::string_view text) {
    CStream plain;
    WriteString(plain, text);
    ScrambleSubstitute(plain, 27183, 0, 0);
    CStream s;
    WriteInteger(s, version);
    WriteCompressed(s, plain);
    s.pos = 0;
    return s;
}

TEST(ScriptRecord, HandBuiltRecordKeepsTheTextScrambled) {
    const std::string text = "var a;\r\na = argument0 * 2;\r\nreturn a;";
    CStream s = ScriptRecord(400, text);
    CScript sc;
    ASSERT_TRUE(sc.LoadFromStream(s));
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(sc.GetScriptText(), text);
    ASSERT_EQ(sc.text.size(), text.size() + 4);
    EXPECT_NE(std::string(sc.text.begin() + 4, sc.text.end()), text);

    CStream out;
    sc.WriteToStream(out);
    out.pos = 0;
    CScript back;
    ASSERT_TRUE(back.LoadFromStream(out));
    EXPECT_EQ(back, sc);

    CScript set;
    set.SetScriptText(text);
    EXPECT_EQ(set.text, sc.text);
}

TEST(ScriptRecord, WrongVersionTruncationAndEmptyText) {
    CScript sc;
    CStream bad = ScriptRecord(401, "x");
    EXPECT_FALSE(sc.LoadFromStream(bad));
    CStream full = ScriptRecord(400, "x = 1;");
    CStream cut(std::vector<uint8_t>(full.data.begin(), full.data.end() - 3));
    EXPECT_THROW(sc.LoadFromStream(cut), StreamError);

    CScript none;
    EXPECT_EQ(none.GetScriptText(), "");
    CStream s;
    none.WriteToStream(s);
    s.pos = 0;
    CScript back;
    ASSERT_TRUE(back.LoadFromStream(s));
    EXPECT_EQ(back, none);

    none.SetScriptText("");
    EXPECT_EQ(none.text.size(), 4u);
    EXPECT_EQ(none.GetScriptText(), "");
}

TEST(ScriptRecord, TextBlockShorterThanItsStringRaises) {
    CScript sc;
    sc.SetScriptText("hello");
    sc.text.resize(6);
    EXPECT_THROW(sc.GetScriptText(), StreamError);
}

TEST(ProjectCode, ScriptTextAsPlainFile) {
    Scratch t;
    CScript s;
    s.SetScriptText("// caf\xC3\xA9\r\nreturn argument0;\r\n");
    pack::SaveScript(s, t.dir / "scr");
    EXPECT_EQ(ReadFileText(t.dir / "scr.txt"), "// caf\xC3\xA9\r\nreturn argument0;\r\n");
    CScript back;
    pack::LoadScript(t.dir / "scr", back);
    EXPECT_EQ(back, s);

    WriteFileText(t.dir / "scr.txt", "x = 2;");  // edited by hand
    pack::LoadScript(t.dir / "scr", back);
    EXPECT_EQ(back.GetScriptText(), "x = 2;");

    CScript none;
    pack::SaveScript(none, t.dir / "none");
    pack::LoadScript(t.dir / "none", back);
    EXPECT_EQ(back, none);

    std::filesystem::remove(t.dir / "scr.txt");
    EXPECT_THROW(pack::LoadScript(t.dir / "scr", back), pack::ProjectError);
    WriteFileText(t.dir / "bad.json", "{\"has_text\": \"yes\"}");
    EXPECT_THROW(pack::LoadScript(t.dir / "bad", back), pack::ProjectError);
}

}  // namespace
}  // namespace tb
