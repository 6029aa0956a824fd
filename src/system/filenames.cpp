#include "system/filenames.h"

namespace tb {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Index of the last character of `set` (separators count for "\"), or npos.
size_t LastDelimiter(std::string_view name, bool dot) {
    for (size_t i = name.size(); i-- > 0;) {
        char c = name[i];
        if (IsSeparator(c) || c == ':' || (dot && c == '.')) return i;
    }
    return std::string_view::npos;
}

}  // namespace

std::string FileNameName(std::string_view name) {
    size_t i = LastDelimiter(name, false);
    return std::string(i == name.npos ? name : name.substr(i + 1));
}

std::string FileNamePath(std::string_view name) {
    size_t i = LastDelimiter(name, false);
    return std::string(i == name.npos ? std::string_view() : name.substr(0, i + 1));
}

std::string FileNameDir(std::string_view name) {
    size_t i = LastDelimiter(name, false);
    if (i == name.npos) return std::string();
    // "C:\", "\" and "\\" keep their separator: it is a root, not a trailing one.
    if (i > 0 && IsSeparator(name[i]) && !IsSeparator(name[i - 1]) && name[i - 1] != ':')
        return std::string(name.substr(0, i));
    return std::string(name.substr(0, i + 1));
}

std::string FileNameDrive(std::string_view name) {
    if (name.size() >= 2 && name[1] == ':') return std::string(name.substr(0, 2));
    if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1])) {
        // "\\server\share": up to the separator after the share.
        size_t separators = 0, i = 2;
        while (i < name.size()) {
            if (IsSeparator(name[i]) && ++separators == 2) break;
            ++i;
        }
        return std::string(name.substr(0, i));
    }
    return std::string();
}

std::string FileNameExt(std::string_view name) {
    size_t i = LastDelimiter(name, true);
    if (i == name.npos || name[i] != '.') return std::string();
    return std::string(name.substr(i));
}

std::string FileNameChangeExt(std::string_view name, std::string_view ext) {
    size_t i = LastDelimiter(name, true);
    std::string out(i == name.npos || name[i] != '.' ? name : name.substr(0, i));
    return out.append(ext);
}

}  // namespace tb
