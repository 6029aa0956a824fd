#include "system/ini_file.h"

#include <strings.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "system/file_bytes.h"

namespace tb {

namespace {

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// "[name]" gives the trimmed name.
bool SectionHeader(std::string_view line, std::string_view& name) {
    std::string_view t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    name = Trim(t.substr(1, close == t.npos ? t.npos : close - 1));
    return true;
}

// "key=value" gives the trimmed key and value; comments and other lines are none.
bool KeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == t.npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

}  // namespace

IniFile::IniFile(std::string host_path) : path_(std::move(host_path)) {
    Refresh();
}

void IniFile::Refresh() {
    struct stat st;
    Stamp now;
    if (::stat(path_.c_str(), &st) == 0)
        now = {int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
               int64_t(st.st_ino)};
    if (now == stamp_) return;
    stamp_ = now;
    lines_.clear();
    std::vector<uint8_t> bytes;
    if (now.size < 0 || !ReadFileBytes(path_, bytes)) return;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = char(bytes[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            lines_.push_back(std::move(line));
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines_.push_back(std::move(line));
}

bool IniFile::Save(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text.append(l).append("\r\n");
    if (!WriteFileAtomically(path_, reinterpret_cast<const uint8_t*>(text.data()), text.size()))
        return false;
    lines_ = lines;
    stamp_ = Stamp();
    Refresh();  // takes the new stamp (and reads back what was written)
    return true;
}

int IniFile::FindSection(std::string_view section) const {
    std::string_view name;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (SectionHeader(lines_[i], name) && SameName(name, Trim(section))) return int(i);
    return -1;
}

size_t IniFile::SectionEnd(size_t header) const {
    std::string_view name;
    size_t i = header + 1;
    while (i < lines_.size() && !SectionHeader(lines_[i], name)) ++i;
    return i;
}

int IniFile::FindKey(std::string_view section, std::string_view key) const {
    int header = FindSection(section);
    if (header < 0) return -1;
    std::string_view k, v;
    for (size_t i = size_t(header) + 1, end = SectionEnd(size_t(header)); i < end; ++i)
        if (KeyLine(lines_[i], k, v) && SameName(k, Trim(key))) return int(i);
    return -1;
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) {
    Refresh();
    int line = FindKey(section, key);
    if (line < 0) return std::nullopt;
    std::string_view k, v;
    KeyLine(lines_[size_t(line)], k, v);
    // Matching quotes around a value are not part of it.
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool IniFile::KeyExists(std::string_view section, std::string_view key) {
    Refresh();
    return FindKey(section, key) >= 0;
}

bool IniFile::SectionExists(std::string_view section) {
    Refresh();
    return FindSection(section) >= 0;
}

bool IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    Refresh();
    std::vector<std::string> lines = lines_;
    std::string entry = std::string(Trim(key)) + "=" + std::string(value);
    int line = FindKey(section, key);
    if (line >= 0) {
        lines[size_t(line)] = entry;
    } else {
        int header = FindSection(section);
        if (header < 0) {
            lines.push_back("[" + std::string(Trim(section)) + "]");
            lines.push_back(entry);
        } else {
            // After the section's last line that is not blank.
            size_t at = SectionEnd(size_t(header));
            while (at > size_t(header) + 1 && Trim(lines[at - 1]).empty()) --at;
            lines.insert(lines.begin() + long(at), entry);
        }
    }
    return Save(lines);
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
    Refresh();
    int line = FindKey(section, key);
    if (line < 0) return true;
    std::vector<std::string> lines = lines_;
    lines.erase(lines.begin() + line);
    return Save(lines);
}

bool IniFile::DeleteSection(std::string_view section) {
    Refresh();
    int header = FindSection(section);
    if (header < 0) return true;
    std::vector<std::string> lines = lines_;
    lines.erase(lines.begin() + header, lines.begin() + long(SectionEnd(size_t(header))));
    return Save(lines);
}

double TolerantReal(std::string_view text) {
    double mantissa = 0, fraction = 0, scale = 1;
    int exponent = 0, sign = 1, exponent_sign = 1;
    bool point = false, marker = false;
    for (char c : text) {
        if (c == '.' || c == ',') {
            if (point || marker) break;
            point = true;
        } else if (c == 'E' || c == 'e') {
            if (marker) break;
            marker = true;
        } else if (c == '-') {
            if (marker)
                exponent_sign = -exponent_sign;
            else
                sign = -sign;
        } else if (c >= '0' && c <= '9') {
            int d = c - '0';
            if (marker) {
                if (exponent < 100000) exponent = exponent * 10 + d;
            } else if (point) {
                scale /= 10;
                fraction += d * scale;
            } else {
                mantissa = mantissa * 10 + d;
            }
        } else {
            break;
        }
    }
    return sign * (mantissa + fraction) * std::pow(10.0, exponent_sign * exponent);
}

std::string GeneralRealText(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s = buf;
    size_t e = s.find('E');
    if (e == s.npos) return s;
    if (s.compare(e, 4, "E-05") == 0) {
        // From 0.00001 on the general form stays fixed (printf's switches at 0.0001).
        std::snprintf(buf, sizeof buf, "%.19f", value);
        s = buf;
        while (s.back() == '0') s.pop_back();
        return s;
    }
    // "1.5E-06" -> "1.5E-6", "1E+20" -> "1E20".
    std::string mantissa = s.substr(0, e);
    char esign = s[e + 1];
    std::string digits = s.substr(e + 2);
    while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
    return mantissa + "E" + (esign == '-' ? "-" : "") + digits;
}

}  // namespace tb
