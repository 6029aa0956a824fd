// The script language's dynamic value: a real or a text.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tb {

// Immutable text shared between copies (one thread, so a plain count). An empty text holds
// no buffer, so fresh values and reals never allocate.
class RString {
  public:
    RString() = default;
    RString(std::string_view s) {
        if (s.empty()) return;
        rep_ = static_cast<Rep*>(::operator new(sizeof(Rep) + s.size()));
        rep_->refs = 1;
        rep_->size = s.size();
        rep_->capacity = s.size();
        std::memcpy(rep_->chars(), s.data(), s.size());
    }
    RString(const std::string& s) : RString(std::string_view(s)) {}
    RString(const char* s) : RString(std::string_view(s)) {}
    RString(const RString& o) : rep_(o.rep_) {
        if (rep_) ++rep_->refs;
    }
    RString(RString&& o) noexcept : rep_(o.rep_) { o.rep_ = nullptr; }
    RString& operator=(const RString& o) {
        Rep* rep = o.rep_;  // taken first: Release clears o.rep_ when o is this string
        if (rep) ++rep->refs;
        Release();
        rep_ = rep;
        return *this;
    }
    RString& operator=(RString&& o) noexcept {
        if (this != &o) {
            Release();
            rep_ = o.rep_;
            o.rep_ = nullptr;
        }
        return *this;
    }
    ~RString() { Release(); }

    std::string_view view() const {
        return rep_ ? std::string_view(rep_->chars(), rep_->size) : std::string_view();
    }
    std::string str() const { return std::string(view()); }
    size_t size() const { return rep_ ? rep_->size : 0; }
    bool empty() const { return rep_ == nullptr; }
    const char* data() const { return rep_ ? rep_->chars() : ""; }
    bool operator==(const RString& o) const { return rep_ == o.rep_ || view() == o.view(); }

    // This text followed by `o`. The only owner of a buffer with room appends in place, and a
    // new buffer keeps room to spare, so growing a text piece by piece is not quadratic.
    void Append(const RString& o) {
        if (o.empty()) return;
        if (empty()) {
            *this = o;
            return;
        }
        const size_t size = rep_->size, extra = o.rep_->size;
        if (rep_->refs == 1 && extra <= rep_->capacity - size) {
            std::memcpy(rep_->chars() + size, o.rep_->chars(), extra);
            rep_->size += extra;
            return;
        }
        const size_t need = size + extra;
        const size_t capacity = need + need / 2;
        Rep* r = static_cast<Rep*>(::operator new(sizeof(Rep) + capacity));
        r->refs = 1;
        r->size = need;
        r->capacity = capacity;
        std::memcpy(r->chars(), rep_->chars(), size);
        std::memcpy(r->chars() + size, o.rep_->chars(), extra);  // o may be this text
        Release();
        rep_ = r;
    }

  private:
    struct Rep {  // the characters follow the header
        size_t refs;
        size_t size;
        size_t capacity;  // characters the buffer holds room for
        char* chars() { return reinterpret_cast<char*>(this + 1); }
    };
    void Release() {
        if (rep_ && --rep_->refs == 0) ::operator delete(rep_);
        rep_ = nullptr;
    }
    Rep* rep_ = nullptr;
};

constexpr int32_t kKindReal = 0;
constexpr int32_t kKindString = 1;

// Every value the language makes keeps real 0 in a string and the empty text in a real.
struct RValue {
    int32_t kind = kKindReal;
    double real = 0;
    RString text;

    RValue() = default;
    static RValue Real(double v) {
        RValue r;
        r.real = v;
        return r;
    }
    static RValue String(RString s) {
        RValue r;
        r.kind = kKindString;
        r.text = std::move(s);
        return r;
    }
    bool IsString() const { return kind == kKindString; }
    void SetReal(double v) {
        kind = kKindReal;
        real = v;
        text = RString();
    }
    void SetString(RString s) {
        kind = kKindString;
        real = 0;
        text = std::move(s);
    }
    bool operator==(const RValue& o) const {
        return kind == o.kind && real == o.real && text == o.text;
    }
};

// Real to integer everywhere in the language: nearest, halves to the even neighbour. Values
// that have no 64-bit integer (NaN, magnitude 2^63 or more) give 0.
inline int64_t RoundToInt64(double v) {
    if (!(v > -9223372036854775808.0 && v < 9223372036854775808.0)) return 0;
    return int64_t(std::nearbyint(v));  // the default rounding mode is to nearest, ties even
}
// Where a 32-bit integer is stored: the low 32 bits of the rounded value.
inline int32_t RoundToInt32(double v) {
    return int32_t(uint32_t(uint64_t(RoundToInt64(v))));
}
// A real tested as a condition (the if statement alone asks for more than 0.5).
inline bool IsTrue(double v) {
    return v >= 0.5;
}

}  // namespace tb
