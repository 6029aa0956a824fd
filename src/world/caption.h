// The game window's caption while a room runs: the room's caption followed by the score,
// lives and health the game asks to show.
#pragma once

#include <string>
#include <string_view>

namespace tb {

class World;

// The score appears once the game has written show_score or scored more than 0.
std::string WindowCaption(const World& w, std::string_view room_caption);

}  // namespace tb
