#include "dialogs/input_dialogs.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tb {

namespace {

char Lower(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

char MarkedShortcut(std::string_view caption) {
    char found = 0;
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        ++i;
        if (caption[i] != '&') found = Lower(caption[i]);
    }
    return found;
}

}  // namespace

std::string MenuCaptionText(std::string_view caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

std::vector<MenuItem> ParseMenu(std::string_view text) {
    std::vector<MenuItem> items;
    size_t start = 0;
    int32_t number = 0;
    while (start < text.size()) {
        size_t bar = text.find('|', start);
        if (bar == std::string_view::npos) bar = text.size();
        MenuItem item;
        item.caption = std::string(text.substr(start, bar - start));
        if (item.caption == "-") {
            item.separator = true;
            item.caption.clear();
        } else {
            item.number = number++;
            item.shortcut = MarkedShortcut(item.caption);
        }
        items.push_back(std::move(item));
        start = bar + 1;
    }
    // Automatic shortcuts for the items that mark none, avoiding the letters taken.
    std::string taken;
    for (const MenuItem& m : items)
        if (m.shortcut) taken += m.shortcut;
    for (MenuItem& m : items) {
        if (m.separator || m.shortcut) continue;
        for (char c : MenuCaptionText(m.caption)) {
            char l = Lower(c);
            if (!std::isalnum(static_cast<unsigned char>(l))) continue;
            if (taken.find(l) != std::string::npos) continue;
            m.shortcut = l;
            taken += l;
            break;
        }
    }
    return items;
}

std::optional<int32_t> ParseIntegerAnswer(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = v * (hex ? 16 : 10) + d;
        // Hexadecimal texts may give the full 32 bits (taken as a signed value).
        if (v > (hex ? int64_t(0xFFFFFFFF) : int64_t(2147483648))) return std::nullopt;
    }
    if (hex && !negative) return int32_t(uint32_t(v));
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
    return int32_t(v);
}

std::vector<FileFilter> ParseFileFilter(std::string_view filter) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string_view::npos) bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<FileFilter> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter f;
        f.description = std::string(parts[i]);
        std::string_view p = parts[i + 1];
        size_t s = 0;
        while (s <= p.size()) {
            size_t semi = p.find(';', s);
            if (semi == std::string_view::npos) semi = p.size();
            std::string_view one = p.substr(s, semi - s);
            while (!one.empty() && one.front() == ' ') one.remove_prefix(1);
            while (!one.empty() && one.back() == ' ') one.remove_suffix(1);
            if (!one.empty()) f.patterns.emplace_back(one);
            s = semi + 1;
        }
        out.push_back(std::move(f));
    }
    return out;
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    if (pattern == "*.*" || pattern == "*") return true;
    // Iterative wildcard match with one backtrack point.
    size_t n = 0, p = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<FolderEntry> ListFolder(const std::string& dir,
                                    const std::vector<std::string>& patterns, bool folders_only) {
    std::vector<FolderEntry> out;
    std::error_code ec;
    std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::error_code e2;
        bool folder = it->is_directory(e2);
        if (!folder) {
            if (folders_only) continue;
            if (!patterns.empty() &&
                std::none_of(patterns.begin(), patterns.end(),
                             [&](const std::string& pat) { return MatchesPattern(name, pat); }))
                continue;
        }
        out.push_back({std::move(name), folder});
    }
    std::sort(out.begin(), out.end(), [](const FolderEntry& a, const FolderEntry& b) {
        if (a.folder != b.folder) return a.folder;
        return a.name < b.name;
    });
    return out;
}

}  // namespace tb
