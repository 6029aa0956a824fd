// The rich-text subset of the game information and text splashes.
#include "dialogs/rich_text.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

TEST(RichText, ParagraphsAndPlainText) {
    const std::pair<const char*, const char*> cases[] = {
        {"{\\rtf1\\ansi Hello\\par World}", "Hello\nWorld"},
        {"{\\rtf1 a\\tab b\\line c}", "a\tb\nc"},
        {"{\\rtf1 caf\\'e9 \\'80}", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"{\\rtf1\\uc1 \\u8364?x\\u-4064?}",
         "\xE2\x82\xAC"
         "x"
         "\xEF\x80\xA0"},
        {"{\\rtf1 \\{braces\\} and \\\\}", "{braces} and \\"},
        {"{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}{\\*\\generator Ed;}{\\info{\\title T}}Body\\par}",
         "Body"},
        {"{\\rtf1{\\pict\\pngblip 89504e47}after}", "after"},
        {"plain\r\ntext", "plain\ntext"},
        {"{\\rtf1 unterminated {\\b group", "unterminated group"},
    };
    for (auto [in, out] : cases) EXPECT_EQ(ParseRichText(in).PlainText(), out) << in;
}

TEST(RichText, StylesFontsAndColours) {
    RichDocument d = ParseRichText(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\froman Times New Roman;}}"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}"
        "\\pard\\qc\\f1\\fs28\\cf1\\b Title\\b0\\par"
        "\\pard\\f0\\fs20\\cf2 normal \\i italic\\i0  \\ul under\\ulnone\\par}");
    ASSERT_EQ(d.paragraphs.size(), 2u);
    const RichParagraph& title = d.paragraphs[0];
    EXPECT_EQ(title.align, RichAlign::Center);
    ASSERT_EQ(title.runs.size(), 1u);
    EXPECT_EQ(title.runs[0].text, "Title");
    EXPECT_EQ(title.runs[0].style.font, "Times New Roman");
    EXPECT_EQ(title.runs[0].style.size, 14);
    EXPECT_EQ(title.runs[0].style.color, 255);  // red as a script colour
    EXPECT_TRUE(title.runs[0].style.bold);
    const RichParagraph& body = d.paragraphs[1];
    EXPECT_EQ(body.align, RichAlign::Left);
    ASSERT_EQ(body.runs.size(), 4u);
    EXPECT_EQ(body.runs[0].style.color, 128 * 65536);
    EXPECT_FALSE(body.runs[0].style.bold);
    EXPECT_TRUE(body.runs[1].style.italic);
    EXPECT_EQ(body.runs[1].text, "italic");
    EXPECT_TRUE(body.runs[3].style.underline);
    EXPECT_EQ(body.runs[3].text, "under");
}

TEST(RichText, MalformedInputDoesNotBreakIt) {
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 100000; ++i) deep += '{';
    deep += "x";
    EXPECT_EQ(ParseRichText(deep).PlainText(), "x");
    EXPECT_EQ(ParseRichText("{\\rtf1 \\'").PlainText(), "");
    EXPECT_EQ(ParseRichText("{\\rtf1 \\fs99999999999999 big}").PlainText(), "big");
    EXPECT_EQ(ParseRichText("{\\rtf1{\\colortbl;}\\cf7 x}").paragraphs[0].runs[0].style.color, 0);
}

}  // namespace
}  // namespace tb
