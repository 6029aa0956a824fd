// Windows paths written by games (backslashes, drive letters, any letter case) on a host
// file system.
#pragma once

#include <string>
#include <string_view>

namespace tb {

// Backslashes become slashes; when the file or a folder on the way exists only under
// another letter case, that existing name is used. Nothing else is rewritten.
std::string HostPath(std::string_view path);
// Joins a folder and a name with one separator.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace tb
