// Conversions between reals and texts, and text handling. Texts are byte strings with
// 1-based positions.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "functions/register.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/operators.h"
#include "script/real_text.h"

namespace tb {

namespace {

constexpr const char* kOutOfMemory = "Out of memory.";

// Builds results made of several pieces in one buffer that keeps its room between calls
// (the game runs on one thread), so a call allocates only the result's own text. A buffer
// grown past a modest size is released again.
class Scratch {
  public:
    Scratch() { buffer().clear(); }
    ~Scratch() {
        if (buffer().capacity() > kKeep) std::string().swap(buffer());
    }
    std::string& text() { return buffer(); }

  private:
    static constexpr size_t kKeep = 1 << 16;
    static std::string& buffer() {
        static std::string b;
        return b;
    }
};

inline bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// --- conversions

void real(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (!args[0].IsString()) {
        result.real = args[0].real;
        return;
    }
    double v = 0;
    if (!ParseReal(args[0].text.view(), v)) {
        ShowRuntimeError(engine, "Error in function real().", false);
        return;
    }
    result.real = v;
}

void string(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    if (args[0].IsString()) {
        result = args[0];
        return;
    }
    result.SetString(RString(RealToString(args[0].real)));
}

void string_format(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                   const RValue* args) {
    if (args[0].IsString()) {
        result = args[0];
        return;
    }
    const int64_t total = RoundToInt64(args[1].real);
    if (total > int64_t(kMaxRepeatBytes)) {
        ShowRuntimeError(engine, kOutOfMemory, false);
        return;
    }
    const int64_t decimals = RoundToInt64(args[2].real);
    const int dec = int(std::clamp<int64_t>(decimals, -1, 1000));  // FormatReal bounds it
    result.SetString(RString(FormatReal(args[0].real, int(std::max<int64_t>(total, 0)), dec)));
}

void chr(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const char c = char(uint8_t(uint64_t(RoundToInt64(args[0].real))));
    result.SetString(RString(std::string_view(&c, 1)));
}

void ord(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = args[0].text.view();
    result.real = s.empty() ? 0 : double(static_cast<unsigned char>(s[0]));
}

// --- positions and pieces

void string_length(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.real = double(args[0].text.size());
}

void string_pos(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view sub = args[0].text.view(), s = args[1].text.view();
    if (sub.empty()) return;
    const size_t at = s.find(sub);
    if (at != std::string_view::npos) result.real = double(at + 1);
}

// `count` characters from the 1-based `index`: an index below 1 counts as 1, one beyond the
// end or a negative count gives the empty text, the count is cut at the end.
std::string_view Copy(std::string_view s, int64_t index, int64_t count) {
    if (index < 1) index = 1;
    if (count <= 0 || index > int64_t(s.size())) return {};
    return s.substr(size_t(index - 1), size_t(count));
}

void string_copy(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    result.SetString(
        RString(Copy(args[0].text.view(), RoundToInt64(args[1].real), RoundToInt64(args[2].real))));
}

void string_char_at(ScriptEngine&, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    result.SetString(RString(Copy(args[0].text.view(), RoundToInt64(args[1].real), 1)));
}

void string_delete(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view s = args[0].text.view();
    const int64_t index = RoundToInt64(args[1].real), count = RoundToInt64(args[2].real);
    if (index < 1 || index > int64_t(s.size()) || count <= 0) {
        result.SetString(args[0].text);
        return;
    }
    const size_t from = size_t(index - 1);
    const size_t n = count < int64_t(s.size() - from) ? size_t(count) : s.size() - from;
    Scratch scratch;
    std::string& out = scratch.text();
    out.append(s.substr(0, from)).append(s.substr(from + n));
    result.SetString(RString(out));
}

void string_insert(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view sub = args[0].text.view(), s = args[1].text.view();
    int64_t index = RoundToInt64(args[2].real);
    if (index < 1) index = 1;
    const size_t at = index > int64_t(s.size()) ? s.size() : size_t(index - 1);
    Scratch scratch;
    std::string& out = scratch.text();
    out.append(s.substr(0, at)).append(sub).append(s.substr(at));
    result.SetString(RString(out));
}

// --- letter case and filters

template <class Change>
void MapBytes(RValue& result, std::string_view s, Change change) {
    Scratch scratch;
    std::string& out = scratch.text();
    out.assign(s);
    for (char& c : out) c = change(c);
    result.SetString(RString(out));
}

template <class Keep>
void FilterBytes(RValue& result, std::string_view s, Keep keep) {
    Scratch scratch;
    std::string& out = scratch.text();
    for (char c : s)
        if (keep(c)) out.push_back(c);
    result.SetString(RString(out));
}

void string_lower(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    MapBytes(result, args[0].text.view(),
             [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
}

void string_upper(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    MapBytes(result, args[0].text.view(),
             [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
}

void string_letters(ScriptEngine&, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    FilterBytes(result, args[0].text.view(), IsLetter);
}

void string_digits(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    FilterBytes(result, args[0].text.view(), IsDigit);
}

void string_lettersdigits(ScriptEngine&, CInstance*, CInstance*, int, RValue& result,
                          const RValue* args) {
    FilterBytes(result, args[0].text.view(), [](char c) { return IsLetter(c) || IsDigit(c); });
}

void string_repeat(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                   const RValue* args) {
    const std::string_view s = args[0].text.view();
    const int64_t count = RoundToInt64(args[1].real);
    if (count <= 0 || s.empty()) {
        result.SetString(RString());
        return;
    }
    if (uint64_t(count) > kMaxRepeatBytes / s.size()) {
        ShowRuntimeError(engine, kOutOfMemory, false);
        return;
    }
    std::string out;  // the result's size, so no shared buffer
    out.reserve(s.size() * size_t(count));
    for (int64_t i = 0; i < count; ++i) out.append(s);
    result.SetString(RString(out));
}

// --- search and replace

// Non-overlapping occurrences of a non-empty `sub`, left to right.
size_t CountOf(std::string_view s, std::string_view sub) {
    size_t n = 0;
    for (size_t at = s.find(sub); at != std::string_view::npos; at = s.find(sub, at + sub.size()))
        ++n;
    return n;
}

void string_replace(ScriptEngine&, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    const std::string_view s = args[0].text.view(), sub = args[1].text.view();
    const size_t at = sub.empty() ? std::string_view::npos : s.find(sub);
    if (at == std::string_view::npos) {
        result.SetString(args[0].text);
        return;
    }
    Scratch scratch;
    std::string& out = scratch.text();
    out.append(s.substr(0, at)).append(args[2].text.view()).append(s.substr(at + sub.size()));
    result.SetString(RString(out));
}

void string_replace_all(ScriptEngine& engine, CInstance*, CInstance*, int, RValue& result,
                        const RValue* args) {
    const std::string_view s = args[0].text.view(), sub = args[1].text.view(),
                           with = args[2].text.view();
    const size_t n = sub.empty() ? 0 : CountOf(s, sub);
    if (n == 0) {
        result.SetString(args[0].text);
        return;
    }
    // A longer replacement multiplies the text: refuse what would not fit.
    if (with.size() > sub.size()) {
        const size_t extra = with.size() - sub.size();
        if (extra > kMaxRepeatBytes / n || s.size() + extra * n > kMaxRepeatBytes) {
            ShowRuntimeError(engine, kOutOfMemory, false);
            return;
        }
    }
    Scratch scratch;
    std::string& out = scratch.text();
    out.reserve(s.size() - n * sub.size() + n * with.size());
    size_t from = 0;
    for (size_t at = s.find(sub); at != std::string_view::npos; at = s.find(sub, from)) {
        out.append(s.substr(from, at - from)).append(with);
        from = at + sub.size();
    }
    out.append(s.substr(from));
    result.SetString(RString(out));
}

void string_count(ScriptEngine&, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const std::string_view sub = args[0].text.view();
    if (!sub.empty()) result.real = double(CountOf(args[1].text.view(), sub));
}

}  // namespace

void RegisterStringFunctions(FunctionRegistry& r) {
    r.Register("real", &real, 1);
    r.Register("string", &string, 1);
    r.Register("string_format", &string_format, 3);
    r.Register("chr", &chr, 1);
    r.Register("ord", &ord, 1);
    r.Register("string_length", &string_length, 1);
    r.Register("string_pos", &string_pos, 2);
    r.Register("string_copy", &string_copy, 3);
    r.Register("string_char_at", &string_char_at, 2);
    r.Register("string_delete", &string_delete, 3);
    r.Register("string_insert", &string_insert, 3);
    r.Register("string_lower", &string_lower, 1);
    r.Register("string_upper", &string_upper, 1);
    r.Register("string_repeat", &string_repeat, 2);
    r.Register("string_letters", &string_letters, 1);
    r.Register("string_digits", &string_digits, 1);
    r.Register("string_lettersdigits", &string_lettersdigits, 1);
    r.Register("string_replace", &string_replace, 3);
    r.Register("string_replace_all", &string_replace_all, 3);
    r.Register("string_count", &string_count, 2);
}

}  // namespace tb
