// The rules of the pop-up menus and the input dialogs without any drawing: menu items from
// their text, the integer answer, file filters and the folder lists the choosers show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

struct MenuItem {
    std::string caption;  // as given, "&" marks included; empty for a separator
    int32_t number = -1;  // -1 for a separator
    char shortcut = 0;    // lower case; marked with "&" or assigned
    bool separator = false;
};

// Splits at "|": a final "|" adds nothing, "||" gives an empty item; "-" is a separator
// without a number; the others are numbered from 0. Items without a marked shortcut get the
// first letter or digit of their caption that no other item uses yet.
std::vector<MenuItem> ParseMenu(std::string_view text);
// The caption as shown: "&" markers removed ("&&" gives "&").
std::string MenuCaptionText(std::string_view caption);

// Decimal digits with an optional sign, or "$" and hexadecimal digits (with an optional sign
// before the "$"); blanks around are not allowed. Outside the 32-bit range: no integer.
std::optional<int32_t> ParseIntegerAnswer(std::string_view text);

// A filter "Description|pattern;pattern|Description|pattern" as its pairs.
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;  // "*.txt", "*.*"
};
std::vector<FileFilter> ParseFileFilter(std::string_view filter);
// Whether a file name matches a pattern with "*" and "?" (letter case ignored); "*.*" matches
// every name, also one without a point.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// One entry of a folder listing: folders first, then files, each sorted by name.
struct FolderEntry {
    std::string name;
    bool folder = false;
};
// The entries of `dir` (files only when they match one of `patterns`; all when empty).
std::vector<FolderEntry> ListFolder(const std::string& dir,
                                    const std::vector<std::string>& patterns, bool folders_only);

}  // namespace tb
