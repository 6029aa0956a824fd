#include "system/secure_names.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "system/paths.h"

namespace tb {

namespace fs = std::filesystem;

bool IsConfinedName(std::string_view name) {
    if (name.find_first_of("\\/:") != name.npos) return false;
    if (name == "." || name == "..") return false;
    // Names are mapped to host files case-insensitively, so look at what the mapping picks.
    std::string host = HostPath(name);
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(host, ec))) return true;
    fs::path target = fs::weakly_canonical(fs::absolute(host, ec), ec);
    if (ec) return false;
    fs::path here = fs::weakly_canonical(fs::current_path(ec), ec);
    return !ec && target.parent_path() == here;
}

}  // namespace tb
