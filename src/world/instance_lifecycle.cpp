#include "world/instance_lifecycle.h"

#include <algorithm>
#include <vector>

#include "resources/object.h"
#include "resources/room.h"
#include "runner/game.h"
#include "script/engine.h"
#include "world/events.h"
#include "world/instance.h"
#include "world/instance_ops.h"

namespace tb {

namespace {

// The instances whose Destroy event is running, innermost last. Entries live only while the
// event runs, so the list stays tiny and never outlives an instance.
std::vector<const CInstance*>& DestroyEventsRunning() {
    static std::vector<const CInstance*> running;
    return running;
}

struct DestroyEventScope {
    explicit DestroyEventScope(const CInstance& inst) { DestroyEventsRunning().push_back(&inst); }
    ~DestroyEventScope() { DestroyEventsRunning().pop_back(); }
    DestroyEventScope(const DestroyEventScope&) = delete;
    DestroyEventScope& operator=(const DestroyEventScope&) = delete;
};

bool DestroyEventRunning(const CInstance& inst) {
    const auto& running = DestroyEventsRunning();
    return std::find(running.begin(), running.end(), &inst) != running.end();
}

void RunDestroyEvent(ScriptEngine& engine, CInstance& inst) {
    if (!engine.world) return;
    DestroyEventScope scope(inst);
    Dispatch(*engine.world, &inst, &inst, ev_destroy, 0);
}

void RunCreateEvent(ScriptEngine& engine, CInstance& inst) {
    if (engine.world) Dispatch(*engine.world, &inst, &inst, ev_create, 0);
}

}  // namespace

bool ObjectExists(const ScriptEngine& engine, int64_t object) {
    return engine.game && object >= 0 && object < engine.game->objects.Count() &&
           engine.game->objects.Exists(int(object));
}

CInstance* CreateWithEvent(ScriptEngine& engine, int32_t object, double x, double y) {
    if (!engine.room || !ObjectExists(engine, object)) return nullptr;
    CInstance& inst = CreateInstance(*engine.room, *engine.game, object, x, y);
    RunCreateEvent(engine, inst);
    return &inst;
}

void DestroyWithEvent(ScriptEngine& engine, CInstance& inst) {
    if (inst.destroyed || DestroyEventRunning(inst)) return;
    RunDestroyEvent(engine, inst);
    inst.destroyed = true;
}

CInstance* ChangeWithEvents(ScriptEngine& engine, CInstance& inst, int32_t object, bool events) {
    if (!engine.room || !ObjectExists(engine, object)) return nullptr;
    if (events && !inst.destroyed && !DestroyEventRunning(inst)) RunDestroyEvent(engine, inst);
    // Created under the new object so that the per-object tables list it there.
    CInstance& changed = CreateInstance(*engine.room, *engine.game, object, inst.x, inst.y);
    CopyState(changed, inst);
    SetObject(changed, *engine.game, object);
    inst.destroyed = true;
    if (events) RunCreateEvent(engine, changed);
    return &changed;
}

CInstance* CopyWithEvent(ScriptEngine& engine, const CInstance& from, bool event) {
    if (!engine.room || !engine.game) return nullptr;
    CInstance& copy = CreateInstance(*engine.room, *engine.game, from.object_index, from.x, from.y);
    const int32_t id = copy.id;
    CopyState(copy, from);
    copy.id = id;
    if (event) RunCreateEvent(engine, copy);
    return &copy;
}

}  // namespace tb
