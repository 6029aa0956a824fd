// tamberlo --registry / --registry-set / --registry-delete: the per-user store from the
// command line.
#pragma once

#include <cstdio>

#include "runner/command_line.h"

namespace tb {

class Registry;

// Lists as "[ROOT\KEY]" lines followed by "NAME = VALUE" lines (strings quoted with C escapes,
// reals as numbers). KEY may start with a root name (HKEY_LOCAL_MACHINE, HKLM ...; the current
// user otherwise). A VALUE that reads as a number is stored as a real, any other as a string;
// "string:TEXT" and "real:NUMBER" say which. The exit status: 0 done, 1 failed or not found.
int RunRegistryCommand(const RegistryCommand& command, Registry& registry, std::FILE* out,
                       std::FILE* err);

}  // namespace tb
