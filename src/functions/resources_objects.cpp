// Object resources at run time: properties, parents with the cycle check, new and deleted
// objects, and events added or cleared, which the game loop sees at once.
#include <memory>
#include <utility>
#include <vector>

#include "functions/register.h"
#include "functions/resource_rules.h"
#include "resources/object.h"
#include "resources/room.h"
#include "runner/compile_stages.h"
#include "world/events.h"
#include "world/world.h"

namespace tb {

namespace {

using namespace resource_rules;

double SpriteOf(const CObject& o) {
    return o.SpriteIndex;
}
double SolidOf(const CObject& o) {
    return o.Solid;
}
double VisibleOf(const CObject& o) {
    return o.Visible;
}
double DepthOf(const CObject& o) {
    return o.Depth;
}
double PersistentOf(const CObject& o) {
    return o.Persistent;
}
double MaskOf(const CObject& o) {
    return o.MaskIndex;
}
double ParentOf(const CObject& o) {
    return o.ParentIndex;
}

void SetSprite(ScriptEngine&, CObject& o, const RValue* a) {
    o.SpriteIndex = IntArg(a[0]);
}
void SetSolid(ScriptEngine&, CObject& o, const RValue* a) {
    o.Solid = FlagArg(a[0]);
}
void SetVisible(ScriptEngine&, CObject& o, const RValue* a) {
    o.Visible = FlagArg(a[0]);
}
void SetDepth(ScriptEngine&, CObject& o, const RValue* a) {
    o.Depth = IntArg(a[0]);
}
void SetPersistent(ScriptEngine&, CObject& o, const RValue* a) {
    o.Persistent = FlagArg(a[0]);
}
void SetMask(ScriptEngine&, CObject& o, const RValue* a) {
    o.MaskIndex = IntArg(a[0]);
}

// The game loop's tables of which objects have which events, built again from the objects.
// The old lists are swapped out, not changed in place: a walk of the loop may be going
// through them right now, and keeps its (retired) copy until the next step.
void RebuildEventTables(ScriptEngine& e, bool families) {
    World* w = e.world;
    if (!w) return;
    auto fresh = std::make_shared<EventLists>();
    BuildEventLists(w->game, *fresh);
    std::swap(w->events.objects, fresh->objects);
    w->events.collision_pairs.swap(fresh->collision_pairs);
    w->game.retired.push_back(std::move(fresh));
    // The family lists of the running room follow the parents.
    if (families)
        if (CRoom* room = w->Room()) room->RebuildObjectLists(w->game.objects);
}

void object_is_ancestor(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                        const RValue* args) {
    result.SetReal(-1);
    if (!Lookup<CObject>(e, args[0])) return;
    result.SetReal(IsAncestor(e.game->objects, IndexArg(args[0]), IndexArg(args[1])) ? 1 : 0);
}

void object_set_parent(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    CObject* o = Lookup<CObject>(e, args[0]);
    if (!o) return;
    const int32_t index = IndexArg(args[0]);
    int32_t parent = -1;
    const int64_t wanted = args[1].IsString() ? 0 : RoundToInt64(args[1].real);
    if (wanted >= 0) {
        parent = wanted <= INT32_MAX ? int32_t(wanted) : -1;
        if (!e.game->objects.Exists(parent)) {
            ShowRuntimeError(e, "Setting a non-existing parent.", false);
            return;
        }
        if (parent == index || IsAncestor(e.game->objects, parent, index)) {
            ShowRuntimeError(e, "Creating a cycle in the parent relation.", false);
            return;
        }
    }
    if (o->ParentIndex == parent) return;
    o->ParentIndex = parent;
    RebuildEventTables(e, true);
}

void object_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue*) {
    result.SetReal(e.game ? Append(*e.game, std::make_unique<CObject>()) : -1);
}

void object_delete(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                   const RValue* args) {
    if (!Require<CObject>(e, args[0], "Trying to delete non-existing object.")) return;
    Retire<CObject>(*e.game, IndexArg(args[0]));
    RebuildEventTables(e, true);
    result.SetReal(1);
}

// The event's action list is replaced, never changed in place: the old list may be running.
void ReplaceActions(Game& game, CEvent& event, std::vector<CAction> actions) {
    auto old = std::make_shared<std::vector<CAction>>(std::move(event.actions));
    event.actions = std::move(actions);
    game.retired.push_back(std::move(old));
}

bool EventAddressable(int32_t kind, int32_t number) {
    return kind >= 0 && kind < kEventKindCount && number >= 0;
}

void object_event_clear(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    CObject* o = Lookup<CObject>(e, args[0]);
    const int32_t kind = IndexArg(args[1]), number = IndexArg(args[2]);
    if (!o || !EventAddressable(kind, number)) return;
    CEvent* event = o->GetEvent(kind, number);
    if (!event) return;
    ReplaceActions(*e.game, *event, {});
    RebuildEventTables(e, false);
}

void object_event_add(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    CObject* o = Lookup<CObject>(e, args[0]);
    const int32_t kind = IndexArg(args[1]), number = IndexArg(args[2]);
    if (!o || !EventAddressable(kind, number)) return;
    CEvent* event = o->GetOrCreateEvent(kind, number);
    if (!event) return;
    CEvent added;
    added.actions = event->actions;
    CAction& action = added.AddCodeAction(TextArg(args[3]));
    const EventContext saved = e.event;
    e.event = {IndexArg(args[0]), kind, number, int32_t(added.actions.size()) - 1};
    CompileAction(e, action);
    e.event = saved;
    ReplaceActions(*e.game, *event, std::move(added.actions));
    RebuildEventTables(e, false);
}

}  // namespace

void RegisterObjectResourceFunctions(FunctionRegistry& r) {
    RegisterNameFunctions(r, "object", &ExistsFunction<CObject>, &NameFunction<CObject>);
    r.Register("object_get_sprite", &NumberGetter<CObject, &SpriteOf>, 1);
    r.Register("object_get_solid", &NumberGetter<CObject, &SolidOf>, 1);
    r.Register("object_get_visible", &NumberGetter<CObject, &VisibleOf>, 1);
    r.Register("object_get_depth", &NumberGetter<CObject, &DepthOf>, 1);
    r.Register("object_get_persistent", &NumberGetter<CObject, &PersistentOf>, 1);
    r.Register("object_get_mask", &NumberGetter<CObject, &MaskOf>, 1);
    r.Register("object_get_parent", &NumberGetter<CObject, &ParentOf>, 1);
    r.Register("object_is_ancestor", &object_is_ancestor, 2);
    r.Register("object_set_sprite", &Setter<CObject, &SetSprite>, 2);
    r.Register("object_set_solid", &Setter<CObject, &SetSolid>, 2);
    r.Register("object_set_visible", &Setter<CObject, &SetVisible>, 2);
    r.Register("object_set_depth", &Setter<CObject, &SetDepth>, 2);
    r.Register("object_set_persistent", &Setter<CObject, &SetPersistent>, 2);
    r.Register("object_set_mask", &Setter<CObject, &SetMask>, 2);
    r.Register("object_set_parent", &object_set_parent, 2);
    r.Register("object_add", &object_add, 0);
    r.Register("object_delete", &object_delete, 1);
    r.Register("object_event_clear", &object_event_clear, 3);
    r.Register("object_event_add", &object_event_add, 4);
}

}  // namespace tb
