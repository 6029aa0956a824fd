// The rich text of the game information and of text splash screens: the subset the editor
// writes (font and colour tables, bold, italic, underline, sizes, colours, alignment,
// paragraphs, tabs, code-page and unicode escapes), parsed into styled runs. Pictures and
// other destinations are skipped. A text that is not rich text is taken as plain lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

struct RichStyle {
    std::string font = "Arial";
    double size = 10;   // points
    int32_t color = 0;  // script colour (red + green * 256 + blue * 65536)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const RichStyle&) const = default;
};

struct RichRun {
    std::string text;  // UTF-8; "\t" for tabs
    RichStyle style;
    bool operator==(const RichRun&) const = default;
};

enum class RichAlign : uint8_t { Left, Center, Right, Justify };

struct RichParagraph {
    RichAlign align = RichAlign::Left;
    std::vector<RichRun> runs;
    bool operator==(const RichParagraph&) const = default;
};

struct RichDocument {
    std::vector<RichParagraph> paragraphs;
    // The text of every paragraph, joined with "\n".
    std::string PlainText() const;
};

RichDocument ParseRichText(std::string_view text);

// A byte of the Windows-1252 code page as UTF-8 (control holes keep their Latin-1 value).
void AppendCp1252(std::string& out, unsigned char byte);
void AppendUtf8(std::string& out, uint32_t code_point);

}  // namespace tb
