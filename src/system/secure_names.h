// Secure mode confines what a game writes to the working directory. The rule of the original
// platform looks only for a folder part ("\" or "/") in a name; on this platform a few more
// names reach outside, and they are refused alike.
#pragma once

#include <string_view>

namespace tb {

// True when the name stays in the working directory: no "\" or "/", no drive (":"), not "."
// or "..", and not a symbolic link (at any letter case the path mapping would pick) whose
// target lies outside the working directory.
bool IsConfinedName(std::string_view name);

}  // namespace tb
