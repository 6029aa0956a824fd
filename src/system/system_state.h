// The game-wide state of the system services: the registry, and what the file, INI and
// program functions keep between calls. The script engine owns one.
#pragma once

#include <memory>

#include "system/registry.h"

namespace tb {

struct DialogState;

struct SystemState {
    Registry registry;
    // The runner's own windows: their settings and where their answers come from (made on
    // first use by DialogsOf, dialogs/dialogs.h; the tables they keep are in the registry).
    std::unique_ptr<DialogState> dialogs;
};

}  // namespace tb
