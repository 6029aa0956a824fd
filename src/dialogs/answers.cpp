#include "dialogs/answers.h"

#include <charconv>

namespace tb {

namespace {

constexpr const char* kNames[] = {"message", "input", "menu", "color", "file", "highscore"};

bool Number(std::string_view word, int32_t low, int32_t high, int32_t& out) {
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), out);
    return ec == std::errc() && end == word.data() + word.size() && out >= low && out <= high;
}

// Splits off the first word; `rest` is what follows its one separating blank.
std::string_view FirstWord(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    size_t end = text.find_first_of(" \t");
    std::string_view word = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return word;
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

const char* DialogKindName(DialogKind kind) {
    return kNames[size_t(kind)];
}

std::string EscapeAnswerText(std::string_view text) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool edge_blank = (c == ' ' || c == '\t') && (i == 0 || i + 1 == text.size());
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 32 || c == 127 || edge_blank) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

bool UnescapeAnswerText(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && Hex(text[i + 2]) >= 0 &&
                   Hex(text[i + 3]) >= 0) {
            out += char(Hex(text[i + 2]) * 16 + Hex(text[i + 3]));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

bool ParseDialogAnswer(std::string_view rest, DialogAnswer& out, std::string& error) {
    out = DialogAnswer();
    std::string_view kind = FirstWord(rest);
    size_t k = 0;
    while (k < std::size(kNames) && kind != kNames[k]) ++k;
    if (k == std::size(kNames)) {
        error = "unknown dialog \"" + std::string(kind) +
                "\" (message, input, menu, color, file or highscore)";
        return false;
    }
    out.kind = DialogKind(k);
    auto bad_text = [&] {
        error = "a bad escape in the dialog's text (\\\\ or \\xHH)";
        return false;
    };
    switch (out.kind) {
        case DialogKind::Message:
        case DialogKind::Input: {
            std::string_view word = FirstWord(rest);
            if (!Number(word, 0, 3, out.number)) {
                error = "expected the button 0 to 3, got \"" + std::string(word) + "\"";
                return false;
            }
            if (out.kind == DialogKind::Message) {
                if (!FirstWord(rest).empty()) {
                    error = "\"dialog message\" takes only the button";
                    return false;
                }
                return true;
            }
            return UnescapeAnswerText(rest, out.text) || bad_text();
        }
        case DialogKind::Menu:
        case DialogKind::Color: {
            std::string_view word = FirstWord(rest);
            int32_t high = out.kind == DialogKind::Menu ? INT32_MAX : 0xFFFFFF;
            if (!Number(word, -1, high, out.number) || !FirstWord(rest).empty()) {
                error = std::string("expected ") +
                        (out.kind == DialogKind::Menu ? "an item number" : "a colour") +
                        " or -1, got \"" + std::string(word) + "\"";
                return false;
            }
            return true;
        }
        case DialogKind::File:
        case DialogKind::Highscore:
            return UnescapeAnswerText(rest, out.text) || bad_text();
    }
    return true;
}

std::string FormatDialogAnswer(const DialogAnswer& a) {
    std::string s = "dialog ";
    s += DialogKindName(a.kind);
    switch (a.kind) {
        case DialogKind::Message:
            s += ' ' + std::to_string(a.number);
            break;
        case DialogKind::Input:
            s += ' ' + std::to_string(a.number);
            if (!a.text.empty()) s += ' ' + EscapeAnswerText(a.text);
            break;
        case DialogKind::Menu:
        case DialogKind::Color:
            s += ' ' + std::to_string(a.number);
            break;
        case DialogKind::File:
        case DialogKind::Highscore:
            if (!a.text.empty()) s += ' ' + EscapeAnswerText(a.text);
            break;
    }
    return s;
}

}  // namespace tb
