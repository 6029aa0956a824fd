#include "world/world.h"

#include <chrono>
#include <thread>

#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/instance.h"

namespace tb {

World::World(Game& g, ScriptEngine& e) : game(g), engine(e) {
    engine.world = this;
}

World::~World() {
    if (engine.world == this) engine.world = nullptr;
    if (engine.room && engine.room == Room()) engine.room = nullptr;
}

CRoom* World::Room() const {
    if (room < 0 || size_t(room) >= rooms.size()) return nullptr;
    return rooms[size_t(room)].get();
}

int64_t LoopClock::Now() const {
    if (virtual_time) return virtual_now;
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void LoopClock::Wait(int64_t microseconds, const std::function<void()>& process_messages) {
    if (microseconds <= 0) return;
    if (virtual_time) {
        // Nothing runs in between, so the messages are processed once.
        if (process_messages) process_messages();
        virtual_now += microseconds;
        return;
    }
    int64_t start = Now();
    // Sleep in whole milliseconds up to about 1 ms before the deadline, then poll.
    if (microseconds >= 2000)
        std::this_thread::sleep_for(std::chrono::milliseconds((microseconds - 1000) / 1000));
    for (;;) {
        if (process_messages) process_messages();
        int64_t now = Now();
        if (now - start >= microseconds || now < start) break;
        std::this_thread::yield();
    }
}

}  // namespace tb
