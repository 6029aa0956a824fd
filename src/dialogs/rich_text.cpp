#include "dialogs/rich_text.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace tb {

namespace {

constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178,
};

// Nested groups deeper than this are read as text of the deepest one (a malformed file must
// not exhaust the state stack).
constexpr size_t kMaxDepth = 256;

struct GroupState {
    RichStyle style;
    int32_t font_index = 0;
    int skip_after_unicode = 1;
    enum Destination { kText, kFontTable, kColorTable, kSkip } destination = kText;
};

class Parser {
  public:
    explicit Parser(std::string_view t) : text_(t) {}

    RichDocument Run() {
        stack_.push_back(GroupState());
        doc_.paragraphs.emplace_back();
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '{') {
                ++pos_;
                if (stack_.size() < kMaxDepth) stack_.push_back(stack_.back());
            } else if (c == '}') {
                ++pos_;
                EndGroup();
            } else if (c == '\\') {
                ++pos_;
                ControlWord();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                Byte(static_cast<unsigned char>(c));
            }
        }
        // A last empty paragraph after a final \par is not a line of its own.
        if (doc_.paragraphs.size() > 1 && doc_.paragraphs.back().runs.empty())
            doc_.paragraphs.pop_back();
        return std::move(doc_);
    }

  private:
    GroupState& Top() { return stack_.back(); }

    void EndGroup() {
        GroupState& g = Top();
        if (g.destination == GroupState::kFontTable && !font_name_.empty()) FlushFont();
        if (stack_.size() > 1) stack_.pop_back();
    }

    void FlushFont() {
        std::string name = font_name_;
        while (!name.empty() && (name.back() == ';' || name.back() == ' ')) name.pop_back();
        fonts_[font_entry_] = name;
        font_name_.clear();
    }

    void Byte(unsigned char c) {
        GroupState& g = Top();
        switch (g.destination) {
            case GroupState::kSkip:
                return;
            case GroupState::kFontTable:
                if (c == ';') {
                    FlushFont();
                } else {
                    font_name_ += char(c);
                }
                return;
            case GroupState::kColorTable:
                if (c == ';') {
                    colors_.push_back(have_color_ ? color_ : -1);
                    color_ = 0;
                    have_color_ = false;
                }
                return;
            case GroupState::kText:
                break;
        }
        if (skip_ > 0) {
            --skip_;
            return;
        }
        std::string utf8;
        AppendCp1252(utf8, c);
        Append(utf8);
    }

    void Append(std::string_view utf8) {
        RichParagraph& p = doc_.paragraphs.back();
        const RichStyle& s = Top().style;
        if (p.runs.empty() || !(p.runs.back().style == s)) p.runs.push_back({std::string(), s});
        p.runs.back().text += utf8;
    }

    void NewParagraph() {
        RichAlign align = doc_.paragraphs.back().align;
        doc_.paragraphs.emplace_back();
        doc_.paragraphs.back().align = align;
    }

    void ControlWord() {
        if (pos_ >= text_.size()) return;
        char c = text_[pos_];
        bool text = Top().destination == GroupState::kText;
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            if (c == '\'') {
                if (pos_ + 2 <= text_.size()) {
                    int v =
                        int(std::strtol(std::string(text_.substr(pos_, 2)).c_str(), nullptr, 16));
                    pos_ += 2;
                    Byte(static_cast<unsigned char>(v));
                }
            } else if (c == '*') {
                Top().destination = GroupState::kSkip;
            } else if (c == '{' || c == '}' || c == '\\') {
                Byte(static_cast<unsigned char>(c));
            } else if (c == '~') {
                if (text) Append("\xC2\xA0");
            } else if (c == '_') {
                if (text) Append("-");
            } else if (c == '\r' || c == '\n') {
                if (text) NewParagraph();
            }
            return;
        }
        size_t start = pos_;
        while (pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        std::string_view word = text_.substr(start, pos_ - start);
        bool has_param = false;
        long param = 0;
        size_t num = pos_;
        if (num < text_.size() && text_[num] == '-') ++num;
        size_t digits = num;
        while (digits < text_.size() && std::isdigit(static_cast<unsigned char>(text_[digits])))
            ++digits;
        if (digits > num && digits - num < 10) {
            has_param = true;
            param =
                std::strtol(std::string(text_.substr(pos_, digits - pos_)).c_str(), nullptr, 10);
            pos_ = digits;
        } else if (digits > num) {
            pos_ = digits;  // an absurd number: read and ignored
        }
        if (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
        Word(word, has_param, param);
    }

    void Word(std::string_view w, bool has_param, long p) {
        GroupState& g = Top();
        RichStyle& s = g.style;
        bool on = !has_param || p != 0;
        if (g.destination == GroupState::kColorTable) {
            have_color_ = true;
            if (w == "red") color_ = (color_ & ~0xFF) | int32_t(p & 0xFF);
            if (w == "green") color_ = (color_ & ~0xFF00) | int32_t(p & 0xFF) << 8;
            if (w == "blue") color_ = (color_ & ~0xFF0000) | int32_t(p & 0xFF) << 16;
            return;
        }
        if (g.destination == GroupState::kFontTable) {
            if (w == "f") {
                if (!font_name_.empty()) FlushFont();
                font_entry_ = int32_t(p);
            } else if (w == "pict" || w == "panose") {
                g.destination = GroupState::kSkip;
            }
            return;
        }
        if (g.destination == GroupState::kSkip) return;
        if (w == "fonttbl") {
            g.destination = GroupState::kFontTable;
        } else if (w == "colortbl") {
            g.destination = GroupState::kColorTable;
            colors_.clear();
        } else if (w == "stylesheet" || w == "info" || w == "pict" || w == "object" ||
                   w == "header" || w == "footer" || w == "listtable" || w == "listoverridetable" ||
                   w == "generator" || w == "xmlnstbl" || w == "rsidtbl" || w == "themedata" ||
                   w == "latentstyles" || w == "datastore" || w == "fldinst") {
            g.destination = GroupState::kSkip;
        } else if (w == "par") {
            NewParagraph();
        } else if (w == "line") {
            NewParagraph();
        } else if (w == "pard") {
            doc_.paragraphs.back().align = RichAlign::Left;
        } else if (w == "ql") {
            doc_.paragraphs.back().align = RichAlign::Left;
        } else if (w == "qc") {
            doc_.paragraphs.back().align = RichAlign::Center;
        } else if (w == "qr") {
            doc_.paragraphs.back().align = RichAlign::Right;
        } else if (w == "qj") {
            doc_.paragraphs.back().align = RichAlign::Justify;
        } else if (w == "tab") {
            Append("\t");
        } else if (w == "b") {
            s.bold = on;
        } else if (w == "i") {
            s.italic = on;
        } else if (w == "ul") {
            s.underline = on;
        } else if (w == "ulnone") {
            s.underline = false;
        } else if (w == "plain") {
            s = RichStyle();
            auto f = fonts_.find(default_font_);
            if (f != fonts_.end()) s.font = f->second;
        } else if (w == "fs" && has_param && p > 0) {
            s.size = double(p) / 2;
        } else if (w == "f" && has_param) {
            g.font_index = int32_t(p);
            auto f = fonts_.find(int32_t(p));
            if (f != fonts_.end()) s.font = f->second;
        } else if (w == "deff" && has_param) {
            default_font_ = int32_t(p);
        } else if (w == "cf" && has_param) {
            if (p >= 0 && size_t(p) < colors_.size())
                s.color = colors_[size_t(p)] < 0 ? 0 : colors_[size_t(p)];
        } else if (w == "uc" && has_param) {
            g.skip_after_unicode = int(p < 0 ? 0 : p > 8 ? 8 : p);
        } else if (w == "u" && has_param) {
            long cp = p < 0 ? p + 65536 : p;
            std::string utf8;
            AppendUtf8(utf8, uint32_t(cp));
            Append(utf8);
            skip_ = g.skip_after_unicode;
            return;
        } else if (w == "emdash") {
            Append("\xE2\x80\x94");
        } else if (w == "endash") {
            Append("\xE2\x80\x93");
        } else if (w == "bullet") {
            Append("\xE2\x80\xA2");
        } else if (w == "lquote") {
            Append("\xE2\x80\x98");
        } else if (w == "rquote") {
            Append("\xE2\x80\x99");
        } else if (w == "ldblquote") {
            Append("\xE2\x80\x9C");
        } else if (w == "rdblquote") {
            Append("\xE2\x80\x9D");
        }
        skip_ = 0;
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::vector<GroupState> stack_;
    RichDocument doc_;
    std::map<int32_t, std::string> fonts_;
    int32_t font_entry_ = 0;
    int32_t default_font_ = 0;
    std::string font_name_;
    std::vector<int32_t> colors_;
    int32_t color_ = 0;
    bool have_color_ = false;
    int skip_ = 0;  // characters still to skip after a unicode escape
};

}  // namespace

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

void AppendCp1252(std::string& out, unsigned char c) {
    uint32_t cp = c;
    if (c >= 0x80 && c < 0xA0) cp = kCp1252High[c - 0x80];
    AppendUtf8(out, cp);
}

std::string RichDocument::PlainText() const {
    std::string out;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        if (i) out += '\n';
        for (const RichRun& r : paragraphs[i].runs) out += r.text;
    }
    return out;
}

RichDocument ParseRichText(std::string_view text) {
    if (text.substr(0, 5) == "{\\rtf") return Parser(text).Run();
    RichDocument doc;
    doc.paragraphs.emplace_back();
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            doc.paragraphs.emplace_back();
            continue;
        }
        RichParagraph& p = doc.paragraphs.back();
        if (p.runs.empty()) p.runs.emplace_back();
        AppendCp1252(p.runs.back().text, c);
    }
    return doc;
}

}  // namespace tb
