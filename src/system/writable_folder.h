#pragma once

#include <string>

namespace tb {

// Makes the folder (with missing parents) and checks that a file can be written in it. On
// failure `error` says why.
bool PrepareWritableFolder(const std::string& dir, std::string& error);

}  // namespace tb
