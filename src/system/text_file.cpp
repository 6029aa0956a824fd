#include "system/text_file.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>

#include "script/real_text.h"

namespace tb {

namespace {

bool IsFolder(std::FILE* f) {
    struct stat st;
    return fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool TextFile::OpenRead(const std::string& host_path) {
    Close();
    std::FILE* f = std::fopen(host_path.c_str(), "rbe");
    if (!f) return false;
    file_.reset(f);
    if (IsFolder(f)) {
        file_.reset();
        return false;
    }
    mode_ = Mode::kRead;
    return true;
}

bool TextFile::OpenWrite(const std::string& host_path, bool append) {
    Close();
    std::FILE* f = std::fopen(host_path.c_str(), append ? "abe" : "wbe");
    if (!f) return false;
    file_.reset(f);
    mode_ = Mode::kWrite;
    failed_ = false;
    return true;
}

bool TextFile::Close() {
    if (!file_) return true;
    bool ok = !failed_;
    ok = std::fclose(file_.release()) == 0 && ok;
    mode_ = Mode::kClosed;
    failed_ = false;
    return ok;
}

bool TextFile::Eof() {
    if (!file_) return true;
    int c = std::getc(file_.get());
    if (c == EOF) return true;
    std::ungetc(c, file_.get());
    return false;
}

bool TextFile::ReadString(std::string& out) {
    out.clear();
    if (!file_) return false;
    std::FILE* f = file_.get();
    int c;
    while ((c = std::getc(f)) != EOF) {
        if (c == '\r' || c == '\n') {
            std::ungetc(c, f);
            break;
        }
        out += char(c);
    }
    return !std::ferror(f);
}

bool TextFile::ReadReal(double& out) {
    out = 0;
    if (!file_) return false;
    std::FILE* f = file_.get();
    int c;
    do c = std::getc(f);
    while (c != EOF && c <= ' ');
    std::string token;
    while (c != EOF && c > ' ') {
        token += char(c);
        c = std::getc(f);
    }
    if (c != EOF) std::ungetc(c, f);
    if (std::ferror(f)) return false;
    if (token.empty()) return true;
    double v;
    if (!ParseReal(token, v)) return false;
    out = v;
    return true;
}

bool TextFile::ReadLine() {
    if (!file_) return false;
    std::FILE* f = file_.get();
    int c;
    while ((c = std::getc(f)) != EOF) {
        if (c == '\n') break;
        if (c == '\r') {
            c = std::getc(f);
            if (c != '\n' && c != EOF) std::ungetc(c, f);
            break;
        }
    }
    return !std::ferror(f);
}

bool TextFile::Write(std::string_view text) {
    if (!file_) return false;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size())
        failed_ = true;
    return !failed_;
}

std::string TextFileRealText(double value) {
    char buf[64];
    if (std::isnan(value)) return " NAN";
    if (std::isinf(value)) return value < 0 ? " -INF" : " INF";
    if (std::fabs(value) >= 1e10) {
        // Ten significant digits, trailing zeros of the mantissa dropped: "1.23456789E+10".
        std::snprintf(buf, sizeof buf, "%.9E", value);
        std::string s = buf;
        size_t e = s.find('E');
        std::string mantissa = s.substr(0, e);
        while (mantissa.back() == '0') mantissa.pop_back();
        if (mantissa.back() == '.') mantissa.pop_back();
        return " " + mantissa + s.substr(e);
    }
    // Integer digits, then as many decimals as the ten significant digits leave (at most 4),
    // padded with zeros to 4.
    int integer_digits = 1;
    for (double a = std::fabs(value); a >= 10 && integer_digits < 10; a /= 10) ++integer_digits;
    int decimals = std::min(4, 10 - integer_digits);
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    if (decimals == 0) s += '.';
    s.append(size_t(4 - decimals), '0');
    if (s[0] == '-' && s.find_first_not_of("-0.") == s.npos) s.erase(0, 1);
    return " " + s;
}

}  // namespace tb
