#pragma once

#include <string>

#include "runner/game.h"

namespace tb {

// A readable summary of a loaded game: header, settings, constants, resources, room order.
std::string DescribeGame(const Game& game);

}  // namespace tb
