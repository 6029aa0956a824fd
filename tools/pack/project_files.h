// Project folder form of included files and extension packages.
#pragma once

#include <filesystem>

#include "extensions/package.h"
#include "runner/included_files.h"

namespace tb::pack {

// `base`.json; the data of a loaded file in `base`_data.bin.
void SaveIncludedFile(const CDataFile& file, const std::filesystem::path& base);
void LoadIncludedFile(const std::filesystem::path& base, CDataFile& file);

// `base`.json; each package file's contents in `base`_fileN.txt (script files) or
// `base`_fileN.bin, N its index; files of kind 3 have none. Script code is taken from the
// contents again on load.
void SaveExtension(const CExtensionPackage& package, const std::filesystem::path& base);
void LoadExtension(const std::filesystem::path& base, CExtensionPackage& package);

}  // namespace tb::pack
