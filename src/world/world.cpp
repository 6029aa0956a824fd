#include "world/world.h"

#include <chrono>
#include <thread>

#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/broad_phase.h"
#include "world/instance.h"

namespace tb {

namespace {

int64_t SteadyMicroseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

World::World(Game& g, ScriptEngine& e)
    : game(g), engine(e), saved_request_abort_(e.host.request_abort) {
    engine.world = this;
    // A fatal script error ends the game at the next point the loop checks.
    engine.host.request_abort = [this] {
        pending_change = kChangeAbort;
        if (saved_request_abort_) saved_request_abort_();
    };
}

World::~World() {
    engine.host.request_abort = std::move(saved_request_abort_);
    if (engine.world == this) engine.world = nullptr;
    for (const auto& r : rooms)
        if (r && engine.room == r.get()) engine.room = nullptr;
}

CRoom* World::Room() const {
    if (room < 0 || size_t(room) >= rooms.size()) return nullptr;
    return rooms[size_t(room)].get();
}

void LoopClock::Start() {
    if (!virtual_time) origin = SteadyMicroseconds();
}

int64_t LoopClock::Now() const {
    return virtual_time ? virtual_now : SteadyMicroseconds() - origin;
}

void LoopClock::Wait(int64_t microseconds, const std::function<void()>& process_messages) {
    struct Serial {
        int64_t& now;
        int64_t outer;
        ~Serial() { now = outer; }
    } serial{wait_serial, wait_serial};
    wait_serial = ++waits;
    if (microseconds <= 0) {
        if (poll_empty_waits && process_messages) process_messages();
        return;
    }
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
