#include "script/tokenizer.h"

#include <array>

namespace tb {
namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

struct Spelling {
    const char* text;
    int32_t kind;
};

// Keywords in the order they are compared.
constexpr std::array<Spelling, 26> kKeywords = {{
    {"begin", kTokBegin},
    {"end", kTokEndBlock},
    {"if", kTokIf},
    {"then", kTokThen},
    {"else", kTokElse},
    {"while", kTokWhile},
    {"do", kTokDo},
    {"for", kTokFor},
    {"with", kTokWith},
    {"until", kTokUntil},
    {"repeat", kTokRepeat},
    {"exit", kTokExit},
    {"return", kTokReturn},
    {"break", kTokBreak},
    {"continue", kTokContinue},
    {"switch", kTokSwitch},
    {"case", kTokCase},
    {"default", kTokDefault},
    {"and", 201},
    {"or", 202},
    {"not", 203},
    {"div", 214},
    {"mod", 215},
    {"xor", 216},
    {"var", kTokVar},
    {"globalvar", kTokGlobalVar},
}};

constexpr std::array<Spelling, 18> kPairs = {{
    {":=", kTokAssign},
    {"+=", kTokAddAssign},
    {"-=", kTokSubAssign},
    {"*=", kTokMulAssign},
    {"/=", kTokDivAssign},
    {"&&", 201},
    {"||", 202},
    {"<=", 205},
    {"==", 206},
    {"!=", 207},
    {"<>", 207},
    {">=", 208},
    {"|=", kTokOrAssign},
    {"&=", kTokAndAssign},
    {"^=", kTokXorAssign},
    {"<<", 221},
    {">>", 222},
    {"^^", 216},
}};

int32_t SingleKind(char c) {
    switch (c) {
        case '{':
            return kTokBegin;
        case '}':
            return kTokEndBlock;
        case '=':
            return kTokAssign;
        case '(':
            return kTokOpenParen;
        case ')':
            return kTokCloseParen;
        case ';':
            return kTokSemicolon;
        case ',':
            return kTokComma;
        case '[':
            return kTokOpenBracket;
        case ']':
            return kTokCloseBracket;
        case '.':
            return kTokDot;
        case ':':
            return kTokColon;
        case '!':
            return 203;
        case '<':
            return 204;
        case '>':
            return 209;
        case '+':
            return 210;
        case '-':
            return 211;
        case '*':
            return 212;
        case '/':
            return 213;
        case '|':
            return 217;
        case '&':
            return 218;
        case '^':
            return 219;
        case '~':
            return 220;
        default:
            return kTokError;
    }
}

}  // namespace

RToken1 NextToken(std::string_view text, int32_t& position) {
    const int32_t len = int32_t(text.size());
    // at(p): the byte at 1-based position p, only called with p <= len.
    auto at = [&](int32_t p) { return text[size_t(p - 1)]; };
    int32_t p = position;
    for (;;) {
        while (p <= len && static_cast<unsigned char>(at(p)) <= 32) ++p;
        if (p > len) {
            position = p;
            return RToken1{kTokEnd, "", p};
        }
        if (p + 1 <= len && at(p) == '/' && at(p + 1) == '/') {
            while (p <= len && at(p) != '\r' && at(p) != '\n') ++p;
            continue;
        }
        if (p + 1 <= len && at(p) == '/' && at(p + 1) == '*') {
            // The search starts on the opener's own "/", so "/*/" closes itself.
            int32_t i = p;
            while (i + 1 <= len && !(at(i) == '*' && at(i + 1) == '/')) ++i;
            p = i + 2;
            continue;
        }
        break;
    }

    const int32_t start = p;
    const char c = at(p);
    RToken1 tok;
    tok.position = start;
    if (IsLetter(c)) {
        while (p <= len && (IsLetter(at(p)) || IsDigit(at(p)))) ++p;
        tok.text = std::string(text.substr(size_t(start - 1), size_t(p - start)));
        tok.kind = kTokName;
        for (const Spelling& k : kKeywords) {
            if (tok.text == k.text) {
                tok.kind = k.kind;
                break;
            }
        }
    } else if (IsDigit(c) || c == '$' || (c == '.' && p + 1 <= len && IsDigit(at(p + 1)))) {
        if (c == '$') {
            ++p;
            while (p <= len && IsHexDigit(at(p))) ++p;
        } else {
            while (p <= len && (IsDigit(at(p)) || at(p) == '.')) ++p;
        }
        tok.kind = kTokNumber;
        tok.text = std::string(text.substr(size_t(start - 1), size_t(p - start)));
    } else if (c == '"' || c == '\'') {
        ++p;
        const int32_t body = p;
        while (p <= len && at(p) != c) ++p;
        tok.kind = kTokString;
        tok.text = std::string(text.substr(size_t(body - 1), size_t(p - body)));
        if (p <= len) ++p;  // the closing quote
    } else {
        tok.kind = kTokError;
        if (p + 1 <= len) {
            for (const Spelling& s : kPairs) {
                if (s.text[0] == c && s.text[1] == at(p + 1)) {
                    tok.kind = s.kind;
                    p += 2;
                    break;
                }
            }
        }
        if (tok.kind == kTokError) {
            tok.kind = SingleKind(c);
            ++p;
        }
        tok.text = std::string(text.substr(size_t(start - 1), size_t(p - start)));
    }
    position = p;
    return tok;
}

std::vector<RToken1> Tokenize(std::string_view code, int32_t& error_position) {
    std::string text(code);
    text += "   ";
    error_position = 0;
    std::vector<RToken1> tokens;
    int32_t position = 1;
    for (;;) {
        RToken1 tok = NextToken(text, position);
        const int32_t kind = tok.kind;
        if (kind == kTokError) {
            error_position = tok.position;
            tokens.push_back(std::move(tok));
            return tokens;
        }
        tokens.push_back(std::move(tok));
        if (kind == kTokEnd) return tokens;
    }
}

double NumberValue(std::string_view token_text) {
    double value = 0;
    if (!token_text.empty() && token_text[0] == '$') {
        for (char c : token_text.substr(1)) {
            int digit = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : c - 'A' + 10;
            value = value * 16 + digit;
        }
        return value;
    }
    double factor = 1;
    bool dot = false;
    for (char c : token_text) {
        if (c == '.') {
            dot = true;
        } else if (!dot) {
            value = value * 10 + (c - '0');
        } else {
            factor /= 10;
            value += factor * (c - '0');
        }
    }
    return value;
}

}  // namespace tb
