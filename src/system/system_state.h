// The game-wide state of the system services: the registry, and what the file, INI and
// program functions keep between calls. The script engine owns one.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "system/binary_file.h"
#include "system/file_search.h"
#include "system/ini_file.h"
#include "system/programs.h"
#include "system/registry.h"
#include "system/text_file.h"

namespace tb {

struct DialogState;

struct SystemState {
    Registry registry;
    // The runner's own windows: their settings and where their answers come from (made on
    // first use by DialogsOf, dialogs/dialogs.h; the tables they keep are in the registry).
    std::unique_ptr<DialogState> dialogs;
    RegistryRoot registry_root = RegistryRoot::kCurrentUser;  // of the _ext functions

    // Entry 0 is the legacy file without handle; 1 .. 32 are handed out.
    std::array<TextFile, 33> text_files;
    std::array<BinaryFile, 33> binary_files;  // 1 .. 32
    DirectorySearch search;
    std::unique_ptr<IniFile> ini;  // the one open INI file

    // The runner's own arguments as the process received them (without the program).
    std::vector<std::string> parameters;
    StartedPrograms programs;
};

}  // namespace tb
