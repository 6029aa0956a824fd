// Rooms: the resource loaded from the game file and the live room of a running game.
#pragma once

#include "runner/stream.h"

namespace tb {

struct Game;

class CRoom {
public:
    // Needs the backgrounds (stretched layers) and objects (by-object lists) already loaded.
    bool LoadFromStream(CStream& s, const Game& game);
    void WriteToStream(CStream& s) const;
};

}  // namespace tb
