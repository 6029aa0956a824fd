// The game-wide state of the system services: the registry, and what the file, INI and
// program functions keep between calls. The script engine owns one.
#pragma once

#include "system/registry.h"

namespace tb {

struct SystemState {
    Registry registry;
};

}  // namespace tb
