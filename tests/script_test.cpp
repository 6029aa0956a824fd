#include "resources/script.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "harness.h"
#include "pack/project_code.h"
#include "pack/project_error.h"

namespace tb {
namespace {

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
    test::ScratchDir t;
    CScript s;
    s.SetScriptText("// caf\xC3\xA9\r\nreturn argument0;\r\n");
    pack::SaveScript(s, t.path / "scr");
    EXPECT_EQ(test::ReadText(t.path / "scr.txt"), "// caf\xC3\xA9\r\nreturn argument0;\r\n");
    CScript back;
    pack::LoadScript(t.path / "scr", back);
    EXPECT_EQ(back, s);

    test::WriteText(t.path / "scr.txt", "x = 2;");  // edited by hand
    pack::LoadScript(t.path / "scr", back);
    EXPECT_EQ(back.GetScriptText(), "x = 2;");

    CScript none;
    pack::SaveScript(none, t.path / "none");
    pack::LoadScript(t.path / "none", back);
    EXPECT_EQ(back, none);

    std::filesystem::remove(t.path / "scr.txt");
    EXPECT_THROW(pack::LoadScript(t.path / "scr", back), pack::ProjectError);
    test::WriteText(t.path / "bad.json", "{\"has_text\": \"yes\"}");
    EXPECT_THROW(pack::LoadScript(t.path / "bad", back), pack::ProjectError);
}

}  // namespace
}  // namespace tb
