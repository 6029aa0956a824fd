// Calling events from code.
#include "world/events.h"

#include "functions/register.h"
#include "functions/shared_handlers.h"
#include "resources/object.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/registry.h"
#include "world/world.h"

namespace tb {

namespace {

void EventPerform(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue&,
                  const RValue* args) {
    if (!engine.world) return;
    Dispatch(*engine.world, self, other, RoundToInt32(args[0].real), RoundToInt32(args[1].real));
}

void EventUser(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue&,
               const RValue* args) {
    if (!engine.world) return;
    Dispatch(*engine.world, self, other, ev_other, ev_user0 + RoundToInt32(args[0].real));
}

void EventPerformObject(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue&,
                        const RValue* args) {
    if (!engine.world) return;
    DispatchToObject(*engine.world, self, other, RoundToInt32(args[0].real),
                     RoundToInt32(args[1].real), RoundToInt32(args[2].real));
}

void EventInherited(ScriptEngine& engine, CInstance* self, CInstance* other, int, RValue&,
                    const RValue*) {
    if (!engine.world) return;
    const EventContext& context = engine.event;
    if (context.type == kTimeLineEventType) return;  // the object field holds a time line
    const ResourceList<CObject>& objects = engine.world->game.objects;
    const CObject* owner = objects.Get(context.object);
    if (!owner || !objects.Exists(owner->ParentIndex)) return;
    DispatchToObject(*engine.world, self, other, owner->ParentIndex, context.type, context.number);
}

}  // namespace

// Called directly by the actions.
const BuiltinFunction kEventInherited = &EventInherited;

void RegisterEventFunctions(FunctionRegistry& r) {
    r.Register("event_inherited", &EventInherited, 0);
    r.Register("event_perform", &EventPerform, 2);
    r.Register("event_user", &EventUser, 1);
    r.Register("event_perform_object", &EventPerformObject, 3);
}

}  // namespace tb
