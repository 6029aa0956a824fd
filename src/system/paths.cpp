#include "system/paths.h"

#include <strings.h>

#include <filesystem>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

static std::string Slashes(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

std::string HostPath(std::string_view path) {
    std::string p = Slashes(path);
    std::error_code ec;
    if (p.empty() || fs::exists(p, ec)) return p;
    // Walk the components, replacing each missing one by a case-insensitive match.
    fs::path out = p[0] == '/' ? fs::path("/") : fs::path();
    bool matching = true;
    for (const fs::path& part : fs::path(p).relative_path()) {
        fs::path next = out / part;
        if (matching && !fs::exists(next, ec)) {
            bool found = false;
            fs::path dir = out.empty() ? fs::path(".") : out;
            for (const auto& entry : fs::directory_iterator(dir, ec)) {
                std::string name = entry.path().filename().string();
                if (strcasecmp(name.c_str(), part.string().c_str()) == 0) {
                    next = out / name;
                    found = true;
                    break;
                }
            }
            matching = found;
        }
        out = next;
    }
    std::string result = out.string();
    if (!p.empty() && p.back() == '/' && (result.empty() || result.back() != '/')) result += '/';
    return result;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out = Slashes(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    std::string n = Slashes(name);
    size_t skip = 0;
    while (skip < n.size() && n[skip] == '/' && !out.empty()) ++skip;
    return out + n.substr(skip);
}

}  // namespace tb
