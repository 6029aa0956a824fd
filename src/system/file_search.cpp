#include "system/file_search.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "system/paths.h"

namespace tb {

namespace {

namespace fs = std::filesystem;

bool Glob(std::string_view name, std::string_view pattern) {
    // Iterative matching with one remembered star: linear in practice, never exponential.
    size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' ||
                    std::tolower(uint8_t(pattern[p])) == std::tolower(uint8_t(name[n])))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

int32_t Attributes(const std::string& path, std::string_view name) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) return -1;
    int32_t a = 0;
    if (S_ISDIR(st.st_mode))
        a |= kAttrDirectory;
    else if (S_ISREG(st.st_mode))
        a |= kAttrArchive;
    else
        a |= kAttrSystem;
    if (::access(path.c_str(), W_OK) != 0) a |= kAttrReadOnly;
    if (name.size() > 1 && name[0] == '.' && name != "..") a |= kAttrHidden;
    return a;
}

}  // namespace

int32_t HostFileAttributes(const std::string& host_path) {
    std::string name = fs::path(host_path).filename().string();
    return Attributes(host_path, name);
}

bool MatchesFileMask(std::string_view name, std::string_view pattern) {
    if (Glob(name, pattern)) return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == name.npos)
        return Glob(name, pattern.substr(0, pattern.size() - 2));
    return false;
}

std::string DirectorySearch::First(std::string_view mask, int32_t attributes) {
    Close();
    std::string m(mask);
    for (char& c : m)
        if (c == '\\') c = '/';
    size_t slash = m.rfind('/');
    std::string folder_part = slash == m.npos ? std::string() : m.substr(0, slash + 1);
    std::string pattern = slash == m.npos ? m : m.substr(slash + 1);
    if (pattern.empty()) return std::string();
    std::string folder = folder_part.empty() ? std::string(".") : HostPath(folder_part);

    const int32_t special = kAttrHidden | kAttrSystem | kAttrVolume | kAttrDirectory;
    auto wanted = [&](const std::string& name, int32_t a) {
        return a >= 0 && (a & ~attributes & special) == 0 && MatchesFileMask(name, pattern);
    };
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (wanted(name, Attributes(entry.path().string(), name))) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int c = strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    // A folder other than the root lists itself and its parent first, as the original did.
    if (!ec && fs::canonical(folder, ec) != "/" && !ec) {
        for (const char* dot : {"..", "."})
            if (wanted(dot, Attributes(folder + "/" + dot, dot))) names.insert(names.begin(), dot);
    }
    names_ = std::move(names);
    return Next();
}

std::string DirectorySearch::Next() {
    if (next_ >= names_.size()) return std::string();
    return names_[next_++];
}

void DirectorySearch::Close() {
    names_.clear();
    next_ = 0;
}

}  // namespace tb
