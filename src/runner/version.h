// The version of the runner and the pack tool; CMake reads it from here for the package.
#pragma once

namespace tb {

inline constexpr const char* kVersion = "0.1.0";

}  // namespace tb
