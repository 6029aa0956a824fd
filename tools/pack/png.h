// PNG pictures of project folders.
#pragma once

#include <filesystem>

#include "graphics/bitmap32.h"

namespace tb::pack {

// Both throw ProjectError with the file name on failure.
void WritePng(const CBitmap32& b, const std::filesystem::path& file);
CBitmap32 ReadPng(const std::filesystem::path& file);

}  // namespace tb::pack
