// Splitting file names as the original platform did, with "/" taken as a separator like "\"
// so that the host paths the runner itself hands out (working_directory ...) split too.
#pragma once

#include <string>
#include <string_view>

namespace tb {

std::string FileNameName(std::string_view name);   // after the last separator or ":"
std::string FileNamePath(std::string_view name);   // up to and including it
std::string FileNameDir(std::string_view name);    // without the trailing separator but a root's
std::string FileNameDrive(std::string_view name);  // "C:", "\\server\share", or ""
std::string FileNameExt(std::string_view name);    // ".ext" of the last part, or ""
std::string FileNameChangeExt(std::string_view name, std::string_view ext);

}  // namespace tb
